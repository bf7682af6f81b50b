// Visibility of the platform layer's C++ interface. The library hides everything by default; the
// Win32 calls carry MF_PLATFORM_API (Win32.h), the C++ helpers that the host, the command line
// and the tests use carry MF_PLATFORM_CXX.
#pragma once

#if defined(MOTEFIELD_PLATFORM_BUILD)
#define MF_PLATFORM_CXX __attribute__((visibility("default")))
#else
#define MF_PLATFORM_CXX
#endif
