# The Python package as a user gets it: a virtual environment in the build
# folder (made once, seeing the system's NumPy, Pillow, pytest, Dask and
# zxing-cpp), the package installed into it by pip from python/, and pytest.
# pip takes the extension from this build folder (GLYPHRUN_BUILD_DIR), so
# it is not compiled a second time.
# Variables: PYTHON BUILD_DIR SOURCE_DIR CLI, and PRELOAD: the sanitizer
# runtimes for an instrumented extension, which must be loaded before the
# interpreter, since the interpreter itself is not instrumented.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status})")
  endif()
endfunction()

set(venv ${BUILD_DIR}/python-venv)
if(NOT EXISTS ${venv}/bin/python)
  run(${PYTHON} -m venv --system-site-packages ${venv})
endif()
run(${CMAKE_COMMAND} -E env GLYPHRUN_BUILD_DIR=${BUILD_DIR} PIP_DISABLE_PIP_VERSION_CHECK=1
    ${venv}/bin/python -m pip install --quiet --no-index --no-deps --force-reinstall ${SOURCE_DIR}/python)
# Under the sanitizers the leak checker is off: CPython keeps its objects
# until the process ends, so it would report them all. The test of memory
# over 100,000 calls watches for the extension's leaks in the plain build.
set(sanitized "")
if(PRELOAD)
  set(sanitized GLYPHRUN_SANITIZED=1 "LD_PRELOAD=${PRELOAD}" ASAN_OPTIONS=detect_leaks=0)
endif()
run(${CMAKE_COMMAND} -E env GLYPHRUN_CLI=${CLI} PYTHONDONTWRITEBYTECODE=1 ${sanitized}
    ${venv}/bin/python -m pytest -p no:cacheprovider -q ${SOURCE_DIR}/python/tests)
