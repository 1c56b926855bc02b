#include "glyphrun/text_input.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "glyphrun/gs1.h"
#include "glyphrun/utf8.h"

namespace glyphrun {
namespace {

struct EciCharset {
    int32_t eci;
    const char* charset;         // as iconv names it
    const char* lacks = "";      // characters of iconv's set that the ECI's set leaves out
    const char* name = nullptr;  // how a refusal names the set where iconv's name would mislead
};

// The assignments of the AIM ECI register that iconv can write. Text under
// any other ECI is refused: its bytes would be wrong for what the ECI announces.
// clang-format off
constexpr EciCharset kCharsets[] = {
    {0, "CP437"},        {1, "ISO-8859-1"},   {2, "CP437"},        {3, "ISO-8859-1"},   {4, "ISO-8859-2"},
    {5, "ISO-8859-3"},   {6, "ISO-8859-4"},   {7, "ISO-8859-5"},   {8, "ISO-8859-6"},   {9, "ISO-8859-7"},
    {10, "ISO-8859-8"},  {11, "ISO-8859-9"},  {12, "ISO-8859-10"}, {13, "ISO-8859-11"}, {15, "ISO-8859-13"},
    {16, "ISO-8859-14"}, {17, "ISO-8859-15"}, {18, "ISO-8859-16"}, {20, "SHIFT_JIS"},   {21, "CP1250"},
    {22, "CP1251"},      {23, "CP1252"},      {24, "CP1256"},      {25, "UTF-16BE"},    {26, "UTF-8"},
    {27, "ASCII"},       {28, "BIG5"},        {29, "GB2312"},      {30, "EUC-KR"},      {31, "GBK"},
    {32, "GB18030"},     {33, "UTF-16LE"},    {34, "UTF-32BE"},    {35, "UTF-32LE"},
    // ISO 646's invariant characters: ASCII without those its national variants redefine.
    {170, "ASCII", "#$@[\\]^`{|}~", "ISO 646 invariant"},
};
// clang-format on

const EciCharset* EntryOfEci(int32_t eci) {
    for (const EciCharset& entry : kCharsets)
        if (entry.eci == eci) return &entry;
    return nullptr;
}

// "U+00E9" for the character whose UTF-8 sequence starts at `at`.
std::string CodePointAt(std::string_view text, size_t at) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", Utf8CharacterAt(text, at).code);
    return name;
}

// The 1-based character number of the sequence at byte `at`.
size_t CharacterNumber(std::string_view text, size_t at) {
    size_t number = 1;
    for (size_t i = 0; i < at; i += Utf8SequenceAt(text, i)) ++number;
    return number;
}

Status CheckUtf8(std::string_view text) {
    const size_t bad = FirstInvalidUtf8(text);
    if (bad == std::string::npos) return {};
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(text[bad]));
    return Status::Failed(InputError::NotUtf8, std::string("the input is not UTF-8: byte ") + hex + " at position " +
                                                   std::to_string(bad + 1));
}

// iconv's converter from UTF-8, closed however the conversion ends, memory
// running out included.
struct Converter {
    iconv_t descriptor;

    explicit Converter(const char* charset) : descriptor(iconv_open(charset, "UTF-8")) {}
    ~Converter() {
        if (Opened()) iconv_close(descriptor);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Opened() const { return descriptor != reinterpret_cast<iconv_t>(-1); }
};

// The byte position of the first character of well-formed UTF-8 that
// `converter` does not convert as it is, converted one at a time; npos when
// there is none.
size_t FirstReplaced(iconv_t converter, std::string_view text) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8CharacterAt(text, at).length;
        char* in = const_cast<char*>(text.data() + at);
        size_t inLeft = length;
        char converted[16];
        char* out = converted;
        size_t outLeft = sizeof converted;
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != 0) return at;
        at += length;
    }
    return std::string_view::npos;
}

// Converts well-formed UTF-8 with `converter` into `bytes`, with room for
// four bytes for each input byte (UTF-32 takes four for an ASCII letter),
// and more should iconv run out of room all the same. Returns npos,
// or the byte position of the first character the set lacks: glibc's iconv
// stops there, while musl's (WebAssembly's C library) writes a '*' in its
// place and counts it.
size_t Convert(iconv_t converter, std::string_view text, std::string& bytes) {
    char* in = const_cast<char*>(text.data());  // iconv's interface is not const-correct; it only reads
    size_t inLeft = text.size();
    size_t written = 0, replaced = 0;
    bytes.assign(4 * text.size() + 8, '\0');
    while (true) {
        char* out = bytes.data() + written;
        size_t outLeft = bytes.size() - written;
        const size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
        const bool done = converted != static_cast<size_t>(-1);
        written = bytes.size() - outLeft;
        if (done) replaced += converted;
        if (done || errno != E2BIG) break;
        bytes.resize(2 * bytes.size() + 8);
    }
    bytes.resize(written);
    if (inLeft != 0) return static_cast<size_t>(in - text.data());
    return replaced == 0 ? std::string_view::npos : FirstReplaced(converter, text);
}

}  // namespace

std::vector<int32_t> TextEcis() {
    std::vector<int32_t> ecis;
    for (const EciCharset& entry : kCharsets) ecis.push_back(entry.eci);
    return ecis;
}

const char* CharsetOfEci(int32_t eci) {
    const EciCharset* entry = EntryOfEci(eci);
    return entry ? entry->charset : nullptr;
}

Status EncodeText(std::string_view text, std::string& bytes, DataMeaning& meaning) {
    if (Status utf8 = CheckUtf8(text); !utf8) return utf8;
    // ASCII is the same byte in both: characters are taken one by one only
    // from the first byte above it on.
    const size_t ascii = static_cast<size_t>(
        std::find_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) -
        text.begin());
    bytes.assign(text.substr(0, ascii));
    for (size_t at = ascii; at < text.size();) {
        const Utf8Character character = Utf8CharacterAt(text, at);
        if (character.code > 0xFF) {
            bytes.assign(text);
            meaning.eciGiven = true;
            meaning.eci = kUtf8Eci;
            return {};
        }
        bytes.push_back(static_cast<char>(character.code));  // ISO 8859-1 is the first 256 code points
        at += character.length;
    }
    return {};
}

Status ConvertToEci(std::string_view text, int32_t eci, std::string& bytes) {
    if (Status utf8 = CheckUtf8(text); !utf8) return utf8;
    const EciCharset* entry = EntryOfEci(eci);
    const std::string eciName = "ECI " + std::to_string(eci);
    if (!entry) return Status::Failed(InputError::NoCharset, eciName + " names no character set that text converts to");
    const Converter converter(entry->charset);
    if (!converter.Opened())
        return Status::Failed(InputError::NotConvertible,
                              std::string("cannot convert to ") + entry->charset + " (" + eciName + ")");
    const size_t refused = std::min(Convert(converter.descriptor, text, bytes), text.find_first_of(entry->lacks));
    if (refused == std::string_view::npos) return {};
    return Status::Failed(InputError::NotConvertible, "the character " + CodePointAt(text, refused) + " at position " +
                                                          std::to_string(CharacterNumber(text, refused)) +
                                                          " is not in " + eciName + "'s character set (" +
                                                          (entry->name ? entry->name : entry->charset) + ")");
}

Status PrepareInput(std::string_view input, const InputRule& rule, std::string& bytes, DataMeaning& meaning) {
    meaning = DataMeaning{};
    if (rule.gs1) {
        meaning.gs1 = true;
        meaning.gs1Gs = rule.gs1Gs;
        Result<std::string> data = ParseGs1(input, rule.gs1Rules);
        if (!data) return Status::Failed(InputError::BadGs1, data.reason());
        bytes = std::move(data).value();
        return {};
    }
    meaning.eciGiven = rule.eci.has_value();
    meaning.eci = rule.eci.value_or(0);
    if (rule.binary) {
        bytes.assign(input);
        return {};
    }
    if (rule.eci) return ConvertToEci(input, *rule.eci, bytes);
    return EncodeText(input, bytes, meaning);
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(InputError, "glyphrun.input")

namespace {

// `digits` hexadecimal digits at `at`, or nothing.
std::optional<uint32_t> HexAt(std::string_view text, size_t at, size_t digits) {
    if (at + digits > text.size()) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = at; i < at + digits; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

Status ReadEscapes(std::string_view text, std::string& bytes, bool gs1) {
    bytes.clear();
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\') {
            bytes += text[at];
            continue;
        }
        if (gs1 && at + 1 < text.size() && (text[at + 1] == '(' || text[at + 1] == ')')) {
            bytes.append(text.substr(at, 2));
            ++at;
            continue;
        }
        // Said without backslashes, which a console shows doubled.
        const auto refuse = [&](const std::string& why) {
            return Status::Failed(InputError::BadEscape,
                                  "the backslash at position " + std::to_string(at + 1) + " " + why);
        };
        if (at + 1 == text.size()) return refuse("ends the text: a backslash itself is written twice");
        const char kind = text[at + 1];
        constexpr std::string_view kSingles = "nrt\\0GRE";
        constexpr char kBytes[] = {'\n', '\r', '\t', '\\', '\0', 29, 30, 4};
        if (const size_t single = kSingles.find(kind); single != std::string_view::npos) {
            bytes += kBytes[single];
            ++at;
            continue;
        }
        const size_t digits = kind == 'x' ? 2 : kind == 'u' ? 4 : kind == 'U' ? 8 : 0;
        if (digits == 0)
            return refuse(std::string("and '") + kind +
                          "' are no escape (--help lists them: n r t 0 x u U G R E, and a second backslash)");
        const std::optional<uint32_t> value = HexAt(text, at + 2, digits);
        if (!value)
            return refuse(std::string("and '") + kind + "' need " + std::to_string(digits) + " hexadecimal digits");
        if (kind == 'x') {
            bytes += static_cast<char>(*value);
        } else {
            if (*value > 0x10FFFF || (*value >= 0xD800 && *value <= 0xDFFF))
                return refuse(std::string("and '") + kind +
                              "' name no character: U+D800 to U+DFFF and past U+10FFFF are none");
            AppendUtf8(*value, bytes);
        }
        at += 1 + digits;
    }
    return {};
}

std::string HumanReadable(std::string_view input, const InputRule& rule) {
    if (rule.gs1)
        if (const Result<std::vector<Gs1Element>> elements = ParseGs1Elements(input, rule.gs1Rules)) {
            std::string text;
            for (const Gs1Element& element : elements.value()) text += "(" + element.ai + ")" + element.data;
            return text;
        }
    std::string text;
    for (size_t at = 0; at < input.size();) {
        const Utf8Character character = Utf8CharacterAt(input, at);
        const uint32_t code = character.length ? character.code : static_cast<unsigned char>(input[at]);
        if (character.length && code >= 0x20 && code != 0x7F && (code < 0x80 || code >= 0xA0)) {
            text.append(input.substr(at, character.length));
            at += character.length;
            continue;
        }
        switch (code) {
            case '\n': text += "\\n"; break;
            case '\r': text += "\\r"; break;
            case '\t': text += "\\t"; break;
            case 29: text += "\\G"; break;
            case 30: text += "\\R"; break;
            case 4: text += "\\E"; break;
            default: {
                char escaped[16];
                std::snprintf(escaped, sizeof escaped, code < 0x80 || character.length == 0 ? "\\x%02X" : "\\u%04X",
                              code);
                text += escaped;
            }
        }
        at += character.length ? character.length : 1;
    }
    return text;
}

}  // namespace glyphrun
