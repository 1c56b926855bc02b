#include "glyphrun/vector.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <deque>
#include <iterator>

#include "deflate.h"
#include "glyphrun/decimal.h"
#include "glyphrun/safe_file.h"
#include "glyphrun/utf8.h"
#include "helvetica.h"

namespace glyphrun {
namespace {

constexpr double kMinModuleSize = 0.001, kMaxModuleSize = 1000;
constexpr double kMaxFontPoints = 1000;

struct DarkRun {
    int32_t row, col, length;
};

// Calls visit(run) for each dark run, top row first, each row left to right.
template <typename Visit>
void ForEachDarkRun(const ModuleGrid& grid, const Visit& visit) {
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
            visit(DarkRun{row, start, col - start});
        }
    }
}

// Fixed notation without trailing zeros, in no locale's own form.
std::string Number(double value, int decimals = 4) {
    std::string text = FixedDecimal(value, decimals);
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
    if (!(style.fontSize >= 0 && style.fontSize <= kMaxFontPoints))
        return refuse("the font size must be 0 (chosen to fit) to " + Number(kMaxFontPoints) + " points");
    for (const std::string& line : style.text)
        for (size_t at = 0; at < line.size();) {
            const Utf8Character character = Utf8CharacterAt(line, at);
            if (character.length == 0) return refuse("the text under the symbol is not UTF-8");
            if (character.code < 0x20 || (character.code >= 0x7F && character.code < 0xA0))
                return refuse("the text under the symbol has a control character, which no font shows");
            at += character.length;
        }
    return {};
}

double PointsPerModule(const VectorStyle& style) {
    return style.moduleSize * (style.unit == VectorUnit::Millimetre ? kPointsPerMillimetre : 1.0);
}

std::string Millimetres(double points) { return Number(points / kPointsPerMillimetre, 1); }

// Sides in modules, quiet zone included.
int32_t FullWidth(const ModuleGrid& grid, const VectorStyle& style) { return grid.cols + 2 * style.quietZone; }
int32_t FullHeight(const ModuleGrid& grid, const VectorStyle& style) { return grid.rows + 2 * style.quietZone; }

// A line's baseline sits this many font sizes above the bottom of its
// line: room for Helvetica's descenders (0.21), with its capitals and
// accents (up to 0.93) clear of the line above or the quiet zone.
constexpr double kBaselineLift = 0.25;

struct TextLine {
    std::string_view text;
    double left, baseline;  // modules from the label's left and top
};

// The label in modules: the symbol with its quiet zone, and its text
// lines centred below.
struct Label {
    double width = 0, height = 0;
    double symbolLeft = 0;
    double fontSize = 0;
    std::vector<TextLine> lines;
};

Label LayOut(const ModuleGrid& grid, const VectorStyle& style) {
    Label label;
    const int32_t symbolWidth = FullWidth(grid, style), symbolHeight = FullHeight(grid, style);
    label.width = symbolWidth;
    label.height = symbolHeight;
    if (style.text.empty()) return label;
    double widest = 0;
    for (const std::string& line : style.text) widest = std::max(widest, HelveticaTextWidth(line));
    const double pointsPerModule = PointsPerModule(style);
    label.fontSize = style.fontSize > 0 ? style.fontSize / pointsPerModule
                                        : DefaultFontSize(grid.cols, widest, kLeastFontPoints / pointsPerModule);
    // A line wider than the symbol keeps a quarter of its size clear on each side.
    label.width = std::max(label.width, (widest + 0.5) * label.fontSize);
    label.symbolLeft = (label.width - symbolWidth) / 2;
    const double lineHeight = kLineSpacing * label.fontSize;
    for (const std::string& line : style.text) {
        label.height += lineHeight;
        label.lines.push_back({line, (label.width - HelveticaTextWidth(line) * label.fontSize) / 2,
                               label.height - kBaselineLift * label.fontSize});
    }
    return label;
}

// The text lines as the bytes of the standard font, or the first that it cannot show.
Result<std::vector<std::string>> Latin1Lines(const VectorStyle& style) {
    std::vector<std::string> lines;
    std::string reason;
    for (const std::string& line : style.text) {
        std::optional<std::string> bytes = HelveticaBytes(line, reason);
        if (!bytes) return Status::Failed(VectorError::Refused, reason);
        lines.push_back(std::move(*bytes));
    }
    return lines;
}

// A PostScript or PDF string: the delimiters and backslash escaped, bytes
// past ASCII in octal so that the file stays plain text.
std::string LiteralString(std::string_view bytes) {
    std::string literal = "(";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '(' || c == ')' || c == '\\') {
            literal += '\\';
            literal += c;
        } else if (byte >= 0x80) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", byte);
            literal += octal;
        } else {
            literal += c;
        }
    }
    return literal + ")";
}

std::string XmlText(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

// Appends `value` in decimal, without the temporary strings of to_string:
// a sheet of labels writes millions of these numbers.
void AppendWhole(std::string& text, int32_t value) {
    char digits[16];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, written.ptr);
}

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
    const Label label = LayOut(grid, style);
    const double width = label.width, height = label.height;
    const std::string viewWidth = Number(width), viewHeight = Number(height);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
    svg += " width=\"" + SvgLength(width * style.moduleSize, style.unit) + "\"";
    svg += " height=\"" + SvgLength(height * style.moduleSize, style.unit) + "\"";
    svg += " viewBox=\"0 0 " + viewWidth + " " + viewHeight + "\" shape-rendering=\"crispEdges\">\n";
    if (style.drawBackground)
        svg += "<rect width=\"" + viewWidth + "\" height=\"" + viewHeight + "\" fill=\"" + SvgColour(style.background) +
               "\"/>\n";
    // The runs go straight into the file, each appended in place: the path
    // is most of the file, and copying it into place took a seventh of a
    // label's SVG time. The runs start at whole numbers unless the text under the symbol
    // is wider than it and centres it at a fraction. An empty path is not
    // valid in every renderer, so a grid without dark modules has none.
    const size_t pathStart = svg.size();
    svg += "<path fill=\"" + SvgColour(style.foreground) + "\" d=\"";
    const size_t runsStart = svg.size();
    const double left = label.symbolLeft + style.quietZone;
    const bool wholeLeft = left == std::trunc(left) && std::fabs(left) < 1e9;
    ForEachDarkRun(grid, [&](const DarkRun& run) {
        svg += 'M';
        if (wholeLeft)
            AppendWhole(svg, static_cast<int32_t>(left) + run.col);
        else
            svg += Number(left + run.col);
        svg += ' ';
        AppendWhole(svg, style.quietZone + run.row);
        svg += 'h';
        AppendWhole(svg, run.length);
        svg += "v1h-";
        AppendWhole(svg, run.length);
        svg += 'z';
    });
    if (svg.size() == runsStart)
        svg.resize(pathStart);
    else
        svg += "\"/>\n";
    for (const TextLine& line : label.lines)
        svg += "<text x=\"" + Number(width / 2) + "\" y=\"" + Number(line.baseline) + "\" font-size=\"" +
               Number(label.fontSize) +
               "\" font-family=\"Helvetica, Arial, sans-serif\" text-anchor=\"middle\" fill=\"" +
               SvgColour(style.foreground) + "\">" + XmlText(line.text) + "</text>\n";
    svg += "</svg>\n";
    return svg;
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

// The dark runs as PostScript or PDF rectangles, one unit per module with
// the y axis going up, so the grid's top row is drawn at the highest y:
// "x y length" and then `close`, appended to `out`.
void AppendRunRectangles(const ModuleGrid& grid, const VectorStyle& style, std::string_view close, std::string& out) {
    const int32_t height = FullHeight(grid, style);
    ForEachDarkRun(grid, [&](const DarkRun& run) {
        AppendWhole(out, style.quietZone + run.col);
        out += ' ';
        AppendWhole(out, height - 1 - style.quietZone - run.row);
        out += ' ';
        AppendWhole(out, run.length);
        out += close;
    });
}

// Where the symbol's box starts in the label, as "x y" from its lower left corner.
std::string SymbolOrigin(const Label& label, const ModuleGrid& grid, const VectorStyle& style) {
    return Number(label.symbolLeft) + " " + Number(label.height - FullHeight(grid, style));
}

// The standard Helvetica with Latin-1 codes, the quote and grave accent
// upright as in PDF's text, so that both files show the same characters.
constexpr char kPostScriptLatin1Font[] =
    "/Helvetica findfont dup length dict begin\n"
    "{ 1 index /FID ne { def } { pop pop } ifelse } forall\n"
    "/Encoding ISOLatin1Encoding 256 array copy dup 39 /quotesingle put dup 96 /grave put def\n"
    "currentdict end /Glyphrun-Helvetica-Latin1 exch definefont\n";

// Drawn in a coordinate system of one unit per module.
Result<std::string> Eps(const ModuleGrid& grid, const VectorStyle& style) {
    const Result<std::vector<std::string>> text = Latin1Lines(style);
    if (!text) return text.status();
    const Label label = LayOut(grid, style);
    // A pixel is taken as one point, the size most programs give a pixel
    // that has no resolution of its own.
    const double pointsPerModule = PointsPerModule(style);
    const double widthPoints = label.width * pointsPerModule, heightPoints = label.height * pointsPerModule;
    std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Glyphrun\n";
    eps += "%%BoundingBox: " + BoundingBox(widthPoints, heightPoints, true) + "\n";
    eps += "%%HiResBoundingBox: " + BoundingBox(widthPoints, heightPoints, false) + "\n";
    eps += "%%LanguageLevel: 2\n%%EndComments\n";
    // A dictionary of our own keeps R out of the importing document's.
    eps += "save\n1 dict begin\n/R { 1 rectfill } bind def\n";
    eps += Number(pointsPerModule, 6) + " " + Number(pointsPerModule, 6) + " scale\n";
    if (style.drawBackground) {
        eps += PostScriptColour(style, false);
        eps += "0 0 " + Number(label.width) + " " + Number(label.height) + " rectfill\n";
    }
    eps += PostScriptColour(style, true);
    if (!label.lines.empty()) {
        eps += kPostScriptLatin1Font + Number(label.fontSize) + " scalefont setfont\n";
        for (size_t i = 0; i < label.lines.size(); ++i)
            eps += Number(label.lines[i].left) + " " + Number(label.height - label.lines[i].baseline) + " moveto " +
                   LiteralString(text.value()[i]) + " show\n";
        eps += SymbolOrigin(label, grid, style) + " translate\n";
    }
    // One rectfill per run rather than one path of all: a path of thousands
    // of points exceeds the limits of some interpreters.
    AppendRunRectangles(grid, style, " R\n", eps);
    // showpage lets the file print on its own; importers disable it.
    return eps + "end\nrestore\nshowpage\n%%EOF\n";
}

// PDF's colour operator for fills.
std::string PdfColour(const VectorStyle& style, bool foreground) { return Colour(style, foreground, "rg", "k"); }

// PDF's name of the shared font in every page's resources.
constexpr char kPdfFontName[] = "/F1";

// The label's drawing, one unit per module with the y axis going up as in
// PostScript: the background, the text, then one rectangle per dark run,
// all filled at once.
std::string PdfContent(const ModuleGrid& grid, const VectorStyle& style, const Label& label,
                       const std::vector<std::string>& text) {
    const std::string scale = Number(PointsPerModule(style), 6);
    std::string content = scale + " 0 0 " + scale + " 0 0 cm\n";
    if (style.drawBackground)
        content += PdfColour(style, false) + "0 0 " + Number(label.width) + " " + Number(label.height) + " re f\n";
    content += PdfColour(style, true);
    for (size_t i = 0; i < label.lines.size(); ++i)
        content += std::string("BT ") + kPdfFontName + " " + Number(label.fontSize) + " Tf " +
                   Number(label.lines[i].left) + " " + Number(label.height - label.lines[i].baseline) + " Td " +
                   LiteralString(text[i]) + " Tj ET\n";
    if (!label.lines.empty()) content += "1 0 0 1 " + SymbolOrigin(label, grid, style) + " cm\n";
    const size_t before = content.size();
    AppendRunRectangles(grid, style, " 1 re\n", content);
    if (content.size() > before) content += "f\n";
    return content;
}

std::string Millimetres(double width, double height) {
    return Millimetres(width) + " x " + Millimetres(height) + " mm";
}

// A one-page document: the page the label, or the style's page with the
// label centred.
Result<std::string> Pdf(const ModuleGrid& grid, const VectorStyle& style) {
    const Result<PdfLabel> label = DrawPdfLabel(grid, style);
    if (!label) return label.status();
    const bool page = style.pageWidth > 0 || style.pageHeight > 0;
    const double pageWidth = page ? style.pageWidth : label->width,
                 pageHeight = page ? style.pageHeight : label->height;
    if (!(pageWidth >= label->width && pageHeight >= label->height))
        return Status::Failed(VectorError::Refused, "the label is " + Millimetres(label->width, label->height) +
                                                        ", larger than the page, " +
                                                        Millimetres(pageWidth, pageHeight));
    std::string pdf;
    PdfWriter writer([&pdf](std::string_view bytes) {
        pdf += bytes;
        return true;
    });
    if (Status started = writer.NewPage(pageWidth, pageHeight); !started) return started;
    writer.Place(label.value(), (pageWidth - label->width) / 2, (pageHeight - label->height) / 2);
    if (Status finished = writer.Finish(); !finished) return finished;
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

double DefaultFontSize(double symbolWidth, double widestLine, double least) {
    const double fitting = widestLine > 0 ? symbolWidth / widestLine : symbolWidth;
    return std::max(least, std::min(fitting, symbolWidth / 4));
}

Result<PdfLabel> DrawPdfLabel(const ModuleGrid& grid, const VectorStyle& style) {
    if (Status problem = Problem(grid, style); !problem) return problem;
    const Result<std::vector<std::string>> text = Latin1Lines(style);
    if (!text) return text.status();
    const Label label = LayOut(grid, style);
    const double pointsPerModule = PointsPerModule(style);
    return PdfLabel{PdfContent(grid, style, label, text.value()), label.width * pointsPerModule,
                    label.height * pointsPerModule};
}

// Objects 1 to 4 are the catalog, the page tree (written last, when its
// pages are known), the shared resources and their font; page n (from 0)
// is object 5 + 2n and its content the object after it.
struct PdfWriter::Parts {
    std::function<bool(std::string_view)> sink;
    uint64_t written = 0;
    // Of objects 1, 2, ... as they go out (the page tree's filled in at the
    // end): a deque grows by blocks, never copying the whole.
    std::deque<uint64_t> offsets;
    bool failed = false, pageOpen = false;
    double pageWidth = 0, pageHeight = 0;
    std::string content;
    uint64_t pages = 0;

    void Put(std::string_view bytes) {
        if (!failed && !sink(bytes)) failed = true;
        written += bytes.size();
    }
    void PutObject(uint64_t number, std::string_view body) {
        if (offsets.size() < number) offsets.resize(number);
        offsets[number - 1] = written;
        Put(std::to_string(number) + " 0 obj\n");
        Put(body);
        Put("\nendobj\n");
    }
    Status Sunk() const {
        return failed ? Status::Failed(VectorError::Refused, "the PDF document could not be written") : Status{};
    }
    Status EndPage() {
        if (!pageOpen) return {};
        pageOpen = false;
        std::string stream;
        if (!DeflateZlib(content, stream, kPageLevel))
            return Status::Failed(VectorError::Refused, "out of memory while compressing a PDF page");
        content.clear();  // keeps its memory for the next page
        const uint64_t page = 5 + 2 * pages++;
        PutObject(page, "<< /Type /Page /Parent 2 0 R /MediaBox [" + BoundingBox(pageWidth, pageHeight, false) +
                            "] /Resources 3 0 R /Contents " + std::to_string(page + 1) + " 0 R >>");
        offsets.resize(std::max<size_t>(offsets.size(), page + 1));
        offsets[page] = written;
        Put(std::to_string(page + 1) + " 0 obj\n<< /Length " + std::to_string(stream.size()) +
            " /Filter /FlateDecode >>\nstream\n");
        Put(stream);
        Put("\nendstream\nendobj\n");
        return Sunk();
    }
};

PdfWriter::PdfWriter(std::function<bool(std::string_view)> sink) : parts_(std::make_unique<Parts>()) {
    parts_->sink = std::move(sink);
    parts_->Put("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");  // the second line marks the file as binary
    parts_->PutObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
    parts_->PutObject(3, std::string("<< /Font << ") + kPdfFontName + " 4 0 R >> >>");
    parts_->PutObject(4, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
}

PdfWriter::~PdfWriter() = default;

Status PdfWriter::NewPage(double width, double height) {
    if (Status ended = parts_->EndPage(); !ended) return ended;
    if (!(width > 0 && height > 0 && width <= 14400 * 72 && height <= 14400 * 72))
        return Status::Failed(VectorError::Refused, "a PDF page's side must be more than 0 and at most 200 inches");
    parts_->pageOpen = true;
    parts_->pageWidth = width;
    parts_->pageHeight = height;
    return {};
}

void PdfWriter::Place(const PdfLabel& label, double left, double bottom) {
    std::string& content = parts_->content;
    content += "q 1 0 0 1 ";
    content += Number(left);
    content += ' ';
    content += Number(bottom);
    content += " cm\n";
    content += label.content;
    content += "Q\n";
}

Status PdfWriter::Finish() {
    Parts& parts = *parts_;
    if (Status ended = parts.EndPage(); !ended) return ended;
    if (parts.pages == 0) return Status::Failed(VectorError::Refused, "a PDF document needs a page");
    // The page tree lists every page; a long one goes out in pieces.
    parts.offsets[1] = parts.written;
    std::string tree = "2 0 obj\n<< /Type /Pages /Count " + std::to_string(parts.pages) + " /Kids [";
    for (uint64_t page = 0; page < parts.pages; ++page) {
        tree += std::to_string(5 + 2 * page) + " 0 R ";
        if (tree.size() >= 1 << 16) {
            parts.Put(tree);
            tree.clear();
        }
    }
    parts.Put(tree + "] >>\nendobj\n");
    const uint64_t xref = parts.written;
    parts.Put("xref\n0 " + std::to_string(parts.offsets.size() + 1) + "\n0000000000 65535 f \n");
    std::string entries;
    for (const uint64_t offset : parts.offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offset));
        entries += entry;
        if (entries.size() >= 1 << 16) {
            parts.Put(entries);
            entries.clear();
        }
    }
    parts.Put(entries);
    parts.Put("trailer\n<< /Size " + std::to_string(parts.offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
              std::to_string(xref) + "\n%%EOF\n");
    return parts.Sunk();
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
