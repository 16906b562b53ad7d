# The two commands of the README: `make test` and `make demo`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_PARALLEL ?= 2

.PHONY: all deps configure build test demo clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(CTEST_PARALLEL)

demo: build
	@if [ -x demo/run-demo.sh ]; then bash demo/run-demo.sh $(BUILD_DIR); \
	else echo "The built-in demo is not built yet."; fi

clean:
	rm -rf $(BUILD_DIR)
