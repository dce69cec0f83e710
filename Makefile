# Entry points: `make run` builds in Release and runs the engine's main job,
# `make test` builds and runs every test. CMake does the real work.
BUILD_DIR ?= build/release
ASAN_DIR ?= build/asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test asan bench windows install-check package fuzz clean

all: build

# Installs the Debian and npm packages a group of work needs when missing,
# before cmake configures: the build registers what it finds then. The
# group is `build` unless a target asks for more (its prerequisites see
# the same group).
DEPS = scripts/install-deps.sh
DEPS_GROUP = build
test asan: DEPS_GROUP = test train

deps:
	$(DEPS) $(DEPS_GROUP)

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

INITIAL_POSITION = B:W21,22,23,24,25,26,27,28,29,30,31,32:B1,2,3,4,5,6,7,8,9,10,11,12.

# The engine's main job: choose a move. The first run builds the endgame
# database of up to 4 pieces into ./db (a few seconds).
run: build
	@test -f db/db4.idx || $(BUILD_DIR)/tarnvel-egdb build --pieces 4
	$(BUILD_DIR)/tarnvel move --time 1 "$(INITIAL_POSITION)"

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNVEL_SANITIZE=ON -DTARNVEL_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

# Tarnvel.dll for Windows: the 32-bit DLL run under 32-bit Wine, and its
# 64-bit twin under wine64.
windows:
	$(DEPS) windows
	windows/check.sh

# Installs the Release build into a temporary prefix and builds a tiny host
# against it, with pkg-config and with find_package(Tarnvel).
install-check: build
	scripts/install-check.sh $(BUILD_DIR)

# build/package: the Windows zip (with the DLL `make windows` checked; the
# checks run again if it changed) and the Linux tarball.
package: build
	$(DEPS) windows
	scripts/package.sh $(BUILD_DIR)

# The micro-benchmarks; the time-discipline runs (a few minutes of real
# searches) are `$(BUILD_DIR)/tarnvel_bench --benchmark_filter=TimeDiscipline`.
bench: build
	$(BUILD_DIR)/tarnvel_bench --benchmark_filter=-TimeDiscipline

# libFuzzer targets under ASan+UBSan (clang), each run for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz:
	$(DEPS) fuzz
	fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
