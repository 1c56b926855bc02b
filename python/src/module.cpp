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
#if GLYPHRUN_HAVE_READER
#include "reader_module.h"
extern "C" int glyphrun_read_data_matrix(const uint8_t* grey, int width, int height, GlyphrunReading* reading);
#endif
#include "glyphrun/facts.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gs1.h"
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

// A symbol, its input as given (for the text printed under it) and how it
// was asked for (to make it again when unpickled).
struct PySymbol {
    Symbol symbol;
    std::string data;
    EncodeRequest request;
    bool text = false;  // the data was a str
};

PySymbol EncodeOne(const py::object& data, const py::object& mode, const py::object& size, bool gs1,
                   const py::object& eci, bool dmre) {
    const EncodeRequest request = ReadEncodeRequest(mode, size, gs1, eci, dmre);
    InputBytes input = ReadInput(data, "data");
    std::optional<Result<Symbol>> encoded;
    {
        py::gil_scoped_release unlocked;
        encoded.emplace(EncodeInput(input, request));
    }
    if (!*encoded) RaiseFailure(encoded->status());
    return {std::move(*encoded).value(), std::move(input.bytes), request, input.text};
}

// What pickle keeps of a symbol: its input and how it was asked for; the
// symbol is made again from them, by the encoder as every symbol is.
py::tuple StateOf(const PySymbol& s) {
    const EncodeRequest& r = s.request;
    return py::make_tuple(BytesOf(s.data), s.text, static_cast<int>(r.options.scheme), r.options.size, r.rule.gs1,
                          r.rule.eci ? py::object(py::int_(*r.rule.eci)) : py::object(py::none()), r.options.dmre);
}

PySymbol SymbolOfState(const py::tuple& state) {
    if (state.size() != 7) throw py::value_error("not the state of a glyphrun.Symbol");
    EncodeRequest request;
    request.options.scheme = static_cast<EncodeScheme>(state[2].cast<int>());
    request.options.size = state[3].cast<int32_t>();
    request.rule.gs1 = state[4].cast<bool>();
    if (!state[5].is_none()) request.rule.eci = state[5].cast<int32_t>();
    request.options.dmre = state[6].cast<bool>();
    InputBytes input;
    input.bytes = state[0].cast<std::string>();
    input.text = state[1].cast<bool>();
    Result<Symbol> encoded = EncodeInput(input, request);
    if (!encoded) RaiseFailure(encoded.status());
    return {std::move(encoded).value(), std::move(input.bytes), request, input.text};
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
                    const py::object& eci, bool dmre, const std::string& errors) {
    if (py::isinstance<py::str>(texts))
        throw py::type_error("texts takes an iterable of str or bytes, not one str, which would be split into "
                             "its characters");
    if (errors != "raise" && errors != "return")
        throw py::value_error("errors takes 'raise' or 'return', not '" + errors + "'");
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
    // With errors="return" a failure takes its item's place as an EncodeError
    // (memory that ran out is still raised).
    const py::object encodeError = py::module_::import("glyphrun._glyphrun").attr("EncodeError");
    py::list result(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i) {
        const std::string context = "texts[" + std::to_string(i) + "]: ";
        if (*encoded[i])
            result[i] =
                py::cast(PySymbol{std::move(*encoded[i]).value(), std::move(inputs[i].bytes), request, inputs[i].text});
        else if (errors == "raise" || encoded[i]->reason() == kOutOfMemory)
            RaiseFailure(encoded[i]->status(), context);
        else
            result[i] = encodeError(context + encoded[i]->reason());
    }
    return result;
}

// verify=True: the symbol read back by an independent reader (zxing-cpp)
// from the picture about to be answered, as glyphrun-cli --verify does;
// EncodeError with what was read when it does not say what was meant.
void Verify(const PySymbol& symbol, Format format, const Style& style) {
#if GLYPHRUN_HAVE_READER
    InputRule rule = symbol.request.rule;
    rule.binary = !symbol.text;
    std::string bytes;
    DataMeaning meaning;
    if (Status prepared = PrepareInput(symbol.data, rule, bytes, meaning); !prepared) RaiseFailure(prepared);
    const Result<GreyPicture> picture = PictureToRead(symbol.symbol, format, style);
    if (!picture) RaiseFailure(picture.status());
    auto reading = std::make_unique<GlyphrunReading>();
    if (!glyphrun_read_data_matrix(picture->pixels.data(), picture->width, picture->height, reading.get()))
        throw EncodeFailed("verification failed: the reader found no symbol in the picture");
    const std::string_view read(reinterpret_cast<const char*>(reading->bytes), reading->length);
    if (read != bytes || reading->hasEci != meaning.eciGiven || reading->gs1 != meaning.gs1 ||
        reading->readerInit != symbol.symbol.meaning().readerInit)
        throw EncodeFailed("verification failed: the reader read '" + HumanReadable(read) + "' where '" +
                           HumanReadable(bytes) + "' was meant");
#else
    (void)symbol, (void)format, (void)style;
    throw py::value_error("verify needs zxing-cpp, which this build of glyphrun was made without (Debian package "
                          "libzxing-dev)");
#endif
}

// The file's bytes, drawn without the GIL.
std::string Draw(const PySymbol& symbol, Format format, const StyleArguments& arguments) {
    const Style style = ReadStyle(arguments, format, symbol.data, symbol.symbol.meaning().gs1);
    if (ReadFlag(arguments.verify, "verify")) Verify(symbol, format, style);
    std::optional<Result<std::string>> file;
    {
        py::gil_scoped_release unlocked;
        file.emplace(WriteSymbol(symbol.symbol, format, style));
    }
    if (!*file) RaiseFailure(file->status());
    return std::move(*file).value();
}

// A read-only view of the modules, kept alive by the Symbol that owns them.
py::array ModulesOf(const py::object& self) {
    const Symbol& symbol = self.cast<const PySymbol&>().symbol;
    py::array view(py::dtype::of<bool>(), {symbol.rows(), symbol.cols()}, {symbol.cols(), 1}, symbol.modules().data(),
                   self);
    view.attr("setflags")(py::arg("write") = false);
    return view;
}

py::object ToPil(const PySymbol& symbol, const StyleArguments& style) {
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

std::optional<Format> PathFormat(const py::object& path, const std::string& name) {
    const std::optional<Format> format = FormatOfPath(name);
    if (!format)
        throw py::value_error("path must end in .png, .gif, .bmp, .pgm, .svg, .eps or .pdf, not " +
                              py::repr(py::module_::import("os").attr("fsdecode")(path)).cast<std::string>());
    return format;
}

// A replaced file whose owner could not be kept.
void Warn(const Warnings& warnings) {
    for (const std::string& warning : warnings)
        if (PyErr_WarnEx(PyExc_RuntimeWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
}

void Save(const PySymbol& symbol, const py::object& path, const StyleArguments& style) {
    const std::string name = FileNameOf(path);
    const std::string file = Draw(symbol, *PathFormat(path, name), style);
    Status written;
    Warnings warnings;
    {
        py::gil_scoped_release unlocked;
        written = WriteFileSafely(name, std::string_view(file), &warnings);
    }
    if (!written) RaiseOsError(written, path);
    Warn(warnings);
}

// The keywords of write_labels beside the drawing's: how the items are
// encoded and how the pages are laid out.
struct LabelArguments {
    StyleArguments style;
    py::object mode = py::str("minimal"), size = py::str("square"), gs1 = py::bool_(false), eci = py::none(),
               dmre = py::bool_(false);
    py::object sheet = py::none(), grid = py::str("1x1"), sheetMargin = py::int_(0), gap = py::int_(0);
};

LabelArguments ReadLabelArguments(const py::kwargs& keywords) {
    LabelArguments a;
    const std::pair<const char*, py::object*> own[] = {
        {"mode", &a.mode},  {"size", &a.size},   {"gs1", &a.gs1},   {"eci", &a.eci},
        {"dmre", &a.dmre},  {"sheet", &a.sheet}, {"grid", &a.grid}, {"sheet_margin_mm", &a.sheetMargin},
        {"gap_mm", &a.gap},
    };
    for (const auto& [key, value] : keywords) {
        const std::string name = py::str(key);
        py::object* field = nullptr;
        for (size_t i = 0; i < std::size(kStyleKeywords); ++i)
            if (name == kStyleKeywords[i]) field = &StyleArgument(a.style, i);
        for (const auto& [ownName, ownField] : own)
            if (name == ownName) field = ownField;
        if (!field) throw py::type_error("write_labels() got an unexpected keyword argument '" + name + "'");
        *field = py::reinterpret_borrow<py::object>(value);
    }
    return a;
}

Sheet ReadSheet(const LabelArguments& a) {
    Sheet sheet;
    const py::object& page = a.sheet.is_none() ? a.style.page : a.sheet;
    if (!page.is_none()) {
        const PageSize size = ReadPage(page, a.sheet.is_none() ? "page" : "sheet");
        sheet.pageWidth = size.width;
        sheet.pageHeight = size.height;
    }
    const std::string expected = "'COLSxROWS' such as '3x8', or (cols, rows)";
    if (py::isinstance<py::tuple>(a.grid) && py::len(a.grid) == 2) {
        sheet.columns = py::cast<int32_t>(a.grid[py::int_(0)]);
        sheet.rows = py::cast<int32_t>(a.grid[py::int_(1)]);
    } else if (py::isinstance<py::str>(a.grid)) {
        const std::string text = a.grid.cast<std::string>();
        if (std::sscanf(text.c_str(), "%dx%d", &sheet.columns, &sheet.rows) != 2)
            throw py::value_error("grid takes " + expected + ", not " + py::repr(a.grid).cast<std::string>());
    } else {
        throw py::type_error("grid takes " + expected + ", not " + py::repr(a.grid).cast<std::string>());
    }
    sheet.margin = ReadMillimetres(a.sheetMargin, "sheet_margin_mm");
    sheet.gap = ReadMillimetres(a.gap, "gap_mm");
    return sheet;
}

// One PDF of a label for each item, a Symbol or data to encode, taken from
// the iterable as the pages are written; the file is kept only when every
// item made its label.
size_t WriteLabels(const py::object& path, const py::iterable& items, const py::kwargs& keywords) {
    const std::string name = FileNameOf(path);
    if (PathFormat(path, name) != Format::Pdf) throw py::value_error("path: write_labels writes one .pdf");
    LabelArguments arguments = ReadLabelArguments(keywords);
    const EncodeRequest request = ReadEncodeRequest(arguments.mode, arguments.size, ReadFlag(arguments.gs1, "gs1"),
                                                    arguments.eci, ReadFlag(arguments.dmre, "dmre"));
    const Sheet sheet = ReadSheet(arguments);
    arguments.style.page = py::none();  // the sheet's
    const bool hri = arguments.style.hri.cast<bool>();
    arguments.style.hri = py::bool_(false);  // each item's own data, below
    const Style style = ReadStyle(arguments.style, Format::Pdf, {}, false);
    const bool verify = ReadFlag(arguments.style.verify, "verify");
    size_t count = 0;
    const auto write = [&](FILE* file) {
        Result<LabelDocument> document = LabelDocument::Make(style, sheet, [file](std::string_view bytes) {
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        });
        if (!document) RaiseFailure(document.status());
        for (const py::handle item : items) {
            const std::string context = "items[" + std::to_string(count) + "]: ";
            std::optional<PySymbol> made;
            if (py::isinstance<PySymbol>(item)) {
                made = item.cast<PySymbol>();
            } else {
                InputBytes input = ReadInput(item, context.substr(0, context.size() - 2).c_str());
                Result<Symbol> encoded = EncodeInput(input, request);
                if (!encoded) RaiseFailure(encoded.status(), context);
                made = PySymbol{std::move(encoded).value(), std::move(input.bytes), request, input.text};
            }
            if (verify) Verify(*made, Format::Pdf, style);
            std::vector<std::string> text = style.text;
            if (hri) {
                InputRule rule;
                rule.gs1 = made->symbol.meaning().gs1;
                text.insert(text.begin(), HumanReadable(made->data, rule));
            }
            const Result<PdfLabel> label = document->Draw(made->symbol, std::move(text));
            if (!label) RaiseFailure(label.status(), context);
            if (Status added = document.value().Add(label.value()); !added) RaiseFailure(added, context);
            ++count;
        }
        if (Status finished = document.value().Finish(); !finished) RaiseFailure(finished);
        return true;
    };
    Warnings warnings;
    const Status written = WriteFileSafely(name, write, &warnings);
    if (!written) RaiseOsError(written, path);
    Warn(warnings);
    return count;
}

// The report's fields of a symbol, as glyphrun-cli --report writes them.
py::dict ReportOf(const PySymbol& s) {
    const SymbolFacts facts = FactsOf(s.symbol, s.data, s.text, s.request.rule.gs1Rules);
    py::dict report;
    report["rows"] = facts.rows;
    report["cols"] = facts.cols;
    report["size_index"] = facts.sizeIndex;
    report["family"] = facts.family;
    report["data_codewords"] = facts.dataCodewords;
    report["capacity"] = facts.capacity;
    report["ecc_codewords"] = facts.eccCodewords;
    py::list schemes;
    for (const SchemeRun& run : facts.schemes)
        schemes.append(py::dict(py::arg("scheme") = SchemeName(run.scheme), py::arg("codewords") = run.codewords));
    report["schemes"] = schemes;
    if (facts.gs1) {
        py::list elements;
        for (const Gs1Element& element : facts.gs1Elements)
            elements.append(py::dict(py::arg("ai") = element.ai, py::arg("title") = std::string(Gs1Title(element.ai)),
                                     py::arg("value") = element.data));
        report["gs1"] = elements;
    }
    if (facts.eci) report["eci"] = *facts.eci;
    if (!facts.charset.empty()) report["charset"] = facts.charset;
    if (const StructuredAppend& append = facts.append; append.count)
        report["structured_append"] = py::dict(py::arg("index") = append.index + 1, py::arg("count") = append.count,
                                               py::arg("file_id") = py::make_tuple(append.fileId1, append.fileId2));
    return report;
}

std::string Describe(const PySymbol& labelled) {
    const Symbol& symbol = labelled.symbol;
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

    // Every drawing method takes the same keywords, after the path for save.
    const auto drawing = [](auto method) {
        return [method](const PySymbol& s, const py::object& module, const py::object& quietZone, const py::object& fg,
                        const py::object& bg, const py::object& dpi, const py::object& xdimMm, const py::object& hri,
                        const py::object& caption, const py::object& fontSize, const py::object& font,
                        const py::object& cmyk, const py::object& page, const py::object& verify) {
            return method(s, StyleArguments{module, quietZone, fg, bg, dpi, xdimMm, hri, caption, fontSize, font, cmyk,
                                            page, verify});
        };
    };
    const py::none none;  // the default of the keywords that may be left out
    const auto define = [&](auto& type, const char* name, auto function, const char* doc) {
        type.def(name, drawing(function), doc, py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2, "fg"_a = "#000000",
                 "bg"_a = "#ffffff", "dpi"_a = none, "xdim_mm"_a = none, "hri"_a = false, "caption"_a = none,
                 "font_size"_a = none, "font"_a = none, "cmyk"_a = false, "page"_a = none, "verify"_a = false);
    };
    const auto text = [](Format format) {
        return [format](const PySymbol& s, const StyleArguments& style) { return Draw(s, format, style); };
    };
    const auto bytes = [](Format format) {
        return [format](const PySymbol& s, const StyleArguments& style) { return BytesOf(Draw(s, format, style)); };
    };

    // Final: a subclass would be another way to a Symbol that encode() did not make.
    py::class_<PySymbol> symbolType(m, "Symbol", "A finished symbol: its size, codewords and modules.", py::is_final());
    reinterpret_cast<PyTypeObject*>(symbolType.ptr())->tp_new = RefuseNewSymbol;
    symbolType.def_property_readonly("rows", [](const PySymbol& s) { return s.symbol.rows(); })
        .def_property_readonly("cols", [](const PySymbol& s) { return s.symbol.cols(); })
        .def_property_readonly("size_index", [](const PySymbol& s) { return s.symbol.sizeIndex(); })
        .def_property_readonly("data_codewords", [](const PySymbol& s) { return s.symbol.dataCodewords(); })
        .def_property_readonly("capacity", [](const PySymbol& s) { return s.symbol.capacity(); })
        .def_property_readonly("codewords",
                               [](const PySymbol& s) {
                                   const auto codewords = s.symbol.codewords();
                                   return BytesOf({reinterpret_cast<const char*>(codewords.data()), codewords.size()});
                               })
        .def_property_readonly("modules", &ModulesOf)
        .def("__repr__", &Describe)
        .def(
            "__eq__", [](const PySymbol& a, const PySymbol& b) { return a.symbol == b.symbol; }, py::is_operator())
        .def("__hash__",
             [](const PySymbol& s) {
                 const auto codewords = s.symbol.codewords();
                 return py::hash(
                     py::make_tuple(s.symbol.rows(), s.symbol.cols(),
                                    BytesOf({reinterpret_cast<const char*>(codewords.data()), codewords.size()})));
             })
        .def("__reduce__",
             [](const PySymbol& s) {
                 // A function of the package's Python, which pickle finds by its
                 // name (a builtin's is bound to an object pickle cannot keep).
                 return py::make_tuple(py::module_::import("glyphrun").attr("_symbol_of_state"),
                                       py::make_tuple(StateOf(s)));
             })
        .def("report", &ReportOf, "The fields glyphrun-cli --report writes for the symbol, as a dict.")
        .def(
            "_repr_png_", [](const PySymbol& s) { return BytesOf(Draw(s, Format::Png, {})); },
            "The symbol as PNG, for notebooks.")
        .def(
            "_repr_svg_", [](const PySymbol& s) { return Draw(s, Format::Svg, {}); },
            "The symbol as SVG, for notebooks.");
    define(symbolType, "to_png", bytes(Format::Png), "A two-colour PNG file.");
    define(symbolType, "to_svg", text(Format::Svg), "An SVG document.");
    define(symbolType, "to_eps", text(Format::Eps), "An EPS document.");
    define(symbolType, "to_pdf", bytes(Format::Pdf), "A one-page PDF document.");
    define(symbolType, "to_pil", ToPil, "The PNG opened by Pillow.");
    symbolType.def(
        "save",
        [](const PySymbol& s, const py::object& path, const py::object& module, const py::object& quietZone,
           const py::object& fg, const py::object& bg, const py::object& dpi, const py::object& xdimMm,
           const py::object& hri, const py::object& caption, const py::object& fontSize, const py::object& font,
           const py::object& cmyk, const py::object& page, const py::object& verify) {
            Save(s, path, {module, quietZone, fg, bg, dpi, xdimMm, hri, caption, fontSize, font, cmyk, page, verify});
        },
        "Writes the file the path's extension names.", "path"_a, py::kw_only(), "module"_a = 4, "quiet_zone"_a = 2,
        "fg"_a = "#000000", "bg"_a = "#ffffff", "dpi"_a = none, "xdim_mm"_a = none, "hri"_a = false, "caption"_a = none,
        "font_size"_a = none, "font"_a = none, "cmyk"_a = false, "page"_a = none, "verify"_a = false);

    m.def("encode", &EncodeOne, "Encodes one text (str) or bytes into a symbol.", "data"_a, py::kw_only(),
          "mode"_a = "minimal", "size"_a = "square", "gs1"_a = false, "eci"_a = none, "dmre"_a = false);
    m.def("encode_many", &EncodeMany, "encode() for each item, on every core; the symbols in the items' order.",
          "texts"_a, py::kw_only(), "mode"_a = "minimal", "size"_a = "square", "gs1"_a = false, "eci"_a = none,
          "dmre"_a = false, "errors"_a = "raise");
    m.def("_symbol_of_state", &SymbolOfState, "A Symbol made again from what pickle kept of it.");
    m.def("write_labels", &WriteLabels, "One PDF of a label for each item, streamed from any iterable.", "path"_a,
          "items"_a);
}
