# Checks a built Windows module with objdump: it imports only Windows' own
# DLLs (the C and C++ runtimes, libpng and zlib are linked in) and exports
# exactly the entry points named.
#   cmake -DOBJDUMP=... -DMODULE=... "-DEXPORTS=a;b" -P CheckWindowsModule.cmake
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${MODULE}")
endif()

# DLLs every Windows since 7 has in its system folder (names compared
# without case, as Windows does).
set(system_dlls advapi32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll)
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "${MODULE} imports nothing: not a module objdump understands")
endif()
set(dlls "")
foreach(entry IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${entry}")
  list(APPEND dlls "${dll}")
  string(TOLOWER "${dll}" lower)
  list(FIND system_dlls "${lower}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${MODULE} imports ${dll}, which is no Windows system DLL")
  endif()
endforeach()

string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)+)" table "${dump}")
# Brackets would upset CMake's lists: drop them, then take each line's name.
string(REGEX REPLACE "[][]" "" table "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "[0-9]+ [^\n]+" entries "${table}")
set(names "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^[0-9]+ " "" name "${entry}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
set(expected ${EXPORTS})
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${MODULE} exports '${names}', not '${expected}'")
endif()
message(STATUS "${MODULE}: imports ${dlls}; exports ${names}")
