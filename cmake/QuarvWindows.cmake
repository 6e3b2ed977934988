# What a Windows build (cmake/mingw-w64-x86_64.cmake) needs beyond the common
# tree: libpng built from Debian's source package, GoogleTest built from its
# packaged sources, static linking, and Wine to run the tests.

# libpng: no mingw package exists, so the source package is fetched once into
# the build tree and compiled with the rest (about twenty seconds the first
# time, nothing afterwards).
set(QUARV_DEPS_DIR ${CMAKE_BINARY_DIR}/_deps)
if(NOT EXISTS ${QUARV_DEPS_DIR}/libpng/png.h)
  message(STATUS "Fetching Debian's libpng1.6 source package")
  execute_process(
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-libpng-source.sh ${QUARV_DEPS_DIR}
    RESULT_VARIABLE fetch_result)
  if(NOT fetch_result EQUAL 0)
    message(FATAL_ERROR "Could not fetch the libpng source package (scripts/fetch-libpng-source.sh)")
  endif()
endif()
set(PNG_SRC ${QUARV_DEPS_DIR}/libpng)
configure_file(${PNG_SRC}/scripts/pnglibconf.h.prebuilt ${QUARV_DEPS_DIR}/png-include/pnglibconf.h COPYONLY)

find_library(QUARV_ZLIB NAMES libz.a REQUIRED)
find_path(QUARV_ZLIB_INCLUDE zlib.h REQUIRED)

add_library(quarv_png STATIC
  ${PNG_SRC}/png.c ${PNG_SRC}/pngerror.c ${PNG_SRC}/pngget.c ${PNG_SRC}/pngmem.c ${PNG_SRC}/pngpread.c
  ${PNG_SRC}/pngread.c ${PNG_SRC}/pngrio.c ${PNG_SRC}/pngrtran.c ${PNG_SRC}/pngrutil.c ${PNG_SRC}/pngset.c
  ${PNG_SRC}/pngtrans.c ${PNG_SRC}/pngwio.c ${PNG_SRC}/pngwrite.c ${PNG_SRC}/pngwtran.c ${PNG_SRC}/pngwutil.c)
target_include_directories(quarv_png SYSTEM PUBLIC ${PNG_SRC} ${QUARV_DEPS_DIR}/png-include ${QUARV_ZLIB_INCLUDE})
target_link_libraries(quarv_png PUBLIC ${QUARV_ZLIB})

# M_PI and friends, which glibc offers without asking.
add_compile_definitions(_USE_MATH_DEFINES)

# Modules and test programs carry their C and C++ runtimes, so they need
# nothing beside Windows' own DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)

# GoogleTest from the sources Debian packages in googletest.
if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()

# Test programs run under Wine, in a prefix of the build tree made on first
# use (scripts/wine-run.sh).
set(QUARV_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${QUARV_WINEPREFIX})

# Puts the editor's images into a module as resources of type "PNG" with ids
# 100, 101, ... (resources/CMakeLists.txt writes the resource script).
function(quarv_add_module_resources target)
  if(QUARV_IMAGES_RC)
    target_sources(${target} PRIVATE ${QUARV_IMAGES_RC})
  endif()
endfunction()
