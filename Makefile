# The two entry points: `make demo` and `make test`. Both install what is missing first.
JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_WERROR=ON
# Line tables are all a failing test's stack trace needs; full debug information makes every
# object and precompiled header several times larger and the two test builds a quarter slower.
DEBUG_INFO ?= -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_DEBUG="-g1"

.PHONY: deps build build-asan test test-unit test-asan demo bench fuzz package clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(DEBUG_INFO)
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) $(DEBUG_INFO) -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-unit: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# Every test, the sanitizer build included.
test: test-unit test-asan

demo: build
	scripts/demo.sh $(BUILD)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_BENCH=ON -DVESK_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	scripts/run-benchmarks.sh build-bench

# libFuzzer over every decoder of outside input, FUZZ_SECONDS each (clang, ASan + UBSan).
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build-fuzz
fuzz:
	VESK_FUZZ_DEPS=1 scripts/install-deps.sh
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
	  -DVESK_BUILD_FUZZ=ON -DVESK_BUILD_TESTS=OFF -DVESK_PCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The Debian packages (vesk-warden, vesk-fleetd) in build-package/, built without the tests.
package: deps
	cmake -S . -B build-package $(CMAKE_FLAGS) -DVESK_BUILD_TESTS=OFF
	cmake --build build-package -j $(JOBS) --target package
	@ls -1 build-package/*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-bench build-package $(FUZZ_BUILD)
