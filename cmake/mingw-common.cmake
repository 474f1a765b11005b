# What both mingw-w64 toolchain files share; they set VKMSG_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first, and may choose the thread model.  The -posix
# compilers are the ones with std::thread and std::mutex, which GoogleTest
# needs; the -win32 ones link no threads library at all.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT VKMSG_THREAD_MODEL)
  set(VKMSG_THREAD_MODEL posix)
endif()

set(CMAKE_C_COMPILER ${VKMSG_TRIPLET}-gcc-${VKMSG_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${VKMSG_TRIPLET}-g++-${VKMSG_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${VKMSG_TRIPLET}-windres)
set(VKMSG_DLLTOOL ${VKMSG_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${VKMSG_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
