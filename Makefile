# Everyday commands. The CMake build lives in $(BUILD); the interpreter that
# builds the extension module is the one that tests and runs it.
PYTHON ?= /usr/bin/python3
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all configure build test demo bench deps clean fuzz fuzz-build sanitize leakcheck hostile count

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DPython3_EXECUTABLE=$(PYTHON)

configure: $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

deps:
	bash .ci/install-deps

# Non-blank, non-comment lines of the product, the tests and the fuzz harnesses, and the ratio
# tests / product; the last three lines are read by hooks (`make -s count | tail -n 3`).
count:
	$(PYTHON) bench/count_lines.py

# End-to-end benchmark table (a few minutes); BENCH_ARGS=--full for 100 MB of every kind,
# BENCH_ARGS="--corpus DIR" to add real files.
bench: build
	$(PYTHON) bench/run_bench.py --build-dir $(BUILD) $(BENCH_ARGS)

demo: deps build
	PYTHONUNBUFFERED=1 PYTHONPATH=$(BUILD)/python $(PYTHON) -m tersewright fold --profile safe --report text bench/samples/demo.py

clean:
	rm -rf $(BUILD)

# libFuzzer harnesses (fuzz/), built with clang 14 under ASan and UBSan in their own build
# directory, each run for FUZZ_SECONDS. The growing corpus stays in the build directory; the seeds
# under fuzz/corpus/ are only read. A finding is written to $(FUZZ_BUILD)/<harness>-crash-*.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_HARNESSES := fold json detect

fuzz-build:
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: $(addprefix fuzz-,$(FUZZ_HARNESSES))

$(addprefix fuzz-,$(FUZZ_HARNESSES)): fuzz-%: fuzz-build
	mkdir -p $(FUZZ_BUILD)/corpus/$*
	$(FUZZ_BUILD)/$*_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ_BUILD)/$*- $(FUZZ_BUILD)/corpus/$* fuzz/corpus/$*

# The GoogleTest and pytest suites with our own code under AddressSanitizer and UBSan (the fetched
# grammar sources stay uninstrumented). The module is loaded into $(PYTHON) with the ASan runtime
# preloaded (tests/python/CMakeLists.txt). The wheel test rebuilds everything from scratch and says
# nothing about our memory safety, so it is left out here.
SANITIZE_BUILD ?= build-sanitize

sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=$(PYTHON) \
	  -DTERSEWRIGHT_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ASAN_OPTIONS=abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS) -E '^python_test_wheel$$'

# The long leak check (100,000 calls through every entry point and error path, RSS growth under
# 2 MB; `make test` runs 20,000), and the hostile inputs alone with their timings.
PYTEST_BUILD = PYTHONPATH=$(BUILD)/python PYTHONDONTWRITEBYTECODE=1 $(PYTHON) -m pytest -q -p no:cacheprovider

leakcheck: build
	TERSEWRIGHT_LEAK_ITERATIONS=100000 $(PYTEST_BUILD) -s tests/python/test_leaks_long.py

hostile: build
	$(PYTEST_BUILD) --durations=10 tests/python/test_hostile.py
