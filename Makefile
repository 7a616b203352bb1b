# The commands of the README. Each installs what is missing first.
JOBS ?= 2
RELEASE := build/release
ASAN := build/asan

.PHONY: run test deb setup release asan clean

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

test: asan
	@cd $(ASAN) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build
