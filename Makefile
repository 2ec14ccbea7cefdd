# Set-up, build and test in one place. `make run` and `make test` install what is missing on Debian 12 first.

BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local

# Debian packages needed to build and test.
PACKAGES := cmake make g++ pkg-config qt6-base-dev libzip-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test run asan test-asan samples format clean

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

# Rewrites the sample songs and host folder with the test song writer.
samples: build
	$(BUILD_DIR)/tests/make_samples samples

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR)
