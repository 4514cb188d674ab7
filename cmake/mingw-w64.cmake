# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (POSIX threads flavour) and runs
# the test programs under Wine. The C and C++ runtimes are linked in statically, so the
# DLLs and programs built here need nothing beyond what every Windows installation has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVANTA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVANTA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANTA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANTA_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only; the build machine's own
# /usr/include and /usr/lib would mix Linux headers into a Windows build.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANTA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into every DLL and program, not beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run through Wine, in a prefix of the build's own (created on first use).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${CMAKE_BINARY_DIR}/wine)
