# The two commands of the README: `make run` and `make test`.
# Both install what is missing, configure and build first.

BUILD ?= build
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Building and running need less than the tests: the tests' packages and
# targets come only with the targets that run them.
TESTING ?= OFF
DEPS ?=
test bench bench-idle: TESTING = ON
test bench bench-idle: DEPS = --test

.PHONY: all deps configure build sanitize-build fuzz-build run run-runner test package bench bench-idle clean

all: build

deps:
	@./scripts/install-deps $(DEPS)

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DBUILD_TESTING=$(TESTING) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer,
# built by clang: the same sanitizers as g++'s, in two thirds of the
# compile, and a second compiler's view of the code.
sanitize-build: deps
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_CXX_COMPILER=clang++ \
		-DPELLAVIN_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)

# The libFuzzer targets: clang, no Qt, sanitizers on.
fuzz-build: deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_CXX_COMPILER=clang++ \
		-DPELLAVIN_WITH_QT=OFF -DBUILD_TESTING=OFF -DPELLAVIN_SANITIZE=ON -DPELLAVIN_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

# The control panel; from it, "Preview" starts the game.
run: build
	@./scripts/run-program $(BUILD)/bin/Pellavin

run-runner: build
	@./scripts/run-program $(BUILD)/bin/PellavinRun

# The plain build's tests, with the other two builds compiling beside them
# at the lowest priority; then their tests (scripts/run-tests).
test: build
	@BUILD=$(BUILD) SANITIZE_BUILD=$(SANITIZE_BUILD) FUZZ_BUILD=$(FUZZ_BUILD) JOBS=$(JOBS) ./scripts/run-tests

# The Debian package, built in $(BUILD); prints its path.
package: build
	@cd $(BUILD) && { cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }; } && \
		sed -n 's/^CPack: - package: \(.*\) generated\.$$/\1/p' cpack.log

# PELLAVIN_BENCH_QUICK=1 for a short run, PELLAVIN_BENCH_LONG=1 to add ten minutes.
bench: build
	@cmake --build $(BUILD) -j $(JOBS) --target bench_tools
	@./bench/run $(BUILD)

# The idle watcher, five minutes without input (PELLAVIN_BENCH_QUICK=1: thirty seconds).
bench-idle: build
	@cmake --build $(BUILD) -j $(JOBS) --target bench_idle_tools
	@./bench/idle $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
