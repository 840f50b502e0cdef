# The front door: make demo, make test, make cd, make bench, make installer, make clean.
NPROC := $(shell nproc 2>/dev/null || echo 2)
HOST  := build/host
WIN32 := build/win32

.PHONY: all setup host win32 installer cd test demo bench clean

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

bench: host
	$(HOST)/bench_codec

clean:
	rm -rf build
