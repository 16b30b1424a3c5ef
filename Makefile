# Taldrex: the two commands of the README, and the build steps they share.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build web web-demo test test-asan fuzz-build fuzz fuzz-ci demo package bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The web page, build-web/: taldrex.html with its .js and .wasm (Emscripten, over the page's
# C libraries from Debian's sources, built once into build-web-deps/) and the bundled show.
export NODE_PATH ?= /usr/share/nodejs
web: build
	@scripts/build-web-deps
	@emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-web -j $(JOBS)
	@rm -rf build-web/show && cp -r $(BUILD)/show build-web/show

# Serves build-web/ on 127.0.0.1 only, and says where to open it.
web-demo: web
	@scripts/web-serve build-web

# The summary after the run says how many tests were skipped and why; under CI (the CI
# variable set) a test whose tool, driver or OpenGL context is missing fails instead.
test: build web
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS); status=$$?; \
		cd $(CURDIR) && scripts/test-summary $(BUILD); exit $$status

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALDREX_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ctest --output-on-failure -j $(JOBS); status=$$?; \
		cd $(CURDIR) && scripts/test-summary build-asan; exit $$status

# libFuzzer targets for every file reader, built with clang and the sanitizers.
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DTALDREX_FUZZ=ON -DTALDREX_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_targets

# Each target for FUZZ_SECONDS; fails on any finding.
fuzz: fuzz-build
	@scripts/run-fuzz build-fuzz $(FUZZ_SECONDS)

# The short run CI makes.
fuzz-ci: fuzz-build
	@scripts/run-fuzz build-fuzz 30

demo: build
	@scripts/run-demo $(BUILD)

# The Debian package, $(BUILD)/taldrex_VERSION_ARCH.deb, from the build's programs and show.
package: build
	@cmake --build $(BUILD) --target package

bench: deps web
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTALDREX_BENCH=ON -DTALDREX_TESTS=OFF >/dev/null
	@cmake --build build-release -j $(JOBS)
	@scripts/run-bench build-release

clean:
	rm -rf $(BUILD) build-release build-asan build-fuzz build-web
