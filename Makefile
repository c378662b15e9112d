# Cadenza: the two commands of the README, and the benchmarks.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test sanitize run bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

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

run: build
	@scripts/run-demo $(BUILD)

bench: build
	@scripts/run-bench $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
