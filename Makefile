# The front door: make demo, make test, make cd, make bench, make installer, make clean.
NPROC := $(shell nproc 2>/dev/null || echo 2)
HOST  := build/host
WIN32 := build/win32

.PHONY: all setup host win32 installer cd test demo bench faults fuzz clean

all: host win32

setup:
	@scripts/setup

host: setup
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(HOST) -j$(NPROC)

win32: setup
	@cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@cmake --build $(WIN32) -j$(NPROC)

# Only the installer: build/win32/instalator.exe
installer: setup
	@cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@cmake --build $(WIN32) -j$(NPROC) --target instalator

test: host win32
	cd $(HOST) && ctest --output-on-failure -j$(NPROC)
	cd $(WIN32) && ctest --output-on-failure -j$(NPROC)

# The product CD: build/cd/ and build/werbfranko.iso.
cd: setup
	@cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@cmake --build $(WIN32) -j$(NPROC) --target werb_cd
	@scripts/cd $(WIN32)

# The installation from the CD under Wine with its report; LANG_UI=fr for the French locale.
LANG_UI ?= pl
demo: host win32 cd
	@scripts/demo --lang $(LANG_UI) --build $(WIN32) --cd build/cd

# The codec table (medians of 5 runs), then the copy benchmark when its script is there.
BENCH_ARGS ?= --benchmark_repetitions=5 --benchmark_display_aggregates_only=true
bench: host
	$(HOST)/bench_codec $(BENCH_ARGS)
	@if [ -x scripts/bench-copy ]; then scripts/bench-copy; fi

# The installation under faults (full disk, unreadable CD file, locked and read-only files, long paths):
# one table row per fault; every count of what was left outside the expectations must be 0.
faults: win32
	@cd $(WIN32) && WERB_FAULTS_TABLE=1 ctest -R '^test_faults' -V > faults.log 2>&1; rc=$$?; \
	  sed -n 's/^[0-9]*: //p' faults.log | awk '/^fault /{ if (!h) print; h=1; p=1; next } /^\[/{p=0} p && NF'; \
	  grep -E '^[0-9]+/[0-9]+ Test' faults.log; exit $$rc

# The block decoder's fuzz target for FUZZ_SECONDS; what it finds stays in $(HOST)/fuzz/crashes.
FUZZ_SECONDS ?= 300
fuzz: host
	@fuzz/run $(HOST) $(FUZZ_SECONDS)

clean:
	rm -rf build
