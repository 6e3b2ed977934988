# The Windows build's tests. Test programs run under Wine (the build's
# CROSSCOMPILING_EMULATOR); checks of the built files run here.

# The built modules through the host's loader, as on Linux.
quarv_test(vst2_module_tests
  SOURCES formats/Vst2ModuleTest.cpp
  LIBS quarv_host)
target_compile_definitions(vst2_module_tests PRIVATE QUARV_VST2_MODULE="$<TARGET_FILE:Quarvelline2>")
add_dependencies(vst2_module_tests Quarvelline2)

quarv_test(vst3_module_tests
  SOURCES formats/Vst3ModuleTest.cpp
  LIBS quarv_host)
target_compile_definitions(vst3_module_tests PRIVATE QUARV_VST3_BUNDLE="${CMAKE_BINARY_DIR}/modules/Quarvelline3.vst3")
add_dependencies(vst3_module_tests Quarvelline3)

quarv_test(vst3_parity_tests
  SOURCES formats/Vst3ParityTest.cpp
  LIBS quarv_host quarv_signals)
target_compile_definitions(vst3_parity_tests PRIVATE
  QUARV_VST3_BUNDLE="${CMAKE_BINARY_DIR}/modules/Quarvelline3.vst3"
  QUARV_VST2_MODULE="$<TARGET_FILE:Quarvelline2>")
add_dependencies(vst3_parity_tests Quarvelline3 Quarvelline2)
