# The two commands of the README:
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test, then the
#               sanitizer builds (ASan+UBSan: whole suite; TSan: threaded tests)
#               and the core's Windows build under Wine
# Further: make build, make bench, make demo, make screenshot,
# make test-windows, make screenshot-windows, make package-windows, make clean.

JOBS      ?= $(shell nproc)
BUILD     ?= build
ASAN      ?= build-asan
TSAN      ?= build-tsan
WINBUILD  ?= build-windows
CMAKE_GEN ?= -G "Unix Makefiles"
CTEST_ENV := QT_QPA_PLATFORM=offscreen
ASAN_ENV  := ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1 \
             UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
             LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0
TSAN_ENV  := TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/sanitizers/tsan.supp

.PHONY: all deps build run test test-plain test-asan test-tsan test-windows check bench clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./OrvelConfigurator

test: deps test-plain test-asan test-tsan test-windows
	@echo "make test: all test runs passed"

check: test

test-plain: build
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=address -DORVEL_BUILD_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && $(CTEST_ENV) $(ASAN_ENV) ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	cmake -S . -B $(TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=thread -DORVEL_BUILD_BENCH=OFF
	cmake --build $(TSAN) -j $(JOBS) --target threads-tests
	cd $(TSAN) && $(CTEST_ENV) $(TSAN_ENV) ctest --output-on-failure -L threads -j $(JOBS)

# The program and its tests cross-compiled for Windows with mingw-w64 (the
# serial port, the settings, the port discovery, the command sets, the
# traffic logic, the records, the start-up's logging, the resources and the Win32 window,
# OrvelConfigurator.exe at the top of the build folder) and tested under Wine
# (scripts/wine-ports maps three COM ports to pseudo-terminals for them).
# The first configure of a build folder fetches Debian's source of log4cplus
# (dpkg-dev, the archive's keyring; ca-certificates for an https mirror) and
# builds it for mingw.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64 wine64 wine dpkg-dev ca-certificates debian-archive-keyring
.PHONY: build-windows
build-windows:
	scripts/install-deps $(WINDOWS_PACKAGES)
	cmake -S . -B $(WINBUILD) $(CMAKE_GEN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINBUILD) -j $(JOBS)

test-windows: build-windows
	WINEPREFIX=$(CURDIR)/$(WINBUILD)/wineprefix scripts/wine-ports ctest --test-dir $(WINBUILD) --output-on-failure

# The Windows installer, $(WINBUILD)/OrvelConfigurator-<version>-setup.exe,
# made by NSIS (packaging/windows/OrvelConfigurator.nsi) from the program the
# Windows build makes at its top. package-windows-check installs it in a
# fresh private Wine prefix, runs the installed program and uninstalls it
# (tests/packaging/check-windows-package). Neither is part of make test.
VERSION     := $(shell sed -n "s/^project.OrvelConfigurator VERSION \([0-9.]*\).*/\1/p" CMakeLists.txt)
WIN_SETUP   := $(WINBUILD)/OrvelConfigurator-$(VERSION)-setup.exe
.PHONY: package-windows package-windows-check
package-windows: build-windows
	scripts/install-deps nsis
	@test -f $(WINBUILD)/OrvelConfigurator.exe || { echo "make package-windows: $(WINBUILD)/OrvelConfigurator.exe is missing: the Windows build made no program to package" >&2; exit 1; }
	makensis -V2 -DVERSION=$(VERSION) -DPROGRAM=$(CURDIR)/$(WINBUILD)/OrvelConfigurator.exe \
	    -DRES=$(CURDIR)/res -DOUTFILE=$(CURDIR)/$(WIN_SETUP) packaging/windows/OrvelConfigurator.nsi
	@echo "make package-windows: $(WIN_SETUP)"

package-windows-check: package-windows
	tests/packaging/check-windows-package $(WIN_SETUP) $(VERSION)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@for b in $(BUILD)/bench/*/bench_*; do echo "== $$b"; $(CTEST_ENV) $$b || exit 1; done

clean:
	rm -rf $(BUILD) $(ASAN) $(TSAN) $(WINBUILD)

# The main window under a virtual X server, into docs/screenshot.png.
.PHONY: screenshot
screenshot: build
	BUILD=$(BUILD) scripts/screenshot docs/screenshot.png

# The Windows program's window under Wine on a virtual X server, its three
# channels on the simulator's devices, into docs/screenshot-windows.png.
.PHONY: screenshot-windows
screenshot-windows: build build-windows
	BUILD=$(BUILD) WINBUILD=$(WINBUILD) scripts/screenshot-windows docs/screenshot-windows.png

# The program with simulated devices: orvel-devsim offers a satellite
# receiver, a beacon receiver and an echo sounder as virtual ports; the
# simulator stops when the window closes.
.PHONY: demo
demo: build
	BUILD=$(BUILD) scripts/demo

# The end-to-end tests only: the real program driven as an operator drives
# it, against the simulator's ports.
.PHONY: e2e
e2e: build
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure -L e2e

# Side-by-side window benchmark, run by hand (bench/window/README.md): this
# build, GTKTerm and CuteCom under one private Xvfb. BEFORE=path/to/another
# build's OrvelConfigurator adds it as the column "before"; BENCH_ARGS passes
# further options to the rig (e.g. BENCH_ARGS=--quick for a smoke run).
.PHONY: bench-window
# The serial terminals it compares with, the X tools that drive and read the
# windows, and a C compiler for its LD_PRELOAD shim.
BENCH_PACKAGES := gtkterm cutecom xdotool xclip gcc libc6-dev python3
bench-window: build
	scripts/install-deps $(BENCH_PACKAGES)
	python3 bench/window/winbench.py run --ours $(BUILD)/OrvelConfigurator $(if $(BEFORE),--before $(BEFORE)) $(BENCH_ARGS)

# The .deb, as Debian's own tools would build it: Debian's build flags
# (dpkg-buildflags), installed under /usr, stripped, Depends computed from the
# binaries by dpkg-shlibdeps; into $(PKG_BUILD)/. package-check builds it,
# runs lintian, installs it with apt, starts the installed program under Xvfb
# from an empty folder, removes it and checks nothing of it is left: it
# changes the system, so it is not part of make test.
PKG_BUILD ?= build-package
PKG_FLAGS  = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
.PHONY: package package-check
package: deps
	SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct 2>/dev/null || date +%s) \
	cmake -S . -B $(PKG_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
	    -DORVEL_BUILD_TESTS=OFF -DORVEL_BUILD_BENCH=OFF \
	    -DCMAKE_C_FLAGS="$$($(PKG_FLAGS) CFLAGS) $$($(PKG_FLAGS) CPPFLAGS)" \
	    -DCMAKE_CXX_FLAGS="$$($(PKG_FLAGS) CXXFLAGS) $$($(PKG_FLAGS) CPPFLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="$$($(PKG_FLAGS) LDFLAGS)"
	cmake --build $(PKG_BUILD) -j $(JOBS)
	rm -f $(PKG_BUILD)/*.deb
	cd $(PKG_BUILD) && cpack
	@echo "make package: $$(ls $(PKG_BUILD)/*.deb)"

package-check: package
	tests/packaging/check-package $(PKG_BUILD)
