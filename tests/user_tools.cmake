# The demo script test runs the sample generator that the build makes.
if(TARGET test_demo_tools)
  add_dependencies(test_demo_tools kelvoran-sample)
  target_compile_definitions(test_demo_tools PRIVATE
    KELVORAN_SAMPLE_BIN="$<TARGET_FILE:kelvoran-sample>")
endif()

# Shell tests of what a user installs and runs. A cross build's programs
# run only under the emulator, so it leaves them out.
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME InstalledCommands
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/installed_commands.sh ${CMAKE_BINARY_DIR})
  # A real one-node Slurm, started and stopped by the test; it skips (77)
  # without root or without slurm-wlm and munge.
  add_test(NAME SlurmArray
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/slurm/array_on_slurm.sh
      ${CMAKE_SOURCE_DIR}/README.md $<TARGET_FILE_DIR:kelvoran> $<TARGET_FILE_DIR:kelvoran-check>
      $<TARGET_FILE_DIR:kelvoran-sample> ${CMAKE_SOURCE_DIR}/tools)
  set_tests_properties(SlurmArray PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 RUN_SERIAL TRUE)
endif()
