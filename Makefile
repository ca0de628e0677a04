# CSpindrel: the two commands a newcomer needs.
#   make run   install what is missing, build, generate the data files, play
#   make test  install what is missing, build, run every test
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build and the tests need.
PACKAGES = cmake g++ make pkg-config libsdl1.2-dev libsdl-mixer1.2-dev \
           libmpg123-dev libmp3lame-dev libgtest-dev \
           xvfb xdotool x11-utils imagemagick

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test build deps configure clean bench

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/bin && ./CSpindrel

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)

# The speed figures: the headless table, then the CPU share at the 60 Hz pace
# of the real game beside the bare blits, under Xvfb.
bench: build
	cd $(BUILD)/bin && ../tools/spindrel-bench --runs 5
	cd $(BUILD)/bin && xvfb-run -a -s "-screen 0 1024x768x24" \
	  ../tools/spindrel-bench --cpu ./CSpindrel 10 5 2>/dev/null
