# The commands of the README. Each installs what is missing first.
JOBS ?= 2
RELEASE := build/release
ASAN := build/asan
WIN64 := build/win64

.PHONY: run test deb setup release asan win64 format-check clean

setup:
	@bash tools/setup.sh

release: setup
	@cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target norvessa norvessa-cli norvessa-import norvessa-treemap

run: release
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are empty). Start it on a desktop, or under xvfb-run make run." >&2; \
	  exit 1; fi
	@$(RELEASE)/norvessa $(ARGS)

# The Debian package, from the release build, into build/.
deb: setup
	@cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target norvessa norvessa-cli norvessa-import norvessa-treemap package_files
	@cpack --config $(RELEASE)/CPackConfig.cmake -B $(CURDIR)/build >/dev/null
	@deb=build/norvessa_$$(sed -n 's/^project(Norvessa VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)_amd64.deb; \
	  if command -v lintian >/dev/null; then lintian $$deb; fi; echo $$deb

asan: setup
	@cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNRVS_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)

# The command-line tool and the tests below the windows for Windows,
# cross-built with mingw-w64 (no optimisation and no debug information:
# built for the tests, quickly).
win64: setup
	@cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE= \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake >/dev/null
	@cmake --build $(WIN64) -j $(JOBS) --target norvessa-cli unit_tests

# Every C++ file formatted as .clang-format says; quick, so it runs first.
format-check: setup
	@bash tools/format-check.sh

test: format-check asan win64
	@cd $(ASAN) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)
	@bash tools/wine-tests.sh $(WIN64) $(ASAN)/norvessa-cli

clean:
	rm -rf build
