# Thin wrapper over CMake: `make demo` builds and runs kelvoran,
# `make test` builds and runs every test.
JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=

.PHONY: all demo test test-sanitize bench clean

all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

demo: all
	./$(BUILD)/kelvoran

test: all
	ctest --test-dir $(BUILD) -j$(JOBS) --output-on-failure

test-sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) -j$(JOBS) --output-on-failure

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
