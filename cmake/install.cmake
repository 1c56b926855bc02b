# cmake --install: the two programs, the libraries with their public
# headers, a package configuration for find_package(Glyphrun), a
# pkg-config file, and the manual.
#
# Glyphrun::glyphrun is the whole road (encode, draw, write); the layers
# are targets of their own for a program that wants one: Glyphrun::ecc200
# (the encoder and its records), Glyphrun::image and Glyphrun::codecs (the
# image library and its writers), Glyphrun::text (typed text and names).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(GLYPHRUN_LAYERS base platform ecc200 image codecs frontend text)
foreach(layer ${GLYPHRUN_LAYERS})
  set_target_properties(glyphrun_${layer} PROPERTIES EXPORT_NAME ${layer})
  if(NOT layer STREQUAL "base")
    set_target_properties(glyphrun_${layer} PROPERTIES OUTPUT_NAME glyphrun-${layer})
    # An installed archive must link in programs built without link-time
    # optimisation too, so it carries machine code beside the LTO data.
    if(CMAKE_INTERPROCEDURAL_OPTIMIZATION AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(glyphrun_${layer} PRIVATE -ffat-lto-objects)
    endif()
  endif()
endforeach()

add_library(glyphrun_library INTERFACE)
target_link_libraries(glyphrun_library INTERFACE glyphrun_frontend glyphrun_text)
set_target_properties(glyphrun_library PROPERTIES EXPORT_NAME glyphrun)
add_library(Glyphrun::glyphrun ALIAS glyphrun_library)

install(TARGETS glyphrun-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET glyphrun-reader)
  install(TARGETS glyphrun-reader LIBRARY DESTINATION lib/glyphrun)  # where the program looks, beside bin
endif()
if(TARGET glyphrun)
  install(TARGETS glyphrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
list(TRANSFORM GLYPHRUN_LAYERS PREPEND glyphrun_ OUTPUT_VARIABLE layer_targets)
install(TARGETS ${layer_targets} glyphrun_library EXPORT GlyphrunTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(layer ${GLYPHRUN_LAYERS})
  install(DIRECTORY ${layer}/include/glyphrun DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/ecc200/include/glyphrun/version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/glyphrun)
install(FILES man/glyphrun-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(GLYPHRUN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Glyphrun)
install(EXPORT GlyphrunTargets NAMESPACE Glyphrun:: DESTINATION ${GLYPHRUN_CMAKE_DIR})
configure_package_config_file(cmake/GlyphrunConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfig.cmake
  INSTALL_DESTINATION ${GLYPHRUN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/GlyphrunConfigVersion.cmake
  DESTINATION ${GLYPHRUN_CMAKE_DIR})

# pkg-config: the libraries from the top of the road down; a static link
# also needs what they link privately.
# The prefix is found from the file's own place, so that an installed tree
# may be moved (or installed with --prefix) and still be right.
file(RELATIVE_PATH GLYPHRUN_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/glyphrun.pc.in ${CMAKE_CURRENT_BINARY_DIR}/glyphrun.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/glyphrun.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
