# make run    installs what is missing, builds, runs the program
# make test   installs what is missing, builds, runs every test
# make bench  builds and runs the benchmarks
# SANITIZE=1  builds with AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan/)

SANITIZE ?= 0
JOBS ?= $(shell nproc)
ifeq ($(SANITIZE),1)
  BUILD_DIR ?= build-asan
  CMAKE_FLAGS += -DGLYPHRUN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DGLYPHRUN_BUILD_BENCH=OFF
else
  BUILD_DIR ?= build
endif

SAMPLE_TEXT ?= Glyphrun 2026-12-07 ABC-123456
SAMPLE_OUT ?= $(BUILD_DIR)/sample.png

.PHONY: all deps build test run bench fuzz clean

all: build

deps:
	@sh scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The window where there is a display; otherwise the sample text as a PNG.
run: build
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
		$(BUILD_DIR)/bin/glyphrun; \
	else \
		echo "No display: the window cannot open. Encoding the sample text with glyphrun-cli instead."; \
		$(BUILD_DIR)/bin/glyphrun-cli -o $(SAMPLE_OUT) "$(SAMPLE_TEXT)" && \
		echo "The symbol for \"$(SAMPLE_TEXT)\" was written to $(SAMPLE_OUT)"; \
	fi

bench: build
	$(BUILD_DIR)/bin/glyphrun-bench

# libFuzzer programs (clang, ASan + UBSan) in build-fuzz/bin; run one with
# its corpus, e.g.  build-fuzz/bin/fuzz_encoder fuzz/corpus/fuzz_encoder -max_total_time=600
fuzz:
	@sh scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DGLYPHRUN_FUZZ=ON -DGLYPHRUN_SANITIZE=ON \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLYPHRUN_BUILD_BENCH=OFF -DGLYPHRUN_BUILD_APP=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_encoder fuzz_writers fuzz_memfile

clean:
	rm -rf build build-asan build-fuzz
