# Renders the same scenarios through the Linux modules and, under Wine, through
# the Windows modules (tests/formats/ModuleRenderMain.cpp) and fails unless
# both platforms give the same samples, display texts and saved state.
#   cmake -DLINUX_RENDER=... -DLINUX_VST2=... -DLINUX_VST3=... -DWINE_RUN=...
#         -DWINEPREFIX=... -DWINDOWS_RENDER=... -DWINDOWS_VST2=... -DWINDOWS_VST3=...
#         -DOUT_DIR=... -P CompareRenders.cmake
file(MAKE_DIRECTORY ${OUT_DIR})
foreach(format VST2 VST3)
  set(linux_out ${OUT_DIR}/linux-${format}.txt)
  set(windows_out ${OUT_DIR}/windows-${format}.txt)
  execute_process(COMMAND ${LINUX_RENDER} ${LINUX_${format}} ${linux_out} RESULT_VARIABLE linux_result)
  if(NOT linux_result EQUAL 0)
    message(FATAL_ERROR "The Linux render of ${LINUX_${format}} failed (${linux_result})")
  endif()
  execute_process(COMMAND ${WINE_RUN} ${WINEPREFIX} ${WINDOWS_RENDER} ${WINDOWS_${format}} ${windows_out}
    RESULT_VARIABLE windows_result)
  if(NOT windows_result EQUAL 0)
    message(FATAL_ERROR "The Windows render of ${WINDOWS_${format}} failed (${windows_result})")
  endif()
  file(STRINGS ${linux_out} linux_lines)
  file(STRINGS ${windows_out} windows_lines)
  list(LENGTH linux_lines count)
  if(count EQUAL 0)
    message(FATAL_ERROR "The Linux render wrote nothing")
  endif()
  set(differences "")
  foreach(line IN ZIP_LISTS linux_lines windows_lines)
    if(NOT "${line_0}" STREQUAL "${line_1}")
      string(APPEND differences "\n  Linux:   ${line_0}\n  Windows: ${line_1}")
    endif()
  endforeach()
  if(differences)
    message(FATAL_ERROR "${format}: the Windows module differs from the Linux module:${differences}")
  endif()
  message(STATUS "${format}: ${count} lines equal")
endforeach()
