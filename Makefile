# The two commands of the README: `make test` and `make demo`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_PARALLEL ?= 2

.PHONY: all deps configure build test test-asan test-tsan fuzz soak check demo bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(CTEST_PARALLEL) -LE soak

# The whole suite with AddressSanitizer and UndefinedBehaviorSanitizer. Leak checking at exit is
# off for the whole suite: many tests unload plug-in copies (and the libraries only they use)
# while the process runs, and LeakSanitizer cannot tell what such libraries leave behind from a
# leak. The fault-injection, secrets and registry tests run once more with it on.
ASAN_RUN_OPTIONS ?= detect_leaks=0:abort_on_error=1
test-asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFEEDPROBE_SANITIZE=address
	cmake --build build-asan
	ASAN_OPTIONS=$(ASAN_RUN_OPTIONS) UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(CTEST_PARALLEL) -LE soak
	# The fault-injection, secrets and registry tests again, with leak checking.
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(CTEST_PARALLEL) \
	  -R 'FaultInjection|Secrets|RegistryStore'


# The concurrency tests with ThreadSanitizer.
TSAN_TESTS ?= Collection|Transport|AutoResetEvent|Thread|HostSetup|Registration
test-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFEEDPROBE_SANITIZE=thread
	cmake --build build-tsan
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --test-dir build-tsan --output-on-failure -j $(CTEST_PARALLEL) -R '$(TSAN_TESTS)'

# The benchmark suite (a few minutes); writes docs/performance.md. Figures are noisy while
# other work runs on the machine. `make test` runs a short smoke of it (ctest bench-smoke).
BENCH_REPETITIONS ?= 3
bench: build
	$(BUILD_DIR)/bench/feedprobe_bench --benchmark_repetitions=$(BENCH_REPETITIONS) \
	  --benchmark_out=$(BUILD_DIR)/bench/results.json --benchmark_out_format=json
	python3 bench/make_report.py $(BUILD_DIR)/bench/results.json bench/performance-notes.md \
	  docs/performance.md

# The libFuzzer targets, built with clang, each run for FUZZ_SECONDS, two at a time.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DFEEDPROBE_FUZZ=ON
	cmake --build build-fuzz --target fuzz_targets
	bash scripts/run-fuzz.sh build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# 50 host monitors for SOAK_SECONDS; resident memory and descriptors must stay flat.
SOAK_SECONDS ?= 60
soak: build
	FEEDPROBE_SOAK_SECONDS=$(SOAK_SECONDS) ctest --test-dir $(BUILD_DIR) --output-on-failure -V -L soak

# Everything CI runs.
check: test test-asan test-tsan fuzz soak

demo: build
	@if [ -x demo/run-demo.sh ]; then bash demo/run-demo.sh $(BUILD_DIR); \
	else echo "The built-in demo is not built yet."; fi

clean:
	rm -rf $(BUILD_DIR)
