# The two commands a fresh machine needs: `make run` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: deps build run test bench clean

deps:
	bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD)

# DEVICE=/dev/ttyUSB0 runs with a real logger instead of the simulator.
run: build
	bash scripts/run $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD)
