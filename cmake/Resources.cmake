# The one resource script is compiled with the MinGW resource compiler into the standard binary
# resource format. The Windows build links it into the DLL; the native build embeds the same bytes
# in a section of the plug-in, where the platform UI layer finds dialogs, bitmaps and the property
# list as Windows would.
find_program(MF_WINDRES NAMES x86_64-w64-mingw32-windres windres REQUIRED)
# The script includes <winresrc.h> for the window and control styles; the resource compiler runs
# it through the MinGW-w64 C preprocessor, which brings those headers.
find_program(MF_RC_PREPROCESSOR NAMES x86_64-w64-mingw32-gcc)
if(NOT MF_RC_PREPROCESSOR)
  message(FATAL_ERROR "Compiling resources/motefield.rc needs the MinGW-w64 C compiler as its "
                      "preprocessor (Debian packages binutils-mingw-w64-x86-64 and "
                      "gcc-mingw-w64-x86-64).")
endif()
set(MF_RES_FILE ${CMAKE_BINARY_DIR}/motefield.res)
file(GLOB MF_RES_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
add_custom_command(
  OUTPUT ${MF_RES_FILE}
  COMMAND ${MF_WINDRES} -J rc -O res -c 65001 -I ${CMAKE_SOURCE_DIR}/resources
          -i ${CMAKE_SOURCE_DIR}/resources/motefield.rc -o ${MF_RES_FILE}
  DEPENDS ${MF_RES_INPUTS}
  COMMENT "Compiling resources/motefield.rc"
  VERBATIM)
add_custom_target(motefield_resources DEPENDS ${MF_RES_FILE})

set(MF_RESOURCE_OBJECT ${CMAKE_BINARY_DIR}/ResourceBlob.S)
configure_file(${CMAKE_SOURCE_DIR}/cmake/ResourceBlob.S.in ${MF_RESOURCE_OBJECT} @ONLY)
set_source_files_properties(${MF_RESOURCE_OBJECT} PROPERTIES OBJECT_DEPENDS ${MF_RES_FILE})
