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

SAMPLE = $(BUILD)/sample.dat
SAMPLE_OUT = $(BUILD)/sample-out.dat

# Converts the bundled sample data and shows the report.
demo: all
	@test -f $(SAMPLE) || ./$(BUILD)/tools/kelvoran-sample $(SAMPLE)
	@rm -f $(SAMPLE_OUT)
	./$(BUILD)/kelvoran $(SAMPLE) $(SAMPLE_OUT)
	@echo "wrote $(SAMPLE_OUT): $$(wc -c < $(SAMPLE_OUT)) bytes"

test: all
	ctest --test-dir $(BUILD) -j$(JOBS) --output-on-failure

test-sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) -j$(JOBS) --output-on-failure

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
