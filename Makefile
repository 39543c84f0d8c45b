# dmmbench: the two commands that do everything on a fresh Debian machine.
#   make run   builds and starts dmmbench on the simulated bench
#   make test  installs what is missing, builds with sanitizers and runs every test

JOBS      ?= $(shell nproc)
RUN_DIR   := build/run
TEST_DIR  := build/asan
FUZZ_DIR  := build/fuzz
TSAN_DIR  := build/tsan
BENCH_DIR := $(RUN_DIR)/bench-dir

.PHONY: all deps run test build-run build-test tsan fuzz bench screenshots clean

all: build-run

deps:
	./scripts/install-deps.sh

build-run: deps
	cmake -S . -B $(RUN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDMM_BUILD_TESTS=OFF
	cmake --build $(RUN_DIR) -j $(JOBS)

run: build-run
	./scripts/run-sim.sh $(RUN_DIR) $(BENCH_DIR)

build-test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DDMM_SANITIZE=ON -DDMM_BUILD_BENCH=OFF
	cmake --build $(TEST_DIR) -j $(JOBS)

test: build-test fuzz
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)
	./scripts/run-fuzzers.sh $(FUZZ_DIR)

# The core, CLI and GUI tests under ThreadSanitizer.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DDMM_TSAN=ON -DDMM_BUILD_BENCH=OFF
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" ctest --output-on-failure -j $(JOBS)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=Debug -DDMM_FUZZ=ON -DDMM_BUILD_TESTS=OFF -DDMM_BUILD_BENCH=OFF -DDMM_BUILD_GUI=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)

bench: build-run
	cmake -S . -B $(RUN_DIR) -DDMM_BUILD_BENCH=ON
	cmake --build $(RUN_DIR) -j $(JOBS)
	./scripts/run-benchmarks.sh $(RUN_DIR)

clean:
	rm -rf build
