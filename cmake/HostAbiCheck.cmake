# The host-API declarations held to the host's binary layout: static_asserts generated from the
# layout facts in tests/host-abi/ and compiled with the same compiler as the plug-in (the native
# one, or MinGW for the Windows DLL). Building the plug-in builds this check first.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(MF_ABI_FACTS ${CMAKE_SOURCE_DIR}/tests/host-abi/host-abi.json
                 ${CMAKE_SOURCE_DIR}/tests/host-abi/constants.json)
file(GLOB MF_HOSTAPI_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/hostapi/*.h)
set(MF_ABI_GENERATED ${CMAKE_BINARY_DIR}/generated/HostAbiConformance.h)
add_custom_command(
  OUTPUT ${MF_ABI_GENERATED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/HostAbiCheck.py ${MF_ABI_FACTS}
          ${MF_ABI_GENERATED} ${MF_HOSTAPI_HEADERS}
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/HostAbiCheck.py ${MF_ABI_FACTS} ${MF_HOSTAPI_HEADERS}
  COMMENT "Generating the host-API layout checks")
add_library(motefield_abi_check OBJECT ${CMAKE_SOURCE_DIR}/tests/host-abi/Conformance.cpp
                                       ${MF_ABI_GENERATED})
target_include_directories(motefield_abi_check PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(motefield_abi_check PRIVATE motefield_hostapi)
