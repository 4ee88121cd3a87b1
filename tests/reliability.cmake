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

if(TARGET test_fault_injection)
  add_dependencies(test_fault_injection kelvoran_host_faults)
  target_compile_definitions(test_fault_injection PRIVATE
    HOST_FAULTS_LIB="$<TARGET_FILE:kelvoran_host_faults>")
endif()
