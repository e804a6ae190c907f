# The two commands of the README: `make run` and `make test`.
# Both install what is missing, configure and build first.

BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run run-runner test bench clean

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@./scripts/run-program $(BUILD)/bin/Pellavin

run-runner: build
	@./scripts/run-program $(BUILD)/bin/PellavinRun

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	@./bench/run $(BUILD)

clean:
	rm -rf $(BUILD)
