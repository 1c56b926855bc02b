#include "glyphrun/gdi.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace glyphrun {
namespace {

constexpr int64_t kMaxBitmapBytes = int64_t{1} << 30;  // a 16384 x 16384 picture at 32 bits
constexpr RECT kScreenBounds = {0, 0, 1920, 1080};
constexpr int kBlackOnWhite = 1;

// ---------------------------------------------------------------- surfaces

std::vector<RGBQUAD> SystemPalette(int bpp) {
    std::vector<RGBQUAD> palette;
    const auto add = [&](int r, int g, int b) {
        palette.push_back(RGBQUAD{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0});
    };
    if (bpp == 1) {
        add(0, 0, 0);
        add(255, 255, 255);
    } else if (bpp == 4) {
        static constexpr int kVga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                            {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                            {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (const auto& c : kVga) add(c[0], c[1], c[2]);
    } else {
        // A 6 x 6 x 6 colour cube and 40 greys.
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
        for (int i = 0; i < 40; ++i) add(i * 255 / 39, i * 255 / 39, i * 255 / 39);
    }
    return palette;
}

bool IsSupportedDepth(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

int64_t StrideOf(int64_t width, int bpp) { return (width * bpp + 31) / 32 * 4; }

COLORREF ColorOf(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

uint8_t NearestIndex(const std::vector<RGBQUAD>& palette, COLORREF color) {
    int64_t best = INT64_MAX;
    uint8_t index = 0;
    for (size_t i = 0; i < palette.size(); ++i) {
        const int64_t dr = palette[i].rgbRed - GetRValue(color), dg = palette[i].rgbGreen - GetGValue(color),
                      db = palette[i].rgbBlue - GetBValue(color);
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < best) {
            best = distance;
            index = static_cast<uint8_t>(i);
            if (distance == 0) break;
        }
    }
    return index;
}

uint8_t Expand5(unsigned c) { return static_cast<uint8_t>(c << 3 | c >> 2); }

int IndexIn(const uint8_t* row, int32_t x, int bpp) {
    return row[static_cast<int64_t>(x) * bpp / 8] >> (8 - bpp * (x % (8 / bpp) + 1)) & ((1 << bpp) - 1);
}

// Pixel x of a row of any supported depth; `palette` serves 8 bits or less.
COLORREF ReadPixel(const uint8_t* row, int32_t x, int bpp, const std::vector<RGBQUAD>& palette) {
    switch (bpp) {
        case 32:
        case 24: {
            const uint8_t* p = row + static_cast<int64_t>(x) * (bpp / 8);
            return RGB(p[2], p[1], p[0]);
        }
        case 16: {
            const unsigned v = row[2 * x] | row[2 * x + 1] << 8;  // five bits each of red, green, blue
            return RGB(Expand5(v >> 10 & 31), Expand5(v >> 5 & 31), Expand5(v & 31));
        }
        default: {
            const int index = IndexIn(row, x, bpp);
            return index < static_cast<int>(palette.size()) ? ColorOf(palette[index]) : 0;
        }
    }
}

// Stores the nearest colour the format holds.
void WritePixel(uint8_t* row, int32_t x, int bpp, const std::vector<RGBQUAD>& palette, COLORREF color) {
    switch (bpp) {
        case 32:
        case 24: {
            uint8_t* p = row + static_cast<int64_t>(x) * (bpp / 8);
            p[0] = GetBValue(color);
            p[1] = GetGValue(color);
            p[2] = GetRValue(color);
            if (bpp == 32) p[3] = 0;
            return;
        }
        case 16: {
            const unsigned v = (GetRValue(color) >> 3) << 10 | (GetGValue(color) >> 3) << 5 | GetBValue(color) >> 3;
            row[2 * x] = static_cast<uint8_t>(v);
            row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
            return;
        }
        default: {
            const int shift = 8 - bpp * (x % (8 / bpp) + 1);
            const int mask = ((1 << bpp) - 1) << shift;
            uint8_t& byte = row[static_cast<int64_t>(x) * bpp / 8];
            byte = static_cast<uint8_t>((byte & ~mask) | NearestIndex(palette, color) << shift);
            return;
        }
    }
}

// A raster of any supported depth over memory of its own or of a caller.
struct Bitmap {
    int32_t width = 0, height = 0;
    int bpp = 32;
    int64_t stride = 0;
    bool bottomUp = false;
    bool dibSection = false;
    bool stock = false;
    uint8_t* pixels = nullptr;
    std::vector<uint8_t> storage;
    std::vector<RGBQUAD> palette;  // 8 bits or less
    HDC selectedInto = nullptr;

    uint8_t* Row(int32_t y) const { return pixels + static_cast<int64_t>(bottomUp ? height - 1 - y : y) * stride; }
    bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }

    COLORREF Get(int32_t x, int32_t y) const { return ReadPixel(Row(y), x, bpp, palette); }

    // Stores the nearest colour the format holds and returns it. The
    // screen's 32 bits take the colour as it is, without the general path.
    COLORREF Set(int32_t x, int32_t y, COLORREF color) {
        if (bpp == 32) {
            const uint8_t bgr0[4] = {GetBValue(color), GetGValue(color), GetRValue(color), 0};
            std::memcpy(Row(y) + 4 * static_cast<int64_t>(x), bgr0, 4);  // one store
            return color;
        }
        WritePixel(Row(y), x, bpp, palette, color);
        return bpp >= 24 ? color : Get(x, y);
    }
};

// Allocates the pixels of a bitmap; false (nothing allocated) for a bad or
// oversized request.
bool Allocate(Bitmap& bitmap, int64_t width, int64_t height, int bpp) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX || !IsSupportedDepth(bpp)) return false;
    const int64_t stride = StrideOf(width, bpp);
    if (stride * height > kMaxBitmapBytes) return false;
    bitmap.width = static_cast<int32_t>(width);
    bitmap.height = static_cast<int32_t>(height);
    bitmap.bpp = bpp;
    bitmap.stride = stride;
    try {
        bitmap.storage.assign(static_cast<size_t>(stride * height), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bitmap.pixels = bitmap.storage.data();
    if (bpp <= 8) bitmap.palette = SystemPalette(bpp);
    return true;
}

struct Region {
    std::vector<RECT> rects;  // their union; empty is the null region
};

struct Palette {
    std::vector<PALETTEENTRY> entries;
};

enum class DcKind { Screen, Memory, Buffer };

struct DeviceContext {
    DcKind kind = DcKind::Memory;
    Bitmap* surface = nullptr;  // the selected bitmap, or the caller's buffer
    HBITMAP surfaceHandle = nullptr;
    Bitmap buffer;  // the surface of a buffer context
    bool clipped = false;
    Region clip;  // device coordinates, when clipped
    int stretchMode = kBlackOnWhite;
    HPALETTE palette = nullptr;
};

// ---------------------------------------------------------------- handles

enum class Kind : uint8_t { Free, Bitmap, Dc, Region, Palette };

struct Slot {
    std::atomic<uint32_t> generation{0};
    std::atomic<Kind> kind{Kind::Free};
    std::atomic<void*> object{nullptr};
};

constexpr size_t kSlots = 1 << 16;

class HandleTable {
public:
    template <typename T>
    void* Add(Kind kind, std::unique_ptr<T> object) {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t index;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else if (used_ < kSlots) {
            index = used_++;
        } else {
            return nullptr;
        }
        Slot& slot = slots_[index];
        const uint32_t generation = slot.generation.load() + 1;
        slot.object.store(object.release());
        slot.kind.store(kind);
        slot.generation.store(generation, std::memory_order_release);
        ++live_;
        return reinterpret_cast<void*>(static_cast<uintptr_t>(generation) << 16 | (index + 1));
    }

    template <typename T>
    T* Find(const void* handle, Kind kind) const {
        const auto value = reinterpret_cast<uintptr_t>(handle);
        const size_t index = (value & 0xFFFF);
        if (index == 0 || index > kSlots) return nullptr;
        const Slot& slot = slots_[index - 1];
        if (slot.generation.load(std::memory_order_acquire) != (value >> 16) || slot.kind.load() != kind)
            return nullptr;
        return static_cast<T*>(slot.object.load());
    }

    Kind KindOf(const void* handle) const {
        for (Kind kind : {Kind::Bitmap, Kind::Dc, Kind::Region, Kind::Palette})
            if (Find<void>(handle, kind)) return kind;
        return Kind::Free;
    }

    template <typename T>
    bool Remove(const void* handle, Kind kind) {
        std::lock_guard<std::mutex> lock(mutex_);
        T* object = Find<T>(handle, kind);
        if (!object) return false;
        const size_t index = (reinterpret_cast<uintptr_t>(handle) & 0xFFFF) - 1;
        Slot& slot = slots_[index];
        slot.generation.store(slot.generation.load() + 1, std::memory_order_release);  // stale from now on
        slot.kind.store(Kind::Free);
        slot.object.store(nullptr);
        free_.push_back(index);
        --live_;
        delete object;
        return true;
    }

    int Live() const { return live_; }

private:
    std::unique_ptr<Slot[]> slots_ = std::make_unique<Slot[]>(kSlots);
    std::mutex mutex_;
    std::vector<size_t> free_;
    size_t used_ = 0;
    int live_ = 0;
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable;  // outlives every static that might use it
    return *table;
}

std::atomic<int> gScreenDepth{32};

Bitmap* FindBitmap(const void* h) { return Handles().Find<Bitmap>(h, Kind::Bitmap); }
DeviceContext* FindDc(const void* h) { return Handles().Find<DeviceContext>(h, Kind::Dc); }
Region* FindRegion(const void* h) { return Handles().Find<Region>(h, Kind::Region); }

// The 1 x 1 monochrome bitmap that a new memory context starts with.
HBITMAP StockBitmap() {
    static HBITMAP stock = [] {
        auto bitmap = std::make_unique<Bitmap>();
        Allocate(*bitmap, 1, 1, 1);
        bitmap->stock = true;
        return static_cast<HBITMAP>(Handles().Add(Kind::Bitmap, std::move(bitmap)));
    }();
    return stock;
}

HDC AddDc(std::unique_ptr<DeviceContext> dc) { return static_cast<HDC>(Handles().Add(Kind::Dc, std::move(dc))); }

// ---------------------------------------------------------------- clipping

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT SurfaceBounds(const DeviceContext& dc) {
    if (!dc.surface) return kScreenBounds;
    return RECT{0, 0, dc.surface->width, dc.surface->height};
}

// The rectangles a drawing may touch: the surface, narrowed by the clip region.
std::vector<RECT> DrawableRects(const DeviceContext& dc) {
    const RECT bounds = SurfaceBounds(dc);
    if (!dc.clipped) return {bounds};
    std::vector<RECT> rects;
    for (const RECT& r : dc.clip.rects) {
        const RECT visible = Intersect(r, bounds);
        if (!IsEmpty(visible)) rects.push_back(visible);
    }
    return rects;
}

bool IsDrawable(const DeviceContext& dc, int32_t x, int32_t y) {
    if (!dc.surface || !dc.surface->Contains(x, y)) return false;
    if (!dc.clipped) return true;
    for (const RECT& r : dc.clip.rects)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

int RegionType(const std::vector<RECT>& rects) {
    if (rects.empty()) return NULLREGION;
    return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// ---------------------------------------------------------------- DIB formats

struct DibFormat {
    int32_t width = 0, height = 0;  // height > 0
    bool bottomUp = true;
    int bpp = 0;
    int64_t stride = 0;
    int colors = 0;
};

bool ReadFormat(const BITMAPINFO* info, DibFormat& format) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
        h.biCompression != BI_RGB || !IsSupportedDepth(h.biBitCount))
        return false;
    format.width = h.biWidth;
    format.height = h.biHeight > 0 ? h.biHeight : -h.biHeight;
    format.bottomUp = h.biHeight > 0;
    format.bpp = h.biBitCount;
    format.stride = StrideOf(format.width, format.bpp);
    if (format.stride * format.height > kMaxBitmapBytes) return false;
    if (format.bpp <= 8)
        format.colors = h.biClrUsed && h.biClrUsed <= (1u << format.bpp) ? h.biClrUsed : 1 << format.bpp;
    return true;
}

const RGBQUAD* ColorTable(const BITMAPINFO* info) {
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(info) + info->bmiHeader.biSize);
}

std::vector<RGBQUAD> ColorsOf(const BITMAPINFO* info, const DibFormat& format) {
    if (format.bpp > 8) return {};
    return std::vector<RGBQUAD>(ColorTable(info), ColorTable(info) + format.colors);
}

// Row `y` of `source` in the format `bpp` (with `colors` for 8 bits or
// less). True colour to true colour is a byte shuffle; the rest goes pixel
// by pixel through the nearest colour.
void CopyRowInto(uint8_t* out, int bpp, const std::vector<RGBQUAD>& colors, const Bitmap& source, int32_t y) {
    if (source.bpp >= 24 && bpp >= 24) {
        const uint8_t* in = source.Row(y);
        const int inStep = source.bpp / 8, outStep = bpp / 8;
        for (int32_t x = 0; x < source.width; ++x, in += inStep, out += outStep) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            if (outStep == 4) out[3] = 0;
        }
        return;
    }
    for (int32_t x = 0; x < source.width; ++x) WritePixel(out, x, bpp, colors, source.Get(x, y));
}

}  // namespace

// ---------------------------------------------------------------- device contexts

HDC GetDC(HWND window) {
    if (window) return nullptr;  // no windows here: only the screen
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DcKind::Screen;
    return AddDc(std::move(dc));
}

int ReleaseDC(HWND, HDC dc) {
    const DeviceContext* context = FindDc(dc);
    if (!context || context->kind != DcKind::Screen) return 0;
    return Handles().Remove<DeviceContext>(dc, Kind::Dc) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !FindDc(dc)) return nullptr;
    const HBITMAP stock = StockBitmap();
    auto context = std::make_unique<DeviceContext>();
    context->surface = FindBitmap(stock);
    context->surfaceHandle = stock;
    return AddDc(std::move(context));
}

HDC CreateDCForBuffer(uint8_t* pixels, int32_t width, int32_t height, int32_t stride) {
    if (!pixels || width <= 0 || height <= 0 || stride < static_cast<int64_t>(width) * 4) return nullptr;
    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DcKind::Buffer;
    dc->buffer.width = width;
    dc->buffer.height = height;
    dc->buffer.bpp = 32;
    dc->buffer.stride = stride;
    dc->buffer.pixels = pixels;
    dc->surface = &dc->buffer;
    return AddDc(std::move(dc));
}

BOOL DeleteDC(HDC dc) {
    DeviceContext* context = FindDc(dc);
    if (!context) return 0;
    if (context->kind == DcKind::Memory && context->surface && !context->surface->stock)
        context->surface->selectedInto = nullptr;
    return Handles().Remove<DeviceContext>(dc, Kind::Dc) ? 1 : 0;
}

// ---------------------------------------------------------------- objects

HBITMAP CreateCompatibleBitmap(HDC dc, int32_t width, int32_t height) {
    const DeviceContext* context = FindDc(dc);
    if (!context) return nullptr;
    // A memory context's bitmaps take the depth of the bitmap it holds.
    const int bpp = context->kind == DcKind::Screen ? gScreenDepth.load() : context->surface->bpp;
    auto bitmap = std::make_unique<Bitmap>();
    if (!Allocate(*bitmap, width, height, bpp)) return nullptr;
    return static_cast<HBITMAP>(Handles().Add(Kind::Bitmap, std::move(bitmap)));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, uint32_t offset) {
    if (bits) *bits = nullptr;
    DibFormat format;
    if ((dc && !FindDc(dc)) || usage != DIB_RGB_COLORS || section || offset != 0 || !ReadFormat(info, format))
        return nullptr;
    auto bitmap = std::make_unique<Bitmap>();
    if (!Allocate(*bitmap, format.width, format.height, format.bpp)) return nullptr;
    bitmap->bottomUp = format.bottomUp;
    bitmap->dibSection = true;
    if (format.bpp <= 8) bitmap->palette.assign(ColorTable(info), ColorTable(info) + format.colors);
    uint8_t* pixels = bitmap->pixels;
    const HBITMAP handle = static_cast<HBITMAP>(Handles().Add(Kind::Bitmap, std::move(bitmap)));
    if (handle && bits) *bits = pixels;
    return handle;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palNumEntries == 0 || palette->palNumEntries > 256) return nullptr;
    auto object = std::make_unique<Palette>();
    object->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    return static_cast<HPALETTE>(Handles().Add(Kind::Palette, std::move(object)));
}

HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    auto region = std::make_unique<Region>();
    const RECT rect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    if (!IsEmpty(rect)) region->rects.push_back(rect);
    return static_cast<HRGN>(Handles().Add(Kind::Region, std::move(region)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    DeviceContext* context = FindDc(dc);
    Bitmap* bitmap = FindBitmap(object);
    if (!context || !bitmap || context->kind != DcKind::Memory) return nullptr;
    if (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != dc) return nullptr;
    const HBITMAP previous = context->surfaceHandle;
    if (context->surface && !context->surface->stock) context->surface->selectedInto = nullptr;
    if (!bitmap->stock) bitmap->selectedInto = dc;
    context->surface = bitmap;
    context->surfaceHandle = static_cast<HBITMAP>(object);
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    switch (Handles().KindOf(object)) {
        case Kind::Bitmap: {
            const Bitmap* bitmap = FindBitmap(object);
            if (bitmap->stock || bitmap->selectedInto) return 0;
            return Handles().Remove<Bitmap>(object, Kind::Bitmap) ? 1 : 0;
        }
        case Kind::Region: return Handles().Remove<Region>(object, Kind::Region) ? 1 : 0;
        case Kind::Palette: return Handles().Remove<Palette>(object, Kind::Palette) ? 1 : 0;
        default: return 0;
    }
}

int GetObject(HGDIOBJ object, int size, void* out) {
    const Bitmap* bitmap = FindBitmap(object);
    if (!bitmap || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP description{0,
                       bitmap->width,
                       bitmap->height,
                       static_cast<int32_t>(bitmap->stride),
                       1,
                       static_cast<uint16_t>(bitmap->bpp),
                       bitmap->dibSection ? bitmap->pixels : nullptr};
    std::memcpy(out, &description, sizeof description);
    return sizeof description;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    DeviceContext* context = FindDc(dc);
    if (!context || !Handles().Find<Palette>(palette, Kind::Palette)) return nullptr;
    const HPALETTE previous = context->palette;
    context->palette = palette;
    return previous;
}

UINT RealizePalette(HDC dc) {
    const DeviceContext* context = FindDc(dc);
    if (!context) return 0xFFFFFFFF;
    const Palette* palette = Handles().Find<Palette>(context->palette, Kind::Palette);
    return palette ? static_cast<UINT>(palette->entries.size()) : 0;
}

// ---------------------------------------------------------------- pixels

COLORREF SetPixel(HDC dc, int32_t x, int32_t y, COLORREF color) {
    DeviceContext* context = FindDc(dc);
    if (!context || !IsDrawable(*context, x, y)) return CLR_INVALID;
    return context->surface->Set(x, y, color & 0x00FFFFFF);
}

COLORREF GetPixel(HDC dc, int32_t x, int32_t y) {
    const DeviceContext* context = FindDc(dc);
    if (!context || !IsDrawable(*context, x, y)) return CLR_INVALID;
    return context->surface->Get(x, y);
}

BOOL BitBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sourceX, int32_t sourceY,
            uint32_t rop) {
    DeviceContext* to = FindDc(dest);
    const DeviceContext* from = FindDc(source);
    if (!to || !from || rop != SRCCOPY || !to->surface || !from->surface || width < 0 || height < 0) return 0;
    for (const RECT& area : DrawableRects(*to)) {
        const RECT target = Intersect(area, RECT{x, y, x + width, y + height});
        for (int32_t ty = target.top; ty < target.bottom; ++ty)
            for (int32_t tx = target.left; tx < target.right; ++tx) {
                const int32_t sx = sourceX + (tx - x), sy = sourceY + (ty - y);
                if (from->surface->Contains(sx, sy)) to->surface->Set(tx, ty, from->surface->Get(sx, sy));
            }
    }
    return 1;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
    const Bitmap* source = FindBitmap(bitmap);
    if (!FindDc(dc) || !source || !info || usage != DIB_RGB_COLORS) return 0;
    if (!bits) {
        // Only the description is asked for.
        BITMAPINFOHEADER& h = info->bmiHeader;
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = source->width;
        h.biHeight = source->height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<uint16_t>(source->bpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<uint32_t>(StrideOf(source->width, source->bpp) * source->height);
        return source->height;
    }
    DibFormat format;
    if (!ReadFormat(info, format) || format.width != source->width || format.height != source->height) return 0;
    if (startScan >= static_cast<UINT>(format.height) || (!format.bottomUp && startScan != 0)) return 0;
    const UINT count = std::min<UINT>(lines, static_cast<UINT>(format.height) - startScan);
    std::vector<RGBQUAD> colors;
    if (format.bpp <= 8) {
        // The bitmap's own colours when it has as many, else the system's.
        colors = source->bpp == format.bpp ? source->palette : SystemPalette(format.bpp);
        std::copy(colors.begin(), colors.end(),
                  reinterpret_cast<RGBQUAD*>(reinterpret_cast<uint8_t*>(info) + info->bmiHeader.biSize));
    }
    // The block holds `count` lines from startScan; a bottom-up block counts
    // its lines from the bitmap's bottom row.
    for (UINT n = 0; n < count; ++n) {
        const int32_t line = static_cast<int32_t>(startScan + n);
        const int32_t row = format.bottomUp ? format.height - 1 - line : line;
        uint8_t* out = static_cast<uint8_t*>(bits) + static_cast<int64_t>(n) * format.stride;
        CopyRowInto(out, format.bpp, colors, *source, row);
    }
    return static_cast<int>(count);
}

int SetDIBitsToDevice(HDC dc, int32_t x, int32_t y, uint32_t width, uint32_t height, int32_t sourceX, int32_t sourceY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
    DeviceContext* context = FindDc(dc);
    DibFormat format;
    if (!context || !bits || usage != DIB_RGB_COLORS || !ReadFormat(info, format) || !context->surface) return 0;
    if (width > INT32_MAX || height > INT32_MAX || lines == 0) return 0;
    // A top-down block is taken whole, from its first line.
    if (!format.bottomUp && startScan != 0) return 0;
    const std::vector<RGBQUAD> colors = ColorsOf(info, format);
    const int64_t lastLine = std::min<int64_t>(int64_t{startScan} + lines, format.height);  // lines [startScan, last)
    const int64_t right = std::min<int64_t>(INT32_MAX, int64_t{x} + width);
    const int64_t bottom = std::min<int64_t>(INT32_MAX, int64_t{y} + height);
    for (const RECT& area : DrawableRects(*context)) {
        const RECT target = Intersect(area, RECT{x, y, static_cast<int32_t>(right), static_cast<int32_t>(bottom)});
        for (int32_t ty = target.top; ty < target.bottom; ++ty) {
            // The destination's bottom row shows source line sourceY, lines
            // counted from the bottom of the picture.
            const int64_t line = int64_t{sourceY} + (bottom - 1 - ty);
            if (line < startScan || line >= lastLine) continue;
            const int64_t stored = format.bottomUp ? line - startScan : format.height - 1 - line;
            const uint8_t* row = static_cast<const uint8_t*>(bits) + stored * format.stride;
            for (int32_t tx = target.left; tx < target.right; ++tx) {
                const int64_t sx = int64_t{sourceX} + (tx - x);
                if (sx >= 0 && sx < format.width)
                    context->surface->Set(tx, ty, ReadPixel(row, static_cast<int32_t>(sx), format.bpp, colors));
            }
        }
    }
    return static_cast<int>(lines);
}

int SetStretchBltMode(HDC dc, int mode) {
    DeviceContext* context = FindDc(dc);
    if (!context || mode < 1 || mode > 4) return 0;
    const int previous = context->stretchMode;
    context->stretchMode = mode;
    return previous;
}

// ---------------------------------------------------------------- clipping

int GetClipBox(HDC dc, RECT* box) {
    const DeviceContext* context = FindDc(dc);
    if (!context || !box) return ERROR_REGION;
    const std::vector<RECT> rects = DrawableRects(*context);
    if (rects.empty()) {
        *box = RECT{0, 0, 0, 0};
        return NULLREGION;
    }
    RECT bounds = rects.front();
    for (const RECT& r : rects) {
        bounds.left = std::min(bounds.left, r.left);
        bounds.top = std::min(bounds.top, r.top);
        bounds.right = std::max(bounds.right, r.right);
        bounds.bottom = std::max(bounds.bottom, r.bottom);
    }
    *box = bounds;
    return RegionType(rects);
}

int ExtSelectClipRgn(HDC dc, HRGN region, int mode) {
    DeviceContext* context = FindDc(dc);
    if (!context) return ERROR_REGION;
    const Region* given = FindRegion(region);
    if (mode == RGN_COPY && !region) {
        context->clipped = false;
        context->clip.rects.clear();
        return RegionType(DrawableRects(*context));
    }
    if (!given || (mode != RGN_AND && mode != RGN_OR && mode != RGN_COPY)) return ERROR_REGION;
    const std::vector<RECT> current = DrawableRects(*context);
    std::vector<RECT> result;
    if (mode == RGN_COPY) {
        result = given->rects;
    } else if (mode == RGN_OR) {
        result = current;
        result.insert(result.end(), given->rects.begin(), given->rects.end());
    } else {
        for (const RECT& a : current)
            for (const RECT& b : given->rects)
                if (const RECT both = Intersect(a, b); !IsEmpty(both)) result.push_back(both);
    }
    context->clipped = true;
    context->clip.rects = std::move(result);
    return RegionType(DrawableRects(*context));
}

int SelectClipRgn(HDC dc, HRGN region) { return ExtSelectClipRgn(dc, region, RGN_COPY); }

// ---------------------------------------------------------------- the virtual screen

bool SetScreenDepth(int bitsPerPixel) {
    if (!IsSupportedDepth(bitsPerPixel)) return false;
    gScreenDepth.store(bitsPerPixel);
    return true;
}

int GetScreenDepth() { return gScreenDepth.load(); }

int CountGdiObjects() {
    StockBitmap();
    return Handles().Live() - 1;  // without the stock bitmap
}

}  // namespace glyphrun
