# Cadenza: the two commands of the README, the install and the Debian
# package, and the benchmarks. JOBS is the number of compile jobs.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# make install: the prefix, and DESTDIR for a staging folder.
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps configure build program test sanitize fuzz run install package bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The program, its plug-ins, tools and manual pages; no test, no benchmark.
program: configure
	@cmake --build $(BUILD) -j $(JOBS) --target cadenza_program

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite again, built with AddressSanitizer and UBSan in its own
# folder; any report fails the test that caused it.
SANITIZE_BUILD ?= build-sanitize
sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCADENZA_SANITIZE=ON -DCADENZA_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The libFuzzer harnesses of tests/fuzz, built with clang in their own folder
# (the libraries with coverage, AddressSanitizer and UBSan), each run for
# FUZZ_SECONDS, FUZZ_JOBS at a time; any finding fails.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= $(JOBS)
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCADENZA_FUZZ=ON \
	  -DCADENZA_BUILD_TESTS=OFF -DCADENZA_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target cadenza_fuzzers
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_JOBS)

run: program
	@scripts/run-demo $(BUILD)

install: program
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# build/cadenza_<version>_<arch>.deb
package: program
	cd $(BUILD) && cpack -G DEB

bench: build
	@scripts/run-bench $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
