# The two commands a newcomer types: `make demo` and `make test`.
BUILD   ?= build
ASAN    ?= build-asan
GEN     := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS    ?= 2
# WERROR=ON turns compiler warnings into errors (CI builds so).
WERROR  ?= OFF
GEN     += -DPAVANA_WERROR=$(WERROR)

.PHONY: all deps build test test-asan demo bench fuzz format format-check clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(GEN) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B $(ASAN) $(GEN) -DPAVANA_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	@cd $(ASAN) && LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp ctest --output-on-failure -j $(JOBS)

demo: build
	@./scripts/demo.sh $(BUILD)

bench: deps
	@cmake -S . -B $(BUILD) $(GEN) -DPAVANA_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@./bench/run.sh $(BUILD)

# Builds the fuzz targets with clang and runs each 60 seconds (scripts/fuzz-ci.sh).
fuzz: deps
	@./scripts/fuzz-ci.sh build-fuzz 60

# Formats every source file with .clang-format; format-check only lists the files it would change.
format: deps
	@./scripts/format.sh

format-check: deps
	@./scripts/format.sh --check

clean:
	rm -rf $(BUILD) $(ASAN) build-fuzz
