# Installs the build into a fresh prefix, builds the example against the
# installed package and runs it, as someone using the library would.
# Variables: BUILD_DIR SOURCE_DIR WORK CXX EXTRA_FLAGS
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}):\n${out}\n${err}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file bin/glyphrun-cli include/glyphrun/ecc200.h include/glyphrun/ecc200_stages.h
             share/man/man1/glyphrun-cli.1 lib/cmake/Glyphrun/GlyphrunConfig.cmake)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "${file} was not installed")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/encode_label -B ${WORK}/example -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK}/example)
run(${WORK}/example/encode_label 123456)
# 10 x 10 modules and a one-module quiet zone: 12 rows of 12 module pairs;
# the left finder edge is dark from the first symbol row to the last.
string(REGEX MATCHALL "[^\n]*\n" lines "${output}")
list(LENGTH lines count)
list(GET lines 0 size)
list(GET lines 2 first)
list(GET lines 11 last)
if(NOT size STREQUAL "10x10\n" OR NOT count EQUAL 13 OR NOT first MATCHES "^  ##" OR NOT last MATCHES "^  ######")
  message(FATAL_ERROR "unexpected symbol from the example:\n${output}")
endif()
run(${prefix}/bin/glyphrun-cli --codewords 123456)
if(NOT output STREQUAL "142 164 186\n10x10\n")
  message(FATAL_ERROR "the installed glyphrun-cli printed:\n${output}")
endif()
file(REMOVE_RECURSE ${WORK})
