# Cross build for 64-bit Windows with the mingw-w64 compilers (Debian:
# g++-mingw-w64-x86-64). The executables are self-contained, and the tests run
# through wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(WHITEN_MINGW_TRIPLET x86_64-w64-mingw32)

# The posix thread model first: the win32 one of GCC 12 has no std::thread.
find_program(CMAKE_CXX_COMPILER NAMES ${WHITEN_MINGW_TRIPLET}-g++-posix ${WHITEN_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${WHITEN_MINGW_TRIPLET}-gcc-posix ${WHITEN_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${WHITEN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${WHITEN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in: whiten.exe needs no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test executables (and lists their tests) through wine.
find_program(WHITEN_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(WHITEN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WHITEN_WINE})
endif()
