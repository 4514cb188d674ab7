# Third-party libraries for the Windows cross build, from the same Debian packages as the
# Linux build: {fmt}, nlohmann-json and CLI11 header-only from their -dev packages' headers,
# GoogleTest compiled from Debian's googletest sources. The project's find_package calls
# are answered with these (CMake's package redirects), so its other CMake files need no
# Windows branch. Also puts every DLL and program into one folder, since a Windows program
# finds the DLLs it imports beside itself.

# UE4SS.dll and main.dll, as the loader and the game name them; MinGW would add "lib".
set(CMAKE_SHARED_LIBRARY_PREFIX "")
if(NOT CMAKE_RUNTIME_OUTPUT_DIRECTORY)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()

set(ORVANTA_THIRD_PARTY ${CMAKE_BINARY_DIR}/third-party)

# find_package(<name>) now finds what this build made, not the build machine's package.
function(orvanta_redirect_package name)
  string(TOLOWER ${name} lower)
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/${lower}-config.cmake
    "# ${name} comes from OrvantaMingw.cmake in the Windows build.\n")
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/${lower}-config-version.cmake
    "set(PACKAGE_VERSION_COMPATIBLE TRUE)\nset(PACKAGE_VERSION_EXACT TRUE)\n")
endfunction()

# A header-only library seen through a folder of its own that holds only its headers:
# /usr/include itself would put the build machine's C library in front of MinGW's.
function(orvanta_header_folder target headerFile)
  cmake_path(GET headerFile PARENT_PATH headerFolder)
  find_path(ORVANTA_${target}_HEADERS ${headerFile} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ORVANTA_${target}_HEADERS)
    return()
  endif()
  set(include ${ORVANTA_THIRD_PARTY}/${target}-include)
  file(MAKE_DIRECTORY ${include})
  file(CREATE_LINK ${ORVANTA_${target}_HEADERS}/${headerFolder} ${include}/${headerFolder} SYMBOLIC)
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${include})
endfunction()

orvanta_header_folder(orvanta_fmt fmt/format.h)
if(NOT TARGET orvanta_fmt)
  message(FATAL_ERROR "fmt/format.h not found: install libfmt-dev")
endif()
target_compile_definitions(orvanta_fmt INTERFACE FMT_HEADER_ONLY=1)

orvanta_header_folder(orvanta_nlohmann_json nlohmann/json.hpp)
if(TARGET orvanta_nlohmann_json)
  add_library(nlohmann_json::nlohmann_json ALIAS orvanta_nlohmann_json)
  orvanta_redirect_package(nlohmann_json)
endif()

orvanta_header_folder(orvanta_cli11 CLI/CLI.hpp)
if(TARGET orvanta_cli11)
  add_library(CLI11::CLI11 ALIAS orvanta_cli11)
  orvanta_redirect_package(CLI11)
endif()

if(ORVANTA_BUILD_TESTS)
  set(ORVANTA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
  if(NOT EXISTS ${ORVANTA_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${ORVANTA_GOOGLETEST_SOURCE}: install googletest")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_SHARED_LIBS OFF)
  add_subdirectory(${ORVANTA_GOOGLETEST_SOURCE} ${ORVANTA_THIRD_PARTY}/googletest EXCLUDE_FROM_ALL SYSTEM)
  orvanta_redirect_package(GTest)
endif()

# Wine's first start in a new prefix takes a while; doing it here keeps it out of the test
# run, where it would exceed the time CTest gives a test program to list its tests.
if(ORVANTA_BUILD_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR MATCHES "wine-run")
  message(STATUS "Preparing the Wine prefix for the tests")
  execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} RESULT_VARIABLE wineResult)
  if(NOT wineResult EQUAL 0)
    message(WARNING "Wine could not be started (install wine64): the tests cannot run")
  endif()
endif()

# What a player's Windows lacks (libstdc++-6.dll and the like) must not be imported.
if(ORVANTA_BUILD_TESTS)
  add_test(NAME windows.ImportsOnlySystemDlls
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFOLDER=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
      -P ${CMAKE_CURRENT_LIST_DIR}/check-imports.cmake)
endif()
