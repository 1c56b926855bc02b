// The minimal encodation: a shortest path over (input position, scheme
// state) for a symbol of known capacity C, tried for the sizes of the
// request from the smallest that could hold the data.
//
// The states at a character boundary and what their cost counts:
//   ASCII                  codewords so far
//   C40/Text/X12, v = 0-2  codewords before the open triple, v values in it
//   EDIFACT, k = 0-3       codewords before the open group, k values in it
//   Base 256               codewords so far: latch, length field, bytes
// A reader's rules that depend on C shape the moves: at a triple boundary
// with one codeword left, and at a group boundary with one or two left, it
// returns to ASCII by itself; it reads an EDIFACT group only where three
// codewords remain; a Base 256 length of 0 means "to the end of the symbol".
#include <algorithm>
#include <new>
#include <vector>

#include "encodation_internal.h"
#include "failure.h"

namespace glyphrun {
namespace {

enum State : int8_t {
    kAscii = 0,
    kC40 = 1,  // + pending values
    kText = 4,
    kX12 = 7,
    kEdifact = 10,  // + values in the open group
    kBase256 = 14,
    kStateCount = 15,
};

enum class Move : uint8_t { None, Char, DigitPair, Leave, LeaveToSymbolEnd, Latch };

constexpr int32_t kNever = 1 << 30;
constexpr int32_t kLongSegment = 250;  // Base 256 bytes from which the length takes two codewords

struct Node {
    int32_t cost = kNever;
    int16_t segmentBytes = 0;  // Base 256 only, counted up to kLongSegment
    int8_t from = -1;          // the state this one was reached from
    Move move = Move::None;    // Char comes from the position before, DigitPair from two before
};

constexpr State kTriplets[] = {kC40, kText, kX12};

EncodeScheme SchemeOf(int state) {
    if (state == kAscii) return EncodeScheme::Ascii;
    if (state < kText) return EncodeScheme::C40;
    if (state < kX12) return EncodeScheme::Text;
    if (state < kEdifact) return EncodeScheme::X12;
    if (state < kBase256) return EncodeScheme::Edifact;
    return EncodeScheme::Base256;
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Codewords that closing a triplet segment at a boundary costs: a reader
// with at most one codeword left returns to ASCII by itself.
int32_t TripletLeaveCost(int32_t capacity, int32_t position) { return capacity - position <= 1 ? 0 : 1; }

// Codewords that closing an EDIFACT group with k values (and the unlatch) takes.
int32_t EdifactLeaveCost(int32_t capacity, int32_t groupStart, int k) {
    if (k == 0) return capacity - groupStart <= 2 ? 0 : 1;
    return std::min(k + 1, 3);
}

// For Base 256 segments ending at the same place, a cheaper one is never
// worse later: it pays at most one more codeword, when it reaches 250 bytes.
// At equal cost the one that has paid already, or will pay later, wins.
bool Base256Better(int32_t cost, int bytes, const Node& than) {
    if (cost != than.cost) return cost < than.cost;
    const auto key = [](int n) { return n >= kLongSegment ? -1 : n; };
    return key(bytes) < key(than.segmentBytes);
}

class MinimalSearch {
public:
    // `prefix` codewords (FNC1 or an ECI designator) come first, in ASCII.
    MinimalSearch(const uint8_t* input, int32_t length, int32_t prefix, bool gs1)
        : input_(input), length_(length), prefix_(prefix), gs1_(gs1),
          nodes_(static_cast<size_t>(length + 1) * kStateCount) {}

    // The fewest codewords that hold the input in a symbol of `capacity`
    // data codewords, or kNever.
    int32_t Solve(int32_t capacity) {
        capacity_ = capacity;
        std::fill(nodes_.begin(), nodes_.end(), Node{});
        At(0, kAscii).cost = prefix_;
        for (int32_t i = 0; i <= length_; ++i) {
            RelaxWithinPosition(i);
            if (i < length_) RelaxCharacter(i);
        }
        const int32_t cost = At(length_, kAscii).cost;
        return cost <= capacity_ ? cost : kNever;
    }

    // Writes the codewords of the path that the last Solve found, after
    // the `prefix` codewords it was told of.
    int32_t Emit(uint8_t* output, int32_t outputCapacity, const uint8_t* prefix) const;

private:
    Node& At(int32_t i, int state) { return nodes_[static_cast<size_t>(i) * kStateCount + state]; }
    const Node& At(int32_t i, int state) const { return nodes_[static_cast<size_t>(i) * kStateCount + state]; }

    void Relax(int32_t i, int state, int32_t cost, int from, Move move, int bytes = 0) {
        Node& node = At(i, state);
        const bool better = state == kBase256 ? Base256Better(cost, bytes, node) : cost < node.cost;
        if (!better) return;
        node = Node{cost, static_cast<int16_t>(bytes), static_cast<int8_t>(from), move};
    }

    bool Fits(int32_t cost) const { return cost <= capacity_; }

    // Moves that consume nothing, in an order without cycles: leaving for
    // ASCII, then latching from ASCII.
    void RelaxWithinPosition(int32_t i) {
        for (State t : kTriplets) {
            // C40 and Text may close a triple of two values with a Shift 1
            // on the way out; it shifts nothing, as no value follows.
            for (int v : {0, 2}) {
                const Node& node = At(i, t + v);
                if (node.cost == kNever || (v == 2 && t == kX12)) continue;
                const int32_t closed = node.cost + (v ? 2 : 0);
                const int32_t cost = closed + TripletLeaveCost(capacity_, closed);
                if (Fits(cost)) Relax(i, kAscii, cost, t + v, Move::Leave);
            }
        }
        for (int k = 0; k < 4; ++k) {
            const Node& node = At(i, kEdifact + k);
            if (node.cost == kNever) continue;
            const int32_t cost = node.cost + EdifactLeaveCost(capacity_, node.cost, k);
            if (Fits(cost)) Relax(i, kAscii, cost, kEdifact + k, Move::Leave);
        }
        const Node& segment = At(i, kBase256);
        if (segment.cost != kNever && segment.segmentBytes > 0) {
            if (Fits(segment.cost)) Relax(i, kAscii, segment.cost, kBase256, Move::Leave);
            // A length of 0 spares the second length codeword when the
            // segment ends the data and fills the symbol.
            if (i == length_ && segment.segmentBytes >= kLongSegment && segment.cost == capacity_ + 1)
                Relax(i, kAscii, capacity_, kBase256, Move::LeaveToSymbolEnd);
        }
        const int32_t ascii = At(i, kAscii).cost;
        if (ascii == kNever || !Fits(ascii + 1)) return;
        for (State t : kTriplets) Relax(i, t, ascii + 1, kAscii, Move::Latch);
        Relax(i, kEdifact, ascii + 1, kAscii, Move::Latch);
        Relax(i, kBase256, ascii + 2, kAscii, Move::Latch);
    }

    void RelaxCharacter(int32_t i) {
        const uint8_t byte = input_[i];
        // FNC1 is one ASCII codeword or two C40/Text values; X12, EDIFACT
        // and Base 256 cannot hold it.
        const bool fnc1 = gs1_ && byte == kGroupSeparator;
        const int32_t ascii = At(i, kAscii).cost;
        if (ascii != kNever) {
            const int32_t cost = ascii + (byte >= 128 && !fnc1 ? 2 : 1);
            if (Fits(cost)) Relax(i + 1, kAscii, cost, kAscii, Move::Char);
            if (i + 1 < length_ && IsDigit(byte) && IsDigit(input_[i + 1]) && Fits(ascii + 1))
                Relax(i + 2, kAscii, ascii + 1, kAscii, Move::DigitPair);
        }
        for (State t : kTriplets) {
            uint8_t values[4];
            const int count = MapTripletChar(byte, SchemeOf(t), values, fnc1);
            if (count == 0) continue;
            for (int v = 0; v < 3; ++v) {
                const Node& node = At(i, t + v);
                if (node.cost == kNever) continue;
                const int32_t cost = node.cost + 2 * ((v + count) / 3);
                const int pending = (v + count) % 3;
                // The open triple will take two codewords too.
                if (Fits(cost + (pending ? 2 : 0))) Relax(i + 1, t + pending, cost, t + v, Move::Char);
            }
        }
        if (fnc1) return;
        if (byte >= 32 && byte <= 94) {
            for (int k = 0; k < 4; ++k) {
                const Node& node = At(i, kEdifact + k);
                // A reader reads a group only where three codewords remain.
                if (node.cost == kNever || capacity_ - node.cost < 3) continue;
                if (k == 3)
                    Relax(i + 1, kEdifact, node.cost + 3, kEdifact + 3, Move::Char);
                else
                    Relax(i + 1, kEdifact + k + 1, node.cost, kEdifact + k, Move::Char);
            }
        }
        const Node& segment = At(i, kBase256);
        if (segment.cost != kNever) {
            const int bytes = std::min(segment.segmentBytes + 1, static_cast<int>(kLongSegment));
            const int32_t cost = segment.cost + 1 + (segment.segmentBytes + 1 == kLongSegment ? 1 : 0);
            // One codeword over may still end as a length-0 segment.
            if (cost <= capacity_ + 1) Relax(i + 1, kBase256, cost, kBase256, Move::Char, bytes);
        }
    }

    const uint8_t* input_;
    int32_t length_;
    int32_t prefix_;
    bool gs1_;
    int32_t capacity_ = 0;
    std::vector<Node> nodes_;
};

// Turns the chosen moves into codewords, keeping the open triple, EDIFACT
// group and Base 256 segment as they fill.
class CodewordWriter {
public:
    CodewordWriter(uint8_t* output, int32_t capacity, int32_t symbolCapacity, bool gs1)
        : output_(output), capacity_(capacity), symbolCapacity_(symbolCapacity), gs1_(gs1) {}

    int32_t count() const { return overflow_ ? 0 : count_; }

    void Prefix(const uint8_t* codewords, int32_t count) {
        for (int32_t i = 0; i < count; ++i) Put(codewords[i]);
    }

    void Char(int state, uint8_t byte) {
        const bool fnc1 = gs1_ && byte == kGroupSeparator;
        switch (SchemeOf(state)) {
            case EncodeScheme::Ascii:
                if (fnc1) {
                    Put(kFnc1);
                } else if (byte >= 128) {
                    Put(kUpperShift);
                    Put(byte - 128 + 1);
                } else {
                    Put(byte + 1);
                }
                return;
            case EncodeScheme::Edifact: AddEdifactValue(byte & 63); return;
            case EncodeScheme::Base256: segment_.push_back(byte); return;
            default: {
                uint8_t values[4];
                const int n = MapTripletChar(byte, SchemeOf(state), values, fnc1);
                for (int i = 0; i < n; ++i) AddTripletValue(values[i]);
                return;
            }
        }
    }

    void DigitPair(uint8_t first, uint8_t second) { Put(130 + 10 * (first - '0') + (second - '0')); }

    void Latch(int state) {
        static constexpr uint8_t kLatches[] = {0, kLatchC40, kLatchText, kLatchX12, kLatchEdifact, kLatchBase256};
        Put(kLatches[static_cast<int>(SchemeOf(state))]);
        segment_.clear();
    }

    void Leave(int state, bool toSymbolEnd) {
        switch (SchemeOf(state)) {
            case EncodeScheme::Edifact:
                if (!edifact_.empty() || symbolCapacity_ - count_ > 2) {
                    AddEdifactValue(kUnlatchEdifact);
                    FlushEdifactGroup();
                }
                return;
            case EncodeScheme::Base256: FlushSegment(toSymbolEnd); return;
            default:
                if (!triplet_.empty()) AddTripletValue(0);  // two values and a Shift 1
                if (symbolCapacity_ - count_ > 1) Put(kUnlatchTriplet);
                return;
        }
    }

private:
    void Put(int value) {
        if (count_ >= capacity_) {
            overflow_ = true;
            return;
        }
        output_[count_++] = static_cast<uint8_t>(value);
    }

    void AddTripletValue(uint8_t value) {
        triplet_.push_back(value);
        if (triplet_.size() < 3) return;
        const int v = 1600 * triplet_[0] + 40 * triplet_[1] + triplet_[2] + 1;
        Put(v / 256);
        Put(v % 256);
        triplet_.clear();
    }

    void AddEdifactValue(int value) {
        edifact_.push_back(static_cast<uint8_t>(value));
        if (edifact_.size() == 4) FlushEdifactGroup();
    }

    // k values take k codewords (three for a full group), the rest zero bits.
    void FlushEdifactGroup() {
        uint32_t packed = 0;
        for (size_t i = 0; i < 4; ++i) packed = packed << 6 | (i < edifact_.size() ? edifact_[i] : 0);
        const size_t codewords = std::min<size_t>(edifact_.size(), 3);
        for (size_t i = 0; i < codewords; ++i) Put(packed >> (16 - 8 * i) & 0xFF);
        edifact_.clear();
    }

    void PutRandomised(int value) { Put(Randomize255(value, count_ + 1)); }

    void FlushSegment(bool toSymbolEnd) {
        const int n = static_cast<int>(segment_.size());
        if (toSymbolEnd) {
            PutRandomised(0);
        } else if (n < kLongSegment) {
            PutRandomised(n);
        } else {
            PutRandomised(n / 250 + 249);
            PutRandomised(n % 250);
        }
        for (uint8_t byte : segment_) PutRandomised(byte);
        segment_.clear();
    }

    uint8_t* output_;
    int32_t capacity_;
    int32_t symbolCapacity_;
    bool gs1_;
    int32_t count_ = 0;
    bool overflow_ = false;
    std::vector<uint8_t> triplet_, edifact_, segment_;
};

int32_t MinimalSearch::Emit(uint8_t* output, int32_t outputCapacity, const uint8_t* prefix) const {
    struct Step {
        int32_t position;
        int state;
        Move move;
        int from;
    };
    std::vector<Step> path;
    for (int32_t i = length_, state = kAscii; i > 0 || state != kAscii;) {
        const Node& node = At(i, state);
        path.push_back({i, state, node.move, node.from});
        i -= node.move == Move::Char ? 1 : node.move == Move::DigitPair ? 2 : 0;
        state = node.from;
    }
    CodewordWriter writer(output, outputCapacity, capacity_, gs1_);
    writer.Prefix(prefix, prefix_);
    for (auto step = path.rbegin(); step != path.rend(); ++step) {
        switch (step->move) {
            case Move::Char: writer.Char(step->state, input_[step->position - 1]); break;
            case Move::DigitPair: writer.DigitPair(input_[step->position - 2], input_[step->position - 1]); break;
            case Move::Latch: writer.Latch(step->state); break;
            case Move::Leave: writer.Leave(step->from, false); break;
            case Move::LeaveToSymbolEnd: writer.Leave(step->from, true); break;
            case Move::None: break;
        }
    }
    return writer.count();
}

int32_t Capacity(int32_t size) { return QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size); }

}  // namespace

namespace {

int32_t SearchAndEmit(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                      int32_t requestedSize, const DataMeaning& meaning, int32_t& sizeIndex, EncodeFailure* failure) {
    uint8_t prefix[4];
    MinimalSearch search(input, length, MeaningCodewords(meaning, prefix), meaning.gs1);
    const int32_t unbounded = search.Solve(kUnboundedCapacity);

    const SizeRange sizes = SizesOf(requestedSize);
    for (int32_t size = sizes.first; size <= sizes.last; ++size) {
        // A known capacity spares at most the last unlatch or length codeword.
        if (Capacity(size) < unbounded - 2) continue;
        const int32_t cost = search.Solve(Capacity(size));
        if (cost == kNever) continue;
        if (search.Emit(output, outputCapacity, prefix) != cost) {
            Fail(failure, EncodeError::OutputTooSmall, EncodeScheme::AutoMinimal);
            if (failure) {
                failure->needed = cost;
                failure->capacity = outputCapacity;
            }
            return 0;
        }
        sizeIndex = size;
        return cost;
    }
    return FailToFit(failure, EncodeScheme::AutoMinimal, unbounded, requestedSize);
}

}  // namespace

int32_t EncodeAutoMinimal(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                          int32_t requestedSize, int32_t& sizeIndex, EncodeFailure* failure,
                          const DataMeaning& meaning) {
    sizeIndex = -1;
    if (const EncodeError error = CheckRequest(output, input, length, requestedSize, meaning);
        error != EncodeError::None)
        return FailRequest(failure, error, EncodeScheme::AutoMinimal, meaning);
    // No scheme puts more than two bytes into a codeword.
    if (length > 2 * kMaxDataCodewords)
        return FailToFit(failure, EncodeScheme::AutoMinimal, kMaxDataCodewords + 1, requestedSize);
    try {
        return SearchAndEmit(output, outputCapacity, input, length, requestedSize, meaning, sizeIndex, failure);
    } catch (const std::bad_alloc&) {
        sizeIndex = -1;
        return Fail(failure, EncodeError::OutOfMemory, EncodeScheme::AutoMinimal);
    }
}

}  // namespace glyphrun
