// The Python package's keyword arguments read into the library's records.
// A bad value raises ValueError, a value of the wrong type TypeError; both
// name the argument.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>

#include "glyphrun/symbol.h"
#include "glyphrun/text_input.h"
#include "glyphrun/write.h"

namespace glyphrun::python {

namespace py = pybind11;

// What encode() and encode_many() were asked for, beside the data.
struct EncodeRequest {
    EncodeOptions options;  // scheme and size; the meaning comes from the input
    InputRule rule;         // gs1 and eci; `binary` is set for each input
};

EncodeRequest ReadEncodeRequest(const py::object& mode, const py::object& size, bool gs1, const py::object& eci,
                                bool dmre);

// One input as bytes: a str as its UTF-8 (read as text by the command
// line's rule), anything with the buffer protocol as its bytes. A str
// that UTF-8 cannot hold (a lone surrogate) is refused in `status`
// (InputError::NotUtf8), told when it is encoded.
struct InputBytes {
    std::string bytes;
    bool text = false;
    Status status;
};
InputBytes ReadInput(const py::handle& data, const char* name);

// The picture's settings shared by every output.
Style ReadStyle(const py::object& module, const py::object& quietZone, const py::object& fg, const py::object& bg,
                const py::object& dpi);
std::optional<double> ReadModuleMillimetres(const py::object& xdimMm);

}  // namespace glyphrun::python
