# SPDX-License-Identifier: MIT
# make run   installs what is missing, builds, and compiles the demo score
# make test  installs what is missing, builds, and runs every test
# make && sudo make install [PREFIX=/usr/local]   sudo make uninstall
# make deb MAINTAINER='Name <address>'   make deb-check   make deb-repro MAINTAINER=...
# make vsix  the VS Code extension   make grammar-test  its grammar against the lexer
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all bootstrap build run test pot tsan install uninstall deb deb-check deb-repro editor-files grammar-test vsix bench bench-check bench-compare bench-editor bench-lsp bench-run bench-swap bench-track-view soak fuzz clean

all: build

# What the build and the tests need: Qt 6 for the editor, FluidSynth and a
# small General MIDI SoundFont for playback, ALSA for the sequencer ports,
# a monospace font with Japanese glyphs (the GUI tests see what users see),
# and Python for the check of the reference's examples. The icons are drawn
# with rsvg-convert; the package test checks the installed desktop entry,
# file type, AppStream data and manual pages with the tools a desktop uses.
# The crash-recovery test drives the editor on a virtual display.
# nlohmann-json is zan's JSON (--diagnostics=json, zan lsp), and Neovim a
# client that zan lsp is tested with; Vim and Neovim also open scores with
# the files zan installs for them. gettext's xgettext checks that the
# message catalogs (po/) hold every text of the sources.
PACKAGES = qt6-base-dev libfluidsynth-dev libasound2-dev timgm6mb-soundfont fonts-ipafont-gothic python3 \
  librsvg2-bin dpkg-dev desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl \
  appstream man-db groff-base xvfb xdotool x11-utils nlohmann-json3-dev neovim vim gettext

bootstrap:
	@scripts/bootstrap $(PACKAGES)

build: bootstrap
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@MAKEFLAGS= cmake --build $(BUILD_DIR) -j$(JOBS)

# With a display, the editor opens on the demo score (F9 plays it). Without
# one, the demo is compiled and rendered to a WAV file instead.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "Starting the editor on examples/demo.zan (F9 compiles and plays)"; \
	  exec $(BUILD_DIR)/bin/zanpad examples/demo.zan; \
	fi; \
	echo "No display found: compiling examples/demo.zan with zan instead."; \
	$(BUILD_DIR)/bin/zan -o $(BUILD_DIR)/demo.mid --wav $(BUILD_DIR)/demo.wav examples/demo.zan; \
	  status=$$?; \
	  if [ $$status -eq 0 ]; then \
	    echo "The MIDI file is $(BUILD_DIR)/demo.mid, the rendered audio $(BUILD_DIR)/demo.wav"; fi; \
	  exit $$status

# The tests run three times: on the release build; built again with
# AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails;
# and the tests that play, built with ThreadSanitizer (make tsan).
ASAN_DIR ?= build-asan
test: build
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAN_SANITIZE=ON -DZAN_BUILD_BENCH=OFF >/dev/null
	@MAKEFLAGS= cmake --build $(ASAN_DIR) -j$(JOBS)
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory tsan

# The player's tests, the language server's and the editor's tests that
# play, built with ThreadSanitizer: the audio thread, the GUI and the
# workers (the server's compile thread too) share state, and
# any race reported fails. Only these programs are built in this tree.
# Races inside the uninstrumented FluidSynth and Qt are suppressed
# (tests/tsan.supp); ours are not.
TSAN_DIR ?= build-tsan
TSAN_TESTS ?= zan_player_tests zan_lsp_tests zanpad_run_play_test zanpad_live_score_test zanpad_playback_follow_test \
  zanpad_track_view_test zanpad_live_update_test
tsan: bootstrap
	@cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAN_TSAN=ON -DZAN_BUILD_BENCH=OFF >/dev/null
	@MAKEFLAGS= cmake --build $(TSAN_DIR) -j$(JOBS) $(foreach t,$(TSAN_TESTS),--target $(t))
	@for t in $(TSAN_TESTS); do \
	  echo "== $$t under ThreadSanitizer"; \
	  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	    $(TSAN_DIR)/bin/$$t >$(TSAN_DIR)/$$t.log 2>&1 || { cat $(TSAN_DIR)/$$t.log; echo "$$t failed under ThreadSanitizer"; exit 1; }; \
	done

# The translators' template, po/zan.pot: every text of the sources, made
# with xgettext (README.md says how a language is added from it).
pot:
	@python3 tests/check_catalog.py --source-dir . --write-template

# Installs under PREFIX (inside DESTDIR when set) and remembers what it
# installed, for make uninstall; refreshes the desktop's file-type and
# application caches when installing for real. It does not build, so that
# `make && sudo make install` leaves no root-owned files in the build.
PREFIX ?= /usr/local
install:
	@[ -x $(BUILD_DIR)/bin/zan ] || { echo "nothing built in $(BUILD_DIR): run make first"; exit 1; }
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix $(PREFIX)
	@cp $(BUILD_DIR)/install_manifest.txt $(BUILD_DIR)/installed_files.txt
	@if [ -z "$(DESTDIR)" ]; then \
	  ! command -v update-mime-database >/dev/null || update-mime-database $(PREFIX)/share/mime; \
	  ! command -v update-desktop-database >/dev/null || update-desktop-database -q $(PREFIX)/share/applications; \
	fi

# Removes what the last make install installed, and the folders only zan uses.
uninstall:
	@[ -f $(BUILD_DIR)/installed_files.txt ] || { echo "nothing installed from $(BUILD_DIR)"; exit 1; }
	@xargs -d '\n' rm -fv < $(BUILD_DIR)/installed_files.txt
	@prefix=$$(sed -n 's|/bin/zan$$||p' $(BUILD_DIR)/installed_files.txt); \
	  rmdir $$prefix/share/doc/zan/reference $$prefix/share/doc/zan/examples $$prefix/share/doc/zan 2>/dev/null; \
	  rmdir $$prefix/libexec/zan 2>/dev/null; \
	  if [ -z "$(DESTDIR)" ]; then \
	    ! command -v update-mime-database >/dev/null || update-mime-database $$prefix/share/mime; \
	    ! command -v update-desktop-database >/dev/null || update-desktop-database -q $$prefix/share/applications; \
	  fi; true
	@rm -f $(BUILD_DIR)/installed_files.txt

# The Debian packages (debian/: zan, zan-player, zanpad), built with
# dpkg-buildpackage -b from a copy of the tree in $(DEB_DIR)/zan-VERSION, the
# packages in $(DEB_DIR). MAINTAINER ('Name <address>') is their maintainer;
# it has no default. make deb-check runs lintian on them, installs, runs and
# purges each one, and checks that zan brings no audio or GUI library;
# make deb-repro builds them again in $(BUILD_DIR)/repro and compares.
DEB_DIR ?= $(BUILD_DIR)/deb
DEB_TOOLS = debhelper lintian
ifneq (,$(filter deb deb-repro,$(MAKECMDGOALS)))
ifeq (,$(strip $(MAINTAINER)))
$(error set MAINTAINER='Name <address>': the packages' maintainer, which has no default)
endif
endif

deb:
	@scripts/bootstrap $(PACKAGES) $(DEB_TOOLS)
	@scripts/build-deb "$(MAINTAINER)" $(DEB_DIR)

deb-check:
	@scripts/bootstrap $(PACKAGES) $(DEB_TOOLS)
	@scripts/check-debs $(DEB_DIR)

deb-repro:
	@scripts/bootstrap $(PACKAGES) $(DEB_TOOLS)
	@scripts/check-reproducible "$(MAINTAINER)" $(DEB_DIR) $(BUILD_DIR)/repro

# Only what the editors' files are made from: the library and its tool.
editor-files: bootstrap
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@MAKEFLAGS= cmake --build $(BUILD_DIR) -j$(JOBS) --target editor_files

# The VS Code grammar (made from the lexer's tables) against the lexer itself,
# in VS Code's engine, on the demo and every example of the reference: lists
# the characters coloured differently, fails below 99% agreement. Installs
# node, npm and the pinned npm modules it needs (tests/editors/grammar).
GRAMMAR_TEST_DIR = $(abspath $(BUILD_DIR))/grammar-test
grammar-test: editor-files
	@command -v npm >/dev/null || scripts/bootstrap nodejs npm
	@mkdir -p $(GRAMMAR_TEST_DIR)
	@cp tests/editors/grammar/package.json tests/editors/grammar/package-lock.json $(GRAMMAR_TEST_DIR)/
	@cd $(GRAMMAR_TEST_DIR) && npm ci --no-audit --no-fund --loglevel=error
	@NODE_PATH=$(GRAMMAR_TEST_DIR)/node_modules node tests/editors/grammar/grammar_test.js \
	  --grammar $(BUILD_DIR)/editors/zan.tmLanguage.json --lexer $(BUILD_DIR)/bin/make_editor_files --source-dir .

# The VS Code extension, $(BUILD_DIR)/zan-VERSION.vsix: the language, its
# comment and bracket rules, the grammar made from the lexer's tables and a
# client that starts the installed zan lsp (editors/vscode). Installs node,
# npm and the pinned npm modules it needs (@vscode/vsce,
# vscode-languageclient); code --install-extension FILE installs it.
VSIX_DIR = $(abspath $(BUILD_DIR))/vscode
ZAN_VERSION = $(shell awk '/^project.zan VERSION/ { print $$3 }' CMakeLists.txt)
vsix: editor-files
	@command -v npm >/dev/null || scripts/bootstrap nodejs npm
	@rm -rf $(VSIX_DIR) && mkdir -p $(VSIX_DIR)/syntaxes
	@cp editors/vscode/package.json editors/vscode/package-lock.json editors/vscode/extension.js \
	  editors/vscode/language-configuration.json editors/vscode/README.md editors/vscode/.vscodeignore LICENSE $(VSIX_DIR)/
	@cp $(BUILD_DIR)/editors/zan.tmLanguage.json $(VSIX_DIR)/syntaxes/
	@cd $(VSIX_DIR) && npm pkg set version=$(ZAN_VERSION) && npm ci --no-audit --no-fund --loglevel=error \
	  && npx --no-install vsce package --allow-missing-repository --out $(abspath $(BUILD_DIR))/zan-$(ZAN_VERSION).vsix

bench: build
	@$(BUILD_DIR)/bin/zan_bench

# Typing in a 1 MB score and the background check, offscreen.
bench-editor: build
	@$(BUILD_DIR)/bin/zanpad_live_bench

# zan lsp's semantic tokens of one screen of a 5 MB score (bench/README.md).
bench-lsp: build
	@$(BUILD_DIR)/bin/zan_lsp_bench

# The track view painting a million notes, offscreen (bench/README.md).
bench-track-view: build
	@$(BUILD_DIR)/bin/zan_track_view_bench

# Compile time at 1M notes over 100k notes, for each kind of score: at most 11.
bench-check: build
	@$(BUILD_DIR)/bin/zan_growth_check

# F9 to the first note in the editor, offscreen, on the silent and file drivers.
bench-run: build
	@$(BUILD_DIR)/bin/zan_run_latency

# A compiled edit swapped into the playing music, at 20k and 1M notes.
bench-swap: build
	@$(BUILD_DIR)/bin/zan_swap_bench

# The playback soak: random open, play, seek, loop, mute, solo, swaps of the
# music while it plays, stop and close on the silent and the file driver for
# SOAK_MINUTES (default 10), with a watchdog on every call, a check for notes
# left sounding after a stop and for note-ons the music playing does not
# hold, the driving thread's slowest buffer against its time, and the
# resident size at the end against the first minute's.
SOAK_MINUTES ?= 10
soak: build
	@$(BUILD_DIR)/bin/zan_soak --minutes $(SOAK_MINUTES)

# zan against abc2midi on the same music, whole process, at four sizes
# (abc2midi is installed when missing).
bench-compare: build
	@bench/compare_abc2midi.py --zan $(BUILD_DIR)/bin/zan

# Builds the libFuzzer targets with clang and runs each in turn for
# FUZZ_SECONDS (default 10 minutes): the compiler and lexer on scores, the
# lexer alone (line by line, as the highlighter runs it), the
# player's MIDI file reader, the text conversions, the editor's settings
# file reader, zan lsp's message reader and dispatch. fuzz/CMakeLists.txt
# lists the targets with their seeds and dictionaries; the normal build runs
# each over its seeds as a test. New inputs go to build-fuzz/corpus/TARGET;
# anything found is written to build-fuzz/artifacts/ (zan_fuzz_TARGET FILE
# replays it, from either build).
# FUZZ_TARGETS="smf" runs one of them.
FUZZ_SECONDS ?= 600
FUZZ_TARGETS ?=
fuzz:
	@scripts/bootstrap clang-14 libclang-rt-14-dev
	@cmake -S . -B build-fuzz -DZAN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
	@targets="$(FUZZ_TARGETS)"; [ -n "$$targets" ] || targets=$$(cat build-fuzz/bin/fuzz_targets); \
	  MAKEFLAGS= cmake --build build-fuzz -j$(JOBS) $$(for t in $$targets; do echo --target zan_fuzz_$$t; done) || exit 1; \
	  mkdir -p build-fuzz/artifacts; \
	  for t in $$targets; do \
	    mkdir -p build-fuzz/corpus/$$t; \
	    echo "== zan_fuzz_$$t for $(FUZZ_SECONDS) s"; \
	    build-fuzz/bin/zan_fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	      -artifact_prefix=build-fuzz/artifacts/$$t- build-fuzz/corpus/$$t $$(cat build-fuzz/bin/zan_fuzz_$$t.args) \
	      || exit 1; \
	  done

clean:
	@rm -rf $(BUILD_DIR)
