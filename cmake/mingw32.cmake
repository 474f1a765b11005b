# Cross build for 32-bit Windows with mingw-w64: the product VKMSG32.DLL.
# This machine cannot run 32-bit programs, so nothing built here is run; the
# DLL is checked statically (scripts/check-dll).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VKMSG_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${VKMSG_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VKMSG_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VKMSG_TRIPLET}-windres)
set(VKMSG_DLLTOOL ${VKMSG_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VKMSG_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
