# dmmbench: the two commands that do everything on a fresh Debian machine.
#   make run   builds and starts dmmbench on the simulated bench
#   make test  installs what is missing, builds with sanitizers and runs every test

JOBS      ?= $(shell nproc)
RUN_DIR   := build/run
TEST_DIR  := build/asan
FUZZ_DIR  := build/fuzz
TSAN_DIR  := build/tsan
REL_DIR   := build/release
BENCH_DIR := $(RUN_DIR)/bench-dir

.PHONY: all deps deps-run run test build-run build-test build-release package tsan fuzz bench screenshots clean

all: build-run

deps:
	./scripts/install-deps.sh test

deps-run:
	./scripts/install-deps.sh run

build-run: deps-run
	cmake -S . -B $(RUN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDMM_BUILD_TESTS=OFF -DDMM_BUILD_BENCH=OFF
	cmake --build $(RUN_DIR) -j $(JOBS)

run: build-run
	./scripts/run-sim.sh $(RUN_DIR) $(BENCH_DIR)

build-test: deps
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Debug -DDMM_SANITIZE=ON -DDMM_BUILD_BENCH=OFF -DDMM_PYTHON=ON
	cmake --build $(TEST_DIR) -j $(JOBS)

test: build-test fuzz
	./scripts/check-portability.sh
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)
	./scripts/run-fuzzers.sh $(FUZZ_DIR)

# The optimised build of everything, tests and benchmarks included: every build type a
# user or packager picks must build.
build-release: deps
	cmake -S . -B $(REL_DIR) -DCMAKE_BUILD_TYPE=Release -DDMM_BUILD_BENCH=ON -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(REL_DIR) -j $(JOBS)

# The Debian packages of the release build (the programs, and the Python module where it is
# built), checked by lintian and unpacked for a run.
package: build-release
	cd $(REL_DIR) && cpack -G DEB
	./scripts/check-package.sh $(REL_DIR)

# The core, simulator and CLI tests under ThreadSanitizer. Left out: the GUI tests, because
# Debian's Qt is not built with ThreadSanitizer and every queued handoff between the bench
# and GUI threads synchronises inside Qt where the sanitizer cannot see it; and the device
# backend tests, whose umockdev/GLib threads are not instrumented either.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DDMM_TSAN=ON -DDMM_BUILD_BENCH=OFF -DDMM_BUILD_GUI=OFF
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j $(JOBS) -LE platform

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=Debug -DDMM_FUZZ=ON -DDMM_BUILD_TESTS=OFF -DDMM_BUILD_BENCH=OFF -DDMM_BUILD_GUI=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)

bench: deps build-run
	cmake -S . -B $(RUN_DIR) -DDMM_BUILD_BENCH=ON
	cmake --build $(RUN_DIR) -j $(JOBS)
	./scripts/run-benchmarks.sh $(RUN_DIR)

clean:
	rm -rf build
