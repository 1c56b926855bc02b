#include <vector>

#include "glyphrun/ecc200_stages.h"
#include "lazy_tables.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

// The walk over the mapping matrix, NR x NC, row 0 at the top, that lays
// the codewords out: it records the module of every codeword bit.
struct Walk {
    int32_t rows;
    int32_t cols;
    std::vector<uint8_t> visited;
    std::vector<int32_t>& bitModules;  // module index of bit b of codeword k at 8k + b

    bool Unvisited(int32_t row, int32_t col) const { return !visited[row * cols + col]; }

    void PlaceModule(int32_t row, int32_t col) {
        // Positions off one edge wrap to the opposite edge with the standard's shift.
        if (row < 0) {
            row += rows;
            col += 4 - ((rows + 4) % 8);
        }
        if (col < 0) {
            col += cols;
            row += 4 - ((cols + 4) % 8);
        }
        // That shift can carry a module of the bottom rows past the last
        // one (in 26 x 40 and 26 x 48, whose mapping matrix has 24 rows and
        // a multiple of 8 plus 4 columns); it goes on at the top, into the
        // modules that no corner shape of those sizes takes.
        if (row >= rows) row -= rows;
        visited[row * cols + col] = 1;
        bitModules.push_back(row * cols + col);
    }

    struct Position {
        int32_t row, col;
    };

    // The eight modules of a codeword, most significant bit first.
    void PlaceShape(const Position (&shape)[8]) {
        for (const Position& p : shape) PlaceModule(p.row, p.col);
    }

    void PlaceStandardShape(int32_t r, int32_t c) {
        const Position shape[8] = {{r - 2, c - 2}, {r - 2, c - 1}, {r - 1, c - 2}, {r - 1, c - 1},
                                   {r - 1, c},     {r, c - 2},     {r, c - 1},     {r, c}};
        PlaceShape(shape);
    }

    // The four corner shapes, most significant bit first. A negative
    // coordinate counts from the far edge: row -1 is the bottom row, column
    // -1 the last.
    static constexpr Position kCorners[4][8] = {
        {{-1, 0}, {-1, 1}, {-1, 2}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}},
        {{-3, 0}, {-2, 0}, {-1, 0}, {0, -4}, {0, -3}, {0, -2}, {0, -1}, {1, -1}},
        {{-3, 0}, {-2, 0}, {-1, 0}, {0, -2}, {0, -1}, {1, -1}, {2, -1}, {3, -1}},
        {{-1, 0}, {-1, -1}, {0, -3}, {0, -2}, {0, -1}, {1, -3}, {1, -2}, {1, -1}},
    };

    void PlaceCorner(int corner) {
        Position shape[8];
        for (int bit = 0; bit < 8; ++bit) {
            const Position p = kCorners[corner][bit];
            shape[bit] = {p.row < 0 ? rows + p.row : p.row, p.col < 0 ? cols + p.col : p.col};
        }
        PlaceShape(shape);
    }

    void Run() {
        const int32_t nr = rows, nc = cols;
        int32_t row = 4, col = 0;
        do {
            if (row == nr && col == 0)
                PlaceCorner(0);
            else if (row == nr - 2 && col == 0 && nc % 4 != 0)
                PlaceCorner(1);
            else if (row == nr - 2 && col == 0 && nc % 8 == 4)
                PlaceCorner(2);
            else if (row == nr + 4 && col == 2 && nc % 8 == 0)
                PlaceCorner(3);

            do {  // sweep up and to the right
                if (row < nr && col >= 0 && Unvisited(row, col)) PlaceStandardShape(row, col);
                row -= 2;
                col += 2;
            } while (row >= 0 && col < nc);
            row += 1;
            col += 3;

            do {  // sweep down and to the left
                if (row >= 0 && col < nc && Unvisited(row, col)) PlaceStandardShape(row, col);
                row += 2;
                col -= 2;
            } while (row < nr && col >= 0);
            row += 3;
            col += 1;
        } while (row < nr || col < nc);
    }
};

MappingPlacement MapPlacement(int32_t sizeIndex) {
    const SymbolSize& size = SymbolSizes()[sizeIndex];
    MappingPlacement placement;
    placement.bitModules.reserve(static_cast<size_t>(size.totalCodewords()) * 8);
    Walk walk{size.mappingRows(), size.mappingCols(),
              std::vector<uint8_t>(static_cast<size_t>(size.mappingRows()) * size.mappingCols()), placement.bitModules};
    walk.Run();
    // Sizes whose mapping matrix has four modules more than their codewords
    // need get the fixed pattern in the bottom-right corner.
    if (walk.Unvisited(walk.rows - 1, walk.cols - 1))
        placement.fixedDark = {(walk.rows - 1) * walk.cols + walk.cols - 1,
                               (walk.rows - 2) * walk.cols + walk.cols - 2};
    return placement;
}

}  // namespace

const MappingPlacement* PlacementOf(int32_t sizeIndex) {
    // Made once per size on first use; the walk is the same for every symbol.
    static LazyTables<MappingPlacement, kAllSymbolSizeCount> placements;
    return placements.Get(static_cast<size_t>(sizeIndex), [sizeIndex] { return MapPlacement(sizeIndex); });
}

int32_t PlaceIntoMapping(uint8_t* modules, const uint8_t* codewords, int32_t sizeIndex, uint8_t darkValue) {
    const MappingPlacement* placement = PlacementOf(sizeIndex);
    if (!placement) return 0;
    const int32_t* module = placement->bitModules.data();
    const int32_t count = static_cast<int32_t>(placement->bitModules.size() / 8);
    for (int32_t k = 0; k < count; ++k)
        for (int bit = 0; bit < 8; ++bit, ++module)
            modules[*module] |= ((codewords[k] << bit) & 0x80 ? darkValue : 0) | ModuleAssigned | ModuleVisited;
    for (int32_t fixed : placement->fixedDark) modules[fixed] |= darkValue;
    return count;
}

int32_t PlaceCodewords(Ecc200Message* message, int32_t sizeIndex, uint8_t darkValue) {
    if (sizeIndex < 0 || sizeIndex >= kAllSymbolSizeCount || !message || !message->modules || !message->codewords)
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
    if (row % (regionRows + 2) == 0) return kDark;                           // solid bottom line of each region
    if (col % (regionCols + 2) == 0) return kDark;                           // solid left line
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
