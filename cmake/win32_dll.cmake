# VKMSG32.DLL: the core objects, the module entry, the dialog resources and
# the export table, the .def file that exports.cmake makes.  On i686 the .def
# lists the decorated standard-call names and --kill-at strips the decoration
# from the export table; the import library is then rebuilt from the .def with dlltool -k so
# that programs compiled against the prototypes still link against it.

set(VKMSG_DLLMAIN_SOURCE ${CMAKE_SOURCE_DIR}/src/platform/win32/dllmain_win32.cc)

# The entry point belongs to the DLL alone: the static library used by the
# test programs has no DllMain.
get_target_property(_vkmsg_obj_sources vkmsg_obj SOURCES)
list(REMOVE_ITEM _vkmsg_obj_sources ${VKMSG_DLLMAIN_SOURCE})
set_property(TARGET vkmsg_obj PROPERTY SOURCES ${_vkmsg_obj_sources})

set(VKMSG_RC_FILE ${CMAKE_SOURCE_DIR}/src/dialogs/vkmsg.rc)
# The version resource carries the project's one version number.
set(VKMSG_VERSION_RC ${CMAKE_BINARY_DIR}/VKMSG32_version.rc)
configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${VKMSG_VERSION_RC} @ONLY)
enable_language(RC)
set(_vkmsg_dll_sources ${VKMSG_DLLMAIN_SOURCE} ${VKMSG_DEF_FILE} ${VKMSG_VERSION_RC})
if(EXISTS ${VKMSG_RC_FILE})
  list(APPEND _vkmsg_dll_sources ${VKMSG_RC_FILE})
endif()
# Reconfigure when the resource script appears or goes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/dialogs)

add_library(VKMSG32 SHARED $<TARGET_OBJECTS:vkmsg_obj> ${_vkmsg_dll_sources})
set_target_properties(VKMSG32 PROPERTIES
  OUTPUT_NAME VKMSG32
  PREFIX ""
  SUFFIX ".DLL"
  IMPORT_PREFIX "lib"
  IMPORT_SUFFIX ".dll.a"
  # Next to the build tree's root, where the tests look for it.
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_include_directories(VKMSG32 PRIVATE ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(VKMSG32 PRIVATE VKMSG_BUILDING WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=${VKMSG_WIN32_WINNT})
# The warning options of the project, for the C++ sources only: the resource
# compiler takes none of them.
target_compile_options(VKMSG32 PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Werror>)

# -static keeps libstdc++, libgcc and libwinpthread out of the imports: the
# DLL must load on a workstation that has nothing but Windows.
target_link_options(VKMSG32 PRIVATE -static -Wl,--no-undefined)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Windows XP refuses an image that asks for a later system in its header.
  target_link_options(VKMSG32 PRIVATE -Wl,--kill-at -Wl,--subsystem,windows:5.01
    -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
endif()
# The product ships without symbols; the other builds keep them for debugging.
target_link_options(VKMSG32 PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
target_link_libraries(VKMSG32 PRIVATE ${VKMSG_SYSTEM_LIBS})

if(NOT VKMSG_DLLTOOL)
  set(VKMSG_DLLTOOL dlltool)
endif()
add_custom_command(TARGET VKMSG32 POST_BUILD
  COMMAND ${VKMSG_DLLTOOL} -k -d ${VKMSG_DEF_FILE} -D VKMSG32.DLL -l $<TARGET_LINKER_FILE:VKMSG32>
  COMMENT "Rebuilding the import library of VKMSG32.DLL from its .def"
  VERBATIM)

# The product's static checks (export and import tables, header versions,
# version resource) run as the i686 build's one test.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  enable_testing()
  add_test(NAME dll.check COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-dll $<TARGET_FILE:VKMSG32>)
endif()

# The Windows package: the DLL, its .def, the import library, the headers
# and how a host loads it, as a directory and a zip in the build tree.
set(VKMSG_PACKAGE_NAME VKMSG32-${PROJECT_VERSION})
set(_pkg ${CMAKE_BINARY_DIR}/${VKMSG_PACKAGE_NAME})
add_custom_target(package-windows
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_pkg} ${_pkg}.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_pkg}/include/vkmsg
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:VKMSG32> ${VKMSG_DEF_FILE} $<TARGET_LINKER_FILE:VKMSG32> ${_pkg}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/include/vkmsg/cmc.h ${CMAKE_SOURCE_DIR}/include/vkmsg/vkmsg.h
    ${_pkg}/include/vkmsg
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/cmake/host-readme.txt ${_pkg}/README.txt
  COMMAND ${CMAKE_COMMAND} -E tar cf ${_pkg}.zip --format=zip ${VKMSG_PACKAGE_NAME}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS VKMSG32
  COMMENT "Packing ${VKMSG_PACKAGE_NAME}.zip"
  VERBATIM)
