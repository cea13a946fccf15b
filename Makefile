# Ravelin: set-up, build, tests and tools. `make run` and `make test` do everything on a fresh Debian machine.
SHELL := /bin/bash
.DEFAULT_GOAL := build

BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_TSAN  ?= build-tsan
BUILD_FUZZ  ?= build-fuzz
JOBS        ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

PACKAGES := $(shell sed -e 's/\#.*//' packages.txt)
SUDO     := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build build-asan build-tsan test test-normal test-asan test-tsan run bench bench-long fuzz format clean \
	skin-sheet install deb test-deb

# Installs only what is missing from packages.txt; apt-get update runs first when something is.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q '^install ok installed$$' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(BUILD_ASAN)/build.ninja:
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRAVELIN_SANITIZER=address -DRAVELIN_BENCH=OFF

$(BUILD_TSAN)/build.ninja:
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRAVELIN_SANITIZER=thread -DRAVELIN_BENCH=OFF

build: $(BUILD)/build.ninja
	cmake --build $(BUILD)

# Only the test programs whose code reads outside data or owns memory by hand run under
# AddressSanitizer (label memory), and only the threaded ones under ThreadSanitizer (label threads).
build-asan: $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) --target memory-tests

build-tsan: $(BUILD_TSAN)/build.ninja
	cmake --build $(BUILD_TSAN) --target threaded-tests

test-normal: build
	cd $(BUILD) && ctest $(CTEST_FLAGS)

test-asan: build-asan
	cd $(BUILD_ASAN) && ctest $(CTEST_FLAGS) -L memory

test-tsan: build-tsan
	cd $(BUILD_TSAN) && ctest $(CTEST_FLAGS) -L threads

# The phases of make test, each timed; the times are printed at the end (also when a phase fails).
TEST_PHASES := test-normal test-asan test-tsan test-deb
test: deps
	@times=""; status=0; \
	for phase in $(TEST_PHASES); do \
	  start=$$(date +%s); $(MAKE) --no-print-directory $$phase || status=1; \
	  times="$$times $$phase:$$(( $$(date +%s) - start ))"; [ $$status = 0 ] || break; \
	done; \
	echo "== make test, time of each phase:"; \
	for t in $$times; do s=$${t#*:}; printf '   %-12s %3d min %02d s\n' $${t%%:*} $$((s / 60)) $$((s % 60)); done; \
	exit $$status

run: deps build
	./$(BUILD)/bin/ravelin

bench: deps build
	@for b in $(BUILD)/bin/bench-*; do echo "== $$b"; "$$b" || exit 1; done
	python3 bench/record-vs-lame.py $(BUILD)
	$(MAKE) bench-long

# Eight hours of speech into MP3, and an ADPCM WAV continued to its 4 GB limit, through ravelin-cli with a
# file microphone in fast mode: memory, decoded length, processor time. Takes a while and about 8 GB in
# LONG_RUN_DIR (default: the temporary folder).
LONG_RUN_HOURS ?= 8
LONG_RUN_DIR   ?= $(or $(TMPDIR),/tmp)
bench-long: deps build
	python3 bench/long-run.py $(BUILD) --hours $(LONG_RUN_HOURS) --work $(LONG_RUN_DIR)

# Installs the programs, services, program folder, desktop entry, icons, metainfo and man pages under
# PREFIX (and DESTDIR, for staging).
PREFIX ?= /usr/local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package, built from a copy of the tracked and new files in $(DEB_DIR)/src; the .deb ends in
# $(DEB_DIR) (default build-deb/ravelin_VERSION_ARCH.deb). CMAKE_CXX_COMPILER_LAUNCHER=ccache in the
# environment makes rebuilds fast (debhelper moves HOME, so ccache is told where its cache is).
DEB_DIR ?= build-deb
DEB_SOURCE = rm -rf $(DEB_DIR) && mkdir -p $(DEB_DIR)/src && \
	git ls-files -co --exclude-standard -z | xargs -0 tar -c --no-recursion -f - | tar -x -C $(DEB_DIR)/src
deb: deps
	$(DEB_SOURCE)
	cd $(DEB_DIR)/src && \
	  if [ -n "$$CMAKE_CXX_COMPILER_LAUNCHER" ] && command -v ccache >/dev/null && [ -z "$$CCACHE_DIR" ]; then \
	    export CCACHE_DIR="$$(ccache -k cache_dir)"; export CMAKE_C_COMPILER_LAUNCHER="$$CMAKE_CXX_COMPILER_LAUNCHER"; fi; \
	  DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -b -us -uc
	@ls $(DEB_DIR)/ravelin_*.deb

# The package as make test checks it: packed by the same debian/ rules, from the normal build (installed
# with the prefix /usr) instead of a release build of its own, so that make test builds the program once
# without sanitizers. `make deb` is the package's full build.
test-deb: build
	$(DEB_SOURCE)
	cd $(DEB_DIR)/src && RAVELIN_PREBUILT="$(abspath $(BUILD))" DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -b -us -uc
	@contents="$$(dpkg-deb -c $(DEB_DIR)/ravelin_*.deb)"; for f in ./usr/bin/ravelin ./usr/bin/ravelin-cli \
	  ./usr/bin/ravelin-phone ./usr/libexec/ravelin/ravelin-notifier ./usr/libexec/ravelin/ravelin-keys \
	  ./usr/lib/ravelin/ravelin-eds.so ./usr/share/ravelin/skins/bin/default.skin \
	  ./usr/share/applications/ravelin.desktop ./usr/lib/systemd/user/ravelin-notifier.service \
	  ./etc/xdg/autostart/ravelin-notifier.desktop; do \
	  echo "$$contents" | grep -qE " $$f( -> .*)?$$" || { echo "test-deb: the package lacks $$f"; exit 1; }; done; \
	  echo "test-deb: $$(ls $(DEB_DIR)/ravelin_*.deb) holds every program and service"

# libFuzzer targets (clang, ASan + UBSan); FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELIN_FUZZ=ON -DRAVELIN_BENCH=OFF
	cmake --build $(BUILD_FUZZ) --target fuzzers
	@for f in $(BUILD_FUZZ)/bin/fuzz-*; do \
	  n=$$(basename $$f); mkdir -p fuzz-corpus-tmp/$$n; \
	  echo "== $$n"; "$$f" -max_total_time=$(FUZZ_SECONDS) fuzz-corpus-tmp/$$n fuzz/corpus/$$n || exit 1; \
	done

# Every form of the default skin with sample content, at 240x320@96, 480x640@192 and 640x480@192, in
# every language shipped, on one picture for review ($(BUILD)/skin-sheet.png; docs/skin-sheet.png is a copy).
SHEET_LANGUAGES := english russian german french spanish ukrainian chinese
skin-sheet: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target ravelin-skinc ravelin-data
	$(BUILD)/bin/ravelin-skinc --sheet $(BUILD)/bin/skins/bin/default.skin --out $(BUILD)/skin-sheet.png \
	  $(foreach l,$(SHEET_LANGUAGES),--lang $(BUILD)/bin/$(l).lng --sample data/skins/default/sample-$(l).txt)
	@echo "$(BUILD)/skin-sheet.png"

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN) $(BUILD_FUZZ) $(DEB_DIR)
