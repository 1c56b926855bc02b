// glyphrun._glyphrun: the encoder and the outputs of the command line for
// Python. Encoding and drawing run without the GIL; encode_many spreads
// its inputs over one thread per core.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "arguments.h"
#include "glyphrun/safe_file.h"

namespace glyphrun::python {
namespace {

// An input that cannot be encoded or a picture that cannot be drawn, with
// the one-line reason that glyphrun-cli prints: Python's EncodeError.
struct EncodeFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Every layer gives memory that ran short this reason, while the codes of
// their failures overlap, so the reason is what tells it apart.
constexpr const char* kOutOfMemory = "out of memory";

// A failed encode or picture: MemoryError when memory ran short, whichever
// layer ran short, as Python's own allocations raise it; else EncodeError
// with the reason after `context`, the failing item of a batch.
[[noreturn]] void RaiseFailure(const Status& failure, const std::string& context = "") {
    if (failure.reason() == kOutOfMemory) {
        PyErr_NoMemory();
        throw py::error_already_set();
    }
    throw EncodeFailed(context + failure.reason());
}

// py::bytes would turn a failed allocation into RuntimeError.
py::bytes BytesOf(std::string_view data) {
    PyObject* bytes = PyBytes_FromStringAndSize(data.data(), static_cast<Py_ssize_t>(data.size()));
    if (!bytes) throw py::error_already_set();
    return py::reinterpret_steal<py::bytes>(bytes);
}

// Runs on threads without the GIL, where nothing may be thrown: even a
// copy of the input's failure takes memory. The reason kOutOfMemory is
// short enough to take none.
Result<Symbol> EncodeInput(const InputBytes& input, const EncodeRequest& request) {
    try {
        if (!input.status) return input.status;
        InputRule rule = request.rule;
        rule.binary = !input.text;
        std::string bytes;
        EncodeOptions options = request.options;
        if (Status prepared = PrepareInput(input.bytes, rule, bytes, options.meaning); !prepared) {
            if (prepared.Is(InputError::NoCharset)) prepared.message += " (bytes go under any ECI as they are)";
            return prepared;
        }
        return Encode({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, options);
    } catch (const std::bad_alloc&) {
        return Status::Failed(EncodeError::OutOfMemory, kOutOfMemory);
    }
}

Symbol EncodeOne(const py::object& data, const py::object& mode, const py::object& size, bool gs1,
                 const py::object& eci, bool dmre) {
    const EncodeRequest request = ReadEncodeRequest(mode, size, gs1, eci, dmre);
    const InputBytes input = ReadInput(data, "data");
    std::optional<Result<Symbol>> encoded;
    {
        py::gil_scoped_release unlocked;
        encoded.emplace(EncodeInput(input, request));
    }
    if (!*encoded) RaiseFailure(encoded->status());
    return std::move(*encoded).value();
}

// Whether a signal handler has raised, Ctrl-C's KeyboardInterrupt above
// all, with Python's exception then set. Called without the GIL; it asks
// Python every 20 ms at most, not after every chunk, since asking takes
// the GIL, which other Python threads may be holding. Python runs the
// handlers on its main thread only; elsewhere the answer is always false.
class SignalWatch {
public:
    bool Raised() {
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return false;
        next_ = now + kInterval;
        py::gil_scoped_acquire locked;
        return PyErr_CheckSignals() != 0;
    }

private:
    static constexpr std::chrono::milliseconds kInterval{20};
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now() + kInterval;
};

// The C++ runtime keeps each thread's exception state in thread-local
// storage, which in a library loaded after the interpreter started (this
// extension's libstdc++) is allocated on the thread's first exception: were
// that std::bad_alloc with no memory left, the allocation would end the
// process. A thread makes it as it starts instead.
void HoldExceptionState() {
    volatile int asked = std::uncaught_exceptions();  // a pure function: unused, the call would go
    static_cast<void>(asked);
}

// Calls work(i) for every i below `count` on one thread per core. The
// inputs are handed out in chunks, so that taking the next costs nothing
// beside the encodes; a thread the system refuses leaves its share to the
// others. Between its chunks the calling thread watches for signals, so
// that Ctrl-C stops a long batch: every thread then stops after its chunk,
// and the answer is false, with Python's exception set.
template <typename Work>
bool ForEachInParallel(size_t count, const Work& work) {
    constexpr size_t kChunk = 64;
    std::atomic<size_t> next{0};
    std::atomic<bool> stopped{false};
    const auto runChunks = [&](const auto& afterChunk) {
        for (size_t start; !stopped && (start = next.fetch_add(kChunk)) < count;) {
            for (size_t i = start; i < std::min(start + kChunk, count); ++i) work(i);
            afterChunk();
        }
    };
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t helpers = std::min(cores, (count + kChunk - 1) / kChunk) - (count > 0 ? 1 : 0);
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    try {
        for (size_t t = 0; t < helpers; ++t)
            threads.emplace_back([&] {
                HoldExceptionState();
                runChunks([] {});
            });
    } catch (const std::exception&) {}  // the system refused a thread, or the memory for one
    SignalWatch signals;
    runChunks([&] {
        if (signals.Raised()) stopped = true;
    });
    for (std::thread& thread : threads) thread.join();
    return !stopped;
}

py::list EncodeMany(const py::iterable& texts, const py::object& mode, const py::object& size, bool gs1,
                    const py::object& eci, bool dmre) {
    const EncodeRequest request = ReadEncodeRequest(mode, size, gs1, eci, dmre);
    std::vector<InputBytes> inputs;
    for (const py::handle item : texts) {
        // Reading a list runs no Python code, so nothing else looks for Ctrl-C meanwhile.
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        inputs.push_back(ReadInput(item, ("texts[" + std::to_string(inputs.size()) + "]").c_str()));
    }
    std::vector<std::optional<Result<Symbol>>> encoded(inputs.size());
    bool finished = false;
    {
        py::gil_scoped_release unlocked;
        finished =
            ForEachInParallel(inputs.size(), [&](size_t i) { encoded[i].emplace(EncodeInput(inputs[i], request)); });
    }
    if (!finished) throw py::error_already_set();
    for (size_t i = 0; i < encoded.size(); ++i)
        if (!*encoded[i]) RaiseFailure(encoded[i]->status(), "texts[" + std::to_string(i) + "]: ");
    py::list result(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i) result[i] = py::cast(std::move(*encoded[i]).value());
    return result;
}

// The file's bytes, drawn without the GIL.
std::string Draw(const Symbol& symbol, Format format, const Style& style) {
    std::optional<Result<std::string>> file;
    {
        py::gil_scoped_release unlocked;
        file.emplace(WriteSymbol(symbol, format, style));
    }
    if (!*file) RaiseFailure(file->status());
    return std::move(*file).value();
}

// A read-only view of the modules, kept alive by the Symbol that owns them.
py::array ModulesOf(const py::object& self) {
    const Symbol& symbol = self.cast<const Symbol&>();
    py::array view(py::dtype::of<bool>(), {symbol.rows(), symbol.cols()}, {symbol.cols(), 1}, symbol.modules().data(),
                   self);
    view.attr("setflags")(py::arg("write") = false);
    return view;
}

py::object ToPil(const Symbol& symbol, const Style& style) {
    py::module_ image;
    try {
        image = py::module_::import("PIL.Image");
    } catch (const py::error_already_set&) {
        throw py::import_error("to_pil needs Pillow (Debian: python3-pil)");
    }
    return image.attr("open")(py::module_::import("io").attr("BytesIO")(BytesOf(Draw(symbol, Format::Png, style))));
}

[[noreturn]] void RaiseOsError(const Status& failure, const py::object& path) {
    const py::object error =
        py::reinterpret_borrow<py::object>(PyExc_OSError)(failure.systemError.value(), failure.reason(), path);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

// The path (str, bytes or os.PathLike) as the bytes the system takes. One
// with a NUL is refused, as open() refuses it: the system would end the
// name at the NUL and replace another file.
std::string FileNameOf(const py::object& path) {
    PyObject* name = nullptr;
    if (!PyUnicode_FSConverter(path.ptr(), &name)) throw py::error_already_set();
    return std::string(py::reinterpret_steal<py::bytes>(name));
}

void Save(const Symbol& symbol, const py::object& path, Style style, std::optional<double> moduleMillimetres) {
    const std::string name = FileNameOf(path);
    const std::optional<Format> format = FormatOfPath(name);
    if (!format)
        throw py::value_error("path must end in .png, .gif, .bmp, .pgm, .svg, .eps or .pdf, not " +
                              py::repr(py::module_::import("os").attr("fsdecode")(path)).cast<std::string>());
    if (moduleMillimetres && !IsVector(*format))
        throw py::value_error("xdim_mm sizes .svg, .eps and .pdf files; a raster file's module is `module` pixels");
    if (style.backgroundAlpha == 0 && (format == Format::Bmp || format == Format::Pgm))
        throw py::value_error(
            "bg: a transparent background needs .png, .gif, .svg, .eps or .pdf; BMP and PGM have none");
    style.xdimMillimetres = moduleMillimetres;
    const std::string file = Draw(symbol, *format, style);
    Status written;
    Warnings warnings;
    {
        py::gil_scoped_release unlocked;
        written = WriteFileSafely(name, std::string_view(file), &warnings);
    }
    if (!written) RaiseOsError(written, path);
    // A replaced file whose owner could not be kept.
    for (const std::string& warning : warnings)
        if (PyErr_WarnEx(PyExc_RuntimeWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
}

std::string Describe(const Symbol& symbol) {
    return "<glyphrun.Symbol " + std::to_string(symbol.rows()) + "x" + std::to_string(symbol.cols()) + ", " +
           std::to_string(symbol.dataCodewords()) + " of " + std::to_string(symbol.capacity()) + " data codewords>";
}

// The type's tp_new would make a Symbol with nothing in it, which every
// method would read as one: Symbol(), Symbol.__new__(Symbol) and what
// copy and pickle call are refused here. pybind11 makes the objects of
// the symbols that encode() hands back without the type's tp_new.
PyObject* RefuseNewSymbol(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, "glyphrun.Symbol cannot be made directly; glyphrun.encode() makes one");
    return nullptr;
}

}  // namespace
}  // namespace glyphrun::python

PYBIND11_MODULE(_glyphrun, m) {
    using namespace glyphrun;
    using namespace glyphrun::python;
    using namespace pybind11::literals;

    m.doc() = "Data Matrix ECC200 symbols from text or bytes, as PNG, GIF, BMP, SVG or EPS.";
    HoldExceptionState();  // for the importing thread, which calls encode and the drawing methods
    m.attr("__version__") = GLYPHRUN_VERSION;
    py::register_exception<EncodeFailed>(m, "EncodeError", PyExc_ValueError);

    // The picture's keywords, shared by every output.
    const auto style = [](const py::object& module, const py::object& quietZone, const py::object& fg,
                          const py::object& bg,
                          const py::object& dpi) { return ReadStyle(module, quietZone, fg, bg, dpi); };
    const py::none none;  // the default of the keywords that may be left out
    // to_svg, to_eps and to_pdf: the same keywords, one format each.
    const auto vectorMethod = [style](Format format) {
        return [style, format](const Symbol& s, const py::object& module, const py::object& quietZone,
                               const py::object& fg, const py::object& bg, const py::object& xdimMm) {
            Style vector = style(module, quietZone, fg, bg, py::none());
            vector.xdimMillimetres = ReadModuleMillimetres(xdimMm);
            return Draw(s, format, vector);
        };
    };

    // Final: a subclass would be another way to a Symbol that encode() did not make.
    py::class_<Symbol> symbolType(m, "Symbol", "A finished symbol: its size, codewords and modules.", py::is_final());
    reinterpret_cast<PyTypeObject*>(symbolType.ptr())->tp_new = RefuseNewSymbol;
    symbolType.def_property_readonly("rows", &Symbol::rows)
        .def_property_readonly("cols", &Symbol::cols)
        .def_property_readonly("size_index", &Symbol::sizeIndex)
        .def_property_readonly("data_codewords", &Symbol::dataCodewords)
        .def_property_readonly("capacity", [](const Symbol& s) { return s.capacity(); })
        .def_property_readonly(
            "codewords",
            [](const Symbol& s) {
                return BytesOf({reinterpret_cast<const char*>(s.codewords().data()), s.codewords().size()});
            })
        .def_property_readonly("modules", &ModulesOf)
        .def(
            "to_png",
            [style](const Symbol& s, const py::object& module, const py::object& quietZone, const py::object& fg,
                    const py::object& bg, const py::object& dpi) {
                return BytesOf(Draw(s, Format::Png, style(module, quietZone, fg, bg, dpi)));
            },
            py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2, "fg"_a = "#000000", "bg"_a = "#ffffff", "dpi"_a = none)
        .def("to_svg", vectorMethod(Format::Svg), py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2, "fg"_a = "#000000",
             "bg"_a = "#ffffff", "xdim_mm"_a = none)
        .def("to_eps", vectorMethod(Format::Eps), py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2, "fg"_a = "#000000",
             "bg"_a = "#ffffff", "xdim_mm"_a = none)
        .def(
            "to_pdf",
            [pdf = vectorMethod(Format::Pdf)](const Symbol& s, const py::object& module, const py::object& quietZone,
                                              const py::object& fg, const py::object& bg, const py::object& xdimMm) {
                return BytesOf(pdf(s, module, quietZone, fg, bg, xdimMm));
            },
            py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2, "fg"_a = "#000000", "bg"_a = "#ffffff",
            "xdim_mm"_a = none)
        .def(
            "to_pil",
            [style](const Symbol& s, const py::object& module, const py::object& quietZone, const py::object& fg,
                    const py::object& bg,
                    const py::object& dpi) { return ToPil(s, style(module, quietZone, fg, bg, dpi)); },
            py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2, "fg"_a = "#000000", "bg"_a = "#ffffff", "dpi"_a = none)
        .def(
            "save",
            [style](const Symbol& s, const py::object& path, const py::object& module, const py::object& quietZone,
                    const py::object& fg, const py::object& bg, const py::object& dpi, const py::object& xdimMm) {
                Save(s, path, style(module, quietZone, fg, bg, dpi), ReadModuleMillimetres(xdimMm));
            },
            "path"_a, py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2, "fg"_a = "#000000", "bg"_a = "#ffffff",
            "dpi"_a = none, "xdim_mm"_a = none)
        .def("__repr__", &Describe)
        .def(
            "__eq__", [](const Symbol& a, const Symbol& b) { return a == b; }, py::is_operator());

    m.def("encode", &EncodeOne, "Encodes one text (str) or bytes into a symbol.", "data"_a, py::kw_only(),
          "mode"_a = "minimal", "size"_a = "square", "gs1"_a = false, "eci"_a = none, "dmre"_a = false);
    m.def("encode_many", &EncodeMany, "encode() for each item, on every core; the symbols in the items' order.",
          "texts"_a, py::kw_only(), "mode"_a = "minimal", "size"_a = "square", "gs1"_a = false, "eci"_a = none,
          "dmre"_a = false);
}
