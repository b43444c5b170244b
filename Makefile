# Thin wrapper around CMake/CTest. Every target installs what is missing first.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)
# Extra CMake options, e.g. CMAKE_FLAGS="-DVELMORA_WERROR=ON -DVELMORA_SANITIZE=ON".
CMAKE_FLAGS ?=
# Extra CTest options for `make test`, e.g. CTEST_ARGS="-R Analysis".
CTEST_ARGS ?=

.PHONY: all deps configure build run test bench package install fuzz fuzz-ci tsan clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target velmora1
	./$(BUILD_DIR)/app/velmora1

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

bench:
	@bash scripts/install-deps.sh --bench
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVELMORA_BENCH=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target velmora1-bench
	./$(BUILD_DIR)/bench/velmora1-bench

# A Debian package (build-package/velmora1_<version>_<arch>.deb) of what `make install`
# installs, built in its own folder with Debian's hardening flags (only the programs, not the
# tests), then checked: its contents, lintian, the hardening of the programs.
PACKAGE_DIR ?= build-package
package:
	@bash scripts/install-deps.sh --package
	@cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DVELMORA_HARDENING=ON \
	  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(PACKAGE_DIR) -j $(JOBS) --target velmora1 velmora1-batch velmora1-desktop-files
	cd $(PACKAGE_DIR) && cpack -G DEB
	cd $(PACKAGE_DIR) && ctest --output-on-failure \
	  -R '^(InstalledDesktopFiles|DebianPackage|DebianPackageLintian|HardenedPrograms)$$'

# Installs under PREFIX (default /usr/local); DESTDIR stages the files elsewhere.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# libFuzzer runs of the four readers, built with clang in build-fuzz: 10 minutes each here,
# 30 s each in CI (fuzz-ci).
FUZZ_SECONDS ?= 600
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz-ci.sh

fuzz-ci:
	FUZZ_SECONDS=30 bash scripts/fuzz-ci.sh

# The tests that start threads, under ThreadSanitizer in build-tsan.
tsan:
	bash scripts/tsan-ci.sh

clean:
	rm -rf $(BUILD_DIR) $(PACKAGE_DIR) build-fuzz build-tsan
