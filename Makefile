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
           xvfb xdotool x11-utils imagemagick python3 valgrind xz-utils
# And the ones only the package and its checks need: dpkg-shlibdeps and file
# for CPack, then the checkers.
PACKAGE_TOOLS = dpkg-dev file lintian desktop-file-utils appstream man-db

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

# Non-blank lines of C++, Python, shell and CMake: the tests (tests/ and the
# soak, which only tests use) against everything else.
COUNTED = \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' -o -name 'CMakeLists.txt' -o -name '*.cmake' \)
count:
	@tests=$$(find tests tools/soak -type f $(COUNTED) -exec cat {} + | grep -c '[^[:space:]]'); \
	code=$$(find . -path ./.git -prune -o -path './build*' -prune -o -path ./tests -prune -o \
	  -path ./tools/soak -prune -o -type f $(COUNTED) -exec cat {} + | grep -c '[^[:space:]]'); \
	echo "code: $$code lines, tests: $$tests lines, tests / code = $$(awk "BEGIN { printf \"%.2f\", $$tests / $$code }")"

# The long soak: a thousand seeded games in each of the four builds, on the
# game library built with AddressSanitizer and UndefinedBehaviorSanitizer,
# the builds side by side. Stops a build at the first broken rule and prints
# how to repeat it.
SOAK_GAMES ?= 1000
SOAK_SEED  ?= 1
soak: build
	cmake --build $(BUILD) --target spindrel_soak -j $(JOBS)
	cd $(BUILD)/soak && status=0 && pids="" && \
	for s in "" -r1 -r2 -r3; do \
	  SDL_AUDIODRIVER=dummy ./spindrel-soak$$s $(SOAK_GAMES) $(SOAK_SEED) & \
	  pids="$$pids $$!"; \
	done && \
	for p in $$pids; do wait $$p || status=1; done; exit $$status

# The speed figures: the headless table, then the CPU share at the 60 Hz pace
# of the real game beside the bare blits, under Xvfb.
bench: build
	cd $(BUILD)/bin && ../tools/spindrel-bench --runs 5
	cd $(BUILD)/bin && xvfb-run -a -s "-screen 0 1024x768x24" \
	  ../tools/spindrel-bench --cpu ./CSpindrel 10 5 2>/dev/null

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
# folder of its own; the classic library is put back afterwards, whatever
# the result.
COMPAT_BUILD ?= build-compat
test-compat: deps
	@status=0; \
	DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q libsdl1.2-compat-dev || exit 1; \
	{ cmake -S . -B $(COMPAT_BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) && \
	  cmake --build $(COMPAT_BUILD) -j $(JOBS) && \
	  echo "SDL in use: $$(readlink -f $$(ldd $(COMPAT_BUILD)/bin/CSpindrel | awk '/libSDL-1.2/ {print $$3}'))" && \
	  (cd $(COMPAT_BUILD) && ctest --output-on-failure -j $(JOBS)); } || status=1; \
	DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q libsdl1.2-dev libsdl1.2debian || status=1; \
	exit $$status

# The Debian package, from the same build folder configured for /usr (the
# next make build switches it back to PREFIX); only what it installs is built.
deb: deps-package
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(BUILD) -j $(JOBS) --target spindrel_installables
	rm -f $(BUILD)/cspindrel_*.deb
	cd $(BUILD) && cpack

# The package's checks: lintian, its contents, the desktop entries and the
# AppStream entry, then installing it with apt-get, playing it and purging it.
test-package: deb
	bash tests/package/check_package.sh $(CURDIR) $(BUILD)

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
	cmake --build $(BUILD) -j $(JOBS) --target spindrel_data
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
	prefix=$$(windows/build-libs.sh $(WIN_CACHE) | tail -1) && \
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/windows/toolchain.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DSPINDREL_WIN_PREFIX=$$prefix \
	  -DSPINDREL_DATA_DIR=$(abspath $(BUILD))/bin
	cmake --build $(WIN_BUILD) -j $(JOBS)
	@ls -l $(WIN_BUILD)/CSpindrel-*-win64.zip

test-windows: windows
	python3 tests/windows/wine_test.py $(WIN_BUILD) . $(BUILD)/bin $(WIN_CACHE)

# The CPU share at the 60 Hz pace of CSpindrel.exe under Wine beside the
# Linux program, the time to the first flipped frame and the zip's size.
bench-windows: windows build
	python3 windows/bench.py $(WIN_BUILD) $(BUILD)
