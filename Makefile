# make run    installs what is missing, builds the two programs, runs one
# make test   installs what is missing, builds everything, runs every test
# make bench  builds and runs the benchmarks
# SANITIZE=1  builds with AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan/)
# make js     the JavaScript package, its npm pack tarball in build-wasm/
# make web    the web page in build-wasm/web/, served on http://127.0.0.1:8000
#
# The settings are CMakePresets.json's "release" and "asan" presets, so
# make and cmake --preset build the same thing in the same folder, with Ninja.

# Quiet: no "Entering directory" lines, and Ninja's one status line on a
# terminal (elsewhere, such as a log, only what the compiler says).
MAKEFLAGS += --no-print-directory
QUIET_NINJA = $$([ -t 1 ] || echo -- --quiet)

SANITIZE ?= 0
JOBS ?= $(shell nproc)
export JOBS  # for scripts/build-wasm.sh, under make js and make test
ifeq ($(SANITIZE),1)
  PRESET = asan
  BUILD_DIR ?= build-asan
else
  PRESET = release
  BUILD_DIR ?= build
endif

SAMPLE_TEXT ?= Glyphrun 2026-12-07 ABC-123456
SAMPLE_OUT ?= $(BUILD_DIR)/sample.png

.PHONY: all deps configure build test run bench fuzz clean js web

all: build

deps:
	@sh scripts/install-deps.sh

# A folder configured before the presets chose Ninja is configured again.
configure: deps
	@if [ -f $(BUILD_DIR)/CMakeCache.txt ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$$' $(BUILD_DIR)/CMakeCache.txt; then \
		echo "$(BUILD_DIR) was configured for another generator: configuring it again for Ninja"; \
		rm -rf $(BUILD_DIR)/CMakeCache.txt $(BUILD_DIR)/CMakeFiles; \
	fi
	@cmake --preset $(PRESET) -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) $(QUIET_NINJA)

# The JavaScript package's and the page's tests too, once: not again under
# the sanitizers, which do not reach WebAssembly.
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@[ "$(SANITIZE)" = 1 ] || sh scripts/test-js.sh $(BUILD_DIR)

js:
	@sh scripts/build-wasm.sh

web: js
	@node web/serve.mjs build-wasm/web 8000

# Only the window and the CLI (the CLI alone without Qt): the tests and
# benchmarks take most of a full build. The window where there is a
# display; otherwise the sample text as a PNG.
run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target glyphrun-programs $(QUIET_NINJA)
	@if [ ! -x $(BUILD_DIR)/bin/glyphrun ]; then \
		echo "The window is not built (no Qt 6, or GLYPHRUN_BUILD_APP=OFF). Encoding the sample text with glyphrun-cli instead."; \
	elif [ -z "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
		echo "No display: the window cannot open. Encoding the sample text with glyphrun-cli instead."; \
	else \
		exec $(BUILD_DIR)/bin/glyphrun; \
	fi; \
	$(BUILD_DIR)/bin/glyphrun-cli -o $(SAMPLE_OUT) "$(SAMPLE_TEXT)" && \
	echo "The symbol for \"$(SAMPLE_TEXT)\" was written to $(SAMPLE_OUT)"

bench: build
	$(BUILD_DIR)/bin/glyphrun-bench

# libFuzzer programs (clang, ASan + UBSan) in build-fuzz/bin; run one with
# its corpus, e.g.  build-fuzz/bin/fuzz_encoder fuzz/corpus/fuzz_encoder -max_total_time=600
fuzz:
	@sh scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DGLYPHRUN_FUZZ=ON -DGLYPHRUN_SANITIZE=ON \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLYPHRUN_BUILD_BENCH=OFF -DGLYPHRUN_BUILD_APP=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_encoder fuzz_writers fuzz_memfile fuzz_query

clean:
	rm -rf build build-dev build-asan build-fuzz build-wasm
