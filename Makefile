# The two commands of the README. Both install what is missing first.
BUILD_DIR ?= build
JOBS ?= 2

.PHONY: all deps configure build test demo clean

all: build

deps:
	scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	-$(BUILD_DIR)/tools/velm-gfx-info
	cd $(BUILD_DIR) && ctest --output-on-failure

# With a display, play in a window; without one, capture the whole production.
demo: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "velm: playing the production in a window (Escape ends it)"; \
	  $(BUILD_DIR)/velm; \
	else \
	  mkdir -p out; \
	  echo "velm: no display found, capturing the production to out/velm.mp4"; \
	  $(BUILD_DIR)/capture/velm-capture --video out/velm.mp4 && echo "velm: the video is in out/velm.mp4"; \
	fi

clean:
	rm -rf $(BUILD_DIR)
