// The Python package's keyword arguments read into the library's records.
// A bad value raises ValueError, a value of the wrong type TypeError; both
// name the argument.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>

#include "glyphrun/names.h"
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

// The drawing keywords every output takes, as given.
struct StyleArguments {
    py::object module = py::int_(4), quietZone = py::int_(2), fg = py::str("#000000"), bg = py::str("#ffffff");
    py::object dpi = py::none(), xdimMm = py::none();
    py::object hri = py::bool_(false), caption = py::none(), fontSize = py::none(), font = py::none();
    py::object cmyk = py::bool_(false), page = py::none();
    py::object verify = py::bool_(false);  // read back by an independent reader before it is answered
};
// Their names in that order, for the methods' signatures and write_labels.
inline constexpr const char* kStyleKeywords[] = {"module",  "quiet_zone", "fg",   "bg",   "dpi",  "xdim_mm", "hri",
                                                 "caption", "font_size",  "font", "cmyk", "page", "verify"};
py::object& StyleArgument(StyleArguments& arguments, size_t index);

// The style for a file of `format`, the text under the symbol made from
// `data` (the symbol's input as given; GS1 element strings with `gs1`) with
// hri. A keyword that `format` has no use for is refused by name.
Style ReadStyle(const StyleArguments& arguments, Format format, std::string_view data, bool gs1);

// A page's sides in points, from "A4", "50x30mm" and the like.
PageSize ReadPage(const py::object& page, const char* name);
// A number of millimetres from 0 to 1000, as points.
double ReadMillimetres(const py::object& value, const char* name);
// True or False, nothing else (a str such as "yes" is refused, not taken as true).
bool ReadFlag(const py::object& value, const char* name);

}  // namespace glyphrun::python
