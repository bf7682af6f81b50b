// "AEGP Memory Suite" of the host: blocks, locking, resizing, leaks and refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "AE_EffectCB.h"
#include "AE_GeneralPlug.h"
#include "host/HostServices.h"
#include "host/MemorySuite.h"

namespace {

using mf::host::Faults;
using mf::host::SuiteRegistry;

struct MemoryHost {
  Faults f;
  SuiteRegistry r{f};
  PF_UtilCallbacks u{};
  const AEGP_MemorySuite1* mem = nullptr;
  MemoryHost() {
    mf::host::InstallImageServices(f, r, u);
    const void* p = nullptr;
    EXPECT_EQ(r.acquire(kAEGPMemorySuite, kAEGPMemorySuiteVersion1, &p), kSPNoError);
    mem = static_cast<const AEGP_MemorySuite1*>(p);
  }
};

TEST(HostMemory, BlockLivesFromNewToFreeKeepingItsBytes) {
  MemoryHost h;
  const int before = mf::host::OutstandingMemHandles();
  AEGP_MemHandle m = nullptr;
  ASSERT_EQ(h.mem->AEGP_NewMemHandle(7, "cache", 64, AEGP_MemFlag_CLEAR, &m), A_Err(0));
  EXPECT_EQ(mf::host::OutstandingMemHandles(), before + 1);
  AEGP_MemSize size = 0;
  EXPECT_EQ(h.mem->AEGP_GetMemHandleSize(m, &size), A_Err(0));
  EXPECT_EQ(size, 64u);
  void* p = nullptr;
  ASSERT_EQ(h.mem->AEGP_LockMemHandle(m, &p), A_Err(0));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(static_cast<unsigned char*>(p)[i], 0);  // CLEAR
  std::memcpy(p, "motefield", 10);
  // A locked block cannot move.
  EXPECT_EQ(h.mem->AEGP_ResizeMemHandle("cache", 128, m), PF_Err_BAD_CALLBACK_PARAM);
  ASSERT_EQ(h.mem->AEGP_UnlockMemHandle(m), A_Err(0));
  EXPECT_EQ(h.mem->AEGP_UnlockMemHandle(m), PF_Err_BAD_CALLBACK_PARAM);  // not locked
  ASSERT_EQ(h.mem->AEGP_ResizeMemHandle("cache", 100000, m), A_Err(0));
  ASSERT_EQ(h.mem->AEGP_LockMemHandle(m, &p), A_Err(0));
  EXPECT_STREQ(static_cast<char*>(p), "motefield");
  EXPECT_EQ(h.mem->AEGP_GetMemHandleSize(m, &size), A_Err(0));
  EXPECT_EQ(size, 100000u);
  ASSERT_EQ(h.mem->AEGP_UnlockMemHandle(m), A_Err(0));
  EXPECT_EQ(h.mem->AEGP_FreeMemHandle(m), A_Err(0));
  EXPECT_EQ(mf::host::OutstandingMemHandles(), before);

  // A freed or never-made handle is refused, not followed.
  EXPECT_EQ(h.mem->AEGP_FreeMemHandle(m), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.mem->AEGP_LockMemHandle(m, &p), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(h.mem->AEGP_GetMemHandleSize(nullptr, &size), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(h.mem->AEGP_NewMemHandle(7, "x", 1, 0, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(mf::host::OutstandingMemHandles(), before);
}

TEST(HostMemory, SizesAreUnsigned32BitAndZeroIsABlock) {
  MemoryHost h;
  // 3,000,000,000 bytes does not fit a signed 32-bit size; the host takes it as asked (the pages
  // are never touched here).
  AEGP_MemHandle big = nullptr;
  ASSERT_EQ(h.mem->AEGP_NewMemHandle(7, "big", 3000000000u, 0, &big), A_Err(0));
  AEGP_MemSize size = 0;
  EXPECT_EQ(h.mem->AEGP_GetMemHandleSize(big, &size), A_Err(0));
  EXPECT_EQ(size, 3000000000u);
  EXPECT_EQ(h.mem->AEGP_FreeMemHandle(big), A_Err(0));
  AEGP_MemHandle none = nullptr;
  ASSERT_EQ(h.mem->AEGP_NewMemHandle(7, "none", 0, 0, &none), A_Err(0));
  EXPECT_NE(none, nullptr);
  EXPECT_EQ(h.mem->AEGP_FreeMemHandle(none), A_Err(0));
}

TEST(HostMemory, InjectedFailuresChangeNothing) {
  MemoryHost h;
  const int before = mf::host::OutstandingMemHandles();
  h.f.failOnCall("aegp.NewMemHandle", 1);
  AEGP_MemHandle m = reinterpret_cast<AEGP_MemHandle>(&h);
  EXPECT_EQ(h.mem->AEGP_NewMemHandle(7, "cache", 16, 0, &m), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(m, nullptr);
  EXPECT_EQ(mf::host::OutstandingMemHandles(), before);
  ASSERT_EQ(h.mem->AEGP_NewMemHandle(7, "cache", 16, 0, &m), A_Err(0));

  h.f.failOnCall("aegp.LockMemHandle", 1);
  void* p = &h;
  EXPECT_NE(h.mem->AEGP_LockMemHandle(m, &p), A_Err(0));
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(h.mem->AEGP_UnlockMemHandle(m), PF_Err_BAD_CALLBACK_PARAM);  // the lock never took

  h.f.failOnCall("aegp.FreeMemHandle", 1);
  EXPECT_NE(h.mem->AEGP_FreeMemHandle(m), A_Err(0));
  EXPECT_EQ(mf::host::OutstandingMemHandles(), before + 1);  // still there: a leak shows
  EXPECT_EQ(h.mem->AEGP_FreeMemHandle(m), A_Err(0));
  EXPECT_EQ(mf::host::OutstandingMemHandles(), before);
  EXPECT_EQ(h.f.calls("aegp.NewMemHandle"), 2);
}

}  // namespace
