# cmake --install: the two programs, the encoder library with its headers
# (and the header-only base that they include), a package configuration
# for find_package(Glyphrun), and the manual.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(glyphrun_ecc200 PROPERTIES EXPORT_NAME ecc200 OUTPUT_NAME glyphrun-ecc200)
set_target_properties(glyphrun_base PROPERTIES EXPORT_NAME base)
# An installed archive must link in programs built without link-time
# optimisation too, so it carries machine code beside the LTO data.
if(CMAKE_INTERPROCEDURAL_OPTIMIZATION AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(glyphrun_ecc200 PRIVATE -ffat-lto-objects)
endif()

install(TARGETS glyphrun-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET glyphrun)
  install(TARGETS glyphrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS glyphrun_ecc200 glyphrun_base EXPORT GlyphrunTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Built as shared libraries, the programs need the other layers beside them.
if(BUILD_SHARED_LIBS)
  install(TARGETS glyphrun_platform glyphrun_image glyphrun_codecs glyphrun_frontend glyphrun_text
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(DIRECTORY ecc200/include/glyphrun base/include/glyphrun DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES man/glyphrun-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(GLYPHRUN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Glyphrun)
install(EXPORT GlyphrunTargets NAMESPACE Glyphrun:: DESTINATION ${GLYPHRUN_CMAKE_DIR})
configure_package_config_file(cmake/GlyphrunConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfig.cmake
  INSTALL_DESTINATION ${GLYPHRUN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfigVersion.cmake
  DESTINATION ${GLYPHRUN_CMAKE_DIR})
