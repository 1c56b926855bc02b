#include "glyphrun/gs1.h"

#include <algorithm>
#include <cstring>

#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

// One Application Identifier: its digits ('n' stands for any digit, as in
// the decimal-point AIs 310n), and its data as parts separated by '+':
// N (digits) or X (the GS1 character set), then a fixed length or ".."
// and a maximum; a trailing 'c' on a part checks its last digit (mod 10),
// a trailing 'd' reads it as a date YYMMDD, a trailing 'o' lets a last
// part (a serial, further country codes) be left out.
struct AiEntry {
    const char* ai;
    const char* format;
};

constexpr AiEntry kAiTable[] = {
    {"00", "N18c"},     {"01", "N14c"},     {"02", "N14c"},     {"10", "X..20"},    {"11", "N6d"},
    {"12", "N6d"},      {"13", "N6d"},      {"15", "N6d"},      {"16", "N6d"},      {"17", "N6d"},
    {"20", "N2"},       {"21", "X..20"},    {"22", "X..20"},    {"235", "X..28"},   {"240", "X..30"},
    {"241", "X..30"},   {"242", "N..6"},    {"243", "X..20"},   {"250", "X..30"},   {"251", "X..30"},
    {"253", "N13c+X..17o"}, {"254", "X..20"}, {"255", "N13c+N..12o"}, {"30", "N..8"},
    {"310n", "N6"},     {"311n", "N6"},     {"312n", "N6"},     {"313n", "N6"},     {"314n", "N6"},
    {"315n", "N6"},     {"316n", "N6"},     {"320n", "N6"},     {"321n", "N6"},     {"322n", "N6"},
    {"323n", "N6"},     {"324n", "N6"},     {"325n", "N6"},     {"326n", "N6"},     {"327n", "N6"},
    {"328n", "N6"},     {"329n", "N6"},     {"330n", "N6"},     {"331n", "N6"},     {"332n", "N6"},
    {"333n", "N6"},     {"334n", "N6"},     {"335n", "N6"},     {"336n", "N6"},     {"337n", "N6"},
    {"340n", "N6"},     {"341n", "N6"},     {"342n", "N6"},     {"343n", "N6"},     {"344n", "N6"},
    {"345n", "N6"},     {"346n", "N6"},     {"347n", "N6"},     {"348n", "N6"},     {"349n", "N6"},
    {"350n", "N6"},     {"351n", "N6"},     {"352n", "N6"},     {"353n", "N6"},     {"354n", "N6"},
    {"355n", "N6"},     {"356n", "N6"},     {"357n", "N6"},     {"360n", "N6"},     {"361n", "N6"},
    {"362n", "N6"},     {"363n", "N6"},     {"364n", "N6"},     {"365n", "N6"},     {"366n", "N6"},
    {"367n", "N6"},     {"368n", "N6"},     {"369n", "N6"},     {"37", "N..8"},     {"390n", "N..15"},
    {"391n", "N3+N..15"}, {"392n", "N..15"}, {"393n", "N3+N..15"}, {"400", "X..30"}, {"401", "X..30"},
    {"402", "N17c"},    {"403", "X..30"},   {"410", "N13c"},    {"411", "N13c"},    {"412", "N13c"},
    {"413", "N13c"},    {"414", "N13c"},    {"415", "N13c"},    {"416", "N13c"},    {"417", "N13c"},
    {"420", "X..20"},   {"421", "N3+X..9"}, {"422", "N3"},      {"423", "N3+N..12o"}, {"424", "N3"},
    {"425", "N3+N..12o"}, {"426", "N3"},     {"7001", "N13"},    {"7002", "X..30"},  {"7003", "N10"},     {"7240", "X..20"},
    {"8001", "N14"},    {"8002", "X..20"},  {"8003", "N14c+X..16o"}, {"8004", "X..30"}, {"8005", "N6"},
    {"8006", "N14c+N2+N2"}, {"8007", "X..34"}, {"8008", "N8+N..4o"}, {"8017", "N18c"}, {"8018", "N18c"},
    {"8012", "X..20"},  {"8020", "X..25"},   {"8200", "X..70"},  {"90", "X..30"},    {"91", "X..90"},    {"92", "X..90"},    {"93", "X..90"},
    {"94", "X..90"},    {"95", "X..90"},    {"96", "X..90"},    {"97", "X..90"},    {"98", "X..90"},
    {"99", "X..90"},
};

// AIs whose first two digits say the element's length: a reader needs no
// separator after them. Every other element ends with one when another follows.
bool HasPredefinedLength(const std::string& ai) {
    static constexpr const char* kPrefixes[] = {"00", "01", "02", "03", "04", "11", "12", "13", "14", "15", "16",
                                                "17", "18", "19", "20", "31", "32", "33", "34", "35", "36", "41"};
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](const char* prefix) { return ai.compare(0, 2, prefix) == 0; });
}

const AiEntry* FindAi(const std::string& ai) {
    for (const AiEntry& entry : kAiTable) {
        if (std::strlen(entry.ai) != ai.size()) continue;
        bool match = true;
        for (size_t i = 0; i < ai.size() && match; ++i) match = entry.ai[i] == 'n' || entry.ai[i] == ai[i];
        if (match) return &entry;
    }
    return nullptr;
}

// The GS1 character set: digits, letters and ! " % & ' ( ) * + , - . / : ; < = > ? _
bool IsGs1Char(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c != 0 && std::strchr("!\"%&'()*+,-./:;<=>?_", c));
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

char ExpectedCheckDigit(std::string_view digits) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        // Weights 3 and 1 alternate from the digit next to the check digit.
        const size_t fromRight = digits.size() - i;
        sum += (digits[i] - '0') * (fromRight % 2 == 1 ? 3 : 1);
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

bool IsDate(std::string_view d) {
    const int month = (d[2] - '0') * 10 + (d[3] - '0'), day = (d[4] - '0') * 10 + (d[5] - '0');
    return month >= 1 && month <= 12 && day <= 31;  // day 00: the last day of the month
}

struct Part {
    char kind;  // 'N' or 'X'
    size_t length;
    bool variable, checkDigit, date, optional;
};

Part ParsePart(std::string_view text) {
    Part part{text[0], 0, false, false, false, false};
    size_t i = 1;
    if (text.substr(1, 2) == "..") {
        part.variable = true;
        i = 3;
    }
    for (; i < text.size() && IsDigit(text[i]); ++i) part.length = part.length * 10 + (text[i] - '0');
    part.checkDigit = text.find('c', i) != std::string_view::npos;
    part.date = text.find('d', i) != std::string_view::npos;
    part.optional = text.find('o', i) != std::string_view::npos;
    return part;
}

std::string DescribeLength(const Part& part) {
    const std::string what = part.kind == 'N' ? " digits" : " characters";
    return (part.variable ? "1 to " : "") + std::to_string(part.length) + what;
}

// Checks one part of an element's data; empty, or what is wrong.
std::string CheckPart(const Part& part, std::string_view data, bool last) {
    if (part.optional && data.empty()) return "";
    const bool lengthOk = part.variable ? (!data.empty() && data.size() <= part.length) : data.size() == part.length;
    if (!lengthOk) {
        return (last ? "the data" : "a part of the data") + std::string(" must be ") + DescribeLength(part) +
               ", not " + std::to_string(data.size());
    }
    for (size_t i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (part.kind == 'N' && !IsDigit(c)) return "'" + std::string(1, data[i]) + "' is not a digit";
        if (!IsGs1Char(c)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", c);
            return std::string("byte ") + hex + " is outside the GS1 character set";
        }
    }
    if (part.checkDigit) {
        const char expected = ExpectedCheckDigit(data.substr(0, data.size() - 1));
        if (data.back() != expected)
            return "the check digit is " + std::string(1, data.back()) + " but should be " + std::string(1, expected);
    }
    if (part.date && !IsDate(data)) return "'" + std::string(data) + "' is not a date YYMMDD";
    return "";
}

// Checks an element's data against its format; empty, or what is wrong.
std::string CheckData(const AiEntry& entry, std::string_view data) {
    std::string_view format = entry.format;
    while (!format.empty()) {
        const size_t plus = format.find('+');
        const Part part = ParsePart(format.substr(0, plus));
        const bool last = plus == std::string_view::npos;
        // A fixed part takes its length; the last part takes the rest.
        const std::string_view piece = last ? data : data.substr(0, std::min(part.length, data.size()));
        if (std::string problem = CheckPart(part, piece, last); !problem.empty())
            return last || piece.size() == part.length ? problem : "the data is too short";
        data.remove_prefix(piece.size());
        format = last ? std::string_view() : format.substr(plus + 1);
    }
    return "";
}

Gs1Data Refuse(std::string reason) { return Gs1Data{false, "", std::move(reason)}; }

}  // namespace

Gs1Data ParseGs1(std::string_view text) {
    if (text.empty() || text[0] != '(')
        return Refuse("GS1 data starts with an Application Identifier in brackets, such as (01)");
    Gs1Data result;
    bool separatorOwed = false;
    while (!text.empty()) {
        const size_t close = text.find(')');
        if (close == std::string_view::npos) return Refuse("an Application Identifier's bracket is not closed");
        const std::string ai(text.substr(1, close - 1));
        const std::string name = "(" + ai + ")";
        if (ai.size() < 2 || ai.size() > 4 || !std::all_of(ai.begin(), ai.end(), [](char c) { return IsDigit(c); }))
            return Refuse(name + ": an Application Identifier is 2 to 4 digits");
        const AiEntry* entry = FindAi(ai);
        if (!entry) return Refuse(name + ": unknown Application Identifier");
        text.remove_prefix(close + 1);
        const size_t next = text.find('(');
        const std::string_view data = text.substr(0, next);
        if (std::string problem = CheckData(*entry, data); !problem.empty()) return Refuse(name + ": " + problem);
        if (separatorOwed) result.elementString += static_cast<char>(kGroupSeparator);
        result.elementString += ai;
        result.elementString += data;
        separatorOwed = !HasPredefinedLength(ai);
        text.remove_prefix(data.size());
    }
    result.ok = true;
    return result;
}

}  // namespace glyphrun
