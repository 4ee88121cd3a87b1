# Thin wrapper over CMake: `make demo` builds and runs kelvoran on sample data,
# `make test` builds and runs every test.
JOBS ?= 2
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=

.PHONY: all demo test test-sanitize test-builds test-cross bench clean reliability fuzz-build fuzz-smoke fuzz
DEBUG_BUILD ?= build-debug
BENCH_BUILD ?= build-bench
ROUNDS ?= 31

all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

# Converts the sample data, shows the report and checks the checksums the
# README publishes. It builds only the converter and the sample generator,
# and shows the build's output only when the build fails.
DEMO_LOG = $(BUILD)/demo-build.log
demo:
	@mkdir -p $(BUILD)
	@{ cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) && \
	   cmake --build $(BUILD) -j$(JOBS) --target kelvoran kelvoran-sample; } > $(DEMO_LOG) 2>&1 \
	  || { cat $(DEMO_LOG); echo "demo: the build failed; its output is above and in $(DEMO_LOG)" >&2; exit 1; }
	@tools/demo.sh $(BUILD)/kelvoran $(BUILD)/tools/kelvoran-sample $(BUILD) README.md

test: all
	ctest --test-dir $(BUILD) -j$(JOBS) --output-on-failure --no-tests=error

test-sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) -j$(JOBS) --output-on-failure --no-tests=error

# The optimised and a plain debug build must print and write the same bytes.
test-builds: all
	cmake -S . -B $(DEBUG_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVORAN_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(DEBUG_BUILD) -j$(JOBS) --target kelvoran
	tests/compare_builds.sh $(BUILD)/kelvoran $(DEBUG_BUILD)/kelvoran $(BUILD)/tools/kelvoran-sample

# Cross builds for a little-endian and a big-endian processor, run under
# qemu-user: their tests, the demo against the published sums, and the same
# bytes and statuses as this machine's build on every kind of ending.
# Needs g++-aarch64-linux-gnu, g++-s390x-linux-gnu and qemu-user.
CROSS_TARGETS ?= aarch64-linux-gnu s390x-linux-gnu
test-cross: all
	JOBS=$(JOBS) tests/cross_hosts.sh $(BUILD) $(CROSS_TARGETS)

# Whole-program timing against the floor and the Fortran peer, then the
# micro-benchmarks. The table is also written to $(BENCH_BUILD)/bench.txt.
bench:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKELVORAN_BENCH=ON -DKELVORAN_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j$(JOBS)
	@# Written afresh, the input sits in the page cache the way the floor maps
	@# it fastest, so the floor is at its strongest.
	@rm -f $(BENCH_BUILD)/sample.dat
	./$(BENCH_BUILD)/tools/kelvoran-sample $(BENCH_BUILD)/sample.dat
	./$(BENCH_BUILD)/bench/compare $(BENCH_BUILD)/sample.dat $(BENCH_BUILD) $(ROUNDS) \
	  $(BENCH_BUILD)/bench.txt kelvoran=$(BENCH_BUILD)/kelvoran \
	  floor=$(BENCH_BUILD)/bench/floor peer=$(BENCH_BUILD)/bench/peer \
	  check:reads=$(BENCH_BUILD)/check/kelvoran-check \
	  verify:verifies=$(BENCH_BUILD)/check/kelvoran-check
	for b in $(BENCH_BUILD)/bench/bench_*; do $$b --benchmark_min_time=0.2; done

# Reliability checks: host-failure injection, hostile paths, concurrent
# runs, the mutated-input campaign, memcheck and the fuzz corpus replay.
# They are part of `make test`; this runs them alone.
RELIABILITY_TESTS = FaultInjection|HostilePaths|ConcurrentRuns|MutatedInputs|Memcheck|fuzz_corpus_replay
reliability: all
	ctest --test-dir $(BUILD) -j$(JOBS) --output-on-failure -R '$(RELIABILITY_TESTS)'

# The fuzz targets of the sequential reader and of kelvoran-check's reader:
# clang, libFuzzer, sanitizers.
FUZZ_BUILD ?= build-fuzz
FUZZ_SMOKE_SECONDS ?= 120
CHECK_FUZZ_SMOKE_SECONDS ?= 60
FUZZ_SECONDS ?= 1800
CAMPAIGN_RANDOM ?= 2000
fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORAN_SANITIZE=ON -DKELVORAN_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_unf_read fuzz_check_walk

# A bounded fuzz session, as CI runs it.
fuzz-smoke: fuzz-build
	tests/fuzz/run_fuzz.sh $(FUZZ_BUILD)/tests/fuzz_unf_read $(FUZZ_SMOKE_SECONDS) $(FUZZ_BUILD)/fuzz-work
	tests/fuzz/run_fuzz.sh $(FUZZ_BUILD)/tests/fuzz_check_walk $(CHECK_FUZZ_SMOKE_SECONDS) \
	  $(FUZZ_BUILD)/fuzz-check-work tests/fuzz/check_corpus

# The longer campaign: FUZZ_SECONDS of fuzzing, then the whole-program
# mutation campaign with CAMPAIGN_RANDOM random-byte cases from a new seed
# (a failure names its seed; KELVORAN_CAMPAIGN_SEED repeats it).
fuzz: fuzz-build all
	tests/fuzz/run_fuzz.sh $(FUZZ_BUILD)/tests/fuzz_unf_read $(FUZZ_SECONDS) $(FUZZ_BUILD)/fuzz-work
	tests/fuzz/run_fuzz.sh $(FUZZ_BUILD)/tests/fuzz_check_walk $(FUZZ_SECONDS) \
	  $(FUZZ_BUILD)/fuzz-check-work tests/fuzz/check_corpus
	KELVORAN_CAMPAIGN_RANDOM=$(CAMPAIGN_RANDOM) KELVORAN_CAMPAIGN_SEED=$${KELVORAN_CAMPAIGN_SEED:-$$(date +%s)} \
	  ctest --test-dir $(BUILD) -j$(JOBS) --output-on-failure -R MutatedInputs

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(DEBUG_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) \
	  $(addprefix build-,$(CROSS_TARGETS))
