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

bool Register() {
    RegisterImageWriter(TypeBmp, WriterOf<GrBmpCodec>());
    RegisterImageWriter(TypeGif, WriterOf<GrImageGIF>());
#ifndef __EMSCRIPTEN__  // WebAssembly has no libpng: its PNG is the compact writer's alone
    RegisterImageWriter(TypePng, WriterOf<GrPngCodec>());
#endif
    return true;
}

}  // namespace

void RegisterImageWriters() {
    // Once, on the first call from any thread; later calls find it done.
    [[maybe_unused]] static const bool registered = Register();
}

}  // namespace glyphrun
