# Cross build for 64-bit Windows with mingw-w64; the tests run under Wine.
# The -posix compilers are the ones with std::thread and std::mutex, which
# GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VKMSG_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VKMSG_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VKMSG_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VKMSG_TRIPLET}-windres)
set(VKMSG_DLLTOOL ${VKMSG_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VKMSG_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
