# Front door. `make test` builds every preset and runs every test; `make demo`
# registers TB.dll in a throwaway Wine prefix and drives it like a host. TB.dll is
# built at both widths: 32-bit for the host, 64-bit for 64-bit script hosts.
SHELL := /bin/bash
JOBS ?= 2

.PHONY: all deps native win32 win64 test test-native test-windows test-win32 test-win64 test-guest \
        test-asan test-fuzz test-reproducible bench soak dist demo screenshots clean

all: native win32 win64

deps:
	@scripts/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

win32 win64: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

test-native: native
	ctest --preset native

# Both widths' suites, and a line saying which ran and how: the 32-bit one natively, or
# where this machine runs no 32-bit code in an emulated machine (TABULON_EMULATE_32BIT=0:
# its static checks only).
test-windows: win32
	scripts/test-windows.sh

# The emulated machine that runs the 32-bit suite where this one cannot: its own test
# (three boots, about three minutes).
test-guest:
	scripts/guest/test-run.sh

# One width's whole suite, for day-to-day work (32 needs a machine that runs 32-bit code).
test-win32 test-win64: test-%: %
	ctest --preset $*

# The portable tests again under ASan and UBSan, and each fuzz target for 30 s.
test-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan -j $(JOBS)
	ctest --preset native-asan

test-fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	ctest --preset fuzz

# Two fresh builds of TB.dll at both widths and of both installer packages must give
# the same bytes.
test-reproducible: deps
	scripts/check-reproducible.sh

# Everything. The 32-bit suite starts first: where it runs in the emulated machine, the
# rest of the work goes on here meanwhile.
test: win32
	scripts/test-windows.sh test-native test-asan test-fuzz test-reproducible

# The width these targets run: 32 where this machine runs 32-bit programs, else 64.
RUN_WIDTH = $(shell cmake/wine-probe.sh 32 >/dev/null && echo 32 || echo 64)

# Timings of TB.dll under Wine; not part of the tests.
bench: deps
	$(MAKE) win$(RUN_WIDTH)
	tools/bench/run.sh build/win$(RUN_WIDTH)

# 100,000 rounds of late-bound calls and 1,000 openings of each window (about 3 min);
# fails when the process grows. ctest runs a short round of the same.
soak: deps
	$(MAKE) win$(RUN_WIDTH)
	@echo "soak: the $(RUN_WIDTH)-bit TB.dll under $(RUN_WIDTH)-bit Wine"
	cmake --build build/win$(RUN_WIDTH) --target soak

dist: deps
	scripts/dist.sh

demo: deps
	scripts/demo.sh

# Pictures of the three windows at 96 and 120 dpi in docs/screenshots (needs xvfb).
screenshots: deps
	$(MAKE) win$(RUN_WIDTH)
	scripts/screenshots.sh build/win$(RUN_WIDTH)

clean:
	rm -rf build
