# Everyday commands. The CMake build lives in $(BUILD); the interpreter that
# builds the extension module is the one that tests and runs it.
PYTHON ?= /usr/bin/python3
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all configure build test demo deps clean fuzz fuzz-build

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

demo: deps build
	$(BUILD)/tersewright_fold --profile safe bench/samples/demo.py

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
