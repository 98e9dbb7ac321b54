# Front door. `make test` builds both presets and runs every test; `make demo`
# registers TB.dll in a throwaway Wine prefix and drives it like a host.
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all deps native win32 test test-native test-win32 test-asan test-fuzz \
        test-reproducible bench soak dist demo screenshots clean

all: native win32

deps:
	@scripts/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

test-native: native
	ctest --preset native

test-win32: win32
	ctest --preset win32

# The portable tests again under ASan and UBSan, and each fuzz target for 30 s.
test-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan -j $(JOBS)
	ctest --preset native-asan

test-fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	ctest --preset fuzz

# Two fresh builds of TB.dll and of its installer package must give the same bytes.
test-reproducible: deps
	scripts/check-reproducible.sh

test: test-native test-win32 test-asan test-fuzz test-reproducible

# Timings of TB.dll under Wine; not part of the tests.
bench: win32
	tools/bench/run.sh build/win32

# 100,000 rounds of late-bound calls and 1,000 openings of each window (about 3 min);
# fails when the process grows. ctest runs a short round of the same.
soak: win32
	cmake --build build/win32 --target soak

dist: deps
	scripts/dist.sh

demo: win32
	scripts/demo.sh build/win32

# Pictures of the three windows at 96 and 120 dpi in docs/screenshots (needs xvfb).
screenshots: win32
	scripts/screenshots.sh build/win32

clean:
	rm -rf build
