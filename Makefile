# Quick start: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
PACKAGES   := cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libgl-dev libqt6sql6-sqlite libssl-dev libpsl-dev libcurl4-openssl-dev pkg-config curl wget
# What the benchmarks need besides: a virtual display with the accessibility
# bus (the download figures are taken as a screen-reader user runs the
# program), and the tools they are measured against.
BENCH_PACKAGES := xvfb xauth dbus at-spi2-core curl wget aria2 time
SUDO       := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PREFIX     ?= /usr/local
LUPDATE    := /usr/lib/qt6/bin/lupdate

.PHONY: run test test-asan build bench bench-deps deps clean install package package-test translations screenshots icons readme

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Chromium's sandbox refuses to run as root; an ordinary user keeps it.
run: build
	@if [ "$$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi; ./$(BUILD)/bin/pullmark

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPULLMARK_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
	  ASAN_OPTIONS=new_delete_type_mismatch=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_PACKAGES)"

# Every benchmark; bench/queue_bench.sh alone gives the download figures.
bench: bench-deps build
	./bench/run.sh $(BUILD)

# The program with its menu entry, icon, AppStream file and manual page,
# under $(PREFIX); DESTDIR stages the whole tree elsewhere, as packagers do.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A Debian package in $(BUILD), its dependencies computed by dpkg-shlibdeps.
package: build
	@$(MAKE) --no-print-directory deps PACKAGES="dpkg-dev file"
	cd $(BUILD) && cpack -G DEB

# Validates the menu entry and the AppStream file, then builds the package
# and checks what it holds (packaging/package-test.sh). With
# PACKAGE_TEST_FLAGS=--install it also installs the package with apt, runs
# the installed program and removes the package again.
package-test: package
	./packaging/package-test.sh $(BUILD) $(PACKAGE_TEST_FLAGS)

# The translation template translations/pullmark.ts, from every tr() text.
translations:
	@$(MAKE) --no-print-directory deps PACKAGES=qt6-l10n-tools
	$(LUPDATE) -no-obsolete -locations relative -source-language en -I . core archive gui app -ts translations/pullmark.ts

# The README's pictures, taken from the real windows (docs/*.png).
screenshots: build
	./tools/screenshots.sh $(BUILD)

# The README's copies of the user guide's sections, made again from
# docs/user-guide.md (a test fails while they differ).
readme: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bin/pm_guide readme docs/user-guide.md README.md

# The icon's PNG sizes, rendered again from its SVG.
icons:
	./packaging/render-icons.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
