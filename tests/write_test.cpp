// The public road from a symbol to a file: every raster format reads back in every rotation, the
// vector documents render module by module, and a style outside its range is refused naming it.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <tuple>

#include "glyphrun/symbol.h"
#include "glyphrun/vector.h"
#include "glyphrun/write.h"
#include "image_readers.h"
#include "temp_folder.h"

namespace glyphrun {
namespace {

using namespace testing;
using Vector = TempFolderTest;

Symbol Made(const std::string& text, int32_t size) {
    return Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, {EncodeScheme::AutoMinimal, size})
        .value();
}

// The raster formats through an independent image reader, then the symbol reader; writing twice gives one file.
TEST(Write, EveryRasterFormatAndRotationReadsBack) {
    const std::string text = "ROTATE 2026";
    const Symbol symbol = Made(text, kSmallestRectangle);
    for (Format format : {Format::Png, Format::Gif, Format::Bmp, Format::Pgm})
        for (int32_t degrees : {0, 90, 180, 270}) {
            SCOPED_TRACE(std::string(FormatName(format)) + " " + std::to_string(degrees));
            Style style;
            style.moduleSize = 3;
            style.rotation = degrees;
            style.interlace = format == Format::Png && degrees == 90;  // libpng's road once
            const Result<std::string> file = WriteSymbol(symbol, format, style);
            ASSERT_TRUE(file) << file.reason();
            EXPECT_EQ(WriteSymbol(symbol, format, style).value(), file.value());
            const std::optional<Picture> read = ReadWithStb(Bytes(file.value().begin(), file.value().end()));
            ASSERT_TRUE(read);
            EXPECT_EQ(read->width, 3 * (degrees % 180 ? symbol.rows() : symbol.cols()) + 12);
            EXPECT_EQ(ReadSymbolIn(*read, 3), text);
        }
}

TEST(Write, FormatOfPath) {
    const std::pair<const char*, std::optional<Format>> cases[] = {
        {"a.png", Format::Png},  {"DIR.X/A.GIF", Format::Gif}, {"b.Bmp", Format::Bmp},
        {"c.pgm", Format::Pgm},  {"d.svg", Format::Svg},       {"e.EPS", Format::Eps},
        {"f.jpg", std::nullopt}, {"png", std::nullopt},        {"g.pdf", Format::Pdf},
    };
    for (const auto& [path, format] : cases) EXPECT_EQ(FormatOfPath(path), format) << path;
}

TEST(Write, RefusesAStyleOutsideItsRange) {
    const Symbol symbol = Made("A", kSmallestSquare);
    struct Case {
        Format format;
        void (*change)(Style&);
        const char* reason;
    };
    const Case cases[] = {
        {Format::Png, [](Style& s) { s.moduleSize = 0; }, "the module size 0 is below 1"},
        {Format::Svg, [](Style& s) { s.quietZone = -1; }, "the quiet zone -1 is outside 0 to 16384 modules"},
        {Format::Png, [](Style& s) { s.marginPixels = 9000, s.moduleSize = 1; },
         "the image would be 18010x18010 pixels; each side must be 1 to 16384"},
        {Format::Gif, [](Style& s) { s.backgroundAlpha = 128; },
         "the background is opaque (alpha 255) or transparent (alpha 0), not alpha 128"},
        {Format::Bmp, [](Style& s) { s.backgroundAlpha = 0; },
         "BMP has no transparency: a transparent background needs PNG, GIF, SVG or EPS"},
        {Format::Eps, [](Style& s) { s.rotation = 45; }, "the rotation 45 is not 0, 90, 180 or 270 degrees"},
        {Format::Png, [](Style& s) { s.foreground = 0x1000000; }, "a colour is 0xRRGGBB, at most 0xFFFFFF"},
        {Format::Pgm, [](Style& s) { s.dpi = 0; }, "the resolution 0 dpi is outside 1 to 100000"},
    };
    for (const Case& c : cases) {
        Style style;
        c.change(style);
        const Result<std::string> file = WriteSymbol(symbol, c.format, style);
        EXPECT_TRUE(file.Is(WriteError::BadStyle) || file.Is(WriteError::TooLarge)) << c.reason;
        EXPECT_EQ(file.reason(), c.reason);
    }
}

ModuleGrid GridOf(const std::string& text, int32_t size = kSmallestSquare) {
    const Symbol symbol = Made(text, size);
    return ModuleGrid{symbol.rows(), symbol.cols(), {symbol.modules().begin(), symbol.modules().end()}};
}

// Each document, rendered at `dpi` (0: the renderer's default), scans, in the chosen colours and at its size.
TEST_F(Vector, DocumentsRenderTheSymbolAtTheirSize) {
    struct Case {
        VectorFormat format;
        VectorStyle style;
        const char* text;
        int32_t size;
        int dpi, quietZone, pixelsPerModule;
        std::vector<std::string> parts;
    };
    const VectorStyle coloured{4, VectorUnit::Pixel, 2, 0x203080, 0xFFF8E0}, mm{0.5, VectorUnit::Millimetre, 1},
        black{3, VectorUnit::Pixel, 1, 0x000000, 0xFFFFFF},
        mmColoured{0.5, VectorUnit::Millimetre, 1, 0x402000, 0xE0F0FF};
    VectorStyle inked = black;  // pure black as black ink alone
    inked.inks.cmyk = true;
    // "12345" is 12 x 12 modules with the quiet zone: 36 points at 3 pixels; 6 mm (17.0079 points) at 0.5 mm.
    const std::vector<std::string> colours = {"fill=\"#203080\"", "fill=\"#fff8e0\""},
                                   sixMm = {"width=\"6mm\" height=\"6mm\" viewBox=\"0 0 12 12\""},
                                   points = {"\n%%BoundingBox: 0 0 36 36\n", "\n%%HiResBoundingBox: 0 0 36 36\n"},
                                   mmPoints = {"\n%%BoundingBox: 0 0 18 18\n",
                                               "\n%%HiResBoundingBox: 0 0 17.0079 17.0079\n"},
                                   mmPage = {"/MediaBox [0 0 17.0079 17.0079]", "/Filter /FlateDecode"};
    const Case cases[] = {
        {VectorFormat::Svg, coloured, "LOT 12345678", kSmallestRectangle, 0, 2, 4, colours},
        {VectorFormat::Svg, mm, "12345", kSmallestSquare, 254, 1, 5, sixMm},
        {VectorFormat::Eps, black, "12345", kSmallestSquare, 144, 1, 6, points},
        {VectorFormat::Eps, mmColoured, "12345", kSmallestSquare, 254, 1, 5, mmPoints},
        {VectorFormat::Eps,
         inked,
         "12345",
         kSmallestSquare,
         144,
         1,
         6,
         {"0 0 0 1 setcmykcolor", "0 0 0 0 setcmykcolor"}},
        {VectorFormat::Pdf, black, "LOT 12345678", kSmallestRectangle, 144, 1, 6, {}},
        {VectorFormat::Pdf, mmColoured, "12345", kSmallestSquare, 254, 1, 5, mmPage},
    };
    const char* const extensions[] = {".svg", ".eps", ".pdf"};
    for (const Case& c : cases) {
        const bool svg = c.format == VectorFormat::Svg;
        const char* extension = extensions[static_cast<int>(c.format)];
        SCOPED_TRACE(std::string(extension) + " " + c.text + " at " + std::to_string(c.dpi));
        const ModuleGrid grid = GridOf(c.text, c.size);
        const std::string file = dir + "/symbol" + extension, png = dir + "/symbol.png";
        const Status written = WriteVectorFile(file, c.format, grid, c.style);
        ASSERT_TRUE(written) << written.reason();
        const std::string dpi = std::to_string(c.dpi);
        ASSERT_EQ(RunProgram(svg ? "rsvg-convert " + (c.dpi ? "--dpi-x " + dpi + " --dpi-y " + dpi : "") + " -o " +
                                       png + " " + file
                                 : "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=png16m -r" + dpi +
                                       " -sOutputFile=" + png + " " + file),
                  0);
        const auto picture = ReadWithStb(ReadFile(png));
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, (grid.cols + 2 * c.quietZone) * c.pixelsPerModule);
        EXPECT_EQ(picture->height, (grid.rows + 2 * c.quietZone) * c.pixelsPerModule);
        EXPECT_EQ(ReadSymbolIn(*picture, c.pixelsPerModule), c.text);
        const int ppm = c.pixelsPerModule, q = c.quietZone;
        for (int32_t i = 0; i < grid.rows * grid.cols; ++i)  // every module, sampled at its centre
            ASSERT_EQ(picture->at((i % grid.cols + q) * ppm + ppm / 2, (i / grid.cols + q) * ppm + ppm / 2).r < 128,
                      grid.dark[static_cast<size_t>(i)] != 0)
                << i;

        const std::string document = Slurp(file);
        for (const std::string& part : c.parts) EXPECT_NE(document.find(part), std::string::npos) << part;
        if (c.format == VectorFormat::Eps) {
            EXPECT_TRUE(document.starts_with("%!PS-Adobe-3.0 EPSF-3.0\n"));
        }
        if (c.format == VectorFormat::Pdf) {
            EXPECT_TRUE(document.starts_with("%PDF-1.4\n"));
            EXPECT_EQ(RunProgram("qpdf --check " + file + " >/dev/null"), 0);  // the structure, offsets and stream
        }
        EXPECT_TRUE(svg || document.ends_with("%%EOF\n"));
    }
    // On an A6 page the symbol is centred; a page smaller than the label is refused with both sizes.
    VectorStyle onPage = mmColoured;
    onPage.pageWidth = 105 * 72 / 25.4;
    onPage.pageHeight = 148 * 72 / 25.4;
    const std::string pdf = dir + "/page.pdf", png = dir + "/page.png";
    ASSERT_TRUE(WriteVectorFile(pdf, VectorFormat::Pdf, GridOf("12345"), onPage));
    ASSERT_EQ(RunProgram("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r254 -sOutputFile=" + png + " " + pdf), 0);
    const auto page = ReadWithStb(ReadFile(png));
    ASSERT_TRUE(page);
    EXPECT_EQ(std::pair(page->width, page->height), std::pair(1050, 1480));
    EXPECT_EQ(ReadSymbolIn(*page, 5), "12345");
    int left = page->width, right = 0;
    for (int x = 0; x < page->width; ++x)
        if (page->at(x, page->height / 2).r < 128) left = std::min(left, x), right = std::max(right, x);
    EXPECT_NEAR(left + right + 1, page->width, 2);  // as much paper on either side
    onPage.pageWidth = onPage.pageHeight = 5 * 72 / 25.4;
    EXPECT_EQ(VectorDocument(VectorFormat::Pdf, GridOf("12345"), onPage).reason(),
              "the label is 6 x 6 mm, larger than the page, 5 x 5 mm");
    EXPECT_EQ(VectorDocument(VectorFormat::Svg, GridOf("12345"), onPage).reason(), "a page size is for PDF only");
    // Inks as given, in the page's own operators, which qpdf shows uncompressed.
    inked.inks.foreground = CmykColour{1, 0, 0, 0.2};
    ASSERT_TRUE(WriteVectorFile(pdf, VectorFormat::Pdf, GridOf("12345"), inked));
    ASSERT_EQ(RunProgram("qpdf --stream-data=uncompress " + pdf + " " + dir + "/plain.pdf"), 0);
    const std::string plain = Slurp(dir + "/plain.pdf");
    EXPECT_NE(plain.find("\n1 0 0 0.2 k\n"), std::string::npos);
    EXPECT_NE(plain.find("\n0 0 0 0 k\n"), std::string::npos);
    EXPECT_EQ(VectorDocument(VectorFormat::Svg, GridOf("12345"), inked).reason(),
              "CMYK colours are for EPS and PDF; SVG has RGB only");
    const Result<std::string> fine =
        VectorDocument(VectorFormat::Svg, GridOf("12345"), {0.33, VectorUnit::Millimetre, 1});
    EXPECT_NE(fine.value().find("width=\"3.96mm\""), std::string::npos) << fine.value();
}

TEST_F(Vector, RefusesWhatCannotBeDrawnOrWrittenAndLeavesTheFile) {
    const ModuleGrid grid = GridOf("12345");
    const ModuleGrid tooWide{1, kMaxGridSide + 1, std::vector<uint8_t>(kMaxGridSide + 1)};
    const VectorStyle fine;
    const std::pair<ModuleGrid, VectorStyle> refused[] = {
        {ModuleGrid{}, fine},
        {tooWide, fine},
        {grid, {0, VectorUnit::Pixel}},
        {grid, {std::nan(""), VectorUnit::Pixel}},
        {grid, {4, VectorUnit::Pixel, -1}},
        {grid, {4, VectorUnit::Pixel, 2, 0x1000000}},
    };
    const std::string path = Keep("keep.svg");
    for (const auto& [badGrid, badStyle] : refused)
        for (VectorFormat format : {VectorFormat::Svg, VectorFormat::Eps, VectorFormat::Pdf}) {
            const Status result = WriteVectorFile(path, format, badGrid, badStyle);
            EXPECT_TRUE(!result && !result.reason().empty());
        }
    EXPECT_EQ(Slurp(path), "precious");
    EXPECT_EQ(VectorDocument(VectorFormat::Svg, grid, {0, VectorUnit::Pixel}).reason(),
              "the module size must be 0.001 to 1000");
    const Status missing = WriteVectorFile(dir + "/missing/x.svg", VectorFormat::Svg, grid, {});
    EXPECT_NE(missing.reason().find("No such file or directory"), std::string::npos) << missing.reason();
}

// pdftotext's words with their boxes (points from the page's top left), "word x0 y0 x1 y1" per line.
std::vector<std::pair<std::string, std::array<double, 4>>> Words(const std::string& pdf, int page) {
    const std::string text = pdf + ".txt";
    EXPECT_EQ(RunProgram("pdftotext -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) + " " + pdf +
                         " " + text),
              0);
    std::vector<std::pair<std::string, std::array<double, 4>>> words;
    const std::string html = Slurp(text);
    for (size_t at = html.find("<word "); at != std::string::npos; at = html.find("<word ", at + 1)) {
        std::array<double, 4> box{};
        const char* names[] = {"xMin=\"", "yMin=\"", "xMax=\"", "yMax=\""};
        for (size_t i = 0; i < 4; ++i) box[i] = std::stod(html.substr(html.find(names[i], at) + 6));
        const size_t start = html.find('>', at) + 1;
        words.emplace_back(html.substr(start, html.find('<', start) - start), box);
    }
    return words;
}

// The text under a symbol is real text in each vector format, found where it was put: under the
// symbol, which still scans; a character the standard font lacks is refused by name.
TEST_F(Vector, TextUnderTheSymbolIsRealText) {
    const std::string data = "(01)09506000134352(17)261231(10)ABC123";
    Style style;
    style.xdimMillimetres = 0.5;
    style.text = {data, "Lot 42 \xc3\xa0 r\xc3\xa9gler"};  // "Lot 42 à régler": Latin-1 past ASCII
    const Symbol symbol = Made(data, kSmallestSquare);
    const std::string pdf = dir + "/label.pdf", eps = dir + "/label.eps", svg = dir + "/label.svg";
    for (const std::string& path : {pdf, eps, svg}) ASSERT_TRUE(SaveSymbol(symbol, path, style)) << path;
    // Poppler finds both lines, centred under the symbol and below its quiet zone.
    const double symbolBottom = (symbol.rows() + 4) * 0.5 * kPointsPerMillimetre;
    const auto words = Words(pdf, 1);
    ASSERT_EQ(words.size(), 5u);
    EXPECT_EQ(words[0].first, data);
    EXPECT_EQ(words[3].first, "\xc3\xa0");
    const auto& [left, top, right, bottom] = words[0].second;
    EXPECT_GT(top, symbolBottom);
    std::ignore = bottom;
    ASSERT_EQ(RunProgram("pdftoppm -r 254 -png -singlefile " + pdf + " " + dir + "/pdf"), 0);
    const auto page = ReadWithStb(ReadFile(dir + "/pdf.png"));
    ASSERT_TRUE(page);
    EXPECT_NEAR(left + right, page->width * 72 / 254.0, 1);  // centred
    EXPECT_EQ(ReadSymbolIn(Crop(*page, 0, 0, page->width, static_cast<int>(symbolBottom * 254 / 72)), 5), data);
    // Ghostscript reads the same text out of the EPS file, and rsvg draws the SVG's under its symbol.
    ASSERT_EQ(RunProgram("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=txtwrite -sOutputFile=" + dir + "/eps.txt " + eps),
              0);
    EXPECT_NE(Slurp(dir + "/eps.txt").find(data), std::string::npos);
    EXPECT_NE(Slurp(dir + "/eps.txt").find("Lot 42 \xc3\xa0 r\xc3\xa9gler"), std::string::npos);
    ASSERT_EQ(RunProgram("rsvg-convert --dpi-x 254 --dpi-y 254 -o " + dir + "/svg.png " + svg), 0);
    const auto drawn = ReadWithStb(ReadFile(dir + "/svg.png"));
    ASSERT_TRUE(drawn);
    const int symbolRows = static_cast<int>(symbolBottom * 254 / 72);
    EXPECT_EQ(ReadSymbolIn(Crop(*drawn, 0, 0, drawn->width, symbolRows), 5), data);
    int inkedRows = 0;
    for (int y = symbolRows; y < drawn->height; ++y)
        for (int x = 0; x < drawn->width; ++x)
            if (drawn->at(x, y).r < 128) {
                ++inkedRows;
                break;
            }
    EXPECT_GT(inkedRows, 10);
    // PDF and EPS take Latin-1; SVG any character.
    style.text = {"\xd0\x96"};
    for (Format format : {Format::Pdf, Format::Eps})
        EXPECT_EQ(WriteSymbol(symbol, format, style).reason(),
                  "the character '\xd0\x96' (U+0416), character 1 of the text, is not in the standard font of PDF and "
                  "EPS text, which shows Latin-1; SVG shows any character");
    EXPECT_TRUE(WriteSymbol(symbol, Format::Svg, style));
}

// In the raster formats the text is drawn in the bars' colour under the symbol, which still scans:
// each line's ink centred and below the one before, the picture two-colour.
TEST(Write, RasterTextLiesCentredUnderTheSymbol) {
    const Symbol symbol = Made("SERIAL000001", kSmallestSquare);
    Style style;
    style.moduleSize = 4;
    style.text = {"SERIAL000001", "W"};
    for (Format format : {Format::Png, Format::Gif, Format::Bmp}) {
        SCOPED_TRACE(FormatName(format));
        const Result<std::string> file = WriteSymbol(symbol, format, style);
        ASSERT_TRUE(file) << file.reason();
        const std::optional<Picture> read = ReadWithStb(Bytes(file.value().begin(), file.value().end()));
        ASSERT_TRUE(read);
        const int symbolSide = (symbol.rows() + 4) * 4;
        EXPECT_EQ(ReadSymbolIn(Crop(*read, (read->width - symbolSide) / 2, 0, symbolSide, symbolSide), 4),
                  "SERIAL000001");
        // The ink of each row band below the symbol: its first and last columns.
        std::vector<std::pair<int, int>> inkedRows;
        for (int y = symbolSide; y < read->height; ++y) {
            int left = read->width, right = -1;
            for (int x = 0; x < read->width; ++x) {
                const Rgba& pixel = read->at(x, y);
                ASSERT_TRUE(pixel == (Rgba{0, 0, 0, 255}) || pixel == (Rgba{255, 255, 255, 255}));
                if (pixel.r == 0) left = std::min(left, x), right = std::max(right, x);
            }
            if (right >= 0) inkedRows.emplace_back(left, right);
        }
        ASSERT_GT(inkedRows.size(), 8u);
        const auto [firstLeft, firstRight] = inkedRows.front();
        const auto [lastLeft, lastRight] = inkedRows.back();
        EXPECT_NEAR(firstLeft + firstRight, read->width, 3);  // the data line centred
        EXPECT_NEAR(lastLeft + lastRight, read->width, 3);    // and the W below it
        EXPECT_LT(lastRight - lastLeft, (firstRight - firstLeft) / 4);
    }
    style.text = {"\xe6\x97\xa5"};
    EXPECT_EQ(WriteSymbol(symbol, Format::Png, style).reason(),
              "the font DejaVu Sans has no glyph for '\xe6\x97\xa5' (U+65E5), character 1 of the text");
}

// With the printer's resolution, the module of a vector file is whole dots: 0.5 mm at 300 dpi is 6 dots.
TEST_F(Vector, AModuleIsWholeDotsAtThePrintersResolution) {
    Style style;
    style.xdimMillimetres = 0.5;
    style.dpi = 300;
    style.wholeDots = true;
    const Symbol symbol = Made("12345", kSmallestSquare);  // 10 x 10, 14 x 14 with its quiet zone
    EXPECT_NEAR(ModuleMillimetres(style, Format::Pdf), 6 * 25.4 / 300, 1e-9);
    const std::string pdf = dir + "/dots.pdf";
    ASSERT_TRUE(SaveSymbol(symbol, pdf, style));
    EXPECT_NE(Slurp(pdf).find("/MediaBox [0 0 20.16 20.16]"), std::string::npos);  // 14 x 6 dots of 1/300 inch
    ASSERT_EQ(RunProgram("pdftoppm -r 600 -png -singlefile " + pdf + " " + dir + "/dots"), 0);
    const auto page = ReadWithStb(ReadFile(dir + "/dots.png"));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->width, 14 * 12);  // a module is 12 device pixels at 600 dpi
    EXPECT_EQ(ReadSymbolIn(*page, 12), "12345");
    style.wholeDots = false;
    EXPECT_NEAR(ModuleMillimetres(style, Format::Pdf), 0.5, 1e-9);
    EXPECT_NEAR(ModuleMillimetres(style, Format::Png), 6 * 25.4 / 300, 1e-9);
}

// A sheet: every label in its own cell of the grid, in reading order over as many pages as they
// need, each scanning to its text with its data line under it; a label larger than its cell and a
// grid without cells are refused.
TEST_F(Vector, SheetsPutEachLabelInItsCell) {
    Style style;
    style.xdimMillimetres = 0.5;
    const Sheet sheet{210 * kPointsPerMillimetre, 297 * kPointsPerMillimetre, 3, 8,
                      10 * kPointsPerMillimetre,  2 * kPointsPerMillimetre};
    std::string bytes;
    Result<LabelDocument> document = LabelDocument::Make(style, sheet, [&](std::string_view b) {
        bytes += b;
        return true;
    });
    ASSERT_TRUE(document);
    const auto textOf = [](int i) { return "SHEET-" + std::to_string(100 + i); };
    for (int i = 0; i < 30; ++i) {
        const Result<PdfLabel> label = document->Draw(Made(textOf(i), kSmallestSquare), {textOf(i)});
        ASSERT_TRUE(label) << label.reason();
        ASSERT_TRUE(document.value().Add(label.value()));
    }
    ASSERT_TRUE(document.value().Finish());
    const std::string pdf = dir + "/sheet.pdf";
    std::ofstream(pdf, std::ios::binary) << bytes;
    EXPECT_EQ(RunProgram("qpdf --check " + pdf + " >/dev/null"), 0);
    EXPECT_EQ(RunProgram("pdfinfo " + pdf + " | grep -q '^Pages: *2$'"), 0);
    EXPECT_EQ(RunProgram("pdfinfo -f 1 -l 2 " + pdf +
                         " | grep -c '^Page *[12] size: *595.276 x 841.89 pts (A4)' | grep -qx 2"),
              0);
    // Cells of (210 - 20 - 4) / 3 = 62 mm by (297 - 20 - 14) / 8 = 32.875 mm: the first page through
    // poppler at 100 dpi, the second, with the last 6 labels, through Ghostscript at 200 dpi.
    ASSERT_EQ(RunProgram("pdftoppm -r 100 -png -f 1 -singlefile " + pdf + " " + dir + "/one"), 0);
    ASSERT_EQ(RunProgram("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r200 -dFirstPage=2 -dLastPage=2 "
                         "-sOutputFile=" +
                         dir + "/two.png " + pdf),
              0);
    const double cellWidth = 62, cellHeight = 32.875;
    for (const int page : {1, 2}) {
        const double dots = page * 100 / 25.4;
        const auto picture = ReadWithStb(ReadFile(dir + (page == 1 ? "/one.png" : "/two.png")));
        ASSERT_TRUE(picture);
        const auto words = Words(pdf, page);
        ASSERT_EQ(words.size(), page == 1 ? 24u : 6u);
        for (size_t cell = 0; cell < words.size(); ++cell) {
            const int label = static_cast<int>(cell) + (page - 1) * 24;
            const double left = 10 + static_cast<double>(cell % 3) * (cellWidth + 2),
                         top = 10 + static_cast<double>(cell / 3) * (cellHeight + 2);
            const Picture part = Crop(*picture, static_cast<int>(left * dots), static_cast<int>(top * dots),
                                      static_cast<int>(cellWidth * dots), static_cast<int>(cellHeight * dots));
            EXPECT_EQ(ReadSymbolIn(part, 2 * page), textOf(label)) << label;
            const auto& [word, box] = words[cell];
            EXPECT_EQ(word, textOf(label));
            EXPECT_NEAR((box[0] + box[2]) / 2, (left + cellWidth / 2) * kPointsPerMillimetre, 0.5) << label;
            EXPECT_GT(box[1], (top + cellHeight / 2) * kPointsPerMillimetre)
                << label;  // in the lower half, under the symbol
            EXPECT_LT(box[3], (top + cellHeight) * kPointsPerMillimetre) << label;
        }
    }
    const Sheet tiny{50 * kPointsPerMillimetre, 30 * kPointsPerMillimetre, 10, 10};
    Result<LabelDocument> crowded = LabelDocument::Make(style, tiny, [](std::string_view) { return true; });
    ASSERT_TRUE(crowded);
    const Status added = crowded.value().Add(crowded->Draw(Made("12345", kSmallestSquare), {}).value());
    EXPECT_TRUE(added.Is(WriteError::TooLarge));
    EXPECT_EQ(added.reason(), "the label is 7.0 x 7.0 mm, larger than its cell, 5.0 x 3.0 mm");
    const Sheet none{50 * kPointsPerMillimetre, 30 * kPointsPerMillimetre, 0, 3};
    EXPECT_TRUE(LabelDocument::Make(style, none, [](std::string_view) { return true; }).Is(WriteError::BadStyle));
}

}  // namespace
}  // namespace glyphrun
