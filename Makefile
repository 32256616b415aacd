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

demo: build
	@echo "velm: the production program is not part of the build yet; 'make demo' only builds for now."

clean:
	rm -rf $(BUILD_DIR)
