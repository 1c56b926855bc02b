# Installs the build (static or shared, as it was built) into a fresh
# prefix, builds the example against the installed package with CMake and
# with pkg-config, runs both, and reads the files they write back through
# the independent reader, as someone using the library would; then
# configures a project that takes the source tree in with add_subdirectory.
# Variables: BUILD_DIR SOURCE_DIR WORK CXX EXTRA_FLAGS SHARED
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
foreach(file bin/glyphrun-cli include/glyphrun/glyphrun.h include/glyphrun/write.h include/glyphrun/version.h
             include/glyphrun/ecc200.h include/glyphrun/gr_image.h share/man/man1/glyphrun-cli.1
             lib/cmake/Glyphrun/GlyphrunConfig.cmake lib/pkgconfig/glyphrun.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "${file} was not installed")
  endif()
endforeach()
if(EXISTS ${prefix}/include/glyphrun/ecc200_stages.h)
  message(FATAL_ERROR "the encoder's internal stages were installed")
endif()
# The example asks for C++20 itself; a program that does not still needs it
# for the headers, so the exported target must carry it.
file(READ ${prefix}/lib/cmake/Glyphrun/GlyphrunTargets.cmake targets)
if(NOT targets MATCHES "INTERFACE_COMPILE_FEATURES \"cxx_std_20\"")
  message(FATAL_ERROR "the installed Glyphrun::ecc200 does not require C++20 of its users")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/encode_label -B ${WORK}/example -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK}/example)
run(${WORK}/example/encode_label 123456 ${WORK}/label)
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
# The files the example wrote, through the independent reader: SVG and EPS
# rasterised first.
run(rsvg-convert -o ${WORK}/label-svg.png ${WORK}/label.svg)
run(gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=pnggray -r288 -sOutputFile=${WORK}/label-eps.png ${WORK}/label.eps)
foreach(file label.png label.pgm label-svg.png label-eps.png)
  run(/usr/bin/python3 -c "import sys, zxingcpp; from PIL import Image
r = zxingcpp.read_barcodes(Image.open(sys.argv[1]).convert('L'), formats=zxingcpp.DataMatrix)
sys.exit(0 if [x.text for x in r] == ['123456'] else 'read: ' + repr([x.text for x in r]))" ${WORK}/${file})
endforeach()

# The same program built with pkg-config alone, static or shared.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
set(pkg_static --static)
if(SHARED)
  set(pkg_static)
endif()
execute_process(COMMAND pkg-config --cflags --libs ${pkg_static} glyphrun OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run(${CXX} -std=c++20 ${extra} ${SOURCE_DIR}/examples/encode_label/main.cpp ${flags} -Wl,-rpath,${prefix}/lib
    -o ${WORK}/encode_label_pc)
run(${WORK}/encode_label_pc 123456 ${WORK}/pc)
run(${CMAKE_COMMAND} -E compare_files ${WORK}/pc.png ${WORK}/label.png)

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
foreach(target ecc200_test glyphrun-bench glyphrun glyphrun_python)
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
