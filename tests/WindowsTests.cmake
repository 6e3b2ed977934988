# The Windows build's tests. Test programs run under Wine (the build's
# CROSSCOMPILING_EMULATOR); checks of the built files run here.

# The built modules through the host's loader, as on Linux.
quarv_module_test(vst2_module_tests formats/Vst2ModuleTest.cpp)
quarv_module_test(vst3_module_tests formats/Vst3ModuleTest.cpp)
quarv_module_test(vst3_parity_tests formats/Vst3ParityTest.cpp quarv_signals)

# The editor's images as PNG resources: of this program (the lookup the
# editor uses) and of both modules.
quarv_test(resources_tests
  SOURCES resources/EmbeddedImagesTest.cpp resources/win/ModuleResourcesTest.cpp ${QUARV_IMAGES_RC}
  LIBS quarv_resources quarv_core)
target_compile_definitions(resources_tests PRIVATE
  QUARV_VST2_MODULE="$<TARGET_FILE:Quarvelline2>" QUARV_VST3_MODULE="$<TARGET_FILE:Quarvelline3>")
add_dependencies(resources_tests Quarvelline2 Quarvelline3)

# The Windows modules give the Linux modules' samples, display texts and
# saved state. Needs the Linux build (QUARV_LINUX_BUILD_DIR, as ./test.sh
# passes it) for the Linux side.
add_executable(quarv_module_render formats/ModuleRenderMain.cpp)
target_link_libraries(quarv_module_render PRIVATE quarv_host quarv_signals)
quarv_warnings(quarv_module_render)
set(QUARV_LINUX_BUILD_DIR "" CACHE PATH "Linux build tree whose modules the Windows modules are compared with")
if(QUARV_LINUX_BUILD_DIR)
  add_test(NAME linux_windows_parity
    COMMAND ${CMAKE_COMMAND}
      -DLINUX_RENDER=${QUARV_LINUX_BUILD_DIR}/tests/quarv_module_render
      -DLINUX_VST2=${QUARV_LINUX_BUILD_DIR}/modules/Quarvelline2.so
      -DLINUX_VST3=${QUARV_LINUX_BUILD_DIR}/modules/Quarvelline3.vst3
      -DWINE_RUN=${CMAKE_SOURCE_DIR}/scripts/wine-run.sh
      -DWINEPREFIX=${QUARV_WINEPREFIX}
      -DWINDOWS_RENDER=$<TARGET_FILE:quarv_module_render>
      -DWINDOWS_VST2=$<TARGET_FILE:Quarvelline2>
      -DWINDOWS_VST3=${CMAKE_BINARY_DIR}/modules/Quarvelline3.vst3
      -DOUT_DIR=${CMAKE_CURRENT_BINARY_DIR}/renders
      -P ${CMAKE_CURRENT_SOURCE_DIR}/formats/CompareRenders.cmake)
endif()

# What the modules import and export.
add_test(NAME windows_module_files
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:Quarvelline2>
          "-DEXPORTS=VSTPluginMain;main" -P ${CMAKE_CURRENT_SOURCE_DIR}/formats/CheckWindowsModule.cmake)
add_test(NAME windows_bundle_files
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:Quarvelline3>
          "-DEXPORTS=GetPluginFactory;InitDll;ExitDll" -P ${CMAKE_CURRENT_SOURCE_DIR}/formats/CheckWindowsModule.cmake)

# The raster layer's DIB section and GDI text.
quarv_test(windows_graphics_tests
  SOURCES graphics/win/GdiRasterTest.cpp
  LIBS quarv_core)

# The window layer in an X server (the prefix's own Xvfb): the plug-in's
# editor in a host window, input, the entry box and list, the window class.
# The VST 3 bundle's view opens the same window.
quarv_test(windows_window_tests
  SOURCES graphics/win/WindowTest.cpp graphics/win/Vst3WindowTest.cpp ${QUARV_IMAGES_RC}
  LIBS quarv_vst2 quarv_host)
target_compile_definitions(windows_window_tests PRIVATE
  QUARV_VST3_BUNDLE="${CMAKE_BINARY_DIR}/modules/Quarvelline3.vst3")
add_dependencies(windows_window_tests Quarvelline3)
