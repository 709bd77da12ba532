# Front door: `make demo` and `make test` do all the set-up on a fresh Debian machine.
BUILD ?= build
JOBS ?= 2
DEMO ?= $(BUILD)/demo
SANITIZE_BUILD ?= build-sanitize
# Source folders left out of the sanitizer build: the benchmarks, which no
# test runs; add e.g. "tests/app;tests/ui;tests/printing" to save more time.
SANITIZE_SKIP ?= bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test demo bench sanitize fuzz format format-check clean
all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

test: build format-check
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The code style of .clang-format: `make format` applies it, `make test` checks it.
format: deps
	@scripts/format.sh

format-check: deps
	@scripts/format.sh --check

demo: build
	@scripts/demo.sh $(BUILD) $(DEMO)

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, in its
# own build folder. Leak detection stays on for every test, the Qt ones too:
# Qt's offscreen platform leaves no leak reports, so nothing is suppressed.
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DPAYXREF_SANITIZE=ON "-DPAYXREF_SKIP_DIRS=$(SANITIZE_SKIP)"
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# Each libFuzzer target for FUZZ_SECONDS on a copy of its seeds (clang build).
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DPAYXREF_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)

# The Debian package (CPack), built from the same tree `make build` makes:
# $(BUILD)/payxref_VERSION_ARCH.deb.
.PHONY: package
package: build
	cmake --build $(BUILD) --target package
