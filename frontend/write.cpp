#include "glyphrun/write.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/safe_file.h"
#include "picture.h"

namespace glyphrun {
namespace {

constexpr int32_t kMaxDpi = 100000;

Status BadStyle(std::string what) { return Status::Failed(WriteError::BadStyle, std::move(what)); }

Status CheckStyle(const Style& style) {
    if (style.moduleSize < 1 && !style.xdimMillimetres)
        return BadStyle("the module size " + std::to_string(style.moduleSize) + " is below 1");
    if (style.quietZone < 0 || style.quietZone > kMaxQuietZone)
        return BadStyle("the quiet zone " + std::to_string(style.quietZone) + " is outside 0 to " +
                        std::to_string(kMaxQuietZone) + " modules");
    if (style.marginPixels && *style.marginPixels < 0)
        return BadStyle("the margin " + std::to_string(*style.marginPixels) + " is negative");
    if (style.foreground > 0xFFFFFF || style.background > 0xFFFFFF)
        return BadStyle("a colour is 0xRRGGBB, at most 0xFFFFFF");
    if (style.backgroundAlpha != 0 && style.backgroundAlpha != 255)
        return BadStyle("the background is opaque (alpha 255) or transparent (alpha 0), not alpha " +
                        std::to_string(style.backgroundAlpha));
    if (style.dpi < 1 || style.dpi > kMaxDpi)
        return BadStyle("the resolution " + std::to_string(style.dpi) + " dpi is outside 1 to " +
                        std::to_string(kMaxDpi));
    if (style.xdimMillimetres && !(*style.xdimMillimetres >= 0.001 && *style.xdimMillimetres <= 1000))
        return BadStyle("the X-dimension is outside 0.001 to 1000 mm");
    if (style.rotation != 0 && style.rotation != 90 && style.rotation != 180 && style.rotation != 270)
        return BadStyle("the rotation " + std::to_string(style.rotation) + " is not 0, 90, 180 or 270 degrees");
    return {};
}

// The style's picture, every size in pixels, or why the style is refused.
Result<Picture> PictureOf(const Style& style) {
    if (Status checked = CheckStyle(style); !checked) return checked;
    const int32_t module = ModulePixels(style);
    if (module < 1 || module > kMaxImageSide)
        return BadStyle("an X-dimension of " + std::to_string(*style.xdimMillimetres) + " mm at " +
                        std::to_string(style.dpi) + " dpi is not 1 to " + std::to_string(kMaxImageSide) +
                        " pixels a module");
    const int64_t margin = style.marginPixels ? *style.marginPixels : int64_t{style.quietZone} * module;
    if (margin > kMaxImageSide) return Status::Failed(WriteError::TooLarge, "the quiet zone is wider than an image");
    return Picture{module,           static_cast<int32_t>(margin), style.foreground,
                   style.background, style.backgroundAlpha == 0,   style.dpi};
}

constexpr double kPointsPerInch = 72;

// The style's picture with its text, for the grid.
Result<Picture> LabelPictureOf(const ModuleGrid& grid, const Style& style) {
    Result<Picture> picture = PictureOf(style);
    if (!picture) return picture.status();
    const auto pixels = [&](double points) {
        return static_cast<int32_t>(std::lround(std::min(points * style.dpi / kPointsPerInch, 1e6)));
    };
    if (Status text = AddText(grid, style.text, style.fontSize > 0 ? std::max(1, pixels(style.fontSize)) : 0,
                              std::max(1, pixels(kLeastFontPoints)), style.fontFile, picture.value());
        !text)
        return text;
    return picture;
}

Result<std::string> Raster(const ModuleGrid& grid, Format format, const Style& style) {
    const Result<Picture> picture = LabelPictureOf(grid, style);
    if (!picture) return picture.status();
    if (picture->transparentBackground && (format == Format::Bmp || format == Format::Pgm))
        return BadStyle(std::string(FormatName(format)) + " has no transparency: a transparent background needs "
                                                          "PNG, GIF, SVG or EPS");
    GrImage image;
    if (Status rendered = RenderGrid(grid, picture.value(), image); !rendered) return rendered;
    std::string file;
    if (format == Format::Png && !style.interlace) {
        if (Status written = EncodeCompactPng(image, file); !written)
            return Status::Failed(WriteError::OutOfMemory, written.reason());
        return file;
    }
    if (format == Format::Pgm) {
        if (Status written = EncodePgm(image, file); !written)
            return Status::Failed(WriteError::OutOfMemory, written.reason());
        return file;
    }
    RegisterImageWriters();
    const uint32_t type = format == Format::Gif ? TypeGif : format == Format::Bmp ? TypeBmp : TypePng;
    // The image library's codec option: Adam7 for PNG, the codes for GIF.
    image.SetCodecOption(format == Format::Gif ? static_cast<uint32_t>(style.gifCodes) : 1, type);
    uint8_t* bytes = nullptr;
    int32_t size = 0;
    if (!image.Encode(bytes, size, type)) return Status::Failed(WriteError::Writer, image.GetLastError());
    file.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    GrImage::FreeMemory(bytes);
    return file;
}

constexpr double kMillimetresPerInch = 25.4;

// The vector writers' style for the same picture as the raster files: the
// quiet zone keeps its width in modules (a margin in pixels rounded up to
// whole modules), and xdimMillimetres only changes the unit of the
// module's side, unless the module is to be whole dots at dpi.
Result<VectorStyle> VectorStyleOf(const ModuleGrid& grid, const Style& style) {
    Style inPixels = style;  // the picture the raster files would have, whose quiet zone this one keeps
    inPixels.xdimMillimetres.reset();
    const Result<Picture> picture = PictureOf(inPixels);
    if (!picture) return picture.status();
    if (Status sides = CheckSides(grid, picture.value()); !sides) return sides;
    VectorStyle vector;
    vector.moduleSize = picture->moduleSize;
    if (style.wholeDots) {
        const Result<Picture> dots = PictureOf(style);
        if (!dots) return dots.status();
        vector.moduleSize = dots->moduleSize * kMillimetresPerInch / style.dpi;
        vector.unit = VectorUnit::Millimetre;
    } else if (style.xdimMillimetres) {
        vector.moduleSize = *style.xdimMillimetres;
        vector.unit = VectorUnit::Millimetre;
    }
    vector.quietZone = (picture->margin + picture->moduleSize - 1) / picture->moduleSize;
    vector.foreground = style.foreground;
    vector.background = style.background;
    vector.drawBackground = !picture->transparentBackground;
    vector.pageWidth = style.pageWidth;
    vector.pageHeight = style.pageHeight;
    vector.inks = style.inks;
    vector.text = style.text;
    vector.fontSize = style.fontSize;
    return vector;
}

Result<std::string> Vector(const ModuleGrid& grid, Format format, const Style& style) {
    const Result<VectorStyle> vector = VectorStyleOf(grid, style);
    if (!vector) return vector.status();
    const VectorFormat vectorFormat = format == Format::Svg   ? VectorFormat::Svg
                                      : format == Format::Eps ? VectorFormat::Eps
                                                              : VectorFormat::Pdf;
    Result<std::string> document = VectorDocument(vectorFormat, grid, vector.value());
    if (!document) return Status::Failed(WriteError::Writer, document.reason());
    return document;
}

Status CheckFormat(const Style& style, Format format) {
    if (Status checked = CheckStyle(style); !checked) return checked;
    if (style.inks.cmyk && format != Format::Eps && format != Format::Pdf)
        return Status::Failed(WriteError::BadStyle,
                              std::string("CMYK colours are for EPS and PDF, not ") + FormatName(format));
    return {};
}

std::string Millimetres(double points) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", points / kPointsPerInch * kMillimetresPerInch);
    return text;
}

std::string Sides(double width, double height) { return Millimetres(width) + " x " + Millimetres(height) + " mm"; }

}  // namespace

std::optional<Format> FormatOfPath(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    const std::string extension(path.substr(dot + 1));
    for (Format format : {Format::Png, Format::Gif, Format::Bmp, Format::Pgm, Format::Svg, Format::Eps, Format::Pdf})
        if (::strcasecmp(extension.c_str(), FormatName(format)) == 0) return format;
    return std::nullopt;
}

std::string NumberedPath(const std::string& path, int32_t number) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path.size() : dot;
    return path.substr(0, at) + "-" + std::to_string(number) + path.substr(at);
}

const char* FormatName(Format format) {
    switch (format) {
        case Format::Png: return "PNG";
        case Format::Gif: return "GIF";
        case Format::Bmp: return "BMP";
        case Format::Pgm: return "PGM";
        case Format::Svg: return "SVG";
        case Format::Eps: return "EPS";
        case Format::Pdf: return "PDF";
    }
    return "?";
}

bool IsVector(Format format) { return format == Format::Svg || format == Format::Eps || format == Format::Pdf; }

int32_t ModulePixels(const Style& style) {
    if (!style.xdimMillimetres) return style.moduleSize;
    const double pixels = std::round(*style.xdimMillimetres * style.dpi / 25.4);
    return pixels > kMaxImageSide ? kMaxImageSide + 1 : static_cast<int32_t>(pixels);
}

double ModuleMillimetres(const Style& style, Format format) {
    if (IsVector(format) && !style.wholeDots)
        return style.xdimMillimetres.value_or(style.moduleSize * kMillimetresPerInch / kPointsPerInch);
    return ModulePixels(style) * kMillimetresPerInch / style.dpi;
}

double ScanContrast(const Style& style) {
    const auto reflectance = [](uint32_t rrggbb) {
        const auto linear = [](uint32_t channel) {
            const double c = (channel & 0xFF) / 255.0;
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(rrggbb >> 16) + 0.7152 * linear(rrggbb >> 8) + 0.0722 * linear(rrggbb);
    };
    const uint32_t background = style.backgroundAlpha == 0 ? 0xFFFFFF : style.background;
    return std::abs(reflectance(background) - reflectance(style.foreground));
}

Result<std::string> WriteSymbol(const Symbol& symbol, Format format, const Style& style) {
    try {
        if (Status checked = CheckFormat(style, format); !checked) return checked;
        const ModuleGrid grid = TurnedGrid(symbol, style.rotation);
        return IsVector(format) ? Vector(grid, format, style) : Raster(grid, format, style);
    } catch (const std::bad_alloc&) {
        return Status::Failed(WriteError::OutOfMemory, "out of memory");
    }
}

Status SaveSymbol(const Symbol& symbol, const std::string& path, const Style& style) {
    const std::optional<Format> format = FormatOfPath(path);
    if (!format)
        return Status::Failed(WriteError::UnknownFormat,
                              "the file name '" + path + "' must end in .png, .gif, .bmp, .pgm, .svg, .eps or .pdf");
    Result<std::string> file = WriteSymbol(symbol, *format, style);
    if (!file) return file.status();
    return WriteFileSafely(path, std::string_view(file.value()));
}

Status RenderSymbol(const Symbol& symbol, const Style& style, GrImage& image) {
    try {
        const ModuleGrid grid = TurnedGrid(symbol, style.rotation);
        const Result<Picture> picture = LabelPictureOf(grid, style);
        if (!picture) return picture.status();
        return RenderGrid(grid, picture.value(), image);
    } catch (const std::bad_alloc&) {
        return Status::Failed(WriteError::OutOfMemory, "out of memory");
    }
}

Result<GreyPicture> PictureToRead(const Symbol& symbol, Format format, Style style) {
    if (IsVector(format)) {
        // A vector file has no pixels: it is read at a scale a reader takes
        // (at 1 pixel a module it misses a good symbol), the quiet zone in
        // whole modules as the file draws it.
        constexpr int32_t kReadableModule = 4;
        const int32_t module = style.moduleSize;
        const int64_t margin = style.marginPixels.value_or(int64_t{style.quietZone} * module);
        style.moduleSize = std::max(module, kReadableModule);
        style.marginPixels = static_cast<int32_t>((margin + module - 1) / module * style.moduleSize);
        style.xdimMillimetres.reset();
        style.wholeDots = false;
        style.inks = {};
    }
    style.text.clear();
    GrImage image;
    if (Status drawn = RenderSymbol(symbol, style, image); !drawn) return drawn;
    GreyPicture picture{static_cast<int32_t>(image.GetWidth()), static_cast<int32_t>(image.GetHeight()), {}};
    uint8_t grey[2];
    for (uint8_t index : {0, 1}) {
        const RGBQUAD colour = image.GetPaletteColor(index);
        grey[index] =
            image.GetTransIndex() == index
                ? 255
                : static_cast<uint8_t>((colour.rgbRed * 299 + colour.rgbGreen * 587 + colour.rgbBlue * 114) / 1000);
    }
    if (grey[0] < grey[1]) grey[0] = static_cast<uint8_t>(255 - grey[0]), grey[1] = static_cast<uint8_t>(255 - grey[1]);
    picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* row = image.GetBits(static_cast<uint32_t>(picture.height - 1 - y));
        uint8_t* out = picture.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width);
        for (int32_t x = 0; x < picture.width; ++x) out[x] = grey[row[x >> 3] >> (7 - (x & 7)) & 1];
    }
    return picture;
}

struct LabelDocument::Parts {
    Parts(const Style& labelStyle, const Sheet& pages, double width, double height,
          std::function<bool(std::string_view)> sink)
        : style(labelStyle), sheet(pages), cellWidth(width), cellHeight(height), writer(std::move(sink)) {
        style.text.clear();
        style.pageWidth = style.pageHeight = 0;
    }

    Style style;  // the labels' own, without text or page
    Sheet sheet;
    double cellWidth, cellHeight;
    PdfWriter writer;
    uint64_t added = 0;
};

Result<LabelDocument> LabelDocument::Make(const Style& style, const Sheet& sheet,
                                          std::function<bool(std::string_view)> sink) {
    if (Status checked = CheckFormat(style, Format::Pdf); !checked) return checked;
    constexpr int32_t kMaxCells = 1000;
    if (sheet.columns < 1 || sheet.rows < 1 || sheet.columns > kMaxCells || sheet.rows > kMaxCells)
        return BadStyle("a sheet's grid is 1 to " + std::to_string(kMaxCells) + " labels each way, not " +
                        std::to_string(sheet.columns) + "x" + std::to_string(sheet.rows));
    if (!(sheet.margin >= 0 && sheet.gap >= 0)) return BadStyle("a sheet's margin and gap are 0 or more");
    const bool sized = sheet.pageWidth > 0 || sheet.pageHeight > 0;
    const double cellWidth = (sheet.pageWidth - 2 * sheet.margin - (sheet.columns - 1) * sheet.gap) / sheet.columns,
                 cellHeight = (sheet.pageHeight - 2 * sheet.margin - (sheet.rows - 1) * sheet.gap) / sheet.rows;
    if (sized && !(cellWidth > 0 && cellHeight > 0))
        return BadStyle("the margin and gaps leave no room for a label on a page of " +
                        Sides(sheet.pageWidth, sheet.pageHeight));
    if (!sized && (sheet.columns != 1 || sheet.rows != 1)) return BadStyle("a grid of labels needs a page size");
    return LabelDocument(std::make_unique<Parts>(style, sheet, cellWidth, cellHeight, std::move(sink)));
}

LabelDocument::LabelDocument(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
LabelDocument::LabelDocument(LabelDocument&&) noexcept = default;
LabelDocument::~LabelDocument() = default;

Result<PdfLabel> LabelDocument::Draw(const Symbol& symbol, std::vector<std::string> text) const {
    try {
        Style style = parts_->style;
        style.text = std::move(text);
        const ModuleGrid grid = TurnedGrid(symbol, style.rotation);
        const Result<VectorStyle> vector = VectorStyleOf(grid, style);
        if (!vector) return vector.status();
        Result<PdfLabel> label = DrawPdfLabel(grid, vector.value());
        if (!label) return Status::Failed(WriteError::Writer, label.reason());
        return label;
    } catch (const std::bad_alloc&) {
        return Status::Failed(WriteError::OutOfMemory, "out of memory");
    }
}

Status LabelDocument::Add(const PdfLabel& label, Placement* where) {
    Parts& parts = *parts_;
    const Sheet& sheet = parts.sheet;
    PdfWriter& writer = parts.writer;
    if (sheet.pageWidth == 0 && sheet.pageHeight == 0) {
        if (Status page = writer.NewPage(label.width, label.height); !page) return page;
        writer.Place(label, 0, 0);
        if (where) *where = {++parts.added, 1};
        return {};
    }
    // A hair of tolerance: a label made to fill its cell exactly may come
    // out larger by the rounding of millimetres to points.
    constexpr double kTolerance = 1e-6;
    if (label.width > parts.cellWidth + kTolerance || label.height > parts.cellHeight + kTolerance) {
        const bool onePerPage = sheet.columns == 1 && sheet.rows == 1 && sheet.margin == 0;
        return Status::Failed(WriteError::TooLarge, "the label is " + Sides(label.width, label.height) +
                                                        ", larger than " + (onePerPage ? "the page, " : "its cell, ") +
                                                        Sides(parts.cellWidth, parts.cellHeight));
    }
    const uint64_t perPage = static_cast<uint64_t>(sheet.columns) * static_cast<uint64_t>(sheet.rows);
    const uint64_t cell = parts.added % perPage;
    if (cell == 0)
        if (Status page = writer.NewPage(sheet.pageWidth, sheet.pageHeight); !page) return page;
    const auto column = static_cast<double>(cell % static_cast<uint64_t>(sheet.columns)),
               row = static_cast<double>(cell / static_cast<uint64_t>(sheet.columns));
    const double left = sheet.margin + column * (parts.cellWidth + sheet.gap),
                 top = sheet.margin + row * (parts.cellHeight + sheet.gap);
    writer.Place(label, left + (parts.cellWidth - label.width) / 2,
                 sheet.pageHeight - top - parts.cellHeight + (parts.cellHeight - label.height) / 2);
    if (where) *where = {parts.added / perPage + 1, cell + 1};
    ++parts.added;
    return {};
}

Status LabelDocument::Finish() {
    const Status finished = parts_->writer.Finish();
    return finished ? finished : Status::Failed(WriteError::Writer, finished.reason());
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(WriteError, "glyphrun.write")

}  // namespace glyphrun
