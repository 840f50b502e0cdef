# The front door: make demo, make test, make cd, make bench, make installer, make clean.
NPROC := $(shell nproc 2>/dev/null || echo 2)
HOST  := build/host
WIN64 := build/win64
WIN32 := build/win32
# "yes" where this machine runs 32-bit x86 code natively, found by trying (after setup has installed Wine).
NATIVE32 = $(shell scripts/runs-i386 && echo yes)
CONFIGURE_WIN64 = cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
  -DWERB_CD32_DIR=$(abspath $(WIN32))/cd >/dev/null
CONFIGURE_WIN32 = cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null

.PHONY: all setup host win64 win32 installer cd test demo bench faults fuzz clean

all: host win64 win32

setup:
	@scripts/setup

host: setup
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(HOST) -j$(NPROC)

# The tree the tests run everywhere: the same sources for x86-64.
win64: setup
	@$(CONFIGURE_WIN64)
	@cmake --build $(WIN64) -j$(NPROC)

# The shipped build. Where 32-bit code cannot run, only what the product CD carries is built: its tests could
# not run, and the win64 tree's tests drive the CD's 32-bit installer under emulation instead.
win32: setup
	@$(CONFIGURE_WIN32)
	@if [ "$(NATIVE32)" = yes ]; then cmake --build $(WIN32) -j$(NPROC); \
	 else echo "win32: 32-bit code does not run here: building the product CD's programs only"; \
	      cmake --build $(WIN32) -j$(NPROC) --target werb_cd; fi

# Only the installer: build/win32/instalator.exe
installer: setup
	@$(CONFIGURE_WIN32)
	@cmake --build $(WIN32) -j$(NPROC) --target instalator

test: host win64 win32
	cd $(HOST) && ctest --output-on-failure -j$(NPROC)
	@cd $(WIN64) && ctest --output-on-failure -j$(NPROC); rc=$$?; \
	  grep -h '^SKIPPED: ' Testing/Temporary/LastTest.log | sort | uniq -c | sed 's/^ *\([0-9]*\) SKIPPED: /  skipped (\1 tests): /'; exit $$rc
	@if [ "$(NATIVE32)" = yes ]; then cd $(WIN32) && ctest --output-on-failure -j$(NPROC); \
	 else echo "win32 tree: its tests are not run, as this machine runs no 32-bit code; the win64 tree's test_cd32_*"; \
	      echo "            ran the CD's 32-bit installer under emulation (or said why they were skipped)"; fi

# The product CD: build/cd/ and build/werbfranko.iso, with the 32-bit installer, which runs on every Windows.
cd: setup
	@$(CONFIGURE_WIN32)
	@cmake --build $(WIN32) -j$(NPROC) --target werb_cd
	@scripts/cd $(WIN32)

# The installation from the CD under Wine with its report; LANG_UI=fr for the French locale, DPI=144 (120,
# 192) for another scale. Where 32-bit code cannot run, the 64-bit installer from a CD built with it.
LANG_UI ?= pl
DPI ?= 96
demo: host win64 win32 cd
	@if [ "$(NATIVE32)" = yes ]; then scripts/demo --lang $(LANG_UI) --dpi $(DPI) --build $(WIN32) --cd build/cd; \
	 else scripts/demo --lang $(LANG_UI) --dpi $(DPI) --build $(WIN64) --cd $(WIN64)/cd; fi

# The codec table (medians of 5 runs), then the copy and the whole-run benchmarks when their scripts are there.
BENCH_ARGS ?= --benchmark_repetitions=5 --benchmark_display_aggregates_only=true
bench: host win64
	$(HOST)/bench_codec $(BENCH_ARGS)
	@if [ -x scripts/bench-copy ]; then scripts/bench-copy; fi
	@if [ -x scripts/bench-run ]; then scripts/bench-run; fi

# The installation under faults (full disk, unreadable CD file, locked and read-only files, long paths):
# one table row per fault; every count of what was left outside the expectations must be 0.
faults: win64
	@cd $(WIN64) && WERB_FAULTS_TABLE=1 ctest -R '^test_faults' -V > faults.log 2>&1; rc=$$?; \
	  sed -n 's/^[0-9]*: //p' faults.log | awk '/^fault /{ if (!h) print; h=1; p=1; next } /^\[/{p=0} p && NF'; \
	  grep -E '^[0-9]+/[0-9]+ Test' faults.log; exit $$rc

# The block decoder's fuzz target for FUZZ_SECONDS; what it finds stays in $(HOST)/fuzz/crashes.
FUZZ_SECONDS ?= 300
fuzz: host
	@fuzz/run $(HOST) $(FUZZ_SECONDS)

clean:
	rm -rf build
