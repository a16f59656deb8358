# Emberfall 2 — build, run, test and benchmark through CMake + Ninja.
# Every target first installs what is missing (scripts/install-deps.sh).

BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
FUZZ_DIR  ?= build-fuzz
SECONDS   ?= 60
RUNS      ?=
SEED      ?= 0
JOBS      ?= 2
PREFIX    ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: all deps build run test bench asan fuzz fuzz-run clean format install

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEF2_WERROR=ON $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@./scripts/run.sh $(BUILD_DIR)

# make test also runs the suite in the sanitizer tree (make asan), as CI does;
# ASAN=0 skips that locally.
ASAN ?= 1
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
ifneq ($(ASAN),0)
	$(MAKE) asan JOBS=$(JOBS)
endif

bench: build
	@./scripts/bench.sh $(BUILD_DIR)

# make install PREFIX=~/.local installs for one user; the default is /usr/local.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The sanitizer tree runs several times slower, and on a busy machine a pass of
# the start script can meet the one-second runaway limit: a test that fails is
# run once more. The suite's inputs are fixed, so a sanitizer report comes back.
asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEF2_SANITIZE=ON -DEF2_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --repeat until-pass:2

# libFuzzer targets built with clang, AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz: deps
	@./scripts/install-fuzz-deps.sh
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEF2_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS)

# make fuzz-run SECONDS=N [RUNS=N SEED=N]: every target for N seconds (or N runs).
fuzz-run: fuzz
	./scripts/fuzz-run.sh $(FUZZ_DIR) $(SECONDS) "$(RUNS)" $(SEED)

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
