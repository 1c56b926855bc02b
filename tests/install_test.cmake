# Installs the build into a fresh prefix, builds the example against the
# installed package and runs it, as someone using the library would; then
# configures a project that takes the source tree in with add_subdirectory.
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
foreach(file bin/glyphrun-cli include/glyphrun/ecc200.h include/glyphrun/ecc200_stages.h include/glyphrun/status.h
             share/man/man1/glyphrun-cli.1 lib/cmake/Glyphrun/GlyphrunConfig.cmake)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "${file} was not installed")
  endif()
endforeach()
# The example asks for C++20 itself; a program that does not still needs it
# for the headers, so the exported target must carry it.
file(READ ${prefix}/lib/cmake/Glyphrun/GlyphrunTargets.cmake targets)
if(NOT targets MATCHES "INTERFACE_COMPILE_FEATURES \"cxx_std_20\"")
  message(FATAL_ERROR "the installed Glyphrun::ecc200 does not require C++20 of its users")
endif()

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

# Inside another project only the libraries and the CLI are built unless
# asked for: the tests, benchmarks, window and Python extension need packages that project
# may not have. Configuring is enough to see which targets exist.
file(WRITE ${WORK}/outer/CMakeLists.txt "
cmake_minimum_required(VERSION 3.25)
project(Outer LANGUAGES CXX)
add_subdirectory(${SOURCE_DIR} glyphrun)
foreach(target symbol_size_test glyphrun-bench glyphrun glyphrun_python)
  if(TARGET \${target})
    message(FATAL_ERROR \"\${target} is built inside another project\")
  endif()
endforeach()
get_target_property(features Glyphrun::ecc200 INTERFACE_COMPILE_FEATURES)
if(NOT cxx_std_20 IN_LIST features OR NOT TARGET glyphrun-cli)
  message(FATAL_ERROR \"Glyphrun::ecc200 features: \${features}\")
endif()
")
run(${CMAKE_COMMAND} -S ${WORK}/outer -B ${WORK}/outer/build -DCMAKE_CXX_COMPILER=${CXX})
file(REMOVE_RECURSE ${WORK})
