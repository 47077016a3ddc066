# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test deps build bench fuzz package clean soak

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-examples.sh $(BUILD)

# Everything once more under AddressSanitizer and UndefinedBehaviorSanitizer (less what the
# decoders' Python interpreter keeps for the life of the process), the viewer
# with a soak of 2,000 random user events (the toolkit's own libraries are not
# instrumented, but our code that they call back is), then a minute of fuzzing the reader.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DKURVEX_SANITIZE=ON \
	  -DKURVEX_BUILD_GUI=ON -DKURVEX_BUILD_BENCH=OFF
	cmake --build $(BUILD)-asan -j $(JOBS)
	KURVEX_SOAK_EVENTS=2000 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --test-dir $(BUILD)-asan --output-on-failure -j $(JOBS)
	@scripts/run-fuzz.sh 60

# 100,000 random user events on the viewer, the resident memory sampled every 1,000; fails
# when it grows by more than 10 % after the first 10,000.
soak: build
	KURVEX_SOAK_EVENTS=100000 QT_QPA_PLATFORM=offscreen \
	  $(BUILD)/tests/kurvex_app_tests --gtest_filter='SoakTest.*'

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done
	@bench/startup.sh $(BUILD) 7
	@bench/python_load.py $(BUILD) 7

# The Debian package of the build, in $(BUILD); scripts/test-package.sh checks it.
package: build
	cmake --build $(BUILD) --target package

fuzz: deps
	@scripts/run-fuzz.sh 60

clean:
	rm -rf $(BUILD) $(BUILD)-asan build-fuzz
