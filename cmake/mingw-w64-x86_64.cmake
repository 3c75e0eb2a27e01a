# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads
# flavour, for std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run from a bare folder: no MinGW run-time DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run the Windows programs through Wine, in a prefix of the build's
# own (created on first use), without Wine's debugging chatter.
find_program(QB_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all ${QB_WINE})
endif()
