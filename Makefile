# Taldrex: the two commands of the README, and the build steps they share.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test test-asan demo bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALDREX_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/run-demo $(BUILD)

bench: deps
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTALDREX_BENCH=ON >/dev/null
	@cmake --build build-release -j $(JOBS)
	@scripts/run-bench build-release

clean:
	rm -rf $(BUILD) build-release build-asan
