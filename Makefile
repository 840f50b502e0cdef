# The front door: make demo, make test, make bench, make installer, make clean.
NPROC := $(shell nproc 2>/dev/null || echo 2)
HOST  := build/host
WIN32 := build/win32

.PHONY: all setup host win32 installer test demo bench clean

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

demo: host win32
	@scripts/demo

bench: host
	$(HOST)/bench_codec

clean:
	rm -rf build
