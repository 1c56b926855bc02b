#include "glyphrun/raster_text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "glyphrun/utf8.h"

namespace glyphrun {
namespace {

constexpr const char* kDefaultFamily = "DejaVu Sans";
// A thread keeps this many fonts open, the most recently used: a batch
// uses one, and a caller that goes through many fonts must not run out of
// file handles.
constexpr size_t kOpenFaces = 4;
// A font's drawn glyphs are kept until they take this much memory in one
// thread: labels repeat the same few characters at one size, and drawing a
// hinted glyph costs more than the rest of a short label.
constexpr size_t kKeptInkBytes = size_t{1} << 20;

std::string CodePointName(char32_t point) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(point));
    return name;
}

// One character drawn at one size.
struct Glyph {
    int32_t advance = 0;  // pixels
    // The bitmap's top left corner from the pen on the baseline, up positive.
    int32_t left = 0, top = 0;
    int32_t width = 0, rows = 0;
    std::vector<uint8_t> ink;  // width * rows, 0 or 1
};

struct LineMetrics {
    int32_t ascent = 0, descent = 0;  // pixels above and below the baseline
};

// A font file open in one thread, with what it has drawn there.
struct OpenFace {
    OpenFace() = default;
    OpenFace(const OpenFace&) = delete;
    OpenFace& operator=(const OpenFace&) = delete;
    ~OpenFace() {
        if (face) FT_Done_Face(face);
    }

    std::string file, family;
    FT_Face face = nullptr;
    int32_t pixelSize = 0;                           // the size the face is set to; 0 for none
    std::unordered_map<int32_t, LineMetrics> lines;  // by pixel size
    std::unordered_map<uint64_t, Glyph> glyphs;      // by pixel size << 32 | character
    size_t inkBytes = 0;                             // of the glyphs
};

Status SetSize(OpenFace& open, int32_t pixelSize) {
    if (open.pixelSize == pixelSize) return {};
    open.pixelSize = 0;
    if (FT_Set_Pixel_Sizes(open.face, 0, static_cast<FT_UInt>(pixelSize)))
        return Status::Failed(TextError::BadSize,
                              "the font " + open.family + " has no size of " + std::to_string(pixelSize) + " pixels");
    open.pixelSize = pixelSize;
    return {};
}

Result<LineMetrics> LineOf(OpenFace& open, int32_t pixelSize) {
    if (const auto kept = open.lines.find(pixelSize); kept != open.lines.end()) return kept->second;
    if (Status set = SetSize(open, pixelSize); !set) return set;
    // FreeType rounds a scalable font's ascender up and descender down to
    // whole pixels, so the line holds them both.
    const FT_Size_Metrics& metrics = open.face->size->metrics;
    LineMetrics line{static_cast<int32_t>(std::max<FT_Pos>(0, (metrics.ascender + 63) >> 6)),
                     static_cast<int32_t>(std::max<FT_Pos>(0, (-metrics.descender + 63) >> 6))};
    if (line.ascent + line.descent < 1) line.ascent = 1;
    open.lines.emplace(pixelSize, line);
    return line;
}

// Copies a rendered bitmap as one byte a pixel. Outlines come in 1 bit a
// pixel; a font's own bitmaps may be grey or colour, and ink where they are
// at least half dark.
bool CopyInk(FT_GlyphSlot slot, Glyph& glyph) {
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.width = static_cast<int32_t>(bitmap.width);
    glyph.rows = static_cast<int32_t>(bitmap.rows);
    glyph.ink.assign(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.rows), 0);
    if (glyph.ink.empty()) return true;
    const auto copy = [&](const FT_Bitmap& from, auto inks) {
        for (int32_t row = 0; row < glyph.rows; ++row) {
            const uint8_t* bytes = from.buffer + static_cast<ptrdiff_t>(row) * from.pitch;
            for (int32_t col = 0; col < glyph.width; ++col)
                glyph.ink[static_cast<size_t>(row) * static_cast<size_t>(glyph.width) + static_cast<size_t>(col)] =
                    inks(bytes, col);
        }
    };
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        copy(bitmap, [](const uint8_t* bytes, int32_t col) {
            return static_cast<uint8_t>(bytes[col >> 3] >> (7 - (col & 7)) & 1);
        });
        return true;
    }
    FT_Bitmap grey;
    FT_Bitmap_Init(&grey);
    const bool converted = FT_Bitmap_Convert(slot->library, &bitmap, &grey, 1) == 0;
    if (converted) {
        const int32_t levels = grey.num_grays;
        copy(grey, [&](const uint8_t* bytes, int32_t col) { return static_cast<uint8_t>(bytes[col] * 2 >= levels); });
    }
    FT_Bitmap_Done(slot->library, &grey);
    return converted;
}

// The glyph for `point`, the `place`th character of the text and `character`
// in UTF-8, drawn at `pixelSize`.
Result<const Glyph*> GlyphOf(OpenFace& open, int32_t pixelSize, char32_t point, std::string_view character,
                             size_t place) {
    const uint64_t key = static_cast<uint64_t>(pixelSize) << 32 | point;
    if (const auto kept = open.glyphs.find(key); kept != open.glyphs.end()) return &kept->second;
    const std::string named = "'" + std::string(character) + "' (" + CodePointName(point) + ")";
    const FT_UInt index = FT_Get_Char_Index(open.face, point);
    if (index == 0)
        return Status::Failed(TextError::MissingGlyph, "the font " + open.family + " has no glyph for " + named +
                                                           ", character " + std::to_string(place) + " of the text");
    if (Status set = SetSize(open, pixelSize); !set) return set;
    Glyph glyph;
    const FT_Error error = FT_Load_Glyph(open.face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME);
    if (error || !CopyInk(open.face->glyph, glyph))
        return Status::Failed(TextError::NoFont, "the font " + open.family + " cannot draw " + named +
                                                     " (FreeType error " + std::to_string(error) + ")");
    // Hinted advances are whole pixels already; others are rounded.
    glyph.advance = static_cast<int32_t>((open.face->glyph->advance.x + 32) >> 6);
    glyph.left = open.face->glyph->bitmap_left;
    glyph.top = open.face->glyph->bitmap_top;
    open.inkBytes += glyph.ink.size() + sizeof(Glyph);
    return &open.glyphs.emplace(key, std::move(glyph)).first->second;
}

// FreeType's library and faces may not be shared between threads: each
// thread that draws text has its own.
class ThreadFonts {
public:
    ThreadFonts() = default;
    ThreadFonts(const ThreadFonts&) = delete;
    ThreadFonts& operator=(const ThreadFonts&) = delete;
    ~ThreadFonts() {
        faces_.clear();
        if (library_) FT_Done_FreeType(library_);
    }

    // The font in `file`, opened on its first use.
    Result<OpenFace*> Open(const std::string& file) {
        const auto open =
            std::find_if(faces_.begin(), faces_.end(), [&](const auto& face) { return face->file == file; });
        if (open != faces_.end()) {
            std::rotate(open, open + 1, faces_.end());
            return faces_.back().get();
        }
        if (!library_) {
            if (const FT_Error error = FT_Init_FreeType(&library_)) {
                library_ = nullptr;
                return Status::Failed(TextError::NoFont,
                                      "FreeType did not start (error " + std::to_string(error) + ")");
            }
        }
        auto opened = std::make_unique<OpenFace>();
        if (const FT_Error error = FT_New_Face(library_, file.c_str(), 0, &opened->face)) {
            opened->face = nullptr;
            return Status::Failed(TextError::NoFont,
                                  "the font file '" + file + "' cannot be used: " + Why(file, error));
        }
        const FT_Face face = opened->face;
        if ((!face->charmap || face->charmap->encoding != FT_ENCODING_UNICODE) &&
            FT_Select_Charmap(face, FT_ENCODING_UNICODE))
            return Status::Failed(TextError::NoFont, "the font file '" + file + "' has no Unicode character map");
        opened->file = file;
        opened->family = face->family_name ? face->family_name : file;
        if (faces_.size() == kOpenFaces) faces_.erase(faces_.begin());
        faces_.push_back(std::move(opened));
        return faces_.back().get();
    }

private:
    static std::string Why(const std::string& file, FT_Error error) {
        if (error == FT_Err_Cannot_Open_Resource) {
            std::FILE* stream = std::fopen(file.c_str(), "rb");
            if (!stream) return std::strerror(errno);
            std::fclose(stream);
            return "it cannot be read";
        }
        if (error == FT_Err_Unknown_File_Format) return "it is not a font FreeType reads";
        return "FreeType error " + std::to_string(error);
    }

    FT_Library library_ = nullptr;
    std::vector<std::unique_ptr<OpenFace>> faces_;  // the most recently used last
};

// The file of the default font, looked up once: fontconfig reads its
// configuration and the font list on each lookup, far longer than a label.
// Empty when fontconfig found none.
const std::string& DefaultFontFile() {
    static std::string file;
    static std::once_flag once;
    std::call_once(once, [] {
        FcConfig* config = FcInitLoadConfigAndFonts();
        if (!config) return;
        if (FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(kDefaultFamily))) {
            if (FcConfigSubstitute(config, pattern, FcMatchPattern)) {
                FcDefaultSubstitute(pattern);
                FcResult result = FcResultNoMatch;
                if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
                    FcChar8* found = nullptr;
                    if (FcPatternGetString(match, FC_FILE, 0, &found) == FcResultMatch && found)
                        file = reinterpret_cast<const char*>(found);
                    FcPatternDestroy(match);
                }
            }
            FcPatternDestroy(pattern);
        }
        FcConfigDestroy(config);
    });
    return file;
}

struct Line {
    std::vector<const Glyph*> glyphs;  // kept by the thread's font until its next line
    int32_t width = 0;
    LineMetrics metrics;
};

Result<Line> Lay(std::string_view text, int32_t pixelSize, const std::string& fontFile) {
    if (pixelSize < 1 || pixelSize > kMaxTextPixelSize)
        return Status::Failed(TextError::BadSize, "a text size of " + std::to_string(pixelSize) +
                                                      " pixels is not 1 to " + std::to_string(kMaxTextPixelSize));
    const std::string& file = fontFile.empty() ? DefaultFontFile() : fontFile;
    if (file.empty())
        return Status::Failed(TextError::NoFont, std::string("fontconfig finds no font for ") + kDefaultFamily +
                                                     ": install fonts-dejavu-core, or give a font file (--font)");
    thread_local ThreadFonts fonts;
    Result<OpenFace*> opened = fonts.Open(file);
    if (!opened) return opened.status();
    OpenFace& open = *opened.value();
    // Forgetting glyphs only here, between lines, leaves the line's own in place.
    if (open.inkBytes > kKeptInkBytes) open.glyphs.clear(), open.inkBytes = 0;
    Result<LineMetrics> metrics = LineOf(open, pixelSize);
    if (!metrics) return metrics.status();

    Line line;
    line.metrics = metrics.value();
    int64_t width = 0;
    for (size_t at = 0, place = 1; at < text.size(); ++place) {
        const size_t start = at;
        const Utf8Character character = Utf8CharacterAt(text, at);
        if (character.length == 0)
            return Status::Failed(TextError::BadText, "the text is not UTF-8 at byte " + std::to_string(start + 1));
        at += character.length;
        const auto point = static_cast<int32_t>(character.code);
        if (point < 0x20 || (point >= 0x7F && point < 0xA0))
            return Status::Failed(TextError::BadText, "the text holds the control character " + CodePointName(point) +
                                                          ", character " + std::to_string(place));
        Result<const Glyph*> glyph =
            GlyphOf(open, pixelSize, static_cast<char32_t>(point), text.substr(start, at - start), place);
        if (!glyph) return glyph.status();
        width += glyph.value()->advance;
        if (width > kMaxTextWidth)
            return Status::Failed(TextError::BadSize, "the text is wider than " + std::to_string(kMaxTextWidth) +
                                                          " pixels at " + std::to_string(pixelSize) + " pixels an em");
        line.glyphs.push_back(glyph.value());
    }
    line.width = static_cast<int32_t>(std::max<int64_t>(1, width));
    return line;
}

}  // namespace

Result<TextBitmap> RasterText(std::string_view text, int32_t pixelSize, const std::string& fontFile) {
    const Result<Line> line = Lay(text, pixelSize, fontFile);
    if (!line) return line.status();
    TextBitmap bitmap;
    bitmap.width = line->width;
    bitmap.height = line->metrics.ascent + line->metrics.descent;
    bitmap.baseline = line->metrics.ascent;
    bitmap.ink.assign(static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height), 0);
    int32_t pen = 0;
    for (const Glyph* glyph : line->glyphs) {
        // Where the glyph's corner falls; what lies outside the picture is cut off.
        const int32_t x = pen + glyph->left, y = bitmap.baseline - glyph->top;
        for (int32_t row = std::max(0, -y); row < glyph->rows && y + row < bitmap.height; ++row) {
            const uint8_t* from = glyph->ink.data() + static_cast<size_t>(row) * static_cast<size_t>(glyph->width);
            uint8_t* to = bitmap.ink.data() + static_cast<size_t>(y + row) * static_cast<size_t>(bitmap.width);
            for (int32_t col = std::max(0, -x); col < glyph->width && x + col < bitmap.width; ++col)
                to[x + col] |= from[col];
        }
        pen += glyph->advance;
    }
    return bitmap;
}

Result<int32_t> RasterTextWidth(std::string_view text, int32_t pixelSize, const std::string& fontFile) {
    const Result<Line> line = Lay(text, pixelSize, fontFile);
    if (!line) return line.status();
    return line->width;
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(TextError, "glyphrun.raster_text")

}  // namespace glyphrun
