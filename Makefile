# The two commands a fresh machine needs: `make run` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: deps build test bench clean

deps:
	bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD)
