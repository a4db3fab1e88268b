# make run   sets up, builds and starts TevloraT
# make test  sets up, builds and runs every test
# make test-sanitize, make test-clang, make fuzz: the further checks of CI
# make test-arm64  builds the model and its tests for 64-bit ARM, runs them under qemu
BUILD := build
JOBS := $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS := 60
# Rebuilds reuse earlier compilations where ccache is installed.
LAUNCHER := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache,)
# Folders of downloaded tables whose starts seed the table reader's fuzzing.
TABLE_SEEDS :=

# Any sanitizer report ends the test program; the toolkit's own leaks are
# suppressed (see the file).
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/sanitizers/lsan.supp:print_suppressions=0

.PHONY: setup build run test bench clean test-sanitize test-clang fuzz test-arm64

setup:
	@tools/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(LAUNCHER)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/start.sh $(BUILD)/TevloraT

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: setup
	cmake -S . -B $(BUILD)-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEVLORA_SANITIZE=ON $(LAUNCHER)
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

test-clang: setup
	cmake -S . -B $(BUILD)-clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ $(LAUNCHER)
	cmake --build $(BUILD)-clang -j $(JOBS)
	cd $(BUILD)-clang && ctest --output-on-failure -j $(JOBS)

fuzz: setup
	cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTEVLORA_FUZZ=ON $(LAUNCHER)
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzz_input fuzz_parameters fuzz_results fuzz_trend fuzz_table
	$(SANITIZER_ENV) tools/fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS) $(TABLE_SEEDS)

test-arm64:
	@tools/test-arm64.sh $(BUILD)-arm64 $(JOBS)

bench: build
	$(BUILD)/tevlora-bench

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-clang $(BUILD)-fuzz $(BUILD)-arm64
