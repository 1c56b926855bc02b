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

Status Verify(std::span<const Symbol> symbols, ByteSpan input, const Options& options) {
    const Reader& reader = LoadedReader();
    if (!reader.read) return Failure(reader.why);
    // What the input was made into, under the ECI --eci auto chose.
    InputRule rule = InputRuleOf(options);
    if (options.eciAuto && symbols.front().meaning().eciGiven) rule.eci = symbols.front().meaning().eci;
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
    // The symbols of a message are read one by one and their bytes joined;
    // an ECI is in each, FNC1 for GS1 in the first alone.
    std::string read;
    auto reading = std::make_unique<GlyphrunReading>();
    for (size_t i = 0; i < symbols.size(); ++i) {
        const Result<GreyPicture> picture = PictureToRead(symbols[i], options.format, StyleOf(options));
        if (!picture) return Failure(picture.reason());
        const std::string which = symbols.size() > 1 ? " of symbol " + std::to_string(i + 1) : "";
        if (!reader.read(picture->pixels.data(), picture->width, picture->height, reading.get()))
            return Failure("verification failed: the reader found no symbol in the picture" + which +
                           "; nothing was written");
        const std::string_view part(reinterpret_cast<const char*>(reading->bytes), reading->length);
        read += part;
        const bool gs1 = meaning.gs1 && i == 0;
        if (reading->hasEci != meaning.eciGiven || reading->gs1 != gs1 || reading->readerInit != options.readerInit)
            return Failure("verification failed: the reader read " + Shown(part) + " (" +
                           Meaning(reading->hasEci, reading->gs1) + ")" + which + " where " +
                           Meaning(meaning.eciGiven, gs1) + " was meant; nothing was written");
    }
    if (read != bytes)
        return Failure("verification failed: the reader read " + Shown(read) + " where " + Shown(bytes) +
                       " was meant; nothing was written");
    return {};
}

}  // namespace glyphrun::cli
