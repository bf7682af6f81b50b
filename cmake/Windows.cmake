# The plug-in as the Windows DLL it is: statically linked to its C++ runtime so that it needs
# nothing beyond the system's own DLLs, exporting EntryPointFunc undecorated, with the resource
# script compiled in. On Windows the plug-in calls the system's user-interface functions; the
# project's own UI layer is not linked.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001 -I ${CMAKE_SOURCE_DIR}/resources")

file(GLOB MF_EFFECT_SOURCES CONFIGURE_DEPENDS
     entry/*.cpp support/*.cpp params/*.cpp render/*.cpp raster/*.cpp ui/*.cpp)
list(FILTER MF_EFFECT_SOURCES EXCLUDE REGEX "entry/EntryPoint\\.cpp$")
add_library(motefield_effect STATIC ${MF_EFFECT_SOURCES})
target_include_directories(motefield_effect PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(motefield_effect PUBLIC motefield_hostapi)
target_compile_options(motefield_effect PRIVATE -fexec-charset=GBK)
target_compile_definitions(motefield_effect PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

add_library(motefield_plugin SHARED entry/EntryPoint.cpp resources/motefield.rc)
set_target_properties(motefield_plugin PROPERTIES OUTPUT_NAME Motefield PREFIX "" SUFFIX ".aex")
target_compile_options(motefield_plugin PRIVATE -fexec-charset=GBK)
target_link_libraries(motefield_plugin PRIVATE motefield_effect user32 gdi32)
add_dependencies(motefield_plugin motefield_abi_check)
target_link_options(motefield_plugin PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--kill-at -Wl,--no-undefined)

# Further Windows pieces (the host library and the Windows test program) are added here.
include(${CMAKE_SOURCE_DIR}/cmake/WindowsHost.cmake OPTIONAL)
