# Set-up, build and test in one place. `make run` and `make test` install what is missing on Debian 12 first.
SHELL := /bin/bash

BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local

# Debian packages needed to build and test.
PACKAGES := cmake make g++ pkg-config qt6-base-dev libzip-dev zlib1g-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_song fuzz_catalogue fuzz_unzip

.PHONY: windows install package package-test bench all deps build test run asan test-asan fuzz-build fuzz samples format clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing missing Debian packages:$$missing"; \
		$(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	else \
		echo "All needed Debian packages are installed."; \
	fi

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# With a display the window opens; without one the command-line scan of the sample songs runs.
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
		$(BUILD_DIR)/gearwarden; \
	else \
		echo "No display found: scanning the sample songs against the sample host folder instead."; \
		echo "\$$ $(BUILD_DIR)/gearwarden scan --host-folder samples/host samples/songs"; \
		$(BUILD_DIR)/gearwarden scan --host-folder samples/host samples/songs; status=$$?; \
		echo; \
		echo "(exit status $$status: 0 nothing missing, 1 machines missing, 2 error)"; \
		echo "To open the window, run 'make run' on a desktop, or: xvfb-run $(BUILD_DIR)/gearwarden"; \
		[ $$status -le 1 ]; \
	fi

# The whole suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DGW_SANITIZE=ON
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)

test-asan: asan
	ctest --test-dir $(ASAN_BUILD_DIR) --output-on-failure -j $(JOBS)

# An installed copy under PREFIX (default /usr/local): the program, its catalogue lists, a desktop entry, an icon.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# A Debian package in $(BUILD_DIR), and a check that it unpacks and runs with the system's libraries only.
package: build
	@missing=""; for p in dpkg-dev file desktop-file-utils; do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then echo "Installing packaging tools:$$missing"; $(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; fi
	cd $(BUILD_DIR) && cpack -G DEB

package-test: package
	bash .ci/package-test

# The Windows program, cross-built with MinGW-w64 against Qt and libzip built from Debian's sources (once, into
# ~/.cache/gearwarden/windows): build-windows/Gearwarden-1.0-win64.zip.
windows:
	bash tools/windows/build.sh

# Speed figures against their baselines (cat, curl) in the same run.
bench: build
	@command -v curl >/dev/null || { echo "Installing curl for the download baseline"; $(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends curl; }
	$(BUILD_DIR)/bench/gearwarden_bench

# libFuzzer with clang: each target runs FUZZ_SECONDS on a corpus seeded from fuzz/corpus; findings land in
# $(FUZZ_BUILD_DIR)/artifacts and fail the run.
fuzz-build: deps
	@command -v clang++ >/dev/null && dpkg-query -W -f='$${Status}' libclang-rt-14-dev 2>/dev/null | grep -q "ok installed" || \
		{ echo "Installing clang and its runtime for libFuzzer"; $(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev; }
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGW_FUZZ=ON -DGW_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)

fuzz: fuzz-build
	@mkdir -p $(FUZZ_BUILD_DIR)/artifacts
	@set -e; for t in $(FUZZ_TARGETS); do \
		corpus=$(FUZZ_BUILD_DIR)/corpus-$$t; mkdir -p $$corpus; \
		seeds=fuzz/corpus/$$(echo $$t | sed 's/fuzz_//'); \
		echo "== $$t for $(FUZZ_SECONDS) s"; \
		QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
		$(FUZZ_BUILD_DIR)/fuzz/$$t $$corpus $$seeds -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
			-max_len=65536 -artifact_prefix=$(FUZZ_BUILD_DIR)/artifacts/$$t- -print_final_stats=1 2>&1 | tail -n 12; \
		test $${PIPESTATUS[0]} -eq 0; \
	done

# Rewrites the sample songs and host folder with the test song writer.
samples: build
	$(BUILD_DIR)/make_samples samples

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR)
