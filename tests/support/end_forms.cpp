#include "end_forms.h"

#include <span>
#include <vector>

#include "glyphrun/ecc200_stages.h"

namespace glyphrun::testing {
namespace {

constexpr int kPad = 129, kUnlatch = 254;

bool IsOneCharacter(int codeword) { return codeword >= 1 && codeword <= 128; }

std::string Describe(int codeword) {
    if (IsOneCharacter(codeword)) return "a character";
    if (codeword == kPad) return "a pad";
    if (codeword >= 130 && codeword <= 229) return "a digit pair";
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
                case kLatchC40: fault = Triplets("C40"); break;
                case kLatchText: fault = Triplets("Text"); break;
                case kLatchX12: fault = Triplets("X12"); break;
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
    // boundary is ASCII again and must be the unlatch or one character.
    std::string Triplets(const char* scheme) {
        int32_t i = at_ + 1;
        for (; i < capacity_ && Get(i) != kUnlatch; i += 2) {
            if (capacity_ - i == 1 && !IsOneCharacter(Get(i)))
                return At(i, std::string("after ") + scheme + " the last codeword is " + Describe(Get(i)) +
                                 ", not the unlatch or one character");
            if (capacity_ - i > 1 && 256 * Get(i) + Get(i + 1) - 1 >= 64000)
                return At(i, std::string("no ") + scheme + " triple");
        }
        at_ = i < capacity_ ? i + 1 : capacity_;
        return "";
    }

    // Groups of three codewords up to the unlatch value; one or two
    // codewords left at a group boundary are ASCII again, one character or
    // a pad each.
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
        for (at_ = i; at_ < capacity_ && Get(at_) != kPad; ++at_)
            if (!IsOneCharacter(Get(at_)))
                return At(at_, "after EDIFACT " + Describe(Get(at_)) + " where only one character may stand");
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
