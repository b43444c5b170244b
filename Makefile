# Thin wrapper around CMake/CTest. Every target installs what is missing first.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench fuzz fuzz-ci clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/app/velmora1

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	./$(BUILD_DIR)/bench/velmora1-bench

# libFuzzer runs of the four readers, built with clang in build-fuzz: 10 minutes each here,
# 30 s each in CI (fuzz-ci).
FUZZ_SECONDS ?= 600
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz-ci.sh

fuzz-ci:
	FUZZ_SECONDS=30 bash scripts/fuzz-ci.sh

clean:
	rm -rf $(BUILD_DIR) build-fuzz
