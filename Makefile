# Koltrep: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
JOBS       ?= $(shell nproc)
CTEST_ARGS ?= --output-on-failure -j$(JOBS)
# Mesa's software driver and its EGL/GLX front ends are kept loaded for the whole run, so that
# LeakSanitizer can still name them (and the suppressions match) after SDL has unloaded them.
MESA_PRELOAD := $(strip $(firstword $(wildcard /usr/lib/*/dri/swrast_dri.so)) \
  $(firstword $(wildcard /lib/*/libEGL_mesa.so.0 /usr/lib/*/libEGL_mesa.so.0)) \
  $(firstword $(wildcard /lib/*/libGLX_mesa.so.0 /usr/lib/*/libGLX_mesa.so.0)))

# What `make run`, `make install` and `make package` build: the program and its tools, none of
# the tests or benchmarks.
PROGRAMS   := koltrep koltrep-replay koltrep-inspect koltrep-sweep koltrep-evaluate \
  koltrep-optimize
PREFIX     ?= /usr/local

.PHONY: all deps configure build programs run test test-main test-sanitize bench install \
  package format clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

programs: configure
	@cmake --build $(BUILD) -j$(JOBS) --target $(PROGRAMS)

run: programs
	@tools/run.sh $(BUILD)

test: test-main test-sanitize

test-main: build
	cd $(BUILD) && ctest $(CTEST_ARGS)

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer, with the
# fuzz harnesses (clang's libFuzzer) run for a fixed number of executions.
test-sanitize: deps
	@CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug \
	  -DKOLTREP_SANITIZE=ON -DKOLTREP_FUZZ=ON -DKOLTREP_BENCH=OFF >/dev/null
	@cmake --build $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  LD_PRELOAD="$(MESA_PRELOAD)" ctest $(CTEST_ARGS)

bench: configure
	@cmake --build $(BUILD) -j$(JOBS) --target koltrep-bench koltrep-bench-present \
	  koltrep-replay koltrep-evaluate
	$(BUILD)/bench/koltrep-bench
	$(BUILD)/bench/koltrep-bench-present
	bench/evaluator.sh $(BUILD)

# DESTDIR is honoured as usual: make install PREFIX=/usr DESTDIR=/tmp/stage
install: programs
	@cmake --build $(BUILD) --target koltrep-icons
	cmake --install $(BUILD) --prefix $(PREFIX)

# A .deb whose dependencies dpkg-shlibdeps reads from the programs.
package: programs
	@cmake --build $(BUILD) --target koltrep-icons
	cd $(BUILD) && cpack -G DEB

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
