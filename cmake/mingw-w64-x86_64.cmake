# Cross-builds for 64-bit Windows with Debian's mingw-w64 (g++ 12, posix thread
# model, so std::thread and std::mutex work). Tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMORA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELMORA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW_PREFIX})
# Libraries cross-built from source (Qt, FFmpeg, libjpeg: scripts/windows/)
# live in a prefix of their own, given as -DVELMORA_WIN_PREFIX=...
if(VELMORA_WIN_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${VELMORA_WIN_PREFIX})
    list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMORA_WIN_PREFIX)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime is linked in, so a built program runs without the tool chain's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(VELMORA_WINE wine)
if(VELMORA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
