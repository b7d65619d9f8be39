# Cross-compiles the Windows build on Linux with Debian's MinGW-w64 toolchain
# (g++-mingw-w64-x86-64, posix thread model). Programs are linked statically, so the
# .exe needs no DLL beyond those of Windows itself, and the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXAL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXAL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXAL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXAL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXAL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs, and the test discovery that lists their tests, run under Wine.
find_program(VEXAL_WINE NAMES wine wine64)
if(VEXAL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXAL_WINE})
endif()
