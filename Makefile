# Front door: `make demo` and `make test` do all the set-up on a fresh Debian machine.
BUILD ?= build
JOBS ?= 2
DEMO ?= $(BUILD)/demo

.PHONY: all deps configure build test demo bench clean
all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD) $(DEMO)

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf $(BUILD)

# The Debian package (CPack), built from the same tree `make build` makes:
# $(BUILD)/payxref_VERSION_ARCH.deb.
.PHONY: package
package: build
	cmake --build $(BUILD) --target package
