# The stand-in host built for Windows, and the Windows test program that drives the DLL through it
# (run under Wine on Linux by scripts/windows-tests.sh).
#
# The Windows host differs from the native one only where the operating system does:
# - the plug-in is loaded with LoadLibraryW/GetProcAddress (host/PluginLibrary.cpp);
# - GBK text goes through code page 936 of the system (host/Text.cpp);
# - the plug-in's message boxes and dialogs are the system's own, so no stand-in person is
#   installed (host/Host.cpp) and the host's main window is a real, hidden window
#   (host/CoreServices.cpp);
# - OpenImageIO is not available to the cross build, so footage files cannot be read: host/Footage
#   is left out and a composition's layers get their pixels from a LayerSource the caller supplies
#   (solids and procedural images in the test program);
# - the scripted person of the native tests (host/ScriptedPerson) is left out: under Windows the
#   test program answers the real dialogs itself.

# nlohmann-json is header-only: the cross build sees just its folder, never all of /usr/include.
find_path(MF_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include /usr/local/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT MF_NLOHMANN_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found (Debian package nlohmann-json3-dev)")
endif()
set(MF_WINDOWS_INCLUDE ${CMAKE_BINARY_DIR}/windows-include)
file(MAKE_DIRECTORY ${MF_WINDOWS_INCLUDE})
if(NOT EXISTS ${MF_WINDOWS_INCLUDE}/nlohmann)
  file(CREATE_LINK ${MF_NLOHMANN_INCLUDE}/nlohmann ${MF_WINDOWS_INCLUDE}/nlohmann SYMBOLIC)
endif()

file(GLOB MF_HOST_SOURCES CONFIGURE_DEPENDS host/*.cpp)
list(FILTER MF_HOST_SOURCES EXCLUDE REGEX "host/(Footage|ScriptedPerson)\\.cpp$")
add_library(motefield_host STATIC ${MF_HOST_SOURCES})
target_include_directories(motefield_host PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(motefield_host SYSTEM PUBLIC ${MF_WINDOWS_INCLUDE})
# Win32.h of the platform folder (the system's windows.h on Windows).
target_include_directories(motefield_host PRIVATE ${CMAKE_SOURCE_DIR}/platform)
target_compile_definitions(motefield_host PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX
                           MOTEFIELD_PLUGIN_PATH="Motefield.aex")
target_link_libraries(motefield_host PUBLIC motefield_hostapi user32 gdi32)

# GoogleTest from the sources the googletest package installs.
set(MF_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(EXISTS ${MF_GOOGLETEST_SOURCE}/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${MF_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its warnings are the packaged version's, not ours to fail on.
  target_compile_options(gtest PRIVATE -Wno-error)

  # The test program sits beside Motefield.aex, where LoadLibrary finds it.
  file(GLOB MF_WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS tests-windows/*.cpp)
  add_executable(motefield_windows_tests ${MF_WINDOWS_TEST_SOURCES})
  target_include_directories(motefield_windows_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests-windows)
  target_link_libraries(motefield_windows_tests PRIVATE motefield_host motefield_effect gtest
                        user32 gdi32)
  target_compile_definitions(motefield_windows_tests PRIVATE
                             MOTEFIELD_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # Static runtime: the program needs nothing from the build machine under Wine.
  target_link_options(motefield_windows_tests PRIVATE -static -static-libgcc -static-libstdc++)
  add_dependencies(motefield_windows_tests motefield_plugin)
else()
  message(WARNING "GoogleTest sources not found in ${MF_GOOGLETEST_SOURCE}: the Windows test "
                  "program is not built (Debian package googletest)")
endif()
