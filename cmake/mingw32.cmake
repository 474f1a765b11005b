# Cross build for 32-bit Windows with mingw-w64: the product VKMSG32.DLL.
# This machine cannot run 32-bit programs, so nothing built here is run; the
# DLL is checked statically (scripts/check-dll).
#
# The product is built with the win32 thread model: the posix one links the
# threads library in statically, and that imports GetTickCount64, which
# Windows XP lacks, so the DLL would not load there.  The library starts no
# threads and needs neither std::thread nor std::mutex.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VKMSG_TRIPLET i686-w64-mingw32)
set(VKMSG_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
