// The BMP, GIF and PNG writers, registered for GrImage's Save and Encode.
#include <memory>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

template <typename Codec>
constexpr ImageWriter WriterOf() {
    return {[]() -> std::unique_ptr<GrImage> { return std::make_unique<Codec>(); },
            [](GrImage& codec, GrFile* file) { return static_cast<Codec&>(codec).Encode(file); }};
}

bool RegisterWriters() {
    RegisterImageWriter(TypeBmp, WriterOf<GrBmpCodec>());
    RegisterImageWriter(TypeGif, WriterOf<GrImageGIF>());
    RegisterImageWriter(TypePng, WriterOf<GrPngCodec>());
    return true;
}

}  // namespace
}  // namespace glyphrun

// The link options of glyphrun_codecs name this symbol as undefined, so that
// every program that links the library takes this file, and with it the
// writers, even when nothing else of it is called.
extern "C" {
extern const bool glyphrun_codecs_writers;
const bool glyphrun_codecs_writers = glyphrun::RegisterWriters();
}
