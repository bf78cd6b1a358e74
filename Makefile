# Front door. `make test` installs what it needs, builds and runs every test.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test bench demo clean format

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

clean:
	rm -rf build build-release
