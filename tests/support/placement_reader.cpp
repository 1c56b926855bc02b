#include "placement_reader.h"

#include <array>
#include <optional>
#include <utility>

namespace glyphrun::testing {

namespace {

using Position = std::pair<int, int>;       // row, column in the mapping matrix
using Character = std::array<Position, 8>;  // from the most significant bit

// The mapping matrix: the data regions side by side without the solid
// lines on their left and bottom and the clock lines on their top and right.
class MappingMatrix {
public:
    explicit MappingMatrix(const Symbol& symbol)
        : symbol_(symbol),
          size_(SymbolSizes()[symbol.sizeIndex()]),
          visited_(static_cast<size_t>(rows()) * cols(), false) {}

    int rows() const { return size_.mappingRows(); }
    int cols() const { return size_.mappingCols(); }
    bool visited(int row, int col) const { return visited_[static_cast<size_t>(row) * cols() + col]; }

    // The byte the eight modules hold, each marked as read; nothing when
    // one falls off the matrix.
    std::optional<uint8_t> Read(const Character& character) {
        uint8_t byte = 0;
        for (const auto& [row, col] : character) {
            if (row < 0 || row >= rows() || col < 0 || col >= cols()) return std::nullopt;
            visited_[static_cast<size_t>(row) * cols() + col] = true;
            byte = static_cast<uint8_t>(byte << 1 | (Dark(row, col) ? 1 : 0));
        }
        return byte;
    }

private:
    bool Dark(int row, int col) const {
        const int regionRow = row / size_.regionRows, regionCol = col / size_.regionCols;
        return symbol_.dark(regionRow * (size_.regionRows + 2) + 1 + row % size_.regionRows,
                            regionCol * (size_.regionCols + 2) + 1 + col % size_.regionCols);
    }

    const Symbol& symbol_;
    const SymbolSize& size_;
    std::vector<bool> visited_;
};

// A character whose modules would fall above or left of the matrix goes on
// at the opposite edge, shifted so that the walk still covers every module.
Position Wrapped(int row, int col, int rows, int cols) {
    if (row < 0) {
        row += rows;
        col += 4 - (rows + 4) % 8;
    }
    if (col < 0) {
        col += cols;
        row += 4 - (cols + 4) % 8;
    }
    return {row, col};
}

// The usual character: three rows, its last bit at (row, col).
Character Regular(int row, int col, int rows, int cols) {
    constexpr Character kOffsets = {{{-2, -2}, {-2, -1}, {-1, -2}, {-1, -1}, {-1, 0}, {0, -2}, {0, -1}, {0, 0}}};
    Character character;
    for (size_t i = 0; i < kOffsets.size(); ++i)
        character[i] = Wrapped(row + kOffsets[i].first, col + kOffsets[i].second, rows, cols);
    return character;
}

// The four characters split between the bottom left and the top right
// corners, each for the matrix shapes the diagonal walk leaves it to.
Character CornerOne(int r, int c) {
    return {{{r - 1, 0}, {r - 1, 1}, {r - 1, 2}, {0, c - 2}, {0, c - 1}, {1, c - 1}, {2, c - 1}, {3, c - 1}}};
}
Character CornerTwo(int r, int c) {
    return {{{r - 3, 0}, {r - 2, 0}, {r - 1, 0}, {0, c - 4}, {0, c - 3}, {0, c - 2}, {0, c - 1}, {1, c - 1}}};
}
Character CornerThree(int r, int c) {
    return {{{r - 3, 0}, {r - 2, 0}, {r - 1, 0}, {0, c - 2}, {0, c - 1}, {1, c - 1}, {2, c - 1}, {3, c - 1}}};
}
Character CornerFour(int r, int c) {
    return {{{r - 1, 0}, {r - 1, c - 1}, {0, c - 3}, {0, c - 2}, {0, c - 1}, {1, c - 3}, {1, c - 2}, {1, c - 1}}};
}

}  // namespace

std::vector<uint8_t> ReadCodewordsOffModules(const Symbol& symbol) {
    if (symbol.sizeIndex() < 0 || symbol.sizeIndex() >= kAllSymbolSizeCount) return {};
    const SymbolSize& size = SymbolSizes()[symbol.sizeIndex()];
    if (symbol.rows() != size.rows || symbol.cols() != size.cols ||
        symbol.modules().size() != static_cast<size_t>(size.rows) * size.cols)
        return {};
    MappingMatrix matrix(symbol);
    const int rows = matrix.rows(), cols = matrix.cols();
    std::vector<uint8_t> codewords;
    bool fellOff = false;
    const auto take = [&](const Character& character) {
        const std::optional<uint8_t> byte = matrix.Read(character);
        if (byte) codewords.push_back(*byte);
        fellOff = fellOff || !byte;
    };
    const auto takeRegularAt = [&](int row, int col) {
        if (row >= 0 && row < rows && col >= 0 && col < cols && !matrix.visited(row, col))
            take(Regular(row, col, rows, cols));
    };
    // Diagonals up to the right and back down to the left in turn, from
    // the fifth row of the first column, with a corner character where a
    // diagonal would start off the matrix.
    int row = 4, col = 0;
    do {
        if (row == rows && col == 0) take(CornerOne(rows, cols));
        if (row == rows - 2 && col == 0 && cols % 4 != 0) take(CornerTwo(rows, cols));
        if (row == rows - 2 && col == 0 && cols % 8 == 4) take(CornerThree(rows, cols));
        if (row == rows + 4 && col == 2 && cols % 8 == 0) take(CornerFour(rows, cols));
        do {
            takeRegularAt(row, col);
            row -= 2;
            col += 2;
        } while (row >= 0 && col < cols);
        row += 1;
        col += 3;
        do {
            takeRegularAt(row, col);
            row += 2;
            col -= 2;
        } while (row < rows && col >= 0);
        row += 3;
        col += 1;
    } while (row < rows || col < cols);
    if (fellOff) return {};
    return codewords;
}

}  // namespace glyphrun::testing
