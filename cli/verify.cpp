#include "verify.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "glyphrun/frontend.h"
#include "glyphrun/text_input.h"
#include "reader_module.h"

namespace glyphrun::cli {
namespace {

// The reader module's place: beside the program's folder, as the build and
// an installation both lay it out.
std::string ModulePath() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? std::string(self, static_cast<size_t>(length)) : "";
    folder = folder.substr(0, folder.rfind('/') + 1);
    return folder + "../lib/glyphrun/glyphrun-reader.so";
}

struct Reader {
    GlyphrunReadDataMatrix read = nullptr;
    std::string why;  // when there is none
};

// Loaded once, on the first --verify, and kept for the process.
const Reader& LoadedReader() {
    static Reader reader;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string path = ModulePath();
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module)
            reader.read = reinterpret_cast<GlyphrunReadDataMatrix>(::dlsym(module, "glyphrun_read_data_matrix"));
        if (!reader.read)
            reader.why = "--verify needs the reader module, built with zxing-cpp (Debian package libzxing-dev), at " +
                         path + ": " + (module ? "it has no reader" : ::dlerror());
    });
    return reader;
}

// The picture the reader is shown: the raster file's own pixels, or a
// vector file's module grid at --module pixels, without the text under it.
Result<std::vector<uint8_t>> GreyPicture(const Symbol& symbol, const Options& options, int& width, int& height) {
    Style style = StyleOf(options);
    if (IsVector(options.format)) {
        style.xdimMillimetres.reset();
        style.wholeDots = false;
    }
    style.text.clear();
    GrImage image;
    if (Status drawn = RenderSymbol(symbol, style, image); !drawn) return drawn;
    width = static_cast<int>(image.GetWidth());
    height = static_cast<int>(image.GetHeight());
    uint8_t grey[2];
    for (uint8_t index : {0, 1}) {
        const RGBQUAD colour = image.GetPaletteColor(index);
        const bool paper = image.GetTransIndex() == index;  // a transparent background is the paper's white
        grey[index] =
            paper ? 255
                  : static_cast<uint8_t>((colour.rgbRed * 299 + colour.rgbGreen * 587 + colour.rgbBlue * 114) / 1000);
    }
    // Light modules on a dark ground (reflectance reversed), which scanners
    // read by turning the picture over: so does the reader here.
    if (grey[0] < grey[1]) grey[0] = 255 - grey[0], grey[1] = 255 - grey[1];
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = image.GetBits(static_cast<uint32_t>(height - 1 - y));
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                grey[row[x >> 3] >> (7 - (x & 7)) & 1];
    }
    return pixels;
}

std::string Shown(std::string_view bytes) {
    constexpr size_t kShown = 60;
    const std::string text = HumanReadable(bytes);
    return "'" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "'";
}

std::string Meaning(bool eci, bool gs1) { return std::string(eci ? "ECI" : "no ECI") + (gs1 ? ", GS1" : ""); }

}  // namespace

Status VerifierReady() {
    const Reader& reader = LoadedReader();
    return reader.read ? Status{} : Status::Failed(CliError::Usage, reader.why);
}

Status Verify(const Symbol& symbol, ByteSpan input, const Options& options) {
    const Reader& reader = LoadedReader();
    if (!reader.read) return Failure(reader.why);
    // What the input was made into, under the ECI --eci auto chose.
    InputRule rule = InputRuleOf(options);
    if (options.eciAuto && symbol.meaning().eciGiven) rule.eci = symbol.meaning().eci;
    std::string bytes;
    DataMeaning meaning;
    if (options.segments.empty()) {
        if (Status prepared =
                PrepareInput({reinterpret_cast<const char*>(input.data()), input.size()}, rule, bytes, meaning);
            !prepared)
            return Failure(prepared.reason());
    } else {  // each segment in its own set, one after the other
        std::vector<std::string> segments;
        if (Status converted = SegmentBytes(options, segments); !converted) return converted;
        for (const std::string& segment : segments) bytes += segment;
        meaning.eciGiven = true;
    }
    int width = 0, height = 0;
    const Result<std::vector<uint8_t>> picture = GreyPicture(symbol, options, width, height);
    if (!picture) return Failure(picture.reason());
    auto reading = std::make_unique<GlyphrunReading>();
    if (!reader.read(picture->data(), width, height, reading.get()))
        return Failure("verification failed: the reader found no symbol in the picture; nothing was written");
    const std::string_view read(reinterpret_cast<const char*>(reading->bytes), reading->length);
    if (read != bytes || reading->hasEci != meaning.eciGiven || reading->gs1 != meaning.gs1 ||
        reading->readerInit != options.readerInit)
        return Failure("verification failed: the reader read " + Shown(read) + " (" +
                       Meaning(reading->hasEci, reading->gs1) + ") where " + Shown(bytes) + " (" +
                       Meaning(meaning.eciGiven, meaning.gs1) + ") was meant; nothing was written");
    return {};
}

}  // namespace glyphrun::cli
