#include "arguments.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "glyphrun/names.h"

namespace glyphrun::python {
namespace {

constexpr int32_t kLargestEci = 999999;

std::string Repr(const py::handle& value) { return py::repr(value).cast<std::string>(); }

// A Python int, and not a bool, which is one too but never meant as a number.
bool IsWhole(const py::handle& value) { return py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value); }

int64_t ReadWhole(const py::handle& value, const char* name, int64_t low, int64_t high) {
    const std::string range = std::string(name) + " takes a whole number from " + std::to_string(low) + " to " +
                              std::to_string(high) + ", not " + Repr(value);
    if (!IsWhole(value)) throw py::type_error(range);
    // An int too large for 64 bits is out of range, not an overflow.
    const py::int_ number = py::reinterpret_borrow<py::int_>(value);
    if (number < py::int_(low) || number > py::int_(high)) throw py::value_error(range);
    return number.cast<int64_t>();
}

std::string ReadText(const py::handle& value, const char* name, const std::string& expected) {
    if (!py::isinstance<py::str>(value))
        throw py::type_error(std::string(name) + " takes " + expected + ", not " + Repr(value));
    return value.cast<std::string>();
}

EncodeScheme ReadMode(const py::object& mode) {
    const std::string expected = std::string("one of ") + kSchemeNames;
    if (const std::optional<EncodeScheme> scheme = SchemeOfName(ReadText(mode, "mode", expected))) return *scheme;
    throw py::value_error("mode takes " + expected + ", not " + Repr(mode));
}

int32_t ReadSize(const py::object& size) {
    const std::string expected = "'square', 'rect', 'dmre', an index 0-" + std::to_string(kAllSymbolSizeCount - 1) +
                                 ", (rows, cols) or 'ROWSxCOLS' such as '16x48'";
    if (IsWhole(size)) return static_cast<int32_t>(ReadWhole(size, "size", 0, kAllSymbolSizeCount - 1));
    std::optional<int32_t> request;
    if (py::isinstance<py::tuple>(size) && py::len(size) == 2) {
        const py::tuple pair = py::reinterpret_borrow<py::tuple>(size);
        if (!IsWhole(pair[0]) || !IsWhole(pair[1]))
            throw py::type_error("size takes " + expected + ", not " + Repr(size));
        request = SizeIndexOfDimensions(pair[0].cast<int64_t>(), pair[1].cast<int64_t>());
    } else {
        request = SizeRequestOfName(ReadText(size, "size", expected));
    }
    if (!request) throw py::value_error("size takes " + expected + ", not " + Repr(size));
    return *request;
}

// '#RRGGBB' (the '#' may be left out), or with alpha 'ff'; the background
// may be transparent: alpha '00', or None. A two-colour file's palette has
// no partial alpha.
// 0xRRGGBB.
uint32_t ReadColour(const py::object& value, const char* name, bool* transparent) {
    const std::string expected = std::string("a colour '#RRGGBB'") + (transparent ? ", '#RRGGBB00' or None" : "");
    if (transparent && value.is_none()) {
        *transparent = true;
        return 0xFFFFFF;
    }
    const std::string given = ReadText(value, name, expected);
    std::string_view text = given;
    if (!text.empty() && text[0] == '#') text.remove_prefix(1);
    const std::optional<HexColour> colour = HexColourOf(text);
    if (!colour || !(colour->alpha == 0xFF || (transparent && colour->alpha == 0)))
        throw py::value_error(std::string(name) + " takes " + expected + ", not " + Repr(value));
    if (transparent) *transparent = colour->alpha == 0;
    return colour->rgb;
}

// "the character U+D800 at position 4 ..." for the first code point of
// `text` that UTF-8 cannot hold.
std::string DescribeLoneSurrogate(const py::handle& text) {
    const Py_ssize_t length = PyUnicode_GET_LENGTH(text.ptr());
    for (Py_ssize_t i = 0; i < length; ++i) {
        const Py_UCS4 code = PyUnicode_READ_CHAR(text.ptr(), i);
        if (code >= 0xD800 && code <= 0xDFFF) {
            char name[16];
            std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
            return std::string("the character ") + name + " at position " + std::to_string(i + 1) +
                   " is a lone surrogate, which UTF-8 cannot hold";
        }
    }
    return "the text cannot be written in UTF-8";
}

}  // namespace

EncodeRequest ReadEncodeRequest(const py::object& mode, const py::object& size, bool gs1, const py::object& eci,
                                bool dmre) {
    EncodeRequest request;
    request.options.dmre = dmre;
    request.options.scheme = ReadMode(mode);
    request.options.size = ReadSize(size);
    request.rule.gs1 = gs1;
    if (!eci.is_none()) {
        if (gs1) throw py::value_error("eci: GS1 data carries no ECI; give gs1=True without eci");
        request.rule.eci = static_cast<int32_t>(ReadWhole(eci, "eci", 0, kLargestEci));
    }
    return request;
}

InputBytes ReadInput(const py::handle& data, const char* name) {
    InputBytes input;
    if (py::isinstance<py::str>(data)) {
        input.text = true;
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(data.ptr(), &size);
        if (!utf8) {
            PyErr_Clear();
            input.status = Status::Failed(InputError::NotUtf8, DescribeLoneSurrogate(data));
            return input;
        }
        input.bytes.assign(utf8, static_cast<size_t>(size));
        return input;
    }
    if (!PyObject_CheckBuffer(data.ptr()))
        throw py::type_error(std::string(name) + " takes str or bytes, not " +
                             py::str(data.get_type().attr("__name__")).cast<std::string>());
    // A contiguous buffer only: the bytes as they lie, whatever their item type.
    Py_buffer view;
    if (PyObject_GetBuffer(data.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    input.bytes.assign(static_cast<const char*>(view.buf), static_cast<size_t>(view.len));
    PyBuffer_Release(&view);
    return input;
}

py::object& StyleArgument(StyleArguments& a, size_t index) {
    py::object* fields[] = {&a.module,  &a.quietZone, &a.fg,   &a.bg,   &a.dpi,  &a.xdimMm, &a.hri,
                            &a.caption, &a.fontSize,  &a.font, &a.cmyk, &a.page, &a.verify};
    return *fields[index];
}

PageSize ReadPage(const py::object& page, const char* name) {
    const std::string expected = std::string(kPageNames) + ", each side at most 5 m";
    if (const std::optional<PageSize> size = PageSizeOfName(ReadText(page, name, expected))) return *size;
    throw py::value_error(std::string(name) + " takes " + expected + ", not " + Repr(page));
}

double ReadMillimetres(const py::object& value, const char* name) {
    const std::string range = std::string(name) + " takes millimetres from 0 to 1000, not " + Repr(value);
    if (!(py::isinstance<py::float_>(value) || IsWhole(value))) throw py::type_error(range);
    const double millimetres = value.cast<double>();
    if (!(millimetres >= 0 && millimetres <= 1000)) throw py::value_error(range);
    return millimetres * kPointsPerMillimetre;
}

bool ReadFlag(const py::object& value, const char* name) {
    if (!py::isinstance<py::bool_>(value))
        throw py::type_error(std::string(name) + " takes True or False, not " + Repr(value));
    return value.cast<bool>();
}

namespace {

double ReadDecimal(const py::object& value, const char* name, double low, double high) {
    char range[96];
    std::snprintf(range, sizeof range, " takes a number from %g to %g, not ", low, high);
    if (!(py::isinstance<py::float_>(value) || IsWhole(value))) throw py::type_error(name + (range + Repr(value)));
    const double number = value.cast<double>();
    if (!(number >= low && number <= high)) throw py::value_error(name + (range + Repr(value)));
    return number;
}

// A keyword given where the format has no use for it.
void Refuse(bool given, const char* name, const std::string& why) {
    if (given) throw py::value_error(std::string(name) + " " + why);
}

}  // namespace

Style ReadStyle(const StyleArguments& a, Format format, std::string_view data, bool gs1) {
    Style style;
    style.moduleSize = static_cast<int32_t>(ReadWhole(a.module, "module", 1, kMaxImageSide));
    style.quietZone = static_cast<int32_t>(ReadWhole(a.quietZone, "quiet_zone", 0, kMaxImageSide));
    style.foreground = ReadColour(a.fg, "fg", nullptr);
    bool transparent = false;
    style.background = ReadColour(a.bg, "bg", &transparent);
    style.backgroundAlpha = transparent ? 0 : 255;
    if (!a.dpi.is_none()) {
        style.dpi = static_cast<int32_t>(ReadWhole(a.dpi, "dpi", 1, 100000));
        style.wholeDots = true;
    }
    if (!a.xdimMm.is_none()) style.xdimMillimetres = ReadDecimal(a.xdimMm, "xdim_mm", 0.001, 1000);
    const double contrast = ScanContrast(style);
    if (contrast < kLeastContrast)
        throw py::value_error("fg and bg are too close for a scanner: their contrast is " +
                              std::to_string(static_cast<int>(contrast * 100)) + "%, at least " +
                              std::to_string(static_cast<int>(kLeastContrast * 100)) + "% is needed" +
                              (transparent ? " (a transparent background counts as the white it is printed on)" : ""));
    const bool vector = IsVector(format), pdf = format == Format::Pdf;
    Refuse(transparent && (format == Format::Bmp || format == Format::Pgm), "bg",
           "None (transparent) needs .png, .gif, .svg, .eps or .pdf; BMP and PGM have no transparency");
    Refuse(style.xdimMillimetres && !vector && a.dpi.is_none(), "xdim_mm",
           "sizes a raster file's module with dpi: give both, or module in pixels");
    if (ReadFlag(a.hri, "hri")) {
        InputRule rule;
        rule.gs1 = gs1;
        style.text.push_back(HumanReadable(data, rule));
    }
    if (!a.caption.is_none()) style.text.push_back(ReadText(a.caption, "caption", "a str"));
    Refuse(!style.text.empty() && format == Format::Pgm, "hri",
           "and caption print text on a label; PGM is the module image alone");
    if (!a.fontSize.is_none()) style.fontSize = ReadDecimal(a.fontSize, "font_size", 1, 1000);
    if (!a.font.is_none()) {
        Refuse(vector, "font", "is the font of PNG, GIF and BMP text; PDF and EPS use Helvetica, SVG the viewer's");
        PyObject* name = nullptr;
        if (!PyUnicode_FSConverter(a.font.ptr(), &name)) throw py::error_already_set();
        style.fontFile = std::string(py::reinterpret_steal<py::bytes>(name));
    }
    style.inks.cmyk = ReadFlag(a.cmyk, "cmyk");
    Refuse(style.inks.cmyk && format != Format::Eps && !pdf, "cmyk", "colours EPS and PDF only; the others have RGB");
    if (!a.page.is_none()) {
        Refuse(!pdf, "page", "is the page of a PDF");
        const PageSize page = ReadPage(a.page, "page");
        style.pageWidth = page.width;
        style.pageHeight = page.height;
    }
    return style;
}

}  // namespace glyphrun::python
