# The codecs for WebAssembly (included by CMakeLists.txt when EMSCRIPTEN).
# libdeflate is compiled from Debian's source package of the version the
# native build links (scripts/build-wasm.sh fetches it into
# GLYPHRUN_LIBDEFLATE_SOURCE), so that PNG and PDF come out byte for byte
# as the CLI writes them; only its compressor, zlib wrapper and checksums.
set(GLYPHRUN_LIBDEFLATE_SOURCE "" CACHE PATH "Unpacked libdeflate source (scripts/build-wasm.sh fetches it)")
if(NOT EXISTS "${GLYPHRUN_LIBDEFLATE_SOURCE}/libdeflate.h")
  message(FATAL_ERROR "GLYPHRUN_LIBDEFLATE_SOURCE does not hold libdeflate's source: build with scripts/build-wasm.sh "
                      "(make js), which fetches it")
endif()
enable_language(C)
add_library(glyphrun_libdeflate STATIC)
foreach(part deflate_compress zlib_compress adler32 crc32 utils)
  target_sources(glyphrun_libdeflate PRIVATE "${GLYPHRUN_LIBDEFLATE_SOURCE}/lib/${part}.c")
endforeach()
target_include_directories(glyphrun_libdeflate PUBLIC "${GLYPHRUN_LIBDEFLATE_SOURCE}")
target_compile_options(glyphrun_libdeflate PRIVATE -w)  # not our code

add_library(glyphrun_codecs ${codec_sources} raster_text_none.cpp)
target_include_directories(glyphrun_codecs PUBLIC
  $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>)
target_link_libraries(glyphrun_codecs PUBLIC glyphrun_image PRIVATE glyphrun_libdeflate)
