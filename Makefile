# Front door. `make test` installs what it needs, builds and runs every test.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_DIR ?= build-fuzz
ASAN_DIR ?= build-asan
FUZZ_SECONDS ?= 600
PACKAGE_DIR ?= build-package

.PHONY: all deps configure build test bench demo clean format check-asan check-tsan fuzz fuzz-build \
	fault-matrix screenshots guide-pictures asan-build check-deps check-fresh package check-package

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
	$(MAKE) fuzz-build
	cd $(FUZZ_DIR) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) check-asan
	$(MAKE) check-deps

bench: deps
	$(MAKE) build BUILD_TYPE=Release BUILD_DIR=build-release
	bash scripts/run-benchmarks build-release

demo: deps
	$(MAKE) build
	bash scripts/demo $(BUILD_DIR)

# Every dialog of the desktop program rendered to PNG for review.
screenshots: deps
	$(MAKE) build
	$(BUILD_DIR)/bin/qvl70s-screenshots $(BUILD_DIR)/screenshots

# The operator's guide's pictures taken anew from the screenshots, scaled to 800 pixels, into
# resources/guide/images (commit them).
guide-pictures: deps
	$(MAKE) build
	cmake --build $(BUILD_DIR) --target guide-pictures

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# The whole test suite under AddressSanitizer + UndefinedBehaviorSanitizer, no recovery.
asan-build: deps
	$(MAKE) build BUILD_DIR=$(ASAN_DIR) BUILD_TYPE=Debug CMAKE_FLAGS=-DQV_SANITIZE=address

check-asan: asan-build
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) --timeout 900

# The whole test suite under ThreadSanitizer. Tests that start the simulator program fork from a
# threaded process (the child execs at once); Qt's own thread hand-overs are suppressed.
check-tsan: deps
	$(MAKE) build BUILD_DIR=build-tsan BUILD_TYPE=Debug CMAKE_FLAGS=-DQV_SANITIZE=thread
	cd build-tsan && TSAN_OPTIONS="die_after_fork=0 suppressions=$(CURDIR)/scripts/tsan-suppressions.txt" \
		ctest --output-on-failure -j $(JOBS) --timeout 900

# Every command through every fault of the simulated instrument, printed as a table.
fault-matrix: deps
	$(MAKE) configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target test_fault_matrix
	$(BUILD_DIR)/bin/test_fault_matrix --gtest_brief=1

# The libFuzzer targets (clang, with ASan and UBSan); `make test` runs each over its seed corpus
# plus a few seconds of new inputs, `make fuzz` runs each for FUZZ_SECONDS.
fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -DQV_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j $(JOBS)

fuzz: fuzz-build
	bash scripts/fuzz-all $(FUZZ_DIR) $(FUZZ_SECONDS)

# Every header, library, CMake file and program the three builds and the tests read must come
# from a package scripts/install-deps names or pulls in; the builds are up to date after
# `make test`, so there this costs the relinks and one traced run of the tests.
check-deps: deps
	$(MAKE) build
	$(MAKE) fuzz-build
	$(MAKE) asan-build
	tests/deps/check_deps_test.py
	scripts/check-deps --trace-tests $(BUILD_DIR) --trace-tests $(FUZZ_DIR):fuzz_dib \
		$(BUILD_DIR) $(FUZZ_DIR) $(ASAN_DIR)

# The README's commands on a bare Debian 12 root (debootstrap, with only git and sudo added)
# over a clean clone of the committed tree. Needs root or sudo; not part of `make test`.
check-fresh:
	bash scripts/check-fresh

# The Debian package, $(PACKAGE_DIR)/qvl70s_*.deb, from its own release build; lintian must
# find no error in it.
package: deps
	JOBS=$(JOBS) bash scripts/package $(PACKAGE_DIR)

# The package installed from a bare Debian 12 root's mirror, used, and purged without a trace
# (debootstrap and a chroot, as check-fresh). Needs root or sudo; `make test` does not run it.
check-package: package
	bash scripts/check-package $(PACKAGE_DIR)

clean:
	rm -rf build build-release $(ASAN_DIR) build-tsan $(FUZZ_DIR) $(PACKAGE_DIR)
