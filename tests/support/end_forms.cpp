#include "end_forms.h"

#include <span>
#include <vector>

#include "glyphrun/ecc200_stages.h"

namespace glyphrun::testing {
namespace {

constexpr int kPad = 129, kUnlatch = 254, kFirstDigitPair = 130, kLastDigitPair = 229;

bool IsOneCharacter(int codeword) { return codeword >= 1 && codeword <= 128; }
bool IsDigitPair(int codeword) { return codeword >= kFirstDigitPair && codeword <= kLastDigitPair; }

// Whether `byte` is one value in the scheme that `latch` enters.
bool IsOneValue(int latch, int byte) {
    const bool digitOrSpace = byte == ' ' || (byte >= '0' && byte <= '9');
    switch (latch) {
        case kLatchC40: return digitOrSpace || (byte >= 'A' && byte <= 'Z');
        case kLatchText: return digitOrSpace || (byte >= 'a' && byte <= 'z');
        default: return digitOrSpace || (byte >= 'A' && byte <= 'Z') || byte == '\r' || byte == '*' || byte == '>';
    }
}

std::string Describe(int codeword) {
    if (IsOneCharacter(codeword)) return "a character";
    if (codeword == kPad) return "a pad";
    if (IsDigitPair(codeword)) return "a digit pair";
    if (codeword == kUpperShift) return "an Upper Shift";
    return "codeword " + std::to_string(codeword);
}

class Walk {
public:
    explicit Walk(const Symbol& symbol)
        : codewords_(symbol.codewords()), capacity_(symbol.capacity()), dataCodewords_(symbol.dataCodewords()) {}

    std::string Run() {
        while (at_ < capacity_) {
            const int codeword = Get(at_);
            std::string fault;
            switch (codeword) {
                case kPad: return EndsAt(at_);
                case kLatchC40: fault = Triplets("C40", codeword); break;
                case kLatchText: fault = Triplets("Text", codeword); break;
                case kLatchX12: fault = Triplets("X12", codeword); break;
                case kLatchEdifact: fault = Edifact(); break;
                case kLatchBase256: fault = Base256(); break;
                case kUpperShift:
                    if (at_ + 1 >= capacity_ || !IsOneCharacter(Get(at_ + 1)))
                        return At(at_, "an Upper Shift without its character");
                    at_ += 2;
                    break;
                case kEciDesignator: {
                    const int first = at_ + 1 < capacity_ ? Get(at_ + 1) : 0;
                    at_ += first <= 127 ? 2 : first <= 191 ? 3 : 4;
                    break;
                }
                case 233: at_ += 4; break;  // Structured Append and its three codewords
                default:
                    // Characters, digit pairs, FNC1, reader programming and the two Macros.
                    if (codeword == 0 || (codeword > 234 && codeword != 236 && codeword != 237))
                        return At(at_, Describe(codeword) + " is no ASCII codeword");
                    ++at_;
            }
            if (!fault.empty()) return fault;
        }
        return EndsAt(capacity_);
    }

private:
    int Get(int32_t i) const { return codewords_[static_cast<size_t>(i)]; }

    std::string At(int32_t i, const std::string& what) const {
        return "codeword " + std::to_string(i + 1) + " of " + std::to_string(capacity_) + ": " + what;
    }

    // Where the pad starts, or the symbol's end: the encoder's count.
    std::string EndsAt(int32_t i) const {
        if (i == dataCodewords_) return "";
        return At(i, "the data ends here, but the symbol counts " + std::to_string(dataCodewords_) + " data codewords");
    }

    // Pairs of codewords up to the unlatch; one codeword left at a triple
    // boundary is ASCII again and must be a pad or one character that the
    // scheme holds in a single value. The values are followed as a reader
    // takes them, so that no shift is left without its value.
    std::string Triplets(const char* scheme, int latch) {
        int32_t i = at_ + 1;
        int shift = 0;  // the set the next value is in: 0 basic, 1-3 after a shift
        bool upper = false, padded = false;
        for (; capacity_ - i >= 2 && Get(i) != kUnlatch; i += 2) {
            const int v = 256 * Get(i) + Get(i + 1) - 1;
            if (v >= 64000) return At(i, std::string("no ") + scheme + " triple");
            const int values[3] = {v / 1600, v / 40 % 40, v % 40};
            for (int k = 0; k < 3; ++k) {
                padded = shift == 0 && values[k] == 0 && k == 2;
                if (latch == kLatchX12) continue;
                if (shift == 0 && values[k] <= 2) {
                    shift = values[k] + 1;
                } else {
                    upper = shift == 2 && values[k] == 30 && !upper;
                    shift = 0;
                }
            }
        }
        if ((shift != 0 && !padded) || upper)
            return At(i - 1, std::string("a ") + scheme + (upper ? " Upper Shift" : " shift") +
                                 " without its value at the end of the segment");
        if (capacity_ - i == 1 && Get(i) != kPad && !IsOneValue(latch, Get(i) - 1))
            return At(i, std::string("after ") + scheme + " the last codeword is " + Describe(Get(i)) +
                             ", not a pad or one character of one " + scheme + " value");
        at_ = i < capacity_ && Get(i) == kUnlatch ? i + 1 : i;
        return "";
    }

    // Groups of three codewords up to the unlatch value; one or two
    // codewords left at a group boundary are ASCII again: at most two
    // characters, then pads.
    std::string Edifact() {
        int32_t i = at_ + 1;
        for (; capacity_ - i >= 3; i += 3) {
            const uint32_t bits = static_cast<uint32_t>(Get(i)) << 16 | Get(i + 1) << 8 | Get(i + 2);
            for (int slot = 0; slot < 4; ++slot)
                if ((bits >> (18 - 6 * slot) & 63) == 31) {
                    at_ = i + (slot < 2 ? slot + 1 : 3);
                    return "";
                }
        }
        int characters = 0;
        for (at_ = i; at_ < capacity_ && Get(at_) != kPad; ++at_) {
            const int codeword = Get(at_);
            if (IsOneCharacter(codeword)) {
                characters += 1;
            } else if (IsDigitPair(codeword)) {
                characters += 2;
            } else if (codeword == kUpperShift && at_ + 1 < capacity_ && IsOneCharacter(Get(at_ + 1))) {
                characters += 1;
                ++at_;
            } else {
                return At(at_, "after EDIFACT " + Describe(codeword) + " where only characters in ASCII may stand");
            }
            if (characters > 2) return At(at_, "after EDIFACT a third character in ASCII");
        }
        return "";
    }

    std::string Base256() {
        if (at_ + 1 >= capacity_) return At(at_, "a Base 256 latch without its length");
        const int first = Unrandomize255(Get(at_ + 1), at_ + 2);
        int32_t length = first == 0 ? capacity_ - at_ - 2 : first, field = 1;
        if (first >= 250) {
            if (at_ + 2 >= capacity_) return At(at_, "a Base 256 length cut short");
            length = (first - 249) * 250 + Unrandomize255(Get(at_ + 2), at_ + 3);
            field = 2;
        }
        if (at_ + 1 + field + length > capacity_) return At(at_, "a Base 256 segment past the symbol's end");
        at_ += 1 + field + length;
        return "";
    }

    std::span<const uint8_t> codewords_;
    int32_t capacity_;
    int32_t dataCodewords_;
    int32_t at_ = 0;
};

}  // namespace

std::string EndFormFault(const Symbol& symbol) { return Walk(symbol).Run(); }

}  // namespace glyphrun::testing
