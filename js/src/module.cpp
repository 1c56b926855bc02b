// The WebAssembly module under the JavaScript package (js/index.js). Each
// call leaves its answer in one place, which the package copies into
// JavaScript values before its next call; the one thing kept between calls
// is the last symbol encoded, replaced by the next, so a caller has nothing
// to free.
//
// Options come as name and value strings, NUL-separated, as the package
// makes them of an options object; their values are read by the CLI's and
// Python's own readers of names (names.h), and refused in a line that names
// the option.
#include <emscripten/emscripten.h>
#include <malloc.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/decimal.h"
#include "glyphrun/names.h"
#include "glyphrun/text_input.h"
#include "glyphrun/write.h"

namespace glyphrun::js {
namespace {

// What a call answers, read by the package at the address glyphrun_answer gives.
struct Answer {
    int32_t rows = 0, cols = 0, sizeIndex = 0, dataCodewords = 0, capacity = 0;
    const char* bytes = nullptr;  // the codewords then the modules; a file; or the reason of a refusal
    uint32_t size = 0;
};

Answer answer;
std::string answerBytes;

enum Outcome : int { kDone = 0, kNotEncoded = 1, kBadOption = 2 };

// The first option refused, with its line. The build has no exceptions:
// a refusal is kept here, and the reading stops at it.
std::string refusal;

void Refuse(std::string reason) {
    if (refusal.empty()) refusal = std::move(reason);
}

int Answered(int outcome, std::string bytes) {
    answerBytes = std::move(bytes);
    answer.bytes = answerBytes.data();
    answer.size = static_cast<uint32_t>(answerBytes.size());
    return outcome;
}

int64_t ReadWhole(std::string_view name, std::string_view value, int64_t low, int64_t high) {
    int64_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || number < low || number > high)
        Refuse(std::string(name) + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not " + std::string(value));
    return number;
}

double ReadDecimal(std::string_view name, std::string_view value, double low, double high) {
    const std::optional<double> number = ReadFixedDecimal(value);
    if (number && *number >= low && *number <= high) return *number;
    char range[64];
    std::snprintf(range, sizeof range, " takes a number from %g to %g, not ", low, high);
    Refuse(std::string(name) + range + std::string(value));
    return 0;
}

bool ReadFlag(std::string_view name, std::string_view value) {
    if (value != "true" && value != "false")
        Refuse(std::string(name) + " takes true or false, not " + std::string(value));
    return value == "true";
}

// '#RRGGBB' (the '#' may be left out); the background may be transparent:
// null, 'none' or '#RRGGBB00'.
uint32_t ReadColour(std::string_view name, std::string_view value, bool* transparent) {
    if (transparent && value == "none") {
        *transparent = true;
        return 0xFFFFFF;
    }
    if (value.starts_with('#')) value.remove_prefix(1);
    const std::optional<HexColour> colour = HexColourOf(value);
    if (!colour || !(colour->alpha == 0xFF || (transparent && colour->alpha == 0)))
        Refuse(std::string(name) + " takes a colour '#RRGGBB'" + (transparent ? ", '#RRGGBB00' or null" : "") +
               ", not " + std::string(value));
    if (transparent) *transparent = colour->alpha == 0;
    return colour->rgb;
}

// Calls take(name, value) for each pair of the list.
template <typename Take>
void ForEachOption(std::string_view list, const Take& take) {
    while (!list.empty() && refusal.empty()) {
        const size_t nameEnd = list.find('\0');
        const size_t valueEnd = list.find('\0', nameEnd + 1);
        take(list.substr(0, nameEnd), list.substr(nameEnd + 1, valueEnd - nameEnd - 1));
        list.remove_prefix(valueEnd == std::string_view::npos ? list.size() : valueEnd + 1);
    }
}

struct Request {
    EncodeOptions options;
    InputRule rule;
};

Request ReadRequest(std::string_view list) {
    Request request;
    ForEachOption(list, [&](std::string_view name, std::string_view value) {
        if (name == "mode") {
            const std::optional<EncodeScheme> scheme = SchemeOfName(value);
            if (!scheme) Refuse(std::string("mode takes ") + kSchemeNames + ", not " + std::string(value));
            request.options.scheme = *scheme;
        } else if (name == "size") {
            const std::optional<int32_t> size = SizeRequestOfName(value);
            if (!size)
                Refuse("size takes 'square', 'rect', 'dmre', an index 0-" + std::to_string(kAllSymbolSizeCount - 1) +
                       " or 'ROWSxCOLS' such as '16x48', not " + std::string(value));
            request.options.size = *size;
        } else if (name == "gs1") {
            request.rule.gs1 = ReadFlag(name, value);
        } else if (name == "eci") {
            request.rule.eci = static_cast<int32_t>(ReadWhole(name, value, 0, 999999));
        } else if (name == "dmre") {
            request.options.dmre = ReadFlag(name, value);
        } else {
            Refuse("encode has no option " + std::string(name) + " (mode, size, gs1, eci, dmre)");
        }
    });
    if (request.rule.gs1 && request.rule.eci) Refuse("eci: GS1 data carries no ECI; give gs1 without eci");
    return request;
}

Style ReadStyle(std::string_view list, Format format) {
    Style style;
    bool transparent = false, dpiGiven = false;
    ForEachOption(list, [&](std::string_view name, std::string_view value) {
        if (name == "module") {
            style.moduleSize = static_cast<int32_t>(ReadWhole(name, value, 1, kMaxImageSide));
        } else if (name == "quietZone") {
            style.quietZone = static_cast<int32_t>(ReadWhole(name, value, 0, kMaxQuietZone));
        } else if (name == "fg") {
            style.foreground = ReadColour(name, value, nullptr);
        } else if (name == "bg") {
            style.background = ReadColour(name, value, &transparent);
        } else if (name == "dpi") {
            style.dpi = static_cast<int32_t>(ReadWhole(name, value, 1, 100000));
            style.wholeDots = dpiGiven = true;
        } else if (name == "xdim") {
            style.xdimMillimetres = ReadDecimal(name, value, 0.001, 1000);
        } else if (name == "rotate") {
            const int64_t degrees = ReadWhole(name, value, 0, 270);
            if (degrees % 90 != 0) Refuse("rotate takes 0, 90, 180 or 270 degrees, not " + std::string(value));
            style.rotation = static_cast<int32_t>(degrees);
        } else if (name == "hri") {
            if (ReadFlag(name, value)) style.text.emplace_back();  // the line is the input's, added by the caller
        } else {
            Refuse("a symbol is drawn with no option " + std::string(name) +
                   " (module, quietZone, fg, bg, dpi, xdim, rotate, hri)");
        }
    });
    style.backgroundAlpha = transparent ? 0 : 255;
    if (style.xdimMillimetres && !IsVector(format) && !dpiGiven)
        Refuse("xdim sizes a PNG's module with dpi: give both, or module in pixels");
    if (const double contrast = ScanContrast(style); contrast < kLeastContrast)
        Refuse("fg and bg are too close for a scanner: their contrast is " +
               std::to_string(static_cast<int>(contrast * 100)) + "%, at least " +
               std::to_string(static_cast<int>(kLeastContrast * 100)) + "% is needed" +
               (transparent ? " (a transparent background counts as the white it is printed on)" : ""));
    return style;
}

// The last symbol encoded and what it was made of: the package mostly draws
// a symbol right after making it, and then need not encode it again.
struct Last {
    std::string key;
    std::optional<Symbol> symbol;
} last;

// The input, its options and its rule in one string, unambiguously.
std::string KeyOf(std::string_view input, std::string_view options, int text) {
    std::string key = std::to_string(options.size()) + (text ? 't' : 'b');
    key.append(options).append(input);
    return key;
}

Result<Symbol> EncodeInput(std::string_view input, bool text, const Request& request) {
    InputRule rule = request.rule;
    rule.binary = !text;
    std::string bytes;
    EncodeOptions options = request.options;
    if (Status prepared = PrepareInput(input, rule, bytes, options.meaning); !prepared) {
        if (prepared.Is(InputError::NoCharset)) prepared.message += " (a Uint8Array goes under any ECI as it is)";
        return prepared;
    }
    return Encode({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, options);
}

}  // namespace
}  // namespace glyphrun::js

using namespace glyphrun;
using namespace glyphrun::js;

extern "C" {

// The bytes the module's allocator has handed out and not had back: after
// the first calls, the same however many more are made.
EMSCRIPTEN_KEEPALIVE size_t glyphrun_heap_in_use() { return static_cast<size_t>(mallinfo().uordblks); }

// Where the answer of the last call is.
EMSCRIPTEN_KEEPALIVE const Answer* glyphrun_answer() { return &answer; }

// The symbol of `input` (UTF-8 text by the CLI's rule when `text`, else
// bytes): its facts, and its codewords then its modules as the answer's
// bytes. kNotEncoded and kBadOption answer the reason.
EMSCRIPTEN_KEEPALIVE int glyphrun_encode(const char* input, size_t length, const char* options, size_t optionsLength,
                                         int text) {
    refusal.clear();
    last.key.clear();
    last.symbol.reset();
    const Request request = ReadRequest({options, optionsLength});
    if (!refusal.empty()) return Answered(kBadOption, refusal);
    Result<Symbol> made = EncodeInput({input, length}, text, request);
    if (!made) return Answered(kNotEncoded, made.reason());
    last.key = KeyOf({input, length}, {options, optionsLength}, text);
    const Symbol& symbol = last.symbol.emplace(std::move(made).value());
    answer.rows = symbol.rows();
    answer.cols = symbol.cols();
    answer.sizeIndex = symbol.sizeIndex();
    answer.dataCodewords = symbol.dataCodewords();
    answer.capacity = symbol.capacity();
    const std::vector<uint8_t>& codewords = symbol.codewords();
    const std::vector<uint8_t>& modules = symbol.modules();
    std::string bytes(reinterpret_cast<const char*>(codewords.data()), codewords.size());
    bytes.append(reinterpret_cast<const char*>(modules.data()), modules.size());
    return Answered(kDone, std::move(bytes));
}

// The file of `input`'s symbol in `format` (0 PNG, 1 SVG, 2 PDF) drawn in
// the style of `style`, as glyphrun-cli writes it.
EMSCRIPTEN_KEEPALIVE int glyphrun_draw(const char* input, size_t length, const char* options, size_t optionsLength,
                                       const char* style, size_t styleLength, int text, int format) {
    const Format kFormats[] = {Format::Png, Format::Svg, Format::Pdf};
    const Format chosen = kFormats[format];
    refusal.clear();
    const Request request = ReadRequest({options, optionsLength});
    Style drawing = ReadStyle({style, styleLength}, chosen);
    if (!refusal.empty()) return Answered(kBadOption, refusal);
    if (!drawing.text.empty()) {
        InputRule rule = request.rule;
        rule.binary = !text;
        drawing.text.front() = HumanReadable({input, length}, rule);
    }
    std::optional<Result<Symbol>> made;
    if (!last.symbol || last.key != KeyOf({input, length}, {options, optionsLength}, text)) {
        made.emplace(EncodeInput({input, length}, text, request));
        if (!*made) return Answered(kNotEncoded, made->reason());
    }
    Result<std::string> file = WriteSymbol(made ? made->value() : *last.symbol, chosen, drawing);
    if (!file) return Answered(kNotEncoded, file.reason());
    return Answered(kDone, std::move(file).value());
}
}
