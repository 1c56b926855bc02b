// The minimal encodation: a shortest path over (input position, scheme
// state) for a symbol of known capacity C, tried for the sizes of the
// request from the smallest that could hold the data.
//
// The states at a character boundary and what their cost counts:
//   ASCII                  codewords so far
//   C40/Text/X12, v = 0-2  codewords before the open triple, v values in it
//   EDIFACT, k = 0-3       codewords before the open group, k values in it
//   Base 256               codewords so far: latch, length field, bytes
//   ASCII tail             codewords so far, after an implied unlatch, and
//                          whether one character or all of them are in
// A reader's rules that depend on C shape the moves: at a triple boundary
// with one codeword left, and at a group boundary with one or two left, it
// returns to ASCII by itself; it reads an EDIFACT group only where three
// codewords remain; a Base 256 length of 0 means "to the end of the symbol".
// Those implied unlatches are taken only as the standard lays them down:
// after C40, Text or X12 for the data's last character, one that is a
// single value of that scheme; after EDIFACT for its last one or two
// characters in ASCII, a digit pair or an Upper Shift pair among them (no
// FNC1). That is the ASCII tail; leaving it ends the data. Where the data
// ends on a triple boundary one codeword before the end, the pad follows:
// no unlatch is written where the reader has left the triples already.
//
// The lenient end lets any ASCII follow an implied unlatch instead, as far
// as the codewords left hold it: a digit pair or a shifted character after
// a triple, three or four characters after EDIFACT. Common readers decode
// it and it now and then spares a symbol size, but a reader that keeps to
// the standard's end rules need not.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
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
    kAsciiTail = 15,      // after an implied unlatch: no character yet
    kAsciiTailOne = 16,   // one character of one codeword
    kAsciiTailDone = 17,  // the tail is complete: the data ends here
    kStateCount = 18,
};

// ImpliedLeave takes the character after a triple as the last codeword.
enum class Move : uint8_t { None, Char, DigitPair, Leave, LeaveToSymbolEnd, ImpliedLeave, Latch };

constexpr int32_t kNever = 1 << 30;

struct Node {
    int32_t cost;
    int16_t segmentBytes;  // Base 256 only, counted up to kLongBase256Length
    int8_t from;           // the state this one was reached from
    Move move;             // Char comes from the position before, DigitPair from two before
};

constexpr Node kUnreached{kNever, 0, -1, Move::None};

// A position's nodes before any move reaches them, copied whole.
struct UnreachedRow {
    Node node[kStateCount];
};
constexpr UnreachedRow kUnreachedRow = [] {
    UnreachedRow row{};
    for (Node& node : row.node) node = kUnreached;
    return row;
}();

EncodeScheme SchemeOf(int state) {
    if (state == kAscii || state >= kAsciiTail) return EncodeScheme::Ascii;
    if (state < kText) return EncodeScheme::C40;
    if (state < kX12) return EncodeScheme::Text;
    if (state < kEdifact) return EncodeScheme::X12;
    if (state < kBase256) return EncodeScheme::Edifact;
    return EncodeScheme::Base256;
}

// A byte of `count` values (1-4) takes an open triple of `from` values to
// one of `pending` values, completing triples of `codewords` codewords:
// pending = (from + count) mod 3. Indexed by count and pending.
struct TripletMove {
    int8_t from;
    int8_t codewords;
};

constexpr auto kTripletMoves = [] {
    struct Table {
        TripletMove move[5][3];
        constexpr const TripletMove* operator[](int count) const { return move[count]; }
    } table{};
    for (int count = 1; count <= 4; ++count)
        for (int from = 0; from < 3; ++from)
            table.move[count][(from + count) % 3] = {static_cast<int8_t>(from),
                                                     static_cast<int8_t>(2 * ((from + count) / 3))};
    return table;
}();

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
    const auto key = [](int n) { return n >= kLongBase256Length ? -1 : n; };
    return key(bytes) < key(than.segmentBytes);
}

class MinimalSearch {
public:
    // `prefix` codewords (those of the data's meaning) come first, in ASCII.
    MinimalSearch(const uint8_t* input, int32_t length, int32_t prefix, bool gs1, bool lenientEnd)
        : input_(input),
          length_(length),
          prefix_(prefix),
          gs1_(gs1),
          lenient_(lenientEnd),
          nodes_(new Node[static_cast<size_t>(length + 1) * kStateCount]),
          savedFrom_(length + 1) {}

    // The fewest codewords that hold the input when no capacity bounds
    // them, or kNever. Must come first: the solves for a capacity start
    // from its nodes.
    int32_t SolveUnbounded() {
        capacity_ = kUnboundedCapacity;
        highest_.resize(static_cast<size_t>(length_) + 1);
        Reset(0);
        Run(0);
        return Result();
    }

    // The fewest codewords that hold the input in a symbol of `capacity`
    // data codewords, or kNever.
    //
    // A capacity changes only the moves whose cost comes within two
    // codewords of it: the end-of-symbol rules and the moves that no
    // longer fit. Every other move is the same as without a capacity, so a
    // node that costs at most capacity - 3 either way is the same node, and
    // the positions whose nodes all cost that little (or are unreachable)
    // are kept from the unbounded solve; the search is redone from the
    // first position that has a dearer node.
    int32_t Solve(int32_t capacity) {
        capacity_ = capacity;
        int32_t from = 0;
        while (from <= length_ && highest_[static_cast<size_t>(from)] <= capacity - 3) ++from;
        KeepUnboundedBefore(from);
        if (from > 0 && from <= length_) {
            // The moves into the first redone position come from the two before it.
            if (from >= 2) RelaxCharacter(from - 2);
            RelaxCharacter(from - 1);
        }
        Run(from);
        return Result();
    }

    // Writes the codewords of the path that the last Solve found, after
    // the `prefix` codewords it was told of.
    int32_t Emit(uint8_t* output, int32_t outputCapacity, const uint8_t* prefix) const;

private:
    Node& At(int32_t i, int state) { return nodes_[static_cast<size_t>(i) * kStateCount + static_cast<size_t>(state)]; }
    const Node& At(int32_t i, int state) const {
        return nodes_[static_cast<size_t>(i) * kStateCount + static_cast<size_t>(state)];
    }

    int32_t Result() const {
        const int32_t cost = At(length_, kAscii).cost;
        return cost <= capacity_ ? cost : kNever;
    }

    // The nodes before `from` as the unbounded solve left them, those from
    // `from` on unreached (as Run reaches them). The unbounded nodes that a
    // solve overwrites are kept aside.
    void KeepUnboundedBefore(int32_t from) {
        const auto Offset = [](int32_t i) { return static_cast<std::ptrdiff_t>(i) * kStateCount; };
        Node* const end = &nodes_[static_cast<size_t>(length_ + 1) * kStateCount];
        if (from < savedFrom_) {
            std::copy(saved_.begin(), saved_.end(), &nodes_[0] + Offset(savedFrom_));
            saved_.assign(&nodes_[0] + Offset(from), end);
            savedFrom_ = from;
        } else {
            std::copy(saved_.begin(), saved_.begin() + Offset(from - savedFrom_), &nodes_[0] + Offset(savedFrom_));
        }
        Reset(from);
    }

    // Marks the nodes of the first two positions from `from` unreached, the
    // positions that a solve from there writes first.
    void Reset(int32_t from) {
        for (int32_t i = from; i <= std::min(from + 1, length_); ++i) MarkUnreached(i);
    }

    void MarkUnreached(int32_t i) { std::memcpy(static_cast<void*>(&At(i, 0)), &kUnreachedRow, sizeof kUnreachedRow); }

    // Positions are made unreached just before moves reach them: two ahead.
    // The unbounded solve notes the highest cost of each position's nodes
    // once they are final.
    void Run(int32_t from) {
        if (from == 0) At(0, kAscii).cost = prefix_;
        const bool unbounded = capacity_ == kUnboundedCapacity;
        for (int32_t i = from; i <= length_; ++i) {
            RelaxWithinPosition(i);
            if (unbounded) {
                // A reached node costs at most one codeword past the
                // capacity, an unreached one kNever: masking kNever's bit
                // leaves the one and takes the other to 0.
                const Node* at = &At(i, 0);
                const auto cost = [&](int state) { return at[state].cost & (kNever - 1); };
                const auto pair = [&](int state) { return std::max(cost(state), cost(state + 1)); };
                // (The tail states after kAsciiTail are never reached without a capacity.)
                const int32_t highest = std::max(std::max(std::max(pair(0), pair(2)), std::max(pair(4), pair(6))),
                                                 std::max(std::max(pair(8), pair(10)), std::max(pair(12), pair(14))));
                highest_[static_cast<size_t>(i)] = std::max(highest, i > 0 ? highest_[static_cast<size_t>(i) - 1] : 0);
            }
            if (i + 2 <= length_) MarkUnreached(i + 2);
            if (i < length_) RelaxCharacter(i);
        }
    }

    static void Relax(Node& node, int32_t cost, int from, Move move) {
        if (cost < node.cost) node = Node{cost, 0, static_cast<int8_t>(from), move};
    }

    static void RelaxSegment(Node& node, int32_t cost, int bytes, int from, Move move) {
        if (Base256Better(cost, bytes, node))
            node = Node{cost, static_cast<int16_t>(bytes), static_cast<int8_t>(from), move};
    }

    // An unreachable node costs kNever, far above any capacity: no move
    // from it fits.
    bool Fits(int32_t cost) const { return cost <= capacity_; }

    // Moves that consume nothing, in an order without cycles: into the
    // ASCII tail, leaving for ASCII, then latching from ASCII. (Written out
    // state by state: this and the next function are nearly all of the
    // search's time.)
    void RelaxWithinPosition(int32_t i) {
        Node* const at = &At(i, 0);
        Node& ascii = at[kAscii];
        // At a group boundary with one or two codewords left the reader is
        // back in ASCII already: only the tail may follow. (The tail comes
        // first so that, of equally short ends, the implied unlatch wins.)
        const int32_t boundary = at[kEdifact].cost;
        const bool edifactEndsImplied = !lenient_ && (capacity_ - boundary == 1 || capacity_ - boundary == 2);
        if (edifactEndsImplied) Relax(at[kAsciiTail], boundary, kEdifact, Move::Leave);
        if (i == length_)
            for (int tail : {kAsciiTail, kAsciiTailOne, kAsciiTailDone}) Relax(ascii, at[tail].cost, tail, Move::Leave);
        // C40 and Text may close a triple of two values with a Shift 1 on
        // the way out; it shifts nothing, as no value follows. With one
        // codeword left the reader returns to ASCII by itself: in the
        // standard's end nothing more than the pad may follow.
        const auto leaveTriplet = [&](int state, int32_t closing) {
            const int32_t closed = at[state].cost + closing;
            if (closed < capacity_ - 1) return Relax(ascii, closed + 1, state, Move::Leave);  // the unlatch
            // Filled, or one codeword left: the reader returns by itself.
            if (closed <= capacity_ && (lenient_ || closed == capacity_ || i == length_))
                Relax(ascii, closed, state, Move::Leave);
        };
        leaveTriplet(kC40, 0);
        leaveTriplet(kC40 + 2, 2);
        leaveTriplet(kText, 0);
        leaveTriplet(kText + 2, 2);
        leaveTriplet(kX12, 0);
        const auto leaveEdifact = [&](int k) {
            const int32_t group = at[kEdifact + k].cost;
            const int32_t cost = group + EdifactLeaveCost(capacity_, group, k);
            if (Fits(cost)) Relax(ascii, cost, kEdifact + k, Move::Leave);
        };
        if (!edifactEndsImplied) leaveEdifact(0);
        leaveEdifact(1);
        leaveEdifact(2);
        leaveEdifact(3);
        const Node& segment = at[kBase256];
        if (segment.segmentBytes > 0) {
            if (Fits(segment.cost)) Relax(ascii, segment.cost, kBase256, Move::Leave);
            // A length of 0 spares the second length codeword when the
            // segment ends the data and fills the symbol.
            if (i == length_ && segment.segmentBytes >= kLongBase256Length && segment.cost == capacity_ + 1)
                Relax(ascii, capacity_, kBase256, Move::LeaveToSymbolEnd);
        }
        const int32_t latched = ascii.cost + 1;
        if (!Fits(latched)) return;
        Relax(at[kC40], latched, kAscii, Move::Latch);
        Relax(at[kText], latched, kAscii, Move::Latch);
        Relax(at[kX12], latched, kAscii, Move::Latch);
        Relax(at[kEdifact], latched, kAscii, Move::Latch);
        RelaxSegment(at[kBase256], latched + 1, 0, kAscii, Move::Latch);
    }

    // The standard's ends after an implied unlatch. After EDIFACT: one or
    // two characters in ASCII, a digit pair or an Upper Shift pair among
    // them, as far as the codewords left hold them. After C40, Text or X12
    // (a triple boundary one codeword before the end, reached with a triple
    // of its own or two values and a Shift 1): one character that is a
    // single value of that scheme.
    void RelaxTail(int32_t i, bool fnc1) {
        const uint8_t byte = input_[i];
        const Node* const at = &At(i, 0);
        Node* const next = &At(i + 1, 0);
        const auto relax = [&](Node& node, int from, int32_t codewords, Move move) {
            if (Fits(at[from].cost + codewords)) Relax(node, at[from].cost + codewords, from, move);
        };
        if (IsPlainAscii(byte, fnc1)) {
            relax(next[kAsciiTailOne], kAsciiTail, 1, Move::Char);
            relax(next[kAsciiTailDone], kAsciiTailOne, 1, Move::Char);
        } else if (!fnc1) {
            relax(next[kAsciiTailDone], kAsciiTail, 2, Move::Char);
        }
        if (i + 1 < length_ && IsDigit(byte) && IsDigit(input_[i + 1]))
            relax(At(i + 2, kAsciiTailDone), kAsciiTail, 1, Move::DigitPair);
        const auto impliedLeave = [&](int state, int32_t closing) {
            if (at[state].cost + closing == capacity_ - 1 && TripletValueCount(byte, SchemeOf(state), fnc1) == 1)
                Relax(next[kAsciiTailDone], capacity_, state, Move::ImpliedLeave);
        };
        impliedLeave(kC40, 0);
        impliedLeave(kC40 + 2, 2);
        impliedLeave(kText, 0);
        impliedLeave(kText + 2, 2);
        impliedLeave(kX12, 0);
    }

    void RelaxCharacter(int32_t i) {
        const uint8_t byte = input_[i];
        const Node* const at = &At(i, 0);
        Node* const next = &At(i + 1, 0);
        // FNC1 is one ASCII codeword or two C40/Text values; X12, EDIFACT
        // and Base 256 cannot hold it.
        const bool fnc1 = gs1_ && byte == kGroupSeparator;
        const int32_t ascii = at[kAscii].cost;
        const int32_t cost = ascii + AsciiCodewords(byte, fnc1);
        if (Fits(cost)) Relax(next[kAscii], cost, kAscii, Move::Char);
        if (i + 1 < length_ && IsDigit(byte) && IsDigit(input_[i + 1]) && Fits(ascii + 1))
            Relax(At(i + 2, kAscii), ascii + 1, kAscii, Move::DigitPair);
        // The tail is reached only near a capacity, so never without one.
        if (!lenient_ && capacity_ != kUnboundedCapacity) RelaxTail(i, fnc1);
        // Each open triple after the byte comes from one before it.
        const auto triplet = [&](int t, int count) {
            if (count == 0) return;
            const TripletMove* const moves = kTripletMoves[count];
            const auto to = [&](int pending) {
                const int32_t reached = at[t + moves[pending].from].cost + moves[pending].codewords;
                // The open triple will take two codewords too.
                if (Fits(reached + (pending ? 2 : 0)))
                    Relax(next[t + pending], reached, t + moves[pending].from, Move::Char);
            };
            to(0);
            to(1);
            to(2);
        };
        triplet(kC40, TripletValueCount(byte, EncodeScheme::C40, fnc1));
        triplet(kText, TripletValueCount(byte, EncodeScheme::Text, fnc1));
        triplet(kX12, TripletValueCount(byte, EncodeScheme::X12, fnc1));
        if (fnc1) return;
        if (IsEdifactByte(byte)) {
            // A reader reads a group only where three codewords remain.
            const auto edifact = [&](int k) {
                const int32_t group = at[kEdifact + k].cost;
                if (capacity_ - group < 3) return;
                if (k == 3)
                    Relax(next[kEdifact], group + 3, kEdifact + 3, Move::Char);
                else
                    Relax(next[kEdifact + k + 1], group, kEdifact + k, Move::Char);
            };
            edifact(0);
            edifact(1);
            edifact(2);
            edifact(3);
        }
        const Node& segment = at[kBase256];
        const int bytes = std::min(segment.segmentBytes + 1, static_cast<int>(kLongBase256Length));
        const int32_t segmentCost = segment.cost + 1 + (segment.segmentBytes + 1 == kLongBase256Length ? 1 : 0);
        // One codeword over may still end as a length-0 segment.
        if (segmentCost <= capacity_ + 1) RelaxSegment(next[kBase256], segmentCost, bytes, kBase256, Move::Char);
    }

    const uint8_t* input_;
    int32_t length_;
    int32_t prefix_;
    bool gs1_;
    bool lenient_;
    int32_t capacity_ = 0;
    std::unique_ptr<Node[]> nodes_;
    std::vector<int32_t> highest_;
    std::vector<Node> saved_;  // the unbounded nodes from savedFrom_ on
    int32_t savedFrom_;
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

    void Char(int state, const uint8_t* at) {
        const uint8_t byte = *at;
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
            case EncodeScheme::Base256:
                // A segment's bytes follow one another in the input.
                if (segmentLength_++ == 0) segment_ = at;
                return;
            default: {
                uint8_t values[4];
                const int n = MapTripletChar(byte, SchemeOf(state), values, fnc1);
                for (int i = 0; i < n; ++i) AddTripletValue(values[i]);
                return;
            }
        }
    }

    void DigitPair(uint8_t first, uint8_t second) { Put(DigitPairCodeword(first, second)); }

    void Latch(int state) {
        Put(LatchCodeword(SchemeOf(state)));
        segmentLength_ = 0;
    }

    // The unlatch is written wherever a codeword is left for it, except
    // where the reader returns to ASCII by itself.
    void Leave(int state, Move move) {
        switch (SchemeOf(state)) {
            case EncodeScheme::Edifact:
                if (edifactCount_ > 0 || symbolCapacity_ - count_ > 2) {
                    AddEdifactValue(kUnlatchEdifact);
                    FlushEdifactGroup();
                }
                return;
            case EncodeScheme::Base256: FlushSegment(move == Move::LeaveToSymbolEnd); return;
            case EncodeScheme::Ascii: return;
            default:
                if (tripletCount_ > 0) AddTripletValue(0);  // two values and a Shift 1
                if (move != Move::ImpliedLeave && symbolCapacity_ - count_ > 1) Put(kUnlatchTriplet);
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
        triplet_[tripletCount_++] = value;
        if (tripletCount_ < 3) return;
        const int32_t v = PackTriple(triplet_);
        Put(v / 256);
        Put(v % 256);
        tripletCount_ = 0;
    }

    void AddEdifactValue(int value) {
        edifact_[edifactCount_++] = static_cast<uint8_t>(value);
        if (edifactCount_ == 4) FlushEdifactGroup();
    }

    // k values take k codewords (three for a full group), the rest zero bits.
    void FlushEdifactGroup() {
        for (int i = edifactCount_; i < 4; ++i) edifact_[i] = 0;
        const uint32_t packed = PackEdifactGroup(edifact_);
        for (int i = 0; i < EdifactGroupCodewords(edifactCount_); ++i) Put(EdifactGroupCodeword(packed, i));
        edifactCount_ = 0;
    }

    void PutRandomised(int value) { Put(Randomize255(value, count_ + 1)); }

    void FlushSegment(bool toSymbolEnd) {
        const int n = segmentLength_;
        uint8_t field[2] = {0, 0};
        const int fieldCodewords = toSymbolEnd ? 1 : Base256LengthField(n, field);
        for (int i = 0; i < fieldCodewords; ++i) PutRandomised(field[i]);
        for (int i = 0; i < n; ++i) PutRandomised(segment_[i]);
        segmentLength_ = 0;
    }

    uint8_t* output_;
    int32_t capacity_;
    int32_t symbolCapacity_;
    bool gs1_;
    int32_t count_ = 0;
    bool overflow_ = false;
    uint8_t triplet_[3] = {};
    int tripletCount_ = 0;
    uint8_t edifact_[4] = {};
    int edifactCount_ = 0;
    const uint8_t* segment_ = nullptr;  // the open Base 256 segment's first byte
    int segmentLength_ = 0;
};

int32_t MinimalSearch::Emit(uint8_t* output, int32_t outputCapacity, const uint8_t* prefix) const {
    // The path back from the end, then forward; positions are counted again
    // on the way forward.
    struct Step {
        int8_t state;
        int8_t from;
        Move move;
    };
    std::vector<Step> path;
    // At most a character, a leave and a latch at each position.
    path.reserve(3 * static_cast<size_t>(length_ + 1));
    for (int32_t i = length_, state = kAscii; i > 0 || state != kAscii;) {
        const Node& node = At(i, state);
        path.push_back({static_cast<int8_t>(state), node.from, node.move});
        i -= node.move == Move::Char || node.move == Move::ImpliedLeave ? 1 : node.move == Move::DigitPair ? 2 : 0;
        state = node.from;
    }
    CodewordWriter writer(output, outputCapacity, capacity_, gs1_);
    writer.Prefix(prefix, prefix_);
    int32_t position = 0;
    for (auto step = path.rbegin(); step != path.rend(); ++step) {
        switch (step->move) {
            case Move::Char: writer.Char(step->state, &input_[position++]); break;
            case Move::DigitPair:
                writer.DigitPair(input_[position], input_[position + 1]);
                position += 2;
                break;
            case Move::Latch: writer.Latch(step->state); break;
            case Move::Leave:
            case Move::LeaveToSymbolEnd: writer.Leave(step->from, step->move); break;
            case Move::ImpliedLeave:
                writer.Leave(step->from, step->move);
                writer.Char(step->state, &input_[position++]);
                break;
            case Move::None: break;
        }
    }
    return writer.count();
}

int32_t Capacity(int32_t size) { return QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size); }

}  // namespace

namespace {

int32_t SearchAndEmit(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                      int32_t requestedSize, const DataMeaning& meaning, bool lenientEnd, int32_t& sizeIndex,
                      EncodeFailure* failure) {
    uint8_t prefix[kMaxMeaningCodewords];
    MinimalSearch search(input, length, MeaningCodewords(meaning, prefix), GsIsFnc1(meaning), lenientEnd);
    const int32_t unbounded = search.SolveUnbounded();

    for (int32_t size : SizesOf(requestedSize)) {
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

void AppendMinimalSegment(std::vector<uint8_t>& codewords, const uint8_t* input, int32_t length) {
    const auto prefix = static_cast<int32_t>(codewords.size());
    MinimalSearch search(input, length, prefix, false, false);
    const int32_t cost = search.SolveUnbounded();
    codewords.resize(static_cast<size_t>(cost));
    // The codewords so far are their own prefix: the writer puts each back
    // where it is, and counts the positions Base 256 randomises by.
    search.Emit(codewords.data(), cost, codewords.data());
}

int32_t EncodeAutoMinimal(uint8_t* output, int32_t outputCapacity, const uint8_t* input, int32_t length,
                          int32_t requestedSize, int32_t& sizeIndex, EncodeFailure* failure, const DataMeaning& meaning,
                          bool lenientEnd) {
    sizeIndex = -1;
    if (const EncodeError error = CheckRequest(output, input, length, requestedSize, meaning);
        error != EncodeError::None)
        return FailRequest(failure, error, EncodeScheme::AutoMinimal, meaning);
    // No scheme puts more than two bytes into a codeword.
    if (length > 2 * kMaxDataCodewords)
        return FailToFit(failure, EncodeScheme::AutoMinimal, kMaxDataCodewords + 1, requestedSize);
    try {
        return SearchAndEmit(output, outputCapacity, input, length, requestedSize, meaning, lenientEnd, sizeIndex,
                             failure);
    } catch (const std::bad_alloc&) {
        sizeIndex = -1;
        return Fail(failure, EncodeError::OutOfMemory, EncodeScheme::AutoMinimal);
    }
}

}  // namespace glyphrun
