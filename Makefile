# Thin wrapper over CMake: `make demo` builds and runs kelvoran,
# `make test` builds and runs every test.
JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=

.PHONY: all demo test test-sanitize test-builds bench clean
DEBUG_BUILD ?= build-debug
BENCH_BUILD ?= build-bench
ROUNDS ?= 31

all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
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

# The optimised and a plain debug build must print and write the same bytes.
test-builds: all
	cmake -S . -B $(DEBUG_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(DEBUG_BUILD) -j$(JOBS) --target kelvoran
	tests/compare_builds.sh $(BUILD)/kelvoran $(DEBUG_BUILD)/kelvoran $(BUILD)/tools/kelvoran-sample

# Whole-program timing against the floor and the Fortran peer, then the
# micro-benchmarks. The table is also written to $(BENCH_BUILD)/bench.txt.
bench:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKELVORAN_BENCH=ON -DKELVORAN_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	@test -f $(BENCH_BUILD)/sample.dat || ./$(BENCH_BUILD)/tools/kelvoran-sample $(BENCH_BUILD)/sample.dat
	cat $(BENCH_BUILD)/sample.dat > /dev/null
	./$(BENCH_BUILD)/bench/compare $(BENCH_BUILD)/sample.dat $(BENCH_BUILD) $(ROUNDS) \
	  $(BENCH_BUILD)/bench.txt kelvoran=$(BENCH_BUILD)/kelvoran \
	  floor=$(BENCH_BUILD)/bench/floor peer=$(BENCH_BUILD)/bench/peer
	for b in $(BENCH_BUILD)/bench/bench_*; do $$b --benchmark_min_time=0.2; done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(DEBUG_BUILD) $(BENCH_BUILD)
