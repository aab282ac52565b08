# Thin wrapper over CMake + Ninja.
#   make demo    build the player and tools, pack the demo saver and run it
#   make test    build and run the suite plainly, then under address+UB
#                sanitizers, then the transition tests under the thread sanitizer
#   make check   the plain suite only (quick)
#   make bench   build the benchmarks and print their ratio tables
#   make fuzz    build the libFuzzer targets with clang (FUZZ_SECONDS each)
#   make soak    the soak program (bench/soak) in build/release, then built with
#                LeakSanitizer in build/soak-lsan (docs/reliability.md)
#   make install the player, tools, demo saver, manuals and completion under
#                PREFIX (default /usr/local; DESTDIR is honoured), stripped
#   make package the Debian package and its -dbgsym package in build/deb/package,
#                checked by lintian when it is installed

JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
CMAKE_GEN = -G Ninja

.PHONY: all build demo test check test-asan test-tsan bench fuzz soak install package clean

all: build

build/release/build.ninja:
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: build/release/build.ninja
	cmake --build build/release -j $(JOBS)

demo: build
	scripts/demo

check: build
	cd build/release && ctest --output-on-failure -j $(JOBS)

build/asan/build.ninja:
	cmake -S . -B build/asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSAVER_SANITIZE=ON -DSAVER_BENCH=OFF

# Left to the plain run: end-to-end cases that repeat what others check under
# the sanitizers, but with a sanitized player of 45 MB (packed twice, or
# started once per exit setting, desktop, link or monitor) take minutes
# there; and the show's memory, which a sanitizer's own memory swamps.
ASAN_SKIP = ^(PackInstall\.PutsTheSaverWhereTheDaemonsLookAndTellsTheRest|RoundTripTest\.LayoutIsConsistentAndFollowsThePlayer|Player\.InputEndsTheShowAsTheExitSettingsSay|ShowEnd\.EveryModeEndsAsAskedOpensTheExitLinkOnlyOnInputAndLeavesOthersWindowsAlone|WaylandPlayer\.EveryOutputIsCoveredAndInputEndsTheShowAsAsked|Player\.F2SetsOneWallpaperAPressOnEachDesktopAndAFailureLeavesTheShowGoing|HostilePlayer\.TheExitLinkOpensOnlyWebAndMailAddresses|HostilePlayer\.AFailedStartShowsAndLogsItsReason|Monitors\.EveryMonitorShowsThePicturesInTurnAtItsSizeAsMonitorsComeAndGo|MediaPlayer\.AVideoIsPlacedAsAPictureOfItsSizeInEverySizeModeAndAMutedShowStaysSilent|WaylandPlayer\.TheShowAndTheSettingsRunNativelyAndEndAsOnX11|ShowMemory\..*)$$

# The transition tests (every name starts with Trans) run in one process per
# core rather than one per test: a sanitized process takes a fifth of a
# second to start, and there are 919 of them.
SANITIZED_RUN = ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1

test-asan: build/asan/build.ninja
	cmake --build build/asan -j $(JOBS)
	cd build/asan && $(SANITIZED_RUN) ctest --output-on-failure -j $(JOBS) -E '$(ASAN_SKIP)|^Trans'
	cd build/asan && $(SANITIZED_RUN) ../../scripts/run-sharded $(JOBS) tests/test_trans

build/tsan/build.ninja:
	cmake -S . -B build/tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSAVER_TSAN=ON -DSAVER_BENCH=OFF

test-tsan: build/tsan/build.ninja
	cmake --build build/tsan -j $(JOBS) --target test_trans
	cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ../../scripts/run-sharded $(JOBS) tests/test_trans

test: check test-asan test-tsan

bench: build
	scripts/bench-report

build/fuzz/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSAVER_FUZZ=ON -DSAVER_TESTS=OFF -DSAVER_BENCH=OFF

fuzz: build/fuzz/build.ninja
	cmake --build build/fuzz -j $(JOBS)
	scripts/fuzz-all $(FUZZ_SECONDS)

# Only the soak target is built in the LeakSanitizer tree.
build/soak-lsan/build.ninja:
	cmake -S . -B build/soak-lsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSAVER_TESTS=OFF \
	  -DCMAKE_C_FLAGS="-fsanitize=leak -fno-omit-frame-pointer" \
	  -DCMAKE_CXX_FLAGS="-fsanitize=leak -fno-omit-frame-pointer" \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=leak

soak: build/release/build.ninja build/soak-lsan/build.ninja
	cmake --build build/release -j $(JOBS) --target soak
	build/release/bench/soak
	cmake --build build/soak-lsan -j $(JOBS) --target soak
	build/soak-lsan/bench/soak

# The paths compiled in from the prefix are forgotten so that they follow it.
install:
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_INSTALL_PREFIX="$(PREFIX)" -U 'SAVER_*_DIR' -U 'SAVER_*_URL'
	cmake --build build/release -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build/release --strip

package:
	cmake -S . -B build/deb $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_INSTALL_PREFIX=/usr -DSAVER_TESTS=OFF -DSAVER_BENCH=OFF
	cmake --build build/deb -j $(JOBS)
	cd build/deb && cpack -G DEB -B package
	if command -v lintian > /dev/null; then lintian --fail-on error build/deb/package/*.deb build/deb/package/*.ddeb; fi

clean:
	rm -rf build
