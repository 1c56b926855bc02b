#include "glyphrun/gs1.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

// One Application Identifier and the form of its data.
//
// The AI is its digits; "[a-b]" stands for one digit from a to b, such as the
// decimal point position of a measure, 310[0-5].
//
// The data is one or more parts separated by '+'. A part is a kind, a length
// and then flags:
//   N  digits;  X  the GS1 character set;  Y  digits, capitals and # - /
//   6  exactly six;  ..20  one to twenty (only the last part may vary)
//   c  the last digit is a check digit (mod 10)
//   k  the last two characters are a check character pair
//   o  the part may be left out, and then so must every part after it
//   =  (fixed lengths only) what each character means, one pattern of
//      the part's length or several separated by '|', of which one must fit:
//        yy year, mm month 01-12, dd day 01 to the month's last,
//        d0 a day or 00 (a date that names only its month),
//        hh hour 00-23, mi minute 00-59, ss second 00-59,
//        anything else (a digit, '-') stands for itself.
// "N8=yymmddhh+N2o=mi+N2o=ss" is a date and hour, then optionally minutes,
// then optionally seconds: 8, 10 or 12 digits.
struct AiEntry {
    const char* ai;
    const char* format;
};

// clang-format off
constexpr AiEntry kAiTable[] = {
    // Keys, dates, batches and serials
    {"00", "N18c"}, {"01", "N14c"}, {"02", "N14c"}, {"10", "X..20"},
    {"11", "N6=yymmd0"}, {"12", "N6=yymmd0"}, {"13", "N6=yymmd0"}, {"15", "N6=yymmd0"},
    {"16", "N6=yymmd0"}, {"17", "N6=yymmd0"}, {"20", "N2"}, {"21", "X..20"}, {"22", "X..20"},
    {"235", "X..28"}, {"240", "X..30"}, {"241", "X..30"}, {"242", "N..6"}, {"243", "X..20"},
    {"250", "X..30"}, {"251", "X..30"}, {"253", "N13c+X..17o"}, {"254", "X..20"},
    {"255", "N13c+N..12o"}, {"30", "N..8"}, {"37", "N..8"},
    // Measures: the last digit places the decimal point
    {"310[0-5]", "N6"}, {"311[0-5]", "N6"}, {"312[0-5]", "N6"}, {"313[0-5]", "N6"}, {"314[0-5]", "N6"},
    {"315[0-5]", "N6"}, {"316[0-5]", "N6"}, {"320[0-5]", "N6"}, {"321[0-5]", "N6"}, {"322[0-5]", "N6"},
    {"323[0-5]", "N6"}, {"324[0-5]", "N6"}, {"325[0-5]", "N6"}, {"326[0-5]", "N6"}, {"327[0-5]", "N6"},
    {"328[0-5]", "N6"}, {"329[0-5]", "N6"}, {"330[0-5]", "N6"}, {"331[0-5]", "N6"}, {"332[0-5]", "N6"},
    {"333[0-5]", "N6"}, {"334[0-5]", "N6"}, {"335[0-5]", "N6"}, {"336[0-5]", "N6"}, {"337[0-5]", "N6"},
    {"340[0-5]", "N6"}, {"341[0-5]", "N6"}, {"342[0-5]", "N6"}, {"343[0-5]", "N6"}, {"344[0-5]", "N6"},
    {"345[0-5]", "N6"}, {"346[0-5]", "N6"}, {"347[0-5]", "N6"}, {"348[0-5]", "N6"}, {"349[0-5]", "N6"},
    {"350[0-5]", "N6"}, {"351[0-5]", "N6"}, {"352[0-5]", "N6"}, {"353[0-5]", "N6"}, {"354[0-5]", "N6"},
    {"355[0-5]", "N6"}, {"356[0-5]", "N6"}, {"357[0-5]", "N6"}, {"360[0-5]", "N6"}, {"361[0-5]", "N6"},
    {"362[0-5]", "N6"}, {"363[0-5]", "N6"}, {"364[0-5]", "N6"}, {"365[0-5]", "N6"}, {"366[0-5]", "N6"},
    {"367[0-5]", "N6"}, {"368[0-5]", "N6"}, {"369[0-5]", "N6"},
    // Amounts, prices and coupon discounts; 391n and 393n start with a currency
    {"390[0-9]", "N..15"}, {"391[0-9]", "N3+N..15"}, {"392[0-9]", "N..15"}, {"393[0-9]", "N3+N..15"},
    {"394[0-3]", "N4"}, {"395[0-5]", "N6"},
    // Orders, consignments, locations and countries
    {"400", "X..30"}, {"401", "X..30"}, {"402", "N17c"}, {"403", "X..30"}, {"410", "N13c"}, {"411", "N13c"},
    {"412", "N13c"}, {"413", "N13c"}, {"414", "N13c"}, {"415", "N13c"}, {"416", "N13c"}, {"417", "N13c"},
    {"420", "X..20"}, {"421", "N3+X..9"}, {"422", "N3"}, {"423", "N3+N..12o"}, {"424", "N3"},
    {"425", "N3+N..12o"}, {"426", "N3"}, {"427", "X..3"},
    // Shipping: ship-to (4300-4309) and return-to (4310-4319) names and
    // addresses, then the service, its flags (0 no, 1 yes) and dates
    {"4300", "X..35"}, {"4301", "X..35"}, {"4302", "X..70"}, {"4303", "X..70"}, {"4304", "X..70"},
    {"4305", "X..70"}, {"4306", "X..70"}, {"4307", "X2"}, {"4308", "X..30"}, {"4309", "N20"},
    {"4310", "X..35"}, {"4311", "X..35"}, {"4312", "X..70"}, {"4313", "X..70"}, {"4314", "X..70"},
    {"4315", "X..70"}, {"4316", "X..70"}, {"4317", "X2"}, {"4318", "X..20"}, {"4319", "X..30"},
    {"4320", "X..35"}, {"4321", "N1=0|1"}, {"4322", "N1=0|1"}, {"4323", "N1=0|1"},
    // 9999 for the time: any time of the day
    {"4324", "N10=yymmddhhmi|yymmdd9999"}, {"4325", "N10=yymmddhhmi|yymmdd9999"}, {"4326", "N6=yymmdd"},
    // Maximum and minimum temperatures, a trailing '-' for below zero
    {"4330", "N6+X1o=-"}, {"4331", "N6+X1o=-"}, {"4332", "N6+X1o=-"}, {"4333", "N6+X1o=-"},
    // Fresh food, medicines, refurbished and assembled items
    {"7001", "N13"}, {"7002", "X..30"}, {"7003", "N10=yymmddhhmi"}, {"7004", "N..4"}, {"7005", "X..12"},
    {"7006", "N6=yymmdd"}, {"7007", "N6=yymmdd+N6o=yymmdd"}, {"7008", "X..3"}, {"7009", "X..10"},
    {"7010", "X..2"}, {"7011", "N6=yymmdd+N4o=hhmi"}, {"7020", "X..20"}, {"7021", "X..20"},
    {"7022", "X..20"}, {"7023", "X..30"}, {"703[0-9]", "N3+X..27"}, {"7040", "N1+X3"},
    {"710", "X..20"}, {"711", "X..20"}, {"712", "X..20"}, {"713", "X..20"}, {"714", "X..20"}, {"715", "X..20"},
    {"723[0-9]", "X2+X..28"}, {"7240", "X..20"}, {"7241", "N2"}, {"7242", "X..25"},
    // Assets, services, production times, coupons and links
    {"8001", "N14"}, {"8002", "X..20"}, {"8003", "N14c+X..16o"}, {"8004", "X..30"}, {"8005", "N6"},
    {"8006", "N14c+N2+N2"}, {"8007", "X..34"}, {"8008", "N8=yymmddhh+N2o=mi+N2o=ss"}, {"8009", "X..50"},
    {"8010", "Y..30"}, {"8011", "N..12"}, {"8012", "X..20"}, {"8013", "X..25k"}, {"8017", "N18c"},
    {"8018", "N18c"}, {"8019", "N..10"}, {"8020", "X..25"}, {"8026", "N14c+N2+N2"}, {"8110", "X..70"},
    {"8111", "N4"}, {"8112", "X..70"}, {"8200", "X..70"},
    // Internal and company data
    {"90", "X..30"}, {"9[1-9]", "X..90"},
};
// clang-format on

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One part of a format, as the table writes it.
struct Part {
    char kind = 'N';  // 'N', 'X' or 'Y'
    size_t length = 0;
    bool variable = false, checkDigit = false, checkPair = false, optional = false;
    std::string_view patterns;  // after '=', or empty
};

constexpr Part ParsePart(std::string_view text) {
    Part part;
    part.kind = text[0];
    size_t i = 1;
    if (text.substr(1, 2) == "..") {
        part.variable = true;
        i = 3;
    }
    for (; i < text.size() && IsDigit(text[i]); ++i) part.length = part.length * 10 + (text[i] - '0');
    for (; i < text.size() && text[i] != '='; ++i) {
        part.checkDigit |= text[i] == 'c';
        part.checkPair |= text[i] == 'k';
        part.optional |= text[i] == 'o';
    }
    if (i < text.size()) part.patterns = text.substr(i + 1);
    return part;
}

// The parts of a format, in order.
std::vector<Part> PartsOf(std::string_view format) {
    std::vector<Part> parts;
    for (size_t start = 0;;) {
        const size_t plus = format.find('+', start);
        parts.push_back(ParsePart(format.substr(start, plus - start)));
        if (plus == std::string_view::npos) return parts;
        start = plus + 1;
    }
}

// Pattern fields are two lowercase letters; anything else is one literal character.
constexpr bool IsFieldStart(char c) { return c >= 'a' && c <= 'z'; }

// The fields and how a message writes them.
constexpr std::pair<std::string_view, std::string_view> kFields[] = {
    {"yy", "YY"}, {"mm", "MM"}, {"dd", "DD"}, {"d0", "DD"}, {"hh", "HH"}, {"mi", "MM"}, {"ss", "SS"}};

constexpr bool IsField(std::string_view f) {
    for (const auto& [name, shown] : kFields)
        if (name == f) return true;
    return false;
}

constexpr bool IsDateField(std::string_view f) { return f == "yy" || f == "mm" || f == "dd" || f == "d0"; }

// The table is checked as it compiles, so that a mistyped row cannot slip through.
constexpr bool AiIsWellFormed(std::string_view ai) {
    size_t digits = 0;
    for (size_t i = 0; i < ai.size(); ++digits) {
        if (IsDigit(ai[i])) {
            ++i;
        } else if (ai.substr(i, 1) == "[" && ai.size() >= i + 5 && IsDigit(ai[i + 1]) && ai[i + 2] == '-' &&
                   IsDigit(ai[i + 3]) && ai[i + 1] <= ai[i + 3] && ai[i + 4] == ']') {
            i += 5;
        } else {
            return false;
        }
    }
    return digits >= 2 && digits <= 4;
}

constexpr bool PatternsAreWellFormed(const Part& part) {
    std::string_view rest = part.patterns;
    while (true) {
        const std::string_view pattern = rest.substr(0, rest.find('|'));
        size_t width = 0;
        for (size_t i = 0; i < pattern.size(); ++i, ++width) {
            if (!IsFieldStart(pattern[i])) continue;
            if (part.kind != 'N' || !IsField(pattern.substr(i, 2))) return false;
            ++i, ++width;  // a field covers two characters
        }
        if (width != part.length) return false;
        if (pattern.size() == rest.size()) return true;
        rest.remove_prefix(pattern.size() + 1);
    }
}

constexpr bool FormatIsWellFormed(std::string_view format) {
    bool optionalSeen = false;
    while (true) {
        const std::string_view text = format.substr(0, format.find('+'));
        const bool last = text.size() == format.size();
        const Part part = ParsePart(text);
        if ((part.kind != 'N' && part.kind != 'X' && part.kind != 'Y') || part.length == 0) return false;
        if ((part.variable && !last) || (optionalSeen && !part.optional)) return false;
        if (part.checkDigit && part.kind != 'N') return false;
        if (part.checkPair && (part.kind != 'X' || part.length < 3)) return false;
        if (!part.patterns.empty() && (part.variable || !PatternsAreWellFormed(part))) return false;
        optionalSeen = part.optional;
        if (last) return true;
        format.remove_prefix(text.size() + 1);
    }
}

constexpr bool TableIsWellFormed() {
    for (const AiEntry& entry : kAiTable)
        if (!AiIsWellFormed(entry.ai) || !FormatIsWellFormed(entry.format)) return false;
    return true;
}
static_assert(TableIsWellFormed(), "a row of the AI table is mistyped");

// AIs whose first two digits say the element's length: a reader needs no
// separator after them. Every other element ends with one when another follows.
bool HasPredefinedLength(const std::string& ai) {
    static constexpr const char* kPrefixes[] = {"00", "01", "02", "03", "04", "11", "12", "13", "14", "15", "16",
                                                "17", "18", "19", "20", "31", "32", "33", "34", "35", "36", "41"};
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](const char* prefix) { return ai.compare(0, 2, prefix) == 0; });
}

// How an AI compares with a row of the table.
struct AiMatch {
    bool exact = false;
    bool outOfRangeLast = false;  // all that differs is the last digit, outside its range
    std::string range;            // then that range, "0 to 5"
    std::string shape;            // then the row's AI with that digit as n, "310n"
};

AiMatch MatchAi(std::string_view row, const std::string& ai) {
    AiMatch match;
    size_t k = 0, mismatches = 0;
    bool lastIsRange = false;
    for (size_t i = 0; i < row.size(); ++k) {
        const bool range = row[i] == '[';
        const char low = range ? row[i + 1] : row[i], high = range ? row[i + 3] : row[i];
        const bool fits = k < ai.size() && ai[k] >= low && ai[k] <= high;
        mismatches += fits ? 0 : 1;
        if (range && k + 1 == ai.size()) {
            lastIsRange = !fits;
            match.range = std::string(1, low) + " to " + std::string(1, high);
        }
        match.shape += range ? 'n' : row[i];
        i += range ? 5 : 1;
    }
    match.exact = mismatches == 0 && k == ai.size();
    match.outOfRangeLast = mismatches == 1 && lastIsRange && k == ai.size();
    return match;
}

// The GS1 character set: digits, letters and ! " % & ' ( ) * + , - . / : ; < = > ? _
constexpr char kGs1Chars[] = "!\"%&'()*+,-./0123456789:;<=>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";

bool IsGs1Char(unsigned char c) { return c != 0 && std::strchr(kGs1Chars, c); }

bool IsNarrowChar(unsigned char c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c != 0 && std::strchr("#-/", c)); }

std::string ShowByte(unsigned char c) {
    char text[16];
    std::snprintf(text, sizeof text, c > ' ' && c < 0x7F ? "'%c'" : "byte 0x%02X", c);
    return text;
}

char ExpectedCheckDigit(std::string_view digits) {
    int sum = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        // Weights 3 and 1 alternate from the digit next to the check digit.
        const size_t fromRight = digits.size() - i;
        sum += (digits[i] - '0') * (fromRight % 2 == 1 ? 3 : 1);
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// The check character pair: each character's place in the GS1 character set,
// weighted by the primes 2, 3, 5, ... from the character next to the pair,
// summed modulo 1021 and written as two characters of a 32-character set.
std::string ExpectedCheckPair(std::string_view data) {
    static constexpr int kPrimes[] = {2,  3,  5,  7,  11, 13, 17, 19, 23, 29, 31, 37, 41,
                                      43, 47, 53, 59, 61, 67, 71, 73, 79, 83, 89, 97, 101};
    static constexpr char kPairChars[] = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
    int sum = 0;
    for (size_t i = 0; i < data.size() && i < std::size(kPrimes); ++i) {
        const char c = data[data.size() - 1 - i];
        sum += static_cast<int>(std::strchr(kGs1Chars, c) - kGs1Chars) * kPrimes[i];
    }
    sum %= 1021;
    return {kPairChars[sum / 32], kPairChars[sum % 32]};
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 31;
    // YY is taken as 20YY, where every fourth year is a leap year: exact for
    // 2000-2099. A year 00 meant as 1900 or 2100 would wrongly keep 29 February.
    if (month == 2 && year >= 0 && year % 4 != 0) return 28;
    return kDays[month - 1];
}

// How a pattern reads in a message: "YYMMDDHHMM".
std::string Describe(std::string_view pattern) {
    std::string text;
    for (size_t i = 0; i < pattern.size();) {
        if (!IsFieldStart(pattern[i])) {
            text += pattern[i++];
            continue;
        }
        for (const auto& [name, shown] : kFields)
            if (name == pattern.substr(i, 2)) text += shown;
        i += 2;
    }
    return text;
}

Status Refuse(std::string problem) { return Status::Failed(Gs1Error::Invalid, std::move(problem)); }

// Where and why data does not fit a pattern.
struct Misfit {
    size_t at = 0;         // the first character that does not fit
    bool literal = false;  // a fixed character differs
    std::string problem;
};

// Whether data fits one pattern; `element` is all of the element's data, quoted for a bad time.
bool Fits(std::string_view pattern, std::string_view data, std::string_view element, bool checkDates, Misfit& misfit) {
    int year = -1, month = -1;
    size_t dateStart = 0;  // where the run of date fields that the current one belongs to starts
    bool inDate = false;
    for (size_t i = 0; i < pattern.size();) {
        // A field covers two characters and is written with two, so i indexes both.
        if (!IsFieldStart(pattern[i])) {
            inDate = false;
            if (data[i] != pattern[i]) {
                misfit = {i, true, ""};
                return false;
            }
            ++i;
            continue;
        }
        const std::string_view field = pattern.substr(i, 2);
        const int value = (data[i] - '0') * 10 + (data[i + 1] - '0');
        const bool date = IsDateField(field);
        if (date && !inDate) dateStart = i;
        inDate = date;
        std::string problem;
        if (field == "yy") year = value;
        if (field == "mm") month = value;
        if ((field == "mm" && (value < 1 || value > 12)) ||
            ((field == "dd" || (field == "d0" && value != 0)) && (value < 1 || value > DaysInMonth(year, month)))) {
            size_t dateEnd = i;
            while (dateEnd < pattern.size() && IsDateField(pattern.substr(dateEnd, 2))) dateEnd += 2;
            const size_t length = dateEnd - dateStart;
            problem = "'" + std::string(data.substr(dateStart, length)) + "' is not a date " +
                      Describe(pattern.substr(dateStart, length));
        }
        const char* unit = field == "hh" && value > 23   ? "hour"
                           : field == "mi" && value > 59 ? "minute"
                           : field == "ss" && value > 59 ? "second"
                                                         : nullptr;
        if (unit) problem = "'" + std::string(element) + "' has " + unit + " " + std::string(data.substr(i, 2));
        if (!problem.empty() && checkDates) {
            misfit = {i, false, problem};
            return false;
        }
        i += 2;
    }
    return true;
}

// Checks data against a part's patterns. When none fits, the one that fits
// furthest tells what is wrong.
Status CheckPatterns(std::string_view patterns, std::string_view data, std::string_view element, bool checkDates) {
    Misfit best;
    bool any = false;
    std::string all;
    for (std::string_view rest = patterns;;) {
        const std::string_view pattern = rest.substr(0, rest.find('|'));
        Misfit misfit;
        if (Fits(pattern, data, element, checkDates, misfit)) return {};
        if (!any || misfit.at > best.at) best = misfit;
        any = true;
        all += (all.empty() ? "" : " or ") + Describe(pattern);
        if (pattern.size() == rest.size()) break;
        rest.remove_prefix(pattern.size() + 1);
    }
    return Refuse(best.literal ? "'" + std::string(data) + "' is not " + all : best.problem);
}

// Checks one part's characters, check characters and patterns.
Status CheckPart(const Part& part, std::string_view data, std::string_view element, const Gs1Rules& rules) {
    if (data.empty()) return {};  // an optional part left out
    for (size_t i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (part.kind == 'N' && !IsDigit(c)) return Refuse("'" + std::string(1, data[i]) + "' is not a digit");
        if (part.kind == 'Y' && !IsNarrowChar(c))
            return Refuse(ShowByte(c) + " is not a digit, a capital, '#', '-' or '/'");
        if (part.kind == 'X' && !IsGs1Char(c)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", c);
            return Refuse(std::string("byte ") + hex + " is outside the GS1 character set");
        }
    }
    if (part.checkDigit && rules.checkDigitsAndDates) {
        const char expected = ExpectedCheckDigit(data.substr(0, data.size() - 1));
        if (data.back() != expected)
            return Refuse("the check digit is " + std::string(1, data.back()) + " but should be " +
                          std::string(1, expected));
    }
    if (part.checkPair && rules.checkDigitsAndDates) {
        if (data.size() < 3) return Refuse("the data is too short for its two check characters");
        const std::string expected = ExpectedCheckPair(data.substr(0, data.size() - 2));
        if (data.substr(data.size() - 2) != expected)
            return Refuse("the check characters are " + std::string(data.substr(data.size() - 2)) + " but should be " +
                          expected);
    }
    return part.patterns.empty() ? Status{} : CheckPatterns(part.patterns, data, element, rules.checkDigitsAndDates);
}

// The lengths the whole data may have: a part left out ends the data.
std::vector<bool> AllowedLengths(const std::vector<Part>& parts) {
    size_t most = 0;
    for (const Part& part : parts) most += part.length;
    std::vector<bool> ends(most + 1), whole(most + 1);
    whole[0] = true;  // lengths with every part so far present
    for (const Part& part : parts) {
        std::vector<bool> next(most + 1);
        for (size_t n = 0; n <= most; ++n) {
            if (!whole[n]) continue;
            if (part.optional) ends[n] = true;
            for (size_t add = part.variable ? 1 : part.length; add <= part.length && n + add <= most; ++add)
                next[n + add] = true;
        }
        whole = next;
    }
    for (size_t n = 0; n <= most; ++n) ends[n] = ends[n] || whole[n];
    return ends;
}

// "6", "1 to 20", "8, 10 or 12" and the unit.
std::string DescribeLengths(const std::vector<bool>& allowed, bool digits) {
    std::vector<std::string> runs;
    for (size_t n = 0; n < allowed.size(); ++n) {
        if (!allowed[n]) continue;
        size_t end = n;
        while (end + 1 < allowed.size() && allowed[end + 1]) ++end;
        runs.push_back(std::to_string(n) + (end > n ? " to " + std::to_string(end) : ""));
        n = end;
    }
    std::string text;
    for (size_t i = 0; i < runs.size(); ++i) text += (i == 0 ? "" : i + 1 == runs.size() ? " or " : ", ") + runs[i];
    const bool one = text == "1";
    return text + (digits ? (one ? " digit" : " digits") : (one ? " character" : " characters"));
}

// Checks an element's data against its format.
Status CheckData(const AiEntry& entry, std::string_view data, const Gs1Rules& rules) {
    const std::vector<Part> parts = PartsOf(entry.format);
    const std::vector<bool> allowed = AllowedLengths(parts);
    if (data.size() >= allowed.size() || !allowed[data.size()]) {
        const size_t shortest = static_cast<size_t>(std::find(allowed.begin(), allowed.end(), true) - allowed.begin());
        if (parts.size() > 1 && data.size() < shortest) return Refuse("the data is too short");
        const bool digits = std::all_of(parts.begin(), parts.end(), [](const Part& p) { return p.kind == 'N'; });
        return Refuse("the data must be " + DescribeLengths(allowed, digits) + ", not " + std::to_string(data.size()));
    }
    // With the length right, a fixed part takes its length and the last part the rest.
    std::string_view rest = data;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string_view piece =
            i + 1 == parts.size() ? rest : rest.substr(0, std::min(parts[i].length, rest.size()));
        if (Status part = CheckPart(parts[i], piece, data, rules); !part) return part;
        rest.remove_prefix(piece.size());
    }
    return {};
}

// Measures and amounts (31nn to 36nn, 39nn) end in the position of their
// decimal point: 3100 and 3102 are both the net weight in kg. Their AIs
// are compared with that digit as 'n'.
std::string QuantityOf(const std::string& ai) {
    const bool decimal = ai.size() == 4 && ai[0] == '3' && ((ai[1] >= '1' && ai[1] <= '6') || ai[1] == '9');
    return decimal ? ai.substr(0, 3) + 'n' : ai;
}

// Elements that contradict each other, such as two keys for one item, and
// may not share a symbol.
constexpr std::pair<std::string_view, std::string_view> kExclusivePairs[] = {
    {"01", "02"},     {"01", "37"},   {"01", "255"},  {"21", "235"},    {"390n", "391n"}, {"392n", "393n"},
    {"394n", "8111"}, {"420", "421"}, {"422", "426"}, {"423", "426"},   {"424", "426"},   {"425", "426"},
    {"8006", "01"},   {"8006", "02"}, {"8006", "37"}, {"8018", "8017"},
};

// The first element of each quantity so far, by that quantity, so that a
// new element is checked against all those before it in a few looks
// rather than one for each: a line of thousands of elements stays fast.
using Quantities = std::unordered_map<std::string, Gs1Element>;

// Checks a new element against those before it: the same AI (or quantity)
// again must repeat the same value, and no exclusive pair may meet.
Status CheckAgainstEarlier(Quantities& earlier, const Gs1Element& element) {
    const std::string quantity = QuantityOf(element.ai);
    const auto [first, fresh] = earlier.emplace(quantity, element);
    if (!fresh) {
        const Gs1Element& before = first->second;
        if (element.ai != before.ai || element.data != before.data)
            return Refuse(element.ai == before.ai ? "(" + element.ai + ") appears twice with different values"
                                                  : "(" + before.ai + ") and (" + element.ai +
                                                        ") give the same quantity with different values");
    }
    for (const auto& [one, other] : kExclusivePairs) {
        const std::string_view partner = quantity == one ? other : quantity == other ? one : std::string_view();
        if (const auto met = earlier.find(std::string(partner)); !partner.empty() && met != earlier.end())
            return Refuse("(" + met->second.ai + ") and (" + element.ai + ") may not appear together");
    }
    return {};
}

// An element's data up to the next AI's bracket: in the (01) form a
// bracket within the data is written \( or \), in the [01] form as it is.
std::string DataUpTo(std::string_view& text, char open) {
    std::string data;
    size_t at = 0;
    for (; at < text.size() && text[at] != open; ++at) {
        if (open == '(' && text[at] == '\\' && at + 1 < text.size() && (text[at + 1] == '(' || text[at + 1] == ')'))
            ++at;
        data += text[at];
    }
    text.remove_prefix(at);
    return data;
}

}  // namespace

Result<std::vector<Gs1Element>> ParseGs1Elements(std::string_view text, const Gs1Rules& rules) {
    if (text.empty() || (text[0] != '(' && text[0] != '['))
        return Refuse("GS1 data starts with an Application Identifier in brackets, such as (01) or [01]");
    // Each character of the element string takes half a codeword at least,
    // and the bracketed form at most three for one (an AI's brackets, each
    // element having two characters at least, and the backslash of a
    // bracket in data): anything longer fits no symbol, and is refused
    // before the work of reading it.
    constexpr size_t kLongest = 3 * 2 * kMaxDataCodewords;
    if (text.size() > kLongest)
        return Refuse("GS1 data of " + std::to_string(text.size()) + " characters is more than any symbol holds (" +
                      std::to_string(kLongest) + " at most)");
    const char open = text[0], close = open == '(' ? ')' : ']';
    std::vector<Gs1Element> elements;
    Quantities quantities;
    while (!text.empty()) {
        const size_t end = text.find(close);
        if (end == std::string_view::npos) return Refuse("an Application Identifier's bracket is not closed");
        const std::string ai(text.substr(1, end - 1));
        const std::string name = "(" + ai + ")";
        if (ai.size() < 2 || ai.size() > 4 || !std::all_of(ai.begin(), ai.end(), [](char c) { return IsDigit(c); }))
            return Refuse(name + ": an Application Identifier is 2 to 4 digits");
        const auto row = std::find_if(std::begin(kAiTable), std::end(kAiTable),
                                      [&](const AiEntry& e) { return MatchAi(e.ai, ai).exact; });
        if (row == std::end(kAiTable)) {
            for (const AiEntry& near : kAiTable) {
                if (const AiMatch match = MatchAi(near.ai, ai); match.outOfRangeLast)
                    return Refuse(name + ": unknown Application Identifier; " + match.shape + " takes n from " +
                                  match.range);
            }
            return Refuse(name + ": unknown Application Identifier");
        }
        text.remove_prefix(end + 1);
        std::string data = DataUpTo(text, open);
        if (Status checked = CheckData(*row, data, rules); !checked) return Refuse(name + ": " + checked.reason());
        if (Status together = CheckAgainstEarlier(quantities, {ai, data}); !together) return together;
        elements.push_back({ai, std::move(data)});
    }
    return elements;
}

std::string_view Gs1Title(std::string_view ai) {
    // clang-format off
    constexpr std::pair<std::string_view, std::string_view> kTitles[] = {
        {"00", "SSCC"}, {"01", "GTIN"}, {"02", "CONTENT"}, {"10", "BATCH/LOT"}, {"11", "PROD DATE"},
        {"12", "DUE DATE"}, {"13", "PACK DATE"}, {"15", "BEST BEFORE or BEST BY"}, {"16", "SELL BY"},
        {"17", "USE BY OR EXPIRY"}, {"20", "VARIANT"}, {"21", "SERIAL"}, {"22", "CPV"}, {"235", "TPX"},
        {"240", "ADDITIONAL ID"}, {"241", "CUST. PART No."}, {"242", "MTO VARIANT"}, {"243", "PCN"},
        {"250", "SECONDARY SERIAL"}, {"251", "REF. TO SOURCE"}, {"253", "GDTI"}, {"254", "GLN EXTENSION COMPONENT"},
        {"255", "GCN"}, {"30", "VAR. COUNT"}, {"37", "COUNT"}, {"400", "ORDER NUMBER"}, {"401", "GINC"},
        {"402", "GSIN"}, {"403", "ROUTE"}, {"410", "SHIP TO LOC"}, {"414", "LOC No."}, {"420", "SHIP TO POST"},
        {"422", "ORIGIN"}, {"7003", "EXPIRY TIME"}, {"710", "NHRN PZN"}, {"711", "NHRN CIP"}, {"712", "NHRN CN"},
        {"713", "NHRN DRN"}, {"714", "NHRN AIM"}, {"8004", "GIAI"}, {"8006", "ITIP"}, {"8008", "PROD TIME"},
        {"8017", "GSRN - PROVIDER"}, {"8018", "GSRN - RECIPIENT"}, {"8020", "REF No."}, {"90", "INTERNAL"},
    };
    // clang-format on
    for (const auto& [code, title] : kTitles)
        if (code == ai) return title;
    if (ai.size() == 2 && ai[0] == '9') return "INTERNAL";
    return {};
}

Result<std::string> ParseGs1(std::string_view bracketed, const Gs1Rules& rules) {
    const Result<std::vector<Gs1Element>> elements = ParseGs1Elements(bracketed, rules);
    if (!elements) return elements.status();
    std::string elementString;
    bool separatorOwed = false;
    for (const Gs1Element& element : elements.value()) {
        if (separatorOwed) elementString += static_cast<char>(kGroupSeparator);
        elementString += element.ai;
        elementString += element.data;
        separatorOwed = !HasPredefinedLength(element.ai);
    }
    return elementString;
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(Gs1Error, "glyphrun.gs1")

}  // namespace glyphrun
