# CSpindrel: the two commands a newcomer needs.
#   make run   install what is missing, build, generate the data files, play
#   make test  install what is missing, build, run every test
#   make deb   build the Debian package build/cspindrel_VERSION_ARCH.deb
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build and the tests need.
PACKAGES = cmake g++ make pkg-config libsdl1.2-dev libsdl-mixer1.2-dev \
           libmpg123-dev libmp3lame-dev libpng-dev libgtest-dev \
           xvfb xauth xdotool x11-utils imagemagick python3 xz-utils git \
           libboost-dev nlohmann-json3-dev libsqlite3-dev libsqlitecpp-dev libssl-dev libcli11-dev
# And the ones only the package and its checks need: dpkg-shlibdeps and file
# for CPack, then the checkers.
PACKAGE_TOOLS = dpkg-dev file lintian desktop-file-utils appstream man-db systemd

# What building and entering another Debian release's system needs.
DEBIAN_TOOLS = debootstrap git

# The browser build and its tests: the compiler and a browser to test in.
WEB_PACKAGES = emscripten chromium

PREFIX     ?= /usr/local

# Another apt-get may hold dpkg's lock for a while: wait for it.
APT_WAIT = -o DPkg::Lock::Timeout=600

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test build deps deps-package configure clean bench install install-files uninstall \
        test-compat soak deb test-package count approve \
        web web-deps web-run test-web

# $(call install-missing,PACKAGES): apt-get installs those not installed yet.
define install-missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get $(APT_WAIT) update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get $(APT_WAIT) install -y -q --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

deps-package: deps
	$(call install-missing,$(PACKAGE_TOOLS))

# The install layout follows the prefix (see packaging/install.cmake).
configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/bin && ./CSpindrel

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Accepts what the programs do now as the approved traces and pictures.
approve: build
	tests/system/golden.sh $(BUILD)/bin . $(BUILD) --update

clean:
	rm -rf $(BUILD)

# Non-blank lines of C++, JavaScript, Python, shell and CMake: the tests (tests/ and the
# soak, which only tests use) against everything else.
COUNTED = \( -name '*.cpp' -o -name '*.h' -o -name '*.js' -o -name '*.py' -o -name '*.sh' -o -name 'CMakeLists.txt' -o -name '*.cmake' \)
count:
	@tests=$$(find tests tools/soak -type f $(COUNTED) -exec cat {} + | grep -c '[^[:space:]]'); \
	code=$$(find . -path ./.git -prune -o -path './build*' -prune -o -path ./tests -prune -o \
	  -path ./tools/soak -prune -o -type f $(COUNTED) -exec cat {} + | grep -c '[^[:space:]]'); \
	echo "code: $$code lines, tests: $$tests lines, tests / code = $$(awk "BEGIN { printf \"%.2f\", $$tests / $$code }")"

# The long soak: a thousand seeded games in each of the four builds, on the
# game library built with AddressSanitizer and UndefinedBehaviorSanitizer,
# the builds side by side. Stops a build at the first broken rule and prints
# how to repeat it; then plays each build's last game again on its own,
# which must give the same digest of every frame.
SOAK_GAMES ?= 1000
SOAK_SEED  ?= 1
SOAK_BUILDS = "" -r1 -r2 -r3
soak: configure
	cmake --build $(BUILD) --target spindrel_soak -j $(JOBS)
	@cd $(BUILD)/soak && pids="" && status=0 && \
	for s in $(SOAK_BUILDS); do ./spindrel-soak$$s $(SOAK_GAMES) $(SOAK_SEED) 2>log$$s & pids="$$pids $$!"; done; \
	for p in $$pids; do wait $$p || status=1; done; \
	for s in $(SOAK_BUILDS); do cat log$$s; done; [ $$status = 0 ] || exit 1; \
	last=$$(($(SOAK_SEED) + $(SOAK_GAMES) - 1)); \
	for s in $(SOAK_BUILDS); do \
	  a=$$(grep -o "game $$last digest [0-9a-f]*" log$$s); \
	  b=$$(./spindrel-soak$$s 1 $$last 2>&1 | grep -o "game $$last digest [0-9a-f]*"); \
	  [ -n "$$a" ] && [ "$$a" = "$$b" ] || { echo "spindrel-soak$$s 1 $$last plays another game: $$b, not $$a"; exit 1; }; \
	done; echo "every build's game $$last plays the same on its own"

# The speed figures: the headless table, then the CPU share at the 60 Hz pace
# of the real game beside the bare blits, under Xvfb.
bench: build
	cd $(BUILD)/bin && ../tools/spindrel-bench --runs 5
	cd $(BUILD)/bin && xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
	  ../tools/spindrel-bench --cpu ./CSpindrel --seconds 10 --runs 5 2>/dev/null

# Installs into $(DESTDIR)$(PREFIX). The files installed and the folders the
# install created are kept in the build folder, so that uninstall removes
# exactly those and nothing else. CMake lists the folders the install uses.
INSTALL_RECORD = $(BUILD)/installed-$(subst /,_,$(DESTDIR)$(PREFIX))

install: build
	@$(MAKE) --no-print-directory install-files

# The install step alone, on a finished build (the tests use it).
install-files:
	@: > $(INSTALL_RECORD).dirs; \
	{ dir="$(PREFIX)"; \
	  while [ "$$dir" != / ] && [ "$$dir" != . ]; do echo "$$dir"; dir=$$(dirname "$$dir"); done | tac; \
	  sed 's|^|$(PREFIX)/|' $(BUILD)/install_dirs.txt; } | \
	while IFS= read -r dir; do \
	  [ -d "$(DESTDIR)$$dir" ] || echo "$(DESTDIR)$$dir" >> $(INSTALL_RECORD).dirs; \
	done
	cmake --install $(BUILD) --prefix $(PREFIX)
	cp $(BUILD)/install_manifest.txt $(INSTALL_RECORD).files

uninstall:
	@if [ ! -f $(INSTALL_RECORD).files ]; then \
	  echo "Nothing was installed into $(DESTDIR)$(PREFIX) from $(BUILD)"; exit 1; fi; \
	while IFS= read -r file || [ -n "$$file" ]; do \
	  case "$$file" in "$(DESTDIR)"/*) ;; *) file="$(DESTDIR)$$file";; esac; \
	  rm -f "$$file"; \
	done < $(INSTALL_RECORD).files; \
	tac $(INSTALL_RECORD).dirs | while IFS= read -r dir; do rmdir "$$dir" 2>/dev/null || true; done; \
	rm -f $(INSTALL_RECORD).files $(INSTALL_RECORD).dirs; \
	echo "Removed what was installed into $(DESTDIR)$(PREFIX)"

# The same tests against sdl12-compat (SDL 1.2 on top of SDL 2), in a build
# folder of its own: the library is unpacked into a private folder outside
# the clone, the build links it there and its tests load it from there. The
# machine's own SDL packages stay as they are.
COMPAT_BUILD ?= build-compat
COMPAT_CACHE ?= /var/cache/cspindrel-compat
COMPAT_LIBS   = $(COMPAT_CACHE)/root/usr/lib/$(shell gcc -print-multiarch 2>/dev/null)
test-compat: deps
	$(SUDO) bash tools/compat/sdl12_compat.sh $(COMPAT_CACHE)
	PKG_CONFIG_PATH=$(COMPAT_CACHE)/pkgconfig cmake -U '*SDL*' -S . -B $(COMPAT_BUILD) \
	  -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(COMPAT_BUILD) -j $(JOBS)
	@sdl=$$(ldd $(COMPAT_BUILD)/bin/CSpindrel | awk '/libSDL-1.2/ { print $$3 }'); \
	echo "SDL in use: $$sdl -> $$(readlink -f $$sdl)"; \
	case "$$sdl" in $(COMPAT_LIBS)/*) ;; *) echo "the build does not load sdl12-compat"; exit 1;; esac
	cd $(COMPAT_BUILD) && LD_LIBRARY_PATH=$(COMPAT_LIBS) ctest --output-on-failure -j $(JOBS)

# The Debian package, from the same build folder configured for /usr (the
# next make build switches it back to PREFIX); only what it installs is built.
# The server's package beside it holds the browser build's site.
deb: deps-package web
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=/usr \
	  -DSPINDREL_SITE_DIR=$(abspath $(WEB_BUILD))/site
	cmake --build $(BUILD) -j $(JOBS) --target spindrel_installables spindrel_server_installables
	rm -f $(BUILD)/cspindrel_*.deb $(BUILD)/spindrel-server_*.deb
	cd $(BUILD) && cpack && cpack --config CPackServerConfig.cmake

# The packages' checks: lintian, their contents, the desktop entries and the
# AppStream entry, then installing each with apt-get, playing it and purging it.
test-package: deb
	bash tests/package/check_package.sh $(CURDIR) $(BUILD)
	bash tests/package/check_server_package.sh $(CURDIR) $(BUILD)

# The browser build: the same sources compiled with Emscripten into a folder
# of static files, $(WEB_BUILD)/site. The data files come from the native
# build's generator, which the browser build cannot compile (it links LAME).
WEB_BUILD ?= build-web
# Debian's emcc runs JavaScript tools that Debian installs as node modules.
WEB_ENV = NODE_PATH=/usr/share/nodejs
WEB_PORT ?= 8013

web-deps: deps
	$(call install-missing,$(WEB_PACKAGES))

web: web-deps configure
	cmake --build $(BUILD) -j $(JOBS) --target spindrel_data spindrel_web_icons
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DSPINDREL_DATA_DIR=$(abspath $(BUILD))/bin
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)
	@echo "The browser games are in $(WEB_BUILD)/site/"

web-run: web
	@echo "Serving $(WEB_BUILD)/site at http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops)"
	cd $(WEB_BUILD)/site && python3 -m http.server $(WEB_PORT) --bind 127.0.0.1

# The browser tests compare the pages with the desktop replay tool.
test-web: web build
	python3 tests/web/web_test.py $(WEB_BUILD)/site $(BUILD)/bin

# The same checks on another Debian release: a minimal system of SUITE built
# with debootstrap into DEBIAN_CACHE (once, then reused), the commit under
# test cloned into it and DEBIAN_TARGETS run inside as root. SUITE=forky is
# Debian's testing release, which changes daily: not part of CI.
.PHONY: test-debian13
SUITE         ?= trixie
DEBIAN_CACHE  ?= /var/cache/cspindrel-debian13
DEBIAN_TARGETS ?= test test-package test-web test-online-cluster
test-debian13:
	$(call install-missing,$(DEBIAN_TOOLS))
	$(SUDO) bash tools/debian/run_in_debian.sh . $(SUITE) $(DEBIAN_CACHE) $(DEBIAN_TARGETS)

# --- Gates: each fails naming the file and line of what it found. They find
# their files through git, so new folders are covered as they land. ---------
.PHONY: gates format-check shellcheck analyse layering werror test-asan soak-ci
GATE_FILES = git ls-files --cached --others --exclude-standard
GATE_PACKAGES = clang-format shellcheck cppcheck

gates: format-check shellcheck analyse layering

format-check:
	$(call install-missing,$(GATE_PACKAGES))
	$(GATE_FILES) -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

# Every file named *.sh or *.sh.in, and every other whose first line starts a
# POSIX shell or bash.
shellcheck:
	$(call install-missing,$(GATE_PACKAGES))
	@$(GATE_FILES) | while IFS= read -r f; do \
	  case $$f in *.sh|*.sh.in) echo "$$f";; *) head -c 40 "$$f" 2>/dev/null | head -1 | \
	    grep -Eq '^#!(/usr)?/bin/(env )?(ba)?sh' && echo "$$f";; esac; \
	done | xargs -r shellcheck -f gcc

# cppcheck's checks for bugs, speed, portability and unused functions, over
# every C++ file as the game builds it; style opinions stay out.
analyse:
	$(call install-missing,$(GATE_PACKAGES))
	$(GATE_FILES) '*.cpp' | xargs cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ \
	  --enable=warning,performance,portability,unusedFunction --suppress=missingIncludeSystem \
	  -I . -DSPINDREL_REVISION_HEADER='"revisions/current.h"' --template=gcc

# Every #include and every CMake source list against the layering table in
# HACKING.md, which the script reads.
layering:
	python3 tools/gates/layering.py

# The build with every warning an error; later makes keep it (CMake's cache).
werror: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

# The unit tests of both unit-test builds on the game built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: configure
	cmake --build $(BUILD) --target unit_tests_current_asan unit_tests_r2_asan spindrel_data -j $(JOBS)
	cd $(BUILD)/bin && for r in current r2; do \
	  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ../tests/unit_tests_$${r}_asan --gtest_brief=1 || exit 1; done

# The soak CI runs: a few hundred games per build.
soak-ci:
	$(MAKE) --no-print-directory soak SOAK_GAMES=200

# Online play: spindrel-server serves the site and the rooms' WebSocket on one
# port. online-run picks a free port unless ONLINE_PORT names one, and keeps
# its rooms in $(BUILD)/online/ between runs.
.PHONY: online-run test-online bench-online
ONLINE_ADDR ?= 127.0.0.1
ONLINE_PORT ?=
FREE_PORT = python3 -c 'import socket, sys; s = socket.socket(); s.bind((sys.argv[1], 0)); print(s.getsockname()[1])'

online-run: web configure
	cmake --build $(BUILD) -j $(JOBS) --target spindrel-server
	@mkdir -p $(BUILD)/online; \
	port=$${ONLINE_PORT:-$$($(FREE_PORT) $(ONLINE_ADDR))}; \
	echo "Open http://$(ONLINE_ADDR):$$port/online.html to create a game (Ctrl+C stops the server)"; \
	exec $(BUILD)/bin/spindrel-server --address $(ONLINE_ADDR) --port $$port \
	  --site $(WEB_BUILD)/site --db $(BUILD)/online/rooms.sqlite

# Games between pages in headless Chromium through the real server, with
# the faults: a page closed and opened again, the server killed mid-game.
test-online: web configure
	cmake --build $(BUILD) -j $(JOBS) --target spindrel-server spindrel-replay
	python3 tests/online/browser_test.py $(WEB_BUILD)/site $(BUILD)/bin

# Click-to-applied time between two pages at the game's pace, the bytes of
# the online page, the catch-up after 200 missed moves.
bench-online: web configure
	cmake --build $(BUILD) -j $(JOBS) --target spindrel-server spindrel-replay
	python3 tools/bench/online_bench.py $(WEB_BUILD)/site $(BUILD)/bin

# Several servers behind HAProxy on loopback, TLS at HAProxy on a certificate
# made at start (tools/cluster): online-cluster serves the site until Ctrl+C
# (CLUSTER_PORT, or a free port); its test spreads rooms over the servers,
# kills one and drains another; its benchmark compares the relay of a move
# through HAProxy and TLS with one straight to a server.
.PHONY: online-cluster test-online-cluster bench-cluster cluster-deps
CLUSTER_PACKAGES = haproxy openssl python3
CLUSTER_PORT ?= 0
cluster-deps:
	$(call install-missing,$(CLUSTER_PACKAGES))

online-cluster: web configure cluster-deps
	cmake --build $(BUILD) -j $(JOBS) --target spindrel-server
	python3 tools/cluster/cluster.py $(BUILD)/bin $(WEB_BUILD)/site $(BUILD)/cluster $(CLUSTER_PORT)

test-online-cluster: configure cluster-deps
	cmake --build $(BUILD) -j $(JOBS) --target spindrel-server
	python3 tests/online/cluster_test.py $(BUILD)/bin

bench-cluster: configure cluster-deps
	cmake --build $(BUILD) -j $(JOBS) --target spindrel-server
	python3 tools/bench/cluster_bench.py $(BUILD)/bin

# The server of online play and its checks: the protocol's bad inputs, a
# restart after SIGKILL, the HTTP paths and a short run of the load tool.
.PHONY: server test-online-server load
server: configure
	cmake --build $(BUILD) -j $(JOBS) --target spindrel-server spindrel-load

test-online-server: server
	python3 tests/online/server_test.py $(BUILD)/bin

# The full load run (a benchmark): 500 rooms of four seats, 100 moves a seat at
# LOAD_RATE moves a second, against a server of its own on a loopback port.
LOAD_ROOMS ?= 500
LOAD_MOVES ?= 100
LOAD_RATE  ?= 5
load: server
	$(BUILD)/bin/spindrel-load --server $(BUILD)/bin/spindrel-server --rooms $(LOAD_ROOMS) \
	  --moves $(LOAD_MOVES) --rate $(LOAD_RATE) --timeout 600

# Windows: the four programs cross-built with MinGW-w64 into
# $(WIN_BUILD)/CSpindrel-VERSION-win64.zip, against SDL, SDL_mixer and
# libmpg123 built from Debian's source packages into $(WIN_CACHE) (outside
# the clone, kept between builds); the tests run the zip under Wine.
WIN_BUILD ?= build-windows
WIN_CACHE ?= $(shell [ -w /var/cache ] && echo /var/cache/cspindrel-win64 || echo $${XDG_CACHE_HOME:-$$HOME/.cache}/cspindrel-win64)
WIN_PACKAGES = gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix dpkg-dev make
WIN_TEST_PACKAGES = wine wine64 xvfb xdotool x11-utils imagemagick python3

.PHONY: windows windows-deps test-windows bench-windows

windows-deps: deps
	$(call install-missing,$(WIN_PACKAGES) $(WIN_TEST_PACKAGES))

windows: windows-deps configure
	cmake --build $(BUILD) -j $(JOBS) --target spindrel_data
	prefix=$$(windows/build-libs.sh $(WIN_CACHE)) && \
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/windows/toolchain.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DSPINDREL_WIN_PREFIX=$$prefix \
	  -DSPINDREL_DATA_DIR=$(abspath $(BUILD))/bin
	cmake --build $(WIN_BUILD) -j $(JOBS)
	@ls -l $(WIN_BUILD)/CSpindrel-*-win64.zip

# The zip unpacked and played under Wine on Xvfb, in a scratch copy of a
# Wine prefix kept in $(WIN_CACHE).
test-windows: windows
	python3 tests/windows/wine_test.py $(WIN_BUILD) . $(WIN_CACHE)

# The CPU share at the 60 Hz pace of CSpindrel.exe under Wine beside the
# Linux program, the time to the first flipped frame and the zip's size.
bench-windows: windows
	cmake --build $(BUILD) -j $(JOBS) --target CSpindrel
	python3 windows/bench.py $(WIN_BUILD) $(BUILD) $(WIN_CACHE)
