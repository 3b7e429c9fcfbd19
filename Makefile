# The two commands a fresh machine needs: `make run` and `make test`.
BUILD ?= build
SANITIZE_BUILD ?= build-asan
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

# Every report stops the process that meets it, leaks included. Reports go to files so that
# those of the program and the simulator, started by end-to-end tests, are seen too.
SANITIZER_REPORTS = $(CURDIR)/$(SANITIZE_BUILD)/sanitizer-reports
SANITIZER_ENV = \
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:log_path=$(SANITIZER_REPORTS)/report \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:log_path=$(SANITIZER_REPORTS)/report

.PHONY: deps build run test test-sanitize fuzz bench clean

deps:
	bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD)

# DEVICE=/dev/ttyUSB0 runs with a real logger instead of the simulator.
run: build
	bash scripts/run $(BUILD)

# The normal build's tests, then the same tests built with AddressSanitizer and UBSan.
test: build
	ctest --test-dir $(BUILD) --output-on-failure
	$(MAKE) test-sanitize

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DWENDRO_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD)
	rm -rf $(SANITIZER_REPORTS) && mkdir -p $(SANITIZER_REPORTS)
	status=0; $(SANITIZER_ENV) ctest --test-dir $(SANITIZE_BUILD) --output-on-failure || status=$$?; \
	if [ -n "$$(ls -A $(SANITIZER_REPORTS))" ]; then \
	  cat $(SANITIZER_REPORTS)/*; echo "sanitizer reports above, kept in $(SANITIZER_REPORTS)"; exit 1; \
	fi; exit $$status

# Each libFuzzer target for FUZZ_SECONDS on its seed corpus (clang 14, in build-fuzz).
fuzz:
	bash scripts/fuzz $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD)
