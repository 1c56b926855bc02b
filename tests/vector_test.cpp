// The vector writers: documents that xmllint accepts and that rsvg-convert
// and Ghostscript render into symbols the reader decodes, module by module.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "glyphrun/symbol.h"
#include "glyphrun/vector.h"
#include "image_readers.h"
#include "temp_folder.h"

namespace glyphrun {
namespace {

using namespace testing;

// The symbol's modules.
ModuleGrid GridOf(const std::string& text, int32_t requestedSize = kSmallestSquare) {
    const EncodeResult result = Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                                       EncodeOptions{EncodeScheme::AutoBest, requestedSize});
    if (!result) return {};
    return ModuleGrid{result.symbol.rows, result.symbol.cols, result.symbol.modules};
}

bool DarkAt(const ModuleGrid& grid, int row, int col) {
    return row >= 0 && col >= 0 && row < grid.rows && col < grid.cols && grid.dark[row * grid.cols + col];
}

int DarkRunCount(const ModuleGrid& grid) {
    int runs = 0;
    for (int row = 0; row < grid.rows; ++row)
        for (int col = 0; col < grid.cols; ++col) runs += DarkAt(grid, row, col) && !DarkAt(grid, row, col - 1);
    return runs;
}

// The rendering is the grid with its quiet zone, `scale` pixels per module,
// top row first: the centre of every module is as dark as the grid says.
void ExpectModules(const Picture& picture, const ModuleGrid& grid, int quietZone, int scale) {
    ASSERT_EQ(picture.width, (grid.cols + 2 * quietZone) * scale);
    ASSERT_EQ(picture.height, (grid.rows + 2 * quietZone) * scale);
    int wrong = 0;
    for (int row = -quietZone; row < grid.rows + quietZone; ++row)
        for (int col = -quietZone; col < grid.cols + quietZone; ++col) {
            const Rgba& p = picture.at((col + quietZone) * scale + scale / 2, (row + quietZone) * scale + scale / 2);
            wrong += (p.r + p.g + p.b < 3 * 128) != DarkAt(grid, row, col);
        }
    EXPECT_EQ(wrong, 0);
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

using Vector = TempFolderTest;

int Shell(const std::string& command) { return RunProgram(command); }

TEST_F(Vector, SvgIsValidXmlAndRendersTheSymbol) {
    const VectorStyle style{4, VectorUnit::Pixel, 2, 0x203080, 0xFFF8E0};
    const std::pair<const char*, int32_t> symbols[] = {{"Glyphrun 2026-12-07", kSmallestSquare},
                                                       {"LOT 12345678", kSmallestRectangle}};
    for (auto [text, size] : symbols) {
        SCOPED_TRACE(text);
        const ModuleGrid grid = GridOf(text, size);
        const std::string svg = dir + "/symbol.svg", png = dir + "/symbol.png";
        const Status written = WriteVectorFile(svg, VectorFormat::Svg, grid, style);
        ASSERT_TRUE(written) << written.reason();
        EXPECT_EQ(Shell("xmllint --noout " + svg), 0);
        ASSERT_EQ(Shell("rsvg-convert -o " + png + " " + svg), 0);
        const auto picture = ReadWithStb(ReadFile(png));
        ASSERT_TRUE(picture);
        ExpectModules(*picture, grid, 2, 4);
        EXPECT_EQ(ReadSymbolIn(*picture, 4), text);

        // One path, one subpath per run of dark modules, in the chosen colours.
        const std::string document = Slurp(svg);
        EXPECT_EQ(Occurrences(document, "<path"), 1u);
        EXPECT_EQ(Occurrences(document, "M"), static_cast<size_t>(DarkRunCount(grid)));
        EXPECT_NE(document.find("fill=\"#203080\""), std::string::npos);
        EXPECT_NE(document.find("fill=\"#fff8e0\""), std::string::npos);
    }
}

TEST_F(Vector, SvgInMillimetresRendersAtThatSize) {
    const ModuleGrid grid = GridOf("12345");  // 10 x 10, 12 x 12 with the quiet zone
    const std::string svg = dir + "/print.svg", png = dir + "/print.png";
    ASSERT_TRUE(WriteVectorFile(svg, VectorFormat::Svg, grid, {0.5, VectorUnit::Millimetre, 1}));
    const std::string document = Slurp(svg);
    EXPECT_NE(document.find("width=\"6mm\" height=\"6mm\" viewBox=\"0 0 12 12\""), std::string::npos) << document;
    // 254 dots per inch are 10 per millimetre: 5 pixels a module.
    ASSERT_EQ(Shell("rsvg-convert --dpi-x 254 --dpi-y 254 -o " + png + " " + svg), 0);
    const auto picture = ReadWithStb(ReadFile(png));
    ASSERT_TRUE(picture);
    ExpectModules(*picture, grid, 1, 5);
    EXPECT_EQ(ReadSymbolIn(*picture, 5), "12345");

    const Result<std::string> fine = VectorDocument(VectorFormat::Svg, grid, {0.33, VectorUnit::Millimetre, 1});
    EXPECT_NE(fine.value.find("width=\"3.96mm\""), std::string::npos) << fine.value;
}

TEST_F(Vector, EpsRendersTheSymbolInsideItsBoundingBox) {
    struct Case {
        VectorStyle style;
        const char* boundingBox;
        const char* hiResBoundingBox;
        int dpi, pixelsPerModule;
    };
    // 12 x 12 modules: 3 pixels are 3 points each (36 points); 0.5 mm are 6 mm (17.0079 points).
    const Case cases[] = {
        {{3, VectorUnit::Pixel, 1, 0x000000, 0xFFFFFF}, "0 0 36 36", "0 0 36 36", 144, 6},
        {{0.5, VectorUnit::Millimetre, 1, 0x402000, 0xE0F0FF}, "0 0 18 18", "0 0 17.0079 17.0079", 254, 5},
    };
    const ModuleGrid grid = GridOf("12345");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.boundingBox);
        const std::string eps = dir + "/symbol.eps", png = dir + "/symbol.png";
        ASSERT_TRUE(WriteVectorFile(eps, VectorFormat::Eps, grid, c.style));
        const std::string document = Slurp(eps);
        EXPECT_EQ(document.rfind("%!PS-Adobe-3.0 EPSF-3.0\n", 0), 0u);
        EXPECT_NE(document.find(std::string("\n%%BoundingBox: ") + c.boundingBox + "\n"), std::string::npos);
        EXPECT_NE(document.find(std::string("\n%%HiResBoundingBox: ") + c.hiResBoundingBox + "\n"), std::string::npos);
        EXPECT_EQ(Occurrences(document, " R\n"), static_cast<size_t>(DarkRunCount(grid)));
        EXPECT_EQ(document.substr(document.size() - 6), "%%EOF\n");

        ASSERT_EQ(Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=png16m -r" + std::to_string(c.dpi) +
                        " -sOutputFile=" + png + " " + eps),
                  0);
        const auto picture = ReadWithStb(ReadFile(png));
        ASSERT_TRUE(picture);
        ExpectModules(*picture, grid, 1, c.pixelsPerModule);
        EXPECT_EQ(ReadSymbolIn(*picture, c.pixelsPerModule), "12345");
    }
}

TEST_F(Vector, RefusesWhatCannotBeDrawnOrWrittenAndLeavesTheFile) {
    const ModuleGrid grid = GridOf("12345");
    const ModuleGrid tooWide{1, kMaxGridSide + 1, std::vector<uint8_t>(kMaxGridSide + 1)};
    const VectorStyle fine;
    const std::pair<ModuleGrid, VectorStyle> refused[] = {
        {ModuleGrid{}, fine},
        {ModuleGrid{2, 3, {1, 0, 1}}, fine},
        {tooWide, fine},
        {grid, {0, VectorUnit::Pixel}},
        {grid, {-1, VectorUnit::Millimetre}},
        {grid, {std::nan(""), VectorUnit::Pixel}},
        {grid, {1e300, VectorUnit::Pixel}},
        {grid, {4, VectorUnit::Pixel, -1}},
        {grid, {4, VectorUnit::Pixel, 2, 0x1000000}},
    };
    const std::string path = Keep("keep.svg");
    for (const auto& [badGrid, badStyle] : refused)
        for (VectorFormat format : {VectorFormat::Svg, VectorFormat::Eps}) {
            const Status result = WriteVectorFile(path, format, badGrid, badStyle);
            EXPECT_FALSE(result);
            EXPECT_FALSE(result.reason().empty());
        }
    EXPECT_EQ(Slurp(path), "precious");
    EXPECT_EQ(VectorDocument(VectorFormat::Svg, grid, {0, VectorUnit::Pixel}).reason(),
              "the module size must be 0.001 to 1000");
    // A write that fails says why. (One that stops midway keeps the old file:
    // cli_test's FileSizeLimitFailsCleanly, through the same safe write of bytes.)
    const Status missing = WriteVectorFile(dir + "/missing/x.svg", VectorFormat::Svg, grid, {});
    EXPECT_NE(missing.reason().find("No such file or directory"), std::string::npos) << missing.reason();
}

}  // namespace
}  // namespace glyphrun
