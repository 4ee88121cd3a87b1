# The demo script test runs the sample generator that the build makes.
if(TARGET test_demo_tools)
  add_dependencies(test_demo_tools kelvoran-sample)
  target_compile_definitions(test_demo_tools PRIVATE
    KELVORAN_SAMPLE_BIN="$<TARGET_FILE:kelvoran-sample>")
endif()
