# Reliability checks: host-failure injection through an LD_PRELOAD
# interposer, the fuzz target of the sequential reader and its corpus
# replay, and memcheck runs. Included from tests/CMakeLists.txt after the
# per-file test executables exist.

set(RELIABILITY_DIR ${CMAKE_CURRENT_SOURCE_DIR}/reliability)

# The interposer is a test-only shared library; the program is not built
# differently for it. It stays free of sanitizer runtimes so that it can be
# loaded into any build of the program.
add_library(kelvoran_host_faults SHARED inject/host_faults.cpp)
set_target_properties(kelvoran_host_faults PROPERTIES PREFIX ""
  OUTPUT_NAME host_faults)
target_link_libraries(kelvoran_host_faults PRIVATE ${CMAKE_DL_LIBS})
if(KELVORAN_SANITIZE)
  target_compile_options(kelvoran_host_faults PRIVATE -fno-sanitize=all)
  target_link_options(kelvoran_host_faults PRIVATE -fno-sanitize=all)
endif()

foreach(t test_fault_injection test_hostile_paths test_concurrent_runs
          test_mutated_inputs test_memcheck)
  if(TARGET ${t})
    target_include_directories(${t} PRIVATE ${RELIABILITY_DIR})
    if(KELVORAN_SANITIZE)
      target_compile_definitions(${t} PRIVATE RELIABILITY_UNDER_ASAN=1)
    endif()
  endif()
endforeach()

# A program that calls each kind of host call directly, to show that the
# interposer catches every kind.
add_executable(kelvoran_inject_probe inject/probe.cpp)

# A statically linked program calls its C library directly, past any
# interposer, and memcheck cannot follow its allocations; these tests run
# the same objects linked dynamically.
kelvoran_program(kelvoran_interposable dynamic)

foreach(t test_fault_injection test_memcheck)
  if(TARGET ${t})
    add_dependencies(${t} kelvoran_host_faults kelvoran_inject_probe
                     kelvoran_interposable)
    target_compile_definitions(${t} PRIVATE
      HOST_FAULTS_LIB="$<TARGET_FILE:kelvoran_host_faults>"
      INJECT_PROBE="$<TARGET_FILE:kelvoran_inject_probe>"
      INTERPOSABLE_BIN="$<TARGET_FILE:kelvoran_interposable>")
  endif()
endforeach()

# The fuzz target of the sequential reader. Every build replays the seed
# corpus through it; a clang build with KELVORAN_FUZZ=ON (and
# KELVORAN_SANITIZE=ON) also links it with libFuzzer and instruments the
# layer for coverage.
set(FUZZ_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
add_executable(fuzz_unf_read_replay fuzz/fuzz_unf_read.cpp fuzz/replay_main.cpp)
target_include_directories(fuzz_unf_read_replay PRIVATE ${RELIABILITY_DIR})
target_link_libraries(fuzz_unf_read_replay PRIVATE qbfio)
add_test(NAME fuzz_corpus_replay
  COMMAND fuzz_unf_read_replay ${FUZZ_DIR}/corpus ${FUZZ_DIR}/crashes)

option(KELVORAN_FUZZ "Build the libFuzzer target (needs clang)" OFF)
if(KELVORAN_FUZZ)
  foreach(lib qbfio qbc)
    target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link)
  endforeach()
  add_executable(fuzz_unf_read fuzz/fuzz_unf_read.cpp)
  target_include_directories(fuzz_unf_read PRIVATE ${RELIABILITY_DIR})
  target_compile_options(fuzz_unf_read PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_unf_read PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_unf_read PRIVATE qbfio)
endif()

# The fuzz target of kelvoran-check's reader, replayed over its own seeds
# by every build, and under libFuzzer in the fuzz build.
set(CHECK_FUZZ_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/check_corpus)
add_executable(fuzz_check_walk_replay fuzz/fuzz_check_walk.cpp fuzz/replay_main.cpp)
target_include_directories(fuzz_check_walk_replay PRIVATE ${RELIABILITY_DIR})
target_link_libraries(fuzz_check_walk_replay PRIVATE check_model sample_data)
add_test(NAME fuzz_check_corpus_replay
  COMMAND fuzz_check_walk_replay ${CHECK_FUZZ_DIR})
if(KELVORAN_FUZZ)
  target_compile_options(check_model PRIVATE -fsanitize=fuzzer-no-link)
  add_executable(fuzz_check_walk fuzz/fuzz_check_walk.cpp)
  target_include_directories(fuzz_check_walk PRIVATE ${RELIABILITY_DIR})
  target_compile_options(fuzz_check_walk PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_check_walk PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_check_walk PRIVATE check_model sample_data)
endif()

# The start probe of the limit sweep: the converter's image, stopping at
# main. Linked the way the converter is, statically where it can be.
add_executable(kelvoran_start_probe limits/start_probe.cpp)
target_link_libraries(kelvoran_start_probe PRIVATE kelvoran_core)
if(KELVORAN_CAN_LINK_STATIC AND NOT KELVORAN_SANITIZE)
  target_link_options(kelvoran_start_probe PRIVATE -static)
elseif(NOT KELVORAN_SANITIZE)
  target_link_options(kelvoran_start_probe PRIVATE -static-libstdc++ -static-libgcc)
endif()
if(TARGET test_limits)
  add_dependencies(test_limits kelvoran_start_probe)
  target_compile_definitions(test_limits PRIVATE
    START_PROBE="$<TARGET_FILE:kelvoran_start_probe>")
  if(KELVORAN_SANITIZE)
    target_compile_definitions(test_limits PRIVATE LIMITS_UNDER_SANITIZERS=1)
  endif()
endif()
