# Commands for a newcomer on a fresh Debian 12 machine (as root): each installs what it needs first.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build test test-unit test-asan test-tsan test-wine windows windows-installer windows-zip fuzz bench clean package test-package

deps:
	@bash scripts/install-deps.sh

# The program and its tools, in build/bin/.
build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build -j$(JOBS)

# Every test: the plain build, the Debian package, the fuzzer run, ThreadSanitizer on the threaded
# code and AddressSanitizer + UndefinedBehaviorSanitizer on everything.
test: build
	$(MAKE) test-unit
	$(MAKE) test-wine
	$(MAKE) test-package
	$(MAKE) fuzz
	$(MAKE) test-tsan
	$(MAKE) test-asan

test-unit:
	ctest --test-dir build --output-on-failure -j$(JOBS)

test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DHEXLOADER_SANITIZE=address -DHEXLOADER_BENCH=OFF
	cmake --build build-asan -j$(JOBS)
	ctest --test-dir build-asan --output-on-failure -j$(JOBS)

test-tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHEXLOADER_SANITIZE=thread -DHEXLOADER_GUI=OFF -DHEXLOADER_BENCH=OFF
	cmake --build build-tsan -j$(JOBS) --target tsan_tests
	ctest --test-dir build-tsan --output-on-failure -j$(JOBS) -L tsan

# The Windows programs, cross-built with mingw-w64 into build-win/: hexloader.exe, hexloader-cli.exe and
# the tests of the areas without Qt; with them the setup program and the zip (windows-installer, windows-zip).
windows: deps
	cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DHEXLOADER_GUI=OFF -DHEXLOADER_BENCH=OFF -DHEXLOADER_HOST_BUILD=$(CURDIR)/build
	cmake --build build-win -j$(JOBS)

# The Windows setup program build-win/hexloader-<version>-setup.exe (NSIS) and the portable
# build-win/hexloader-<version>-win64.zip; `windows` makes both, these name each on its own.
windows-installer: windows
	cmake --build build-win --target hexloader_setup

windows-zip: windows
	cmake --build build-win --target hexloader_zip

# The Windows build's tests under wine (prefix in build-win/wine), against the Linux simulated device
# and upload tests of build/.
test-wine: build windows
	ctest --test-dir build-win --output-on-failure -j$(JOBS)

fuzz: deps
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DHEXLOADER_FUZZ=ON -DHEXLOADER_TESTS=OFF -DHEXLOADER_GUI=OFF -DHEXLOADER_BENCH=OFF -DHEXLOADER_SANITIZE=address
	cmake --build build-fuzz -j$(JOBS) --target fuzz_targets
	bash tests/fuzz/run.sh build-fuzz

# Speed and memory, as ratios against references measured in the same run.
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DHEXLOADER_TESTS=OFF -DHEXLOADER_GUI=OFF
	cmake --build build-bench -j$(JOBS)
	bash bench/run-all.sh build-bench

# Applies .clang-format to the C++ sources (the device programs and the samples keep their own layout).
.PHONY: format
format:
	git ls-files '*.cpp' '*.h' | grep -v -E '^(device|samples|tests/image/data)/' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz build-bench build-package build-win

# The Debian package build/hexloader_<version>_<arch>.deb, from a Release build with Debian's
# hardening flags in build-package/ (only the three programs and the package's files are built).
package: export DEB_BUILD_MAINT_OPTIONS = hardening=+all
# The package ships stripped programs and no debug symbols: no need to make them.
package: export DEB_CXXFLAGS_MAINT_STRIP = -g
package: deps
	cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DHEXLOADER_PACKAGE=ON \
	  -DHEXLOADER_TESTS=OFF -DHEXLOADER_BENCH=OFF $(CMAKE_FLAGS) \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build build-package -j$(JOBS) --target hexloader hexloader-cli hexloader-sim hexloader_package_files
	cd build-package && cpack -G DEB
	mkdir -p build && rm -f build/hexloader_*.deb && cp build-package/hexloader_*.deb build/

# The package's contents, lintian, the menu entry, and the extracted programs.
test-package: package
	bash tests/package/check-package.sh build

# The operator's window.
.PHONY: run demo-gui screenshot
run: build
	./build/bin/hexloader

# The window against the simulated device, with a sample firmware (under Xvfb when there is no display).
demo-gui: build
	bash scripts/gui-demo.sh

# A picture of the main window during an upload, taken under Xvfb: build/screenshot.png.
screenshot: build
	bash scripts/gui-screenshot.sh

# The sample firmware uploaded to the simulated device from the command line, then checked.
.PHONY: demo
demo: build
	bash scripts/demo.sh build

# The 8051 device program, simulation build: build/device/loader51.ihx (sdcc), at 19200 bit/s.
# BAUD=N builds build/device/loader51-N.ihx for another rate too (N divides 57600: 57600, 28800, 9600 ...).
BAUD ?=
.PHONY: device demo-8051
device: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHEXLOADER_DEVICE_BAUD=$(BAUD) $(CMAKE_FLAGS)
	cmake --build build -j$(JOBS) --target device

# The sample firmware uploaded from the command line to the 8051 device program running in s51, then
# checked; BAUD=N: the build for that rate, and the loader told the same (--baud N).
demo-8051: build
	$(if $(BAUD),$(MAKE) device BAUD=$(BAUD))
	bash scripts/demo-8051.sh build $(BAUD)

# The AVR bootloader for the ATmega328P (avr-gcc): build/device/loader-avr.hex for an ISP programmer and
# build/device/loader-avr.elf for the simulation (hexloader-sim --avr).
.PHONY: device-avr demo-avr
device-avr: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build -j$(JOBS) --target device-avr

# The AVR sample firmware uploaded from the command line to the bootloader running in simavr, the flash
# checked against the image, and the uploaded program seen running (PB5 toggling).
demo-avr: build
	bash scripts/demo-avr.sh build

# The Windows window, hexloader.exe, under wine on Xvfb against the simulated device behind COM6 of the
# wine prefix: Start pressed, the device switched on, the device's memory checked against the image.
.PHONY: demo-windows screenshot-windows
demo-windows: build windows
	bash scripts/demo-windows.sh

# A picture of the Windows window during an upload, under wine on Xvfb: build-win/screenshot.png.
screenshot-windows: build windows
	bash scripts/screenshot-windows.sh
