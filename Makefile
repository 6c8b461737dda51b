# Everyday commands. The CMake build lives in $(BUILD); the interpreter that
# builds the extension module is the one that tests and runs it.
PYTHON ?= /usr/bin/python3
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all configure build test demo bench deps clean

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

# End-to-end benchmark table (a few minutes); BENCH_ARGS=--full for 100 MB of every kind,
# BENCH_ARGS="--corpus DIR" to add real files.
bench: build
	$(PYTHON) bench/run_bench.py --build-dir $(BUILD) $(BENCH_ARGS)

demo: deps build
	PYTHONUNBUFFERED=1 PYTHONPATH=$(BUILD)/python $(PYTHON) -m tersewright fold --profile safe --report text bench/samples/demo.py

clean:
	rm -rf $(BUILD)
