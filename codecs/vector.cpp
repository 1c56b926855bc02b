#include "glyphrun/vector.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "deflate.h"
#include "glyphrun/safe_file.h"

namespace glyphrun {
namespace {

constexpr double kMinModuleSize = 0.001, kMaxModuleSize = 1000;
constexpr double kPointsPerMillimetre = 72 / 25.4;

struct DarkRun {
    int32_t row, col, length;
};

// Top row first, each row left to right.
std::vector<DarkRun> DarkRuns(const ModuleGrid& grid) {
    std::vector<DarkRun> runs;
    for (int32_t row = 0; row < grid.rows; ++row) {
        const uint8_t* cells = grid.dark.data() + static_cast<size_t>(row) * grid.cols;
        int32_t col = 0;
        while (col < grid.cols) {
            if (!cells[col]) {
                ++col;
                continue;
            }
            const int32_t start = col;
            while (col < grid.cols && cells[col]) ++col;
            runs.push_back({row, start, col - start});
        }
    }
    return runs;
}

// Fixed notation without trailing zeros; to_chars ignores the locale, so a
// decimal comma never ends up in a document.
std::string Number(double value, int decimals = 4) {
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, written.ptr);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

Status Problem(const ModuleGrid& grid, const VectorStyle& style) {
    const auto refuse = [](std::string reason) { return Status::Failed(VectorError::Refused, std::move(reason)); };
    const std::string limit = std::to_string(kMaxGridSide);
    if (grid.rows < 1 || grid.cols < 1 || grid.rows > kMaxGridSide || grid.cols > kMaxGridSide)
        return refuse("the module grid is " + std::to_string(grid.rows) + "x" + std::to_string(grid.cols) +
                      "; each side must be 1 to " + limit);
    if (grid.dark.size() != static_cast<size_t>(grid.rows) * grid.cols)
        return refuse("the module grid has " + std::to_string(grid.dark.size()) + " cells for " +
                      std::to_string(grid.rows) + "x" + std::to_string(grid.cols));
    // Written so that NaN fails too.
    if (!(style.moduleSize >= kMinModuleSize && style.moduleSize <= kMaxModuleSize))
        return refuse("the module size must be " + Number(kMinModuleSize) + " to " + Number(kMaxModuleSize));
    if (style.quietZone < 0 || style.quietZone > kMaxQuietZone)
        return refuse("the quiet zone must be 0 to " + std::to_string(kMaxQuietZone) + " modules");
    if (style.foreground > 0xFFFFFF || style.background > 0xFFFFFF) return refuse("a colour must be 0xRRGGBB");
    for (const std::optional<CmykColour>& inks : {style.inks.foreground, style.inks.background})
        if (inks && !(inks->cyan >= 0 && inks->cyan <= 1 && inks->magenta >= 0 && inks->magenta <= 1 &&
                      inks->yellow >= 0 && inks->yellow <= 1 && inks->black >= 0 && inks->black <= 1))
            return refuse("an ink must be 0 to 1");
    return {};
}

double PointsPerModule(const VectorStyle& style) {
    return style.moduleSize * (style.unit == VectorUnit::Millimetre ? kPointsPerMillimetre : 1.0);
}

std::string Millimetres(double points) { return Number(points / kPointsPerMillimetre, 1); }

// Sides in modules, quiet zone included.
int32_t FullWidth(const ModuleGrid& grid, const VectorStyle& style) { return grid.cols + 2 * style.quietZone; }
int32_t FullHeight(const ModuleGrid& grid, const VectorStyle& style) { return grid.rows + 2 * style.quietZone; }

std::string SvgColour(uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb));
    return text;
}

std::string SvgLength(double length, VectorUnit unit) {
    // Plain user units are pixels.
    return Number(length) + (unit == VectorUnit::Millimetre ? "mm" : "");
}

std::string Svg(const ModuleGrid& grid, const VectorStyle& style) {
    const int32_t width = FullWidth(grid, style), height = FullHeight(grid, style);
    const std::string viewWidth = std::to_string(width), viewHeight = std::to_string(height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
    svg += " width=\"" + SvgLength(width * style.moduleSize, style.unit) + "\"";
    svg += " height=\"" + SvgLength(height * style.moduleSize, style.unit) + "\"";
    svg += " viewBox=\"0 0 " + viewWidth + " " + viewHeight + "\" shape-rendering=\"crispEdges\">\n";
    if (style.drawBackground)
        svg += "<rect width=\"" + viewWidth + "\" height=\"" + viewHeight + "\" fill=\"" + SvgColour(style.background) +
               "\"/>\n";
    const std::vector<DarkRun> runs = DarkRuns(grid);
    // An empty path is not valid in every renderer, so a grid without dark
    // modules has none.
    if (!runs.empty()) {
        svg += "<path fill=\"" + SvgColour(style.foreground) + "\" d=\"";
        for (const DarkRun& run : runs) {
            const std::string length = std::to_string(run.length);
            svg += "M" + std::to_string(style.quietZone + run.col) + " " + std::to_string(style.quietZone + run.row) +
                   "h" + length + "v1h-" + length + "z";
        }
        svg += "\"/>\n";
    }
    return svg + "</svg>\n";
}

// "r g b", each 0 to 1, as PostScript and PDF take a colour.
std::string RgbNumbers(uint32_t rgb) {
    return Number((rgb >> 16 & 0xFF) / 255.0) + " " + Number((rgb >> 8 & 0xFF) / 255.0) + " " +
           Number((rgb & 0xFF) / 255.0);
}

std::string CmykNumbers(const CmykColour& inks) {
    return Number(inks.cyan) + " " + Number(inks.magenta) + " " + Number(inks.yellow) + " " + Number(inks.black);
}

// A colour for PostScript (`setrgbcolor` or `setcmykcolor`) or PDF (`rg`
// or `k`), as inks when the style asks for CMYK.
std::string Colour(const VectorStyle& style, bool foreground, const char* rgbOperator, const char* cmykOperator) {
    const uint32_t rgb = foreground ? style.foreground : style.background;
    if (!style.inks.cmyk) return RgbNumbers(rgb) + " " + rgbOperator + "\n";
    const std::optional<CmykColour>& inks = foreground ? style.inks.foreground : style.inks.background;
    return CmykNumbers(inks.value_or(CmykOf(rgb))) + " " + cmykOperator + "\n";
}

std::string PostScriptColour(const VectorStyle& style, bool foreground) {
    return Colour(style, foreground, "setrgbcolor", "setcmykcolor");
}

// "0 0 W H" of the bounding box, whole points rounded up or to 1/10000 point.
std::string BoundingBox(double width, double height, bool whole) {
    const auto side = [whole](double points) {
        const double exact = std::round(points * 1e4) / 1e4;
        return whole ? std::to_string(static_cast<int64_t>(std::ceil(exact))) : Number(exact);
    };
    return "0 0 " + side(width) + " " + side(height);
}

// Drawn in a coordinate system of one unit per module. PostScript's y axis
// goes up, so the grid's top row is drawn at the highest y.
std::string Eps(const ModuleGrid& grid, const VectorStyle& style) {
    // A pixel is taken as one point, the size most programs give a pixel
    // that has no resolution of its own.
    const double pointsPerModule = PointsPerModule(style);
    const int32_t width = FullWidth(grid, style), height = FullHeight(grid, style);
    const double widthPoints = width * pointsPerModule, heightPoints = height * pointsPerModule;
    std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Glyphrun\n";
    eps += "%%BoundingBox: " + BoundingBox(widthPoints, heightPoints, true) + "\n";
    eps += "%%HiResBoundingBox: " + BoundingBox(widthPoints, heightPoints, false) + "\n";
    eps += "%%LanguageLevel: 2\n%%EndComments\n";
    // A dictionary of our own keeps R out of the importing document's.
    eps += "save\n1 dict begin\n/R { 1 rectfill } bind def\n";
    eps += Number(pointsPerModule, 6) + " " + Number(pointsPerModule, 6) + " scale\n";
    if (style.drawBackground) {
        eps += PostScriptColour(style, false);
        eps += "0 0 " + std::to_string(width) + " " + std::to_string(height) + " rectfill\n";
    }
    eps += PostScriptColour(style, true);
    // One rectfill per run rather than one path of all: a path of thousands
    // of points exceeds the limits of some interpreters.
    for (const DarkRun& run : DarkRuns(grid))
        eps += std::to_string(style.quietZone + run.col) + " " +
               std::to_string(height - 1 - style.quietZone - run.row) + " " + std::to_string(run.length) + " R\n";
    // showpage lets the file print on its own; importers disable it.
    return eps + "end\nrestore\nshowpage\n%%EOF\n";
}

// PDF's colour operator for fills.
std::string PdfColour(const VectorStyle& style, bool foreground) { return Colour(style, foreground, "rg", "k"); }

// The page's drawing, one unit per module with the y axis going up as in
// PostScript: the background, then one rectangle per dark run, all filled
// at once.
std::string PdfContent(const ModuleGrid& grid, const VectorStyle& style, double pageWidth, double pageHeight) {
    const int32_t width = FullWidth(grid, style), height = FullHeight(grid, style);
    const double pointsPerModule = PointsPerModule(style);
    const std::string scale = Number(pointsPerModule, 6);
    const std::string left = Number((pageWidth - width * pointsPerModule) / 2),
                      bottom = Number((pageHeight - height * pointsPerModule) / 2);
    std::string content = "q\n" + scale + " 0 0 " + scale + " " + left + " " + bottom + " cm\n";
    if (style.drawBackground)
        content += PdfColour(style, false) + "0 0 " + std::to_string(width) + " " + std::to_string(height) + " re f\n";
    const std::vector<DarkRun> runs = DarkRuns(grid);
    if (!runs.empty()) {
        content += PdfColour(style, true);
        for (const DarkRun& run : runs)
            content += std::to_string(style.quietZone + run.col) + " " +
                       std::to_string(height - 1 - style.quietZone - run.row) + " " + std::to_string(run.length) +
                       " 1 re\n";
        content += "f\n";
    }
    return content + "Q\n";
}

// A one-page PDF 1.4 document, the page the symbol and its quiet zone or
// the style's page with the symbol centred, its drawing a compressed
// content stream: catalog, page tree, page, content, then the
// cross-reference table that gives each object's offset.
Result<std::string> Pdf(const ModuleGrid& grid, const VectorStyle& style) {
    const double labelWidth = FullWidth(grid, style) * PointsPerModule(style),
                 labelHeight = FullHeight(grid, style) * PointsPerModule(style);
    const bool page = style.pageWidth > 0 || style.pageHeight > 0;
    const double pageWidth = page ? style.pageWidth : labelWidth, pageHeight = page ? style.pageHeight : labelHeight;
    if (!(pageWidth >= labelWidth && pageHeight >= labelHeight))
        return Status::Failed(VectorError::Refused, "the label is " + Millimetres(labelWidth) + " x " +
                                                        Millimetres(labelHeight) + " mm, larger than the page, " +
                                                        Millimetres(pageWidth) + " x " + Millimetres(pageHeight) +
                                                        " mm");
    std::string stream;
    if (!DeflateZlib(PdfContent(grid, style, pageWidth, pageHeight), stream))
        return Status::Failed(VectorError::Refused, "out of memory while compressing the PDF page");
    const std::string mediaBox = "[" + BoundingBox(pageWidth, pageHeight, false) + "]";
    const std::string objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox " + mediaBox + " /Resources << >> /Contents 4 0 R >>",
        "<< /Length " + std::to_string(stream.size()) + " /Filter /FlateDecode >>\nstream\n" + stream + "\nendstream",
    };
    std::string pdf = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";  // the second line marks the file as binary
    std::vector<size_t> offsets;
    for (size_t i = 0; i < std::size(objects); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

}  // namespace

CmykColour CmykOf(uint32_t rgb) {
    const double red = (rgb >> 16 & 0xFF) / 255.0, green = (rgb >> 8 & 0xFF) / 255.0, blue = (rgb & 0xFF) / 255.0;
    const double black = 1 - std::max({red, green, blue});
    if (black >= 1) return {0, 0, 0, 1};
    return {(1 - red - black) / (1 - black), (1 - green - black) / (1 - black), (1 - blue - black) / (1 - black),
            black};
}

uint32_t RgbOf(const CmykColour& inks) {
    const auto channel = [&](double ink) {
        return static_cast<uint32_t>(std::lround(255 * (1 - ink) * (1 - inks.black)));
    };
    return channel(inks.cyan) << 16 | channel(inks.magenta) << 8 | channel(inks.yellow);
}

Result<std::string> VectorDocument(VectorFormat format, const ModuleGrid& grid, const VectorStyle& style) {
    if (Status problem = Problem(grid, style); !problem) return problem;
    if (format != VectorFormat::Pdf && (style.pageWidth > 0 || style.pageHeight > 0))
        return Status::Failed(VectorError::Refused, "a page size is for PDF only");
    if (format == VectorFormat::Svg && style.inks.cmyk)
        return Status::Failed(VectorError::Refused, "CMYK colours are for EPS and PDF; SVG has RGB only");
    switch (format) {
        case VectorFormat::Svg: return Svg(grid, style);
        case VectorFormat::Eps: return Eps(grid, style);
        case VectorFormat::Pdf: return Pdf(grid, style);
    }
    return Status::Failed(VectorError::Refused, "unknown vector format");
}

Status WriteVectorFile(const std::string& path, VectorFormat format, const ModuleGrid& grid, const VectorStyle& style) {
    const Result<std::string> document = VectorDocument(format, grid, style);
    if (!document) return Status::Failed(FileWriteError::Writer, document.reason());
    return WriteFileSafely(path, std::string_view(document.value()));
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(VectorError, "glyphrun.vector")

}  // namespace glyphrun
