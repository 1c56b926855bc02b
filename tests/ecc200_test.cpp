// The encoder's stages and records: encodation at codeword level, symbol sizes, Reed-Solomon checks,
// module placement, padding, a run's record and the module image.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "codewords.h"
#include "glyphrun/ecc200.h"
#include "glyphrun/ecc200_stages.h"
#include "reader.h"

namespace glyphrun {
namespace {

using testing::Codewords;
using testing::EncodeAndRead;
using testing::EncodeBytes;
using V = std::vector<int>;

constexpr EncodeScheme C40 = EncodeScheme::C40, Text = EncodeScheme::Text, X12 = EncodeScheme::X12,
                       Edifact = EncodeScheme::Edifact;

TEST(Schemes, WorkedExamples) {
    const std::tuple<EncodeScheme, std::string, V> cases[] = {
        {C40, "AIMAIMAIM", {230, 91, 11, 91, 11, 91, 11}},            // one codeword left: the reader is in ASCII again
        {C40, "AIMAIMAIMa", {230, 91, 11, 91, 11, 91, 11, 254, 98}},  // 'a' is two C40 values: not alone there
        {C40, "AB", {230, 89, 217}},
        {C40, "A", {230, 254, 66}},
        {C40, "AB!", {230, 89, 217, 254, 34}},  // a Shift 1 pads the triple: '!' is never split
        {C40, "\xc1", {230, 10, 255}},
        {C40, "\351ABC", {230, 10, 243, 58, 128, 254, 68}},
        {Text, "ab", {239, 89, 217}},
        {Text, "AB", {239, 12, 169, 254, 67}},  // Shift 3 for each letter
        {Text, "\xd9", {239, 254, 235, 90}},    // four values: none stays behind in a triple
        {X12, "ABC", {238, 89, 233}},
        {X12, "AB", {238, 254, 66, 67}},  // X12 has no pad: the rest is ASCII
        {Edifact, "ABCD", {240, 4, 32, 196}},
        {Edifact, "ABCDE", {240, 4, 32, 196, 70}},
        {Edifact, "ABC", {240, 4, 32, 223}},
        {Edifact, "AB", {240, 66, 67}},                         // one or two codewords left after the latch are ASCII
        {Edifact, "ABCDEFGH", {240, 4, 32, 196, 20, 97, 200}},  // no unlatch with one codeword left
        {Edifact, "ABCD12", {240, 4, 32, 196, 142}},            // the last codeword in ASCII: a digit pair
    };
    for (const auto& [scheme, input, codewords] : cases)
        EXPECT_EQ(Codewords(input, scheme), codewords) << SchemeName(scheme) << " " << input;
    EXPECT_EQ(DescribeEncodeFailure(EncodeBytes("ABa", X12).failure), "X12 cannot encode byte 0x61 at position 3");
    const EncodeFailure edifact = EncodeBytes("ABCD\xc8", Edifact).failure;
    EXPECT_EQ(std::pair(edifact.error, edifact.position), std::pair(EncodeError::NotEncodable, 5));
}

TEST(Base256, LengthFieldAndRandomising) {
    EXPECT_EQ(Codewords("AB", EncodeScheme::Base256), (V{231, 46, 2, 153}));
    for (int n : {249, 250, 251, 1000}) {
        const V codewords = Codewords(std::string(n, '\x80'), EncodeScheme::Base256);
        ASSERT_EQ(static_cast<int>(codewords.size()), n + (n < 250 ? 2 : 3)) << n;
        const int field = Unrandomize255(codewords[1], 2);
        EXPECT_EQ(n < 250 ? field : (field - 249) * 250 + Unrandomize255(codewords[2], 3), n);
        for (size_t i = codewords.size() - n; i < codewords.size(); ++i)
            ASSERT_EQ(Unrandomize255(codewords[i], static_cast<int>(i) + 1), 0x80) << n << " at " << i;
    }
}

// The end is shaped for the symbol that will hold it (a larger fixed size, a rectangle), counted in codewords.
TEST(EndOfData, ReadsBackInTheRequestedSize) {
    const std::tuple<std::string, EncodeScheme, int32_t> cases[] = {
        {"ABC", C40, 1},
        {"ABCD", Edifact, 2},
        {"ABCDEFGHIJ", C40, kSmallestRectangle},
        {"abcdefghij", Text, 27},
        {"ABCDEFGHIJ", X12, 3},
        {"ABCDEFGH", Edifact, 26},
        {"ABCDE", Edifact, kSmallestRectangle},
        {"AB", X12, 1},
        {"AAAAAAAA\xc1", C40, kSmallestSquare},
        {"AAAAA\xc1", C40, kSmallestSquare},
        {"aaaaaaaa\xe1", Text, kSmallestSquare},
    };
    for (const auto& [input, scheme, size] : cases)
        EXPECT_EQ(EncodeAndRead(input, scheme, size), input) << input << " size " << size;
    // A fixed size that cannot hold the data fails rather than growing.
    EXPECT_EQ(EncodeBytes("ABCDEFGHIJ", C40, 0).failure.error, EncodeError::DoesNotFit);
}

// A complete EDIFACT group needs no unlatch at the symbol's end; a Base 256 segment running to the end has length 0.
TEST(EndOfData, ExactFillsReachFullCapacity) {
    EXPECT_EQ(Codewords("ABCDEFGHIJKL", Edifact, 25).size(), 10u);
    EXPECT_EQ(EncodeAndRead("ABCDEFGHIJKL", Edifact, 25), "ABCDEFGHIJKL");
    for (const std::string& full : {std::string(2076, '^'), std::string(1556, '\xc8')}) {
        const EncodeScheme scheme = full[0] == '^' ? Edifact : EncodeScheme::Base256;
        EXPECT_EQ(Codewords(full, scheme).size(), 1558u);
        EXPECT_TRUE(EncodeAndRead(full, scheme, kSmallestSquare) == full) << SchemeName(scheme);
    }
    const std::string bytes(278, '\xc8');
    EXPECT_TRUE(EncodeAndRead(bytes, EncodeScheme::Base256, 15) == bytes);  // 280 codewords in 64 x 64
    EXPECT_EQ(EncodeBytes(std::string(1557, '\xc8'), EncodeScheme::Base256).failure.error, EncodeError::TooLong);
}

// The digit after an Upper Shift's byte does not pair with it ("\2612": 0xB1, '2').
TEST(Ascii, DigitPairsAndUpperShift) {
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"123456", {142, 164, 186}}, {"A1B", {66, 50, 67}},
        {"12A3", {142, 66, 52}},     {"123", {142, 52}},
        {"\xc8", {235, 73}},         {"\x80", {235, 1}},
        {"\2612", {235, 50, 51}},    {std::string("\0\xff", 2), {1, 235, 128}}};
    for (const auto& [input, codewords] : cases) EXPECT_EQ(Codewords(input, EncodeScheme::Ascii), codewords) << input;
}

TEST(Ascii, FirstDigitAfterAChangeIntoAsciiNeverPairsBackwards) {
    EncodationState state;
    InitEncodationState(state, reinterpret_cast<const uint8_t*>("5"), 1);
    ChangeScheme(state, EncodeScheme::Base256, false);
    state.codewords[1] = '4' + 1;  // a Base 256 segment that ended in what looks like a digit
    EncodeStep(state, EncodeScheme::Ascii);
    ASSERT_EQ(state.error, EncodationError::None);
    EXPECT_EQ(state.written / 12, 3);
    EXPECT_EQ(state.codewords[2], '5' + 1);
}

TEST(ChangeScheme, TripletChangeOffBoundaryFailsAndWritesNothing) {
    EncodationState state;
    InitEncodationState(state, nullptr, 0);
    ChangeScheme(state, EncodeScheme::C40, false);
    EXPECT_EQ(state.codewords[0], kLatchC40);
    EXPECT_EQ(state.schemeStart, 0);
    state.consumed = 20;  // the latch and one value: inside a triple
    ChangeScheme(state, EncodeScheme::Ascii, false);
    EXPECT_EQ(state.error, EncodationError::NotAtBoundary);
    EXPECT_EQ(state.scheme, EncodeScheme::C40);
    EXPECT_EQ(state.written, 12);
}

// Past the largest symbol, also by half an Upper Shift pair: too long, nothing written.
TEST(Encodation, OutputPastTheLargestSymbolFailsAsTooLong) {
    EXPECT_EQ(Codewords(std::string(1558, 'A'), EncodeScheme::Ascii).size(), 1558u);
    for (const std::string& input :
         {std::string(1559, 'A'), std::string(1557, 'A') + "\xc8", std::string(100000, 'x')}) {
        const auto e = EncodeBytes(input, EncodeScheme::Ascii);
        EXPECT_TRUE(e.codewords.empty());
        EXPECT_EQ(e.failure.error, EncodeError::TooLong) << input.size();
    }
}

TEST(Encodation, BadArgumentsFailWithoutLooping) {
    const uint8_t byte = 'A';
    uint8_t out[8];
    EncodeFailure failure{};
    const std::tuple<const uint8_t*, int32_t, int, EncodeError> calls[] = {
        {&byte, -1, 0, EncodeError::InvalidArgument}, {nullptr, 3, 0, EncodeError::InvalidArgument},
        {&byte, 0, 0, EncodeError::EmptyInput},       {&byte, 1, -1, EncodeError::UnknownScheme},
        {&byte, 1, 6, EncodeError::UnknownScheme},    {&byte, 1, 1000, EncodeError::UnknownScheme}};
    for (const auto& [input, length, scheme, error] : calls) {
        EXPECT_EQ(
            EncodeSingleScheme(out, 8, input, length, static_cast<EncodeScheme>(scheme), kSmallestSquare, &failure), 0);
        EXPECT_EQ(failure.error, error) << length << " " << scheme;
    }
    EncodationState state;
    InitEncodationState(state, &byte, 1);
    EncodeStep(state, static_cast<EncodeScheme>(42));
    EXPECT_EQ(state.error, EncodationError::UnknownScheme);
    for (auto [input, length] : {std::pair<const uint8_t*, int32_t>{nullptr, 5}, {&byte, -3}}) {
        InitEncodationState(state, input, length);
        EXPECT_EQ(state.error, EncodationError::InvalidInput);
        EncodeStep(state, EncodeScheme::Ascii);  // reads nothing
        EXPECT_EQ(state.written, 0);
    }
    // Output that does not fit the caller's buffer is refused, not overrun.
    EXPECT_EQ(EncodeSingleScheme(out, 2, reinterpret_cast<const uint8_t*>("ABC"), 3, EncodeScheme::Ascii,
                                 kSmallestSquare, &failure),
              0);
    EXPECT_EQ(failure.error, EncodeError::OutputTooSmall);
}

int32_t Attr(SymbolAttribute a, int32_t i) { return QuerySymbolAttribute(a, i); }

// {data codewords, request, size or -1}: with DMRE the smallest area that holds the data (17 take 8 x 48, not 12 x 36).
TEST(SymbolSize, SelectsSmallestFittingSizeOfTheFamily) {
    constexpr int32_t kSquare = kSmallestSquare, kRect = kSmallestRectangle, kDmre = kSmallestRectangleOrDmre;
    const int32_t cases[][3] = {{3, kSquare, 0},  {4, kSquare, 1}, {1558, kSquare, 23}, {1559, kSquare, -1},
                                {5, kRect, 24},   {6, kRect, 25},  {50, kRect, -1},     {16, kDmre, 26},
                                {17, kDmre, 30},  {33, kDmre, 39}, {45, kDmre, 29},     {118, kDmre, 47},
                                {119, kDmre, -1}, {90, 46, 46},    {10, 5, 5},          {23, 5, -1},
                                {0, kDmre, -1},   {0, 29, -1},     {1, -4, -1},         {1, 48, -1}};
    for (const auto& [codewords, request, size] : cases)
        EXPECT_EQ(SelectSymbolSize(codewords, request), size) << codewords << " for " << request;
}

// {size, block, data codewords or -1}: 8 x 144 has one block, like every DMRE size; bad queries read -1.
TEST(SymbolSize, DataCodewordsPerBlockAndBadQueries) {
    const int32_t cases[][3] = {{23, 7, 156}, {23, 8, 155}, {14, 1, 102}, {35, 0, 63},
                                {23, 10, -1}, {23, -1, -1}, {0, 1, -1},   {48, 0, -1}};
    for (const auto& [size, block, codewords] : cases) EXPECT_EQ(DataCodewordsInBlock(size, block), codewords);
    for (auto [id, index] : {std::pair{0, 48}, {13, -1}, {14, 0}, {-1, 0}})
        EXPECT_EQ(Attr(static_cast<SymbolAttribute>(id), index), -1) << id << " " << index;
}

TEST(Placement, TenByTenExample) {
    Ecc200Message* message = AllocMessage(0);
    const uint8_t data[] = {142, 164, 186};
    std::copy(data, data + 3, message->codewords);
    EXPECT_EQ(ComputeEcc(message, 0), 1);
    EXPECT_EQ(std::vector<int>(message->codewords, message->codewords + 8), (V{142, 164, 186, 114, 25, 5, 88, 102}));
    EXPECT_EQ(ComputeEcc(message, 1), 0);  // a message of another size is refused
    EXPECT_EQ(PlaceCodewords(message, 0, ModuleDarkBits), 8);
    const std::vector<std::string> expected = {"1010101010", "1100101101", "1100000100", "1100011101", "1100001000",
                                               "1000001111", "1110110000", "1111011001", "1001110100", "1111111111"};
    std::vector<std::string> picture;
    for (int r = 9; r >= 0; --r) {
        picture.emplace_back();
        for (int c = 0; c < 10; ++c) picture.back() += (ModuleStatus(message, 0, r, c) & ModuleDarkBits) ? '1' : '0';
    }
    EXPECT_EQ(picture, expected);
    FreeMessage(message);
}

// All codewords 0xFF: each size covers its mapping matrix once but for the fixed corner, inside finder and clock lines.
TEST(Placement, EverySizeCoversItsMappingMatrixInsideItsPatterns) {
    for (int size = 0; size < kAllSymbolSizeCount; ++size) {
        SCOPED_TRACE(size);
        Ecc200Message* message = AllocMessage(size);
        for (int i = 0; i < message->codewordCount; ++i) message->codewords[i] = 0xFF;
        EXPECT_EQ(PlaceCodewords(message, size, ModuleDarkBits), message->codewordCount);
        int assigned = 0;
        for (int i = 0; i < message->moduleCount; ++i) assigned += (message->modules[i] & ModuleAssigned) ? 1 : 0;
        EXPECT_EQ(assigned, 8 * message->codewordCount);
        const bool fixedCorner = message->moduleCount != assigned;
        EXPECT_EQ(fixedCorner, size == 1 || size == 3 || size == 5 || size == 7);
        const int rows = Attr(SymbolAttribute::AttrSymbolRows, size);
        const int cols = Attr(SymbolAttribute::AttrSymbolCols, size);
        const auto at = [&](int r, int c) { return ModuleStatus(message, size, r, c); };
        for (int c = 0; c < cols; ++c) EXPECT_EQ(std::pair(at(0, c), at(rows - 1, c)), std::pair(7, c % 2 ? 0 : 7));
        for (int r = 0; r < rows; ++r) EXPECT_EQ(std::pair(at(r, 0), at(r, cols - 1)), std::pair(7, r % 2 ? 0 : 7));
        for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {rows, 0}, {0, cols}}) EXPECT_EQ(at(r, c), -1);
        FreeMessage(message);
    }
}

// The fixed corner of 12 x 12 (dark on its diagonal), and the inner lines of 8 x 32's two regions.
TEST(Placement, FixedCornerAndRegionBorders) {
    Ecc200Message* message = AllocMessage(1);
    PlaceCodewords(message, 1, ModuleDarkBits);
    const auto at = [&](int r, int c) { return message->modules[r * 10 + c] & ModuleDarkBits; };
    EXPECT_EQ(at(9, 9) + at(8, 8), 2 * ModuleDarkBits);
    EXPECT_EQ(at(9, 8) + at(8, 9), 0);
    FreeMessage(message);
    message = AllocMessage(25);
    PlaceCodewords(message, 25, ModuleDarkBits);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(std::pair(ModuleStatus(message, 25, r, 16), ModuleStatus(message, 25, r, 15)),
                  std::pair(7, r % 2 ? 0 : 7));
    EXPECT_EQ(ModuleStatus(message, 48, 0, 0), -1);
    EXPECT_EQ(PlaceCodewords(message, 24, ModuleDarkBits), 0);  // not this message's size
    FreeMessage(message);
}

// A block, data then checks, highest power first, is a codeword when it is 0 at each root a^1 .. a^checks.
bool HasZeroSyndromes(const std::vector<uint8_t>& block, int checks) {
    for (int i = 1; i <= checks; ++i) {
        uint8_t s = 0;
        for (uint8_t c : block) s = GfMultiplyPower(s, i) ^ c;
        if (s != 0) return false;
    }
    return true;
}

// Every size, random data: each interleaved block is a codeword, its checks interleaved like its data.
TEST(ReedSolomon, EveryBlockOfEverySizeHasZeroSyndromes) {
    uint32_t seed = 12345;
    for (int size = 0; size < kAllSymbolSizeCount; ++size) {
        SCOPED_TRACE(size);
        Ecc200Message* message = AllocMessage(size);
        const int nd = QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size);
        const int nb = QuerySymbolAttribute(SymbolAttribute::AttrBlocks, size);
        const int ne = QuerySymbolAttribute(SymbolAttribute::AttrEccPerBlock, size);
        for (int i = 0; i < nd; ++i)
            message->codewords[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
        ComputeEcc(message, size);
        for (int b = 0; b < nb; ++b) {
            std::vector<uint8_t> block;
            for (int p = b; p < nd; p += nb) block.push_back(message->codewords[p]);
            for (int q = DataCodewordsInBlock(size, b) * nb + b; q < message->codewordCount; q += nb)
                block.push_back(message->codewords[q]);
            ASSERT_EQ(static_cast<int>(block.size()), DataCodewordsInBlock(size, b) + ne);
            ASSERT_TRUE(HasZeroSyndromes(block, ne)) << "block " << b;
        }
        FreeMessage(message);
    }
}

// The iso144 layout puts check j of block b at 10 j + b past the data: the same data, its blocks right in that
// interleaving. zxing-cpp reads the default layout; no other size has a second one.
TEST(ReedSolomon, LargestSymbolInEitherBlockLayout) {
    std::string text;
    for (int i = 0; i < kMaxDataCodewords; ++i) text += static_cast<char>('A' + i % 23);
    const auto encode = [&](int32_t size, bool iso144, size_t length) {
        return testing::EncodeText(text.substr(0, length),
                                   {.scheme = EncodeScheme::Ascii, .size = size, .iso144 = iso144})
            .value();
    };
    const Symbol common = encode(23, false, text.size()), iso = encode(23, true, text.size());
    EXPECT_EQ(testing::ReadSymbol(common), text);
    const std::vector<uint8_t>&c = common.codewords(), &i = iso.codewords();
    EXPECT_TRUE(std::equal(i.begin(), i.begin() + kMaxDataCodewords, c.begin()));
    EXPECT_NE(i, c);
    for (int b = 0; b < 10; ++b) {
        std::vector<uint8_t> block;
        for (int p = b; p < kMaxDataCodewords; p += 10) block.push_back(i[p]);
        for (int j = 0; j < 62; ++j) block.push_back(i[kMaxDataCodewords + 10 * j + b]);
        EXPECT_TRUE(HasZeroSyndromes(block, 62)) << "block " << b;
    }
    for (int size : {22, 35}) EXPECT_EQ(encode(size, false, 60).modules(), encode(size, true, 60).modules());
}

// The first pad is 129, later ones randomised; a full or negative count is left alone, nothing written outside.
TEST(Records, PaddingFillsToCapacityWithRandomisedPads) {
    uint8_t codewords[6] = {66};
    int32_t count = 1;
    PadCodewords(codewords, count, 6);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(std::vector<int>(codewords, codewords + 6), (std::vector<int>{66, 129, 70, 220, 115, 11}));
    for (int32_t left : {6, -1}) {
        count = left;
        PadCodewords(codewords, count, 6);
        EXPECT_EQ(count, left);
    }
}

TEST(Records, Randomize255IsInvertedForEveryByteAndPosition) {
    for (int p = 1; p <= 1558; ++p)
        for (int v = 0; v < 256; ++v) ASSERT_EQ(Unrandomize255(Randomize255(v, p), p), v) << v << " at " << p;
    for (int p : {1, 2, 1558, -7, 2147483647, -2147483647 - 1}) {
        EXPECT_TRUE(Randomize253(129, p) >= 1 && Randomize253(129, p) <= 254) << p;
        EXPECT_EQ(Unrandomize255(Randomize255(200, p), p), 200);
    }
}

// Pointers are cleared, null and a record in any state are left alone, a size outside the table refused.
TEST(Records, AllocationAndRelease) {
    Ecc200Message* message = AllocMessage(0);
    ASSERT_NE(message, nullptr);
    FreeMessage(message);
    EXPECT_EQ(message, nullptr);
    FreeMessage(message);
    EXPECT_EQ(AllocMessage(-1), nullptr);
    EXPECT_EQ(AllocMessage(48), nullptr);
    FreeEncoder(nullptr);
    Ecc200Encoder encoder = InitEncoder();
    encoder.message = AllocMessage(3);  // a message without an image, as after a failed image step
    FreeEncoder(&encoder);
    EXPECT_EQ(encoder.message, nullptr);
    FreeEncoder(&encoder);
}

struct Encoder {
    Ecc200Encoder record = InitEncoder();
    Encoder(EncodeScheme scheme = EncodeScheme::Ascii) { record.scheme = scheme; }
    ~Encoder() { FreeEncoder(&record); }
    int Run(const std::string& text, int32_t size = kSmallestSquare) {
        return EncodeMessage(&record, static_cast<int32_t>(text.size()), reinterpret_cast<const uint8_t*>(text.data()),
                             size);
    }
};

TEST(Driver, RecordDescribesTheSymbolOrWhyNot) {
    Encoder e;
    const std::tuple<std::string, int32_t, std::string> failures[] = {
        {"", kSmallestSquare, "the input is empty"},
        {std::string(50, 'A'), kSmallestRectangle,
         "the input needs 50 data codewords but the largest rectangular symbol (16x48) holds 49"},
        {"A", 48, "invalid symbol size index (use 0-47, -1 for square, -2 for rectangle or -3 for rectangle or DMRE)"}};
    for (const auto& [input, size, reason] : failures) {
        EXPECT_EQ(e.Run(input, size), 0);
        EXPECT_EQ(DescribeEncodeFailure(e.record.failure), reason) << size;
    }
    EXPECT_EQ(e.record.image, nullptr);

    Encoder unknown(static_cast<EncodeScheme>(99));
    EXPECT_EQ(unknown.Run("A"), 0);
    EXPECT_EQ(DescribeEncodeFailure(unknown.record.failure), "unknown encodation scheme 99");
    EXPECT_EQ(EncodeMessage(nullptr, 1, reinterpret_cast<const uint8_t*>("A"), -1), 0);
    ASSERT_EQ(e.Run("123456"), 1);  // the record describes the symbol
    EXPECT_EQ(std::tuple(e.record.sizeIndex, e.record.dataCodewords, e.record.symbolRows, e.record.mappingCols),
              std::tuple(0, 3, 10, 8));
    EXPECT_EQ(EncodeMessage(&e.record, -5, reinterpret_cast<const uint8_t*>("A"), -1), 0);
    EXPECT_EQ(e.record.failure.error, EncodeError::InvalidArgument);
    EXPECT_EQ(e.record.message, nullptr);  // the earlier run's symbol is gone, not mixed in
    EXPECT_EQ(std::tuple(e.record.symbolRows, e.record.dataCodewords), std::tuple(0, 0));
}

TEST(Driver, ImageSizesAreCheckedIn64Bits) {
    Encoder e;
    const std::tuple<int32_t, int32_t, EncodeError> refused[] = {
        {3783, 10, EncodeError::ImageSizeOutOfRange},  // wraps 32 bits as width * height * 3
        {2147483647, 2147483647, EncodeError::ImageSizeOutOfRange},
        {-1, 10, EncodeError::InvalidArgument}};
    for (const auto& [moduleSize, margin, error] : refused) {
        e.record.moduleSize = moduleSize;
        e.record.margin = margin;
        EXPECT_EQ(e.Run("A"), 0);
        EXPECT_EQ(e.record.failure.error, error) << moduleSize;
        EXPECT_EQ(e.record.image, nullptr);
    }
    e.record.moduleSize = 0;  // an all-light image of twice the margin
    ASSERT_EQ(e.Run("A"), 1);
    EXPECT_EQ(e.record.image->width, 20);
    for (int64_t i = 0; i < ModuleImagePixelCount(e.record.image) * 3; ++i) ASSERT_EQ(e.record.image->pixels[i], 255);
    e.record.margin = 0;
    EXPECT_EQ(e.Run("A"), 0);

    e.record.margin = 1;  // a record changed after encoding is not painted at all, so not out of bounds
    ASSERT_EQ(e.Run("A"), 1);
    const uint8_t* pixels = e.record.image->pixels;
    const std::vector<uint8_t> painted(pixels, pixels + ModuleImagePixelCount(e.record.image) * 3);
    e.record.moduleSize = 2147483647;
    GenerateImage(&e.record);
    EXPECT_TRUE(std::equal(painted.begin(), painted.end(), e.record.image->pixels));
}

// Pixels are stored top row first and clipped; sides outside the limit and degenerate transforms are refused.
TEST(ModuleImage, PixelsAreStoredTopRowFirstAndClippedOrRefused) {
    ModuleImage* image = CreateModuleImage(4, 3);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(ModuleImagePixelCount(image), 12);
    EXPECT_EQ(SetModuleImagePixel(image, 1, 2, 10, 20, 30), 1);  // top row: stored first
    EXPECT_EQ(image->pixels[3], 10);
    EXPECT_EQ(image->pixels[5], 30);
    EXPECT_EQ(SetModuleImagePixel(image, 0, 0, 7, 7, 7), 1);  // bottom row: stored last
    EXPECT_EQ(image->pixels[3 * 8], 7);
    image->clipXMax = 100;  // a clip rectangle widened past the pixels still writes nothing outside
    for (auto [x, y] : {std::pair{4, 0}, {0, -1}, {50, 0}}) EXPECT_EQ(SetModuleImagePixel(image, x, y, 1, 1, 1), 0);
    EXPECT_EQ(FreeModuleImage(image), 1);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(FreeModuleImage(image), 0);
    EXPECT_EQ(ModuleImagePixelCount(nullptr), -1);
    for (auto [w, h] : {std::pair{0, 5}, {5, -1}, {kMaxImageSide + 1, 1}}) EXPECT_EQ(CreateModuleImage(w, h), nullptr);
    ModuleImage* edge = CreateModuleImage(kMaxImageSide, 1);
    EXPECT_NE(edge, nullptr);
    FreeModuleImage(edge);
    Point2 p;
    EXPECT_EQ(TransformPoint(p, {1, 1}, Matrix3{}), 0);
}

}  // namespace
}  // namespace glyphrun
