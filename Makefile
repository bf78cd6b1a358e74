# Front door. `make test` installs what it needs, builds and runs every test.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test bench demo clean format check-asan check-tsan

all: build

deps:
	bash scripts/install-deps

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

bench: deps
	$(MAKE) build BUILD_TYPE=Release BUILD_DIR=build-release
	bash scripts/run-benchmarks build-release

demo: deps
	$(MAKE) build
	bash scripts/demo $(BUILD_DIR)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# The whole test suite under AddressSanitizer + UndefinedBehaviorSanitizer, no recovery.
check-asan: deps
	$(MAKE) build BUILD_DIR=build-asan BUILD_TYPE=Debug CMAKE_FLAGS=-DQV_SANITIZE=address
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) --timeout 900

# The whole test suite under ThreadSanitizer.
check-tsan: deps
	$(MAKE) build BUILD_DIR=build-tsan BUILD_TYPE=Debug CMAKE_FLAGS=-DQV_SANITIZE=thread
	cd build-tsan && ctest --output-on-failure -j $(JOBS) --timeout 900

clean:
	rm -rf build build-release build-asan build-tsan
