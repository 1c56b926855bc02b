#include "glyphrun/ecc200_stages.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

// The mapping matrix being filled, NR x NC, row 0 at the top.
struct Mapping {
    uint8_t* modules;
    int32_t rows;
    int32_t cols;
    uint8_t dark;
};

uint8_t& ModuleAt(const Mapping& m, int32_t row, int32_t col) { return m.modules[row * m.cols + col]; }

void PlaceModule(const Mapping& m, int32_t row, int32_t col, uint8_t codeword, uint8_t mask) {
    // Positions off one edge wrap to the opposite edge with the standard's shift.
    if (row < 0) {
        row += m.rows;
        col += 4 - ((m.rows + 4) % 8);
    }
    if (col < 0) {
        col += m.cols;
        row += 4 - ((m.cols + 4) % 8);
    }
    uint8_t& module = ModuleAt(m, row, col);
    if (codeword & mask) module |= m.dark;
    module |= ModuleAssigned | ModuleVisited;
}

struct Position {
    int32_t row, col;
};

// The eight modules of a codeword, most significant bit first.
void PlaceShape(const Mapping& m, const Position (&shape)[8], uint8_t codeword) {
    for (int bit = 0; bit < 8; ++bit) PlaceModule(m, shape[bit].row, shape[bit].col, codeword, 0x80 >> bit);
}

void PlaceStandardShape(const Mapping& m, int32_t r, int32_t c, uint8_t codeword) {
    const Position shape[8] = {{r - 2, c - 2}, {r - 2, c - 1}, {r - 1, c - 2}, {r - 1, c - 1},
                               {r - 1, c},     {r, c - 2},     {r, c - 1},     {r, c}};
    PlaceShape(m, shape, codeword);
}

// The four corner shapes, most significant bit first. A negative coordinate
// counts from the far edge: row -1 is the bottom row, column -1 the last.
constexpr Position kCorners[4][8] = {
    {{-1, 0}, {-1, 1}, {-1, 2}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}},
    {{-3, 0}, {-2, 0}, {-1, 0}, {0, -4}, {0, -3}, {0, -2}, {0, -1}, {1, -1}},
    {{-3, 0}, {-2, 0}, {-1, 0}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}},
    {{-1, 0}, {-1, -1}, {0, -3}, {0, -2}, {0, -1}, {1, -3}, {1, -2}, {1, -1}},
};

void PlaceCorner(const Mapping& m, int corner, uint8_t codeword) {
    Position shape[8];
    for (int bit = 0; bit < 8; ++bit) {
        const Position p = kCorners[corner][bit];
        shape[bit] = {p.row < 0 ? m.rows + p.row : p.row, p.col < 0 ? m.cols + p.col : p.col};
    }
    PlaceShape(m, shape, codeword);
}

bool Unvisited(const Mapping& m, int32_t row, int32_t col) { return !(ModuleAt(m, row, col) & ModuleVisited); }

}  // namespace

int32_t PlaceIntoMapping(uint8_t* modules, const uint8_t* codewords, int32_t sizeIndex, uint8_t darkValue) {
    const SymbolSize& size = SymbolSizes()[sizeIndex];
    const int32_t nr = size.mappingRows(), nc = size.mappingCols();
    const Mapping m{modules, nr, nc, darkValue};
    int32_t k = 0;
    int32_t row = 4, col = 0;
    do {
        if (row == nr && col == 0)
            PlaceCorner(m, 0, codewords[k++]);
        else if (row == nr - 2 && col == 0 && nc % 4 != 0)
            PlaceCorner(m, 1, codewords[k++]);
        else if (row == nr - 2 && col == 0 && nc % 8 == 4)
            PlaceCorner(m, 2, codewords[k++]);
        else if (row == nr + 4 && col == 2 && nc % 8 == 0)
            PlaceCorner(m, 3, codewords[k++]);

        do {  // sweep up and to the right
            if (row < nr && col >= 0 && Unvisited(m, row, col)) PlaceStandardShape(m, row, col, codewords[k++]);
            row -= 2;
            col += 2;
        } while (row >= 0 && col < nc);
        row += 1;
        col += 3;

        do {  // sweep down and to the left
            if (row >= 0 && col < nc && Unvisited(m, row, col)) PlaceStandardShape(m, row, col, codewords[k++]);
            row += 2;
            col -= 2;
        } while (row < nr && col >= 0);
        row += 3;
        col += 1;
    } while (row < nr || col < nc);

    // Sizes whose mapping matrix has four modules more than their codewords
    // need get the fixed pattern in the bottom-right corner.
    if (Unvisited(m, nr - 1, nc - 1)) {
        ModuleAt(m, nr - 1, nc - 1) |= darkValue;
        ModuleAt(m, nr - 2, nc - 2) |= darkValue;
    }
    return k;
}

int32_t PlaceCodewords(Ecc200Message* message, int32_t sizeIndex, uint8_t darkValue) {
    if (sizeIndex < 0 || sizeIndex >= kSymbolSizeCount || !message || !message->modules || !message->codewords)
        return 0;
    const SymbolSize& size = SymbolSizes()[sizeIndex];
    if (message->moduleCount != size.mappingRows() * size.mappingCols() ||
        message->codewordCount != size.totalCodewords())
        return 0;
    return PlaceIntoMapping(message->modules, message->codewords, sizeIndex, darkValue);
}

int32_t ModuleStatus(const Ecc200Message* message, int32_t sizeIndex, int32_t row, int32_t col) {
    const int32_t rows = QuerySymbolAttribute(SymbolAttribute::AttrSymbolRows, sizeIndex);
    const int32_t cols = QuerySymbolAttribute(SymbolAttribute::AttrSymbolCols, sizeIndex);
    const int32_t regionRows = QuerySymbolAttribute(SymbolAttribute::AttrRegionRows, sizeIndex);
    const int32_t regionCols = QuerySymbolAttribute(SymbolAttribute::AttrRegionCols, sizeIndex);
    const int32_t mappingCols = QuerySymbolAttribute(SymbolAttribute::AttrMappingCols, sizeIndex);
    if (rows < 1 || row < 0 || row >= rows || col < 0 || col >= cols) return -1;

    constexpr int32_t kDark = ModuleDarkBits;
    if (row % (regionRows + 2) == 0) return kDark;        // solid bottom line of each region
    if (col % (regionCols + 2) == 0) return kDark;        // solid left line
    if ((row + 1) % (regionRows + 2) == 0) return col % 2 == 0 ? kDark : 0;  // top clock line
    if ((col + 1) % (regionCols + 2) == 0) return row % 2 == 0 ? kDark : 0;  // right clock line

    if (!message || !message->modules) return -1;
    const int32_t fromTop = rows - 1 - row;
    const int32_t mappingRow = fromTop - 2 * (fromTop / (regionRows + 2)) - 1;
    const int32_t mappingCol = col - 2 * (col / (regionCols + 2)) - 1;
    const int32_t index = mappingRow * mappingCols + mappingCol;
    if (index >= message->moduleCount) return -1;
    return message->modules[index] | ModuleData;
}

}  // namespace glyphrun
