# Emberfall 2 — build, run, test and benchmark through CMake + Ninja.
# Every target first installs what is missing (scripts/install-deps.sh).

BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
JOBS      ?= 2
PREFIX    ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: all deps build run test bench asan clean format install

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEF2_WERROR=ON $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@./scripts/run.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@./scripts/bench.sh $(BUILD_DIR)

# make install PREFIX=~/.local installs for one user; the default is /usr/local.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DEF2_SANITIZE=ON -DEF2_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
