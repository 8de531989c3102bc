# MARROWFIN front door. `make demo` and `make test` are all a newcomer needs.
JOBS    ?= $(shell nproc)
WERROR  := $(if $(filter true 1 yes,$(CI)),ON,OFF)
NATIVE  := build/native
WIN32   := build/win32
CMAKE_COMMON := -DMARROWFIN_WERROR=$(WERROR)

FUZZ    := build/fuzz
# make fuzz FUZZ_SECONDS=600 runs each target that long; make test runs each for 20 s.
FUZZ_SECONDS ?= 600

.PHONY: all deps native sgio win32 fuzz-build fuzz fuzz-smoke test test-native test-win32 test-dist dist demo bench soak clean

all: native win32

deps:
	@tools/install-deps.sh

native: deps
	cmake -S . -B $(NATIVE) $(CMAKE_COMMON)
	cmake --build $(NATIVE) -j$(JOBS)

# The NT road's drive process and preload library alone (demo, bench).
sgio: deps
	cmake -S . -B $(NATIVE) $(CMAKE_COMMON)
	cmake --build $(NATIVE) -j$(JOBS) --target mf-vdrived mfsgio_preload

win32: deps
	cmake -S . -B $(WIN32) $(CMAKE_COMMON) -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
	    -DMARROWFIN_NATIVE_DIR=$(CURDIR)/$(NATIVE)
	cmake --build $(WIN32) -j$(JOBS)

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)

# The NT road's end-to-end entry runs the native tree's drive process and
# preload library.
test-win32: win32 native
	tools/wine-prefix.sh $(CURDIR)/$(WIN32)/wineprefix
	cd $(WIN32) && ctest --output-on-failure -j$(JOBS)

# The soak of the Windows suites at a length of your choice (make test runs
# its shorter default): make soak RUNS=200. Its figures are printed per checkpoint.
RUNS ?= 200
soak: win32
	tools/wine-prefix.sh $(CURDIR)/$(WIN32)/wineprefix
	cd $(WIN32) && MARROWFIN_SOAK_RUNS=$(RUNS) ctest -R '^win32_soak_tests$$' -V

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DMARROWFIN_FUZZ=ON $(CMAKE_COMMON)
	cmake --build $(FUZZ) -j$(JOBS)

fuzz: fuzz-build
	tools/fuzz.sh $(FUZZ)/fuzz $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	tools/fuzz.sh $(FUZZ)/fuzz 20

test: test-native test-win32 fuzz-smoke test-dist

# The release package, dist/MARROWFIN-<version>-win32.zip, from its own
# Release tree; test-dist builds it again from a copy elsewhere and compares.
DIST := build/dist
dist: deps
	JOBS=$(JOBS) tools/dist/dist.sh $(CURDIR) $(CURDIR)/$(DIST) $(CURDIR)/dist

test-dist: dist
	JOBS=$(JOBS) tools/dist/check-repro.sh $(CURDIR) $(CURDIR)/$(DIST) $(CURDIR)/dist

# make demo ROAD=nt: the same upgrade on the NT road (Windows XP, SCSI
# pass-through through Wine to the drive process).
ROAD ?= aspi
demo: win32 $(if $(filter nt,$(ROAD)),sgio)
	tools/demo.sh $(CURDIR)/$(WIN32) $(ROAD) $(CURDIR)/$(NATIVE)

# The Google Benchmark suite, then the upgrade under Wine on both roads; the
# NT road's drive process and preload library come from the Release tree.
BENCH := build/bench
bench: deps
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DMARROWFIN_SANITIZE=OFF $(CMAKE_COMMON)
	cmake --build $(BENCH) -j$(JOBS) --target marrowfin_bench mf-vdrived mfsgio_preload
	$(BENCH)/tools/bench/marrowfin_bench
	$(MAKE) win32
	tools/bench/wine/upgrade-bench.sh $(CURDIR)/$(WIN32) $(CURDIR)/$(BENCH)

clean:
	rm -rf build demo dist
