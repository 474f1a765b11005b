# Cross build for 32-bit Windows with mingw-w64: the product VKMSG32.DLL.
# This machine cannot run 32-bit programs, so nothing built here is run; the
# DLL is checked statically (scripts/check-dll).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VKMSG_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
