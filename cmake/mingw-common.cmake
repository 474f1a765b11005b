# What both mingw-w64 toolchain files share; they set VKMSG_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first.  The -posix compilers are the ones with
# std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VKMSG_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VKMSG_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VKMSG_TRIPLET}-windres)
set(VKMSG_DLLTOOL ${VKMSG_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VKMSG_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
