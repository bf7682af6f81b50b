// The host's failure injection: exact counts per point however the point is named, the three ways
// of arming a failure, and the running total a sweep over every call relies on; and the wrapper
// every callback is entered through.
#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "host/Faults.h"
#include "host/Guarded.h"

namespace mf::test {
namespace {

TEST(HostFaults, CountsEveryCallAtItsPointWhetherNamedByLiteralOrString) {
  host::Faults f;
  // Enough distinct names to make the table of addresses grow several times.
  static char names[600][8];
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 600; ++i) {
      std::snprintf(names[i], sizeof(names[i]), "p%d", i);
      EXPECT_FALSE(f.trip(names[i]));
    }
  }
  EXPECT_FALSE(f.trip(std::string("p7")));
  EXPECT_EQ(f.calls("p7"), 3);
  EXPECT_EQ(f.calls("p599"), 2);
  EXPECT_EQ(f.calls("never"), 0);
  EXPECT_EQ(f.totalCalls(), 1201);
}

TEST(HostFaults, FailsTheArmedCallsOnly) {
  host::Faults f;
  f.trip("pf.PF_NewWorld");
  f.failOnCall("pf.PF_NewWorld", 2);  // counted from now
  EXPECT_FALSE(f.trip("pf.PF_NewWorld"));
  EXPECT_TRUE(f.trip(std::string("pf.PF_NewWorld")));
  EXPECT_FALSE(f.trip("pf.PF_NewWorld"));
  EXPECT_EQ(f.calls("pf.PF_NewWorld"), 3);

  f.failAlways("abort");
  EXPECT_TRUE(f.trip("abort"));
  EXPECT_TRUE(f.trip("abort"));
  EXPECT_FALSE(f.trip("handle.new"));
  f.clear("abort");
  EXPECT_FALSE(f.trip("abort"));
  EXPECT_EQ(f.calls("abort"), 3);

  f.clearAll();
  EXPECT_EQ(f.calls("abort"), 0);
  EXPECT_EQ(f.totalCalls(), 0);
}

TEST(HostFaults, FailsTheKthCallOfAnyKind) {
  host::Faults f;
  f.trip("a");
  f.failNthCall(3);
  EXPECT_EQ(f.totalCalls(), 0);
  EXPECT_FALSE(f.trip("b"));
  EXPECT_FALSE(f.trip("a"));
  EXPECT_TRUE(f.trip("c"));
  EXPECT_FALSE(f.trip("c"));
  EXPECT_EQ(f.totalCalls(), 4);
  f.failNthCall(0);  // off
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(f.trip("a"));
  EXPECT_EQ(f.calls("a"), 7);
}

int g_thrown = 0;  // 0: none, 1: out of memory, 2: anything else
int g_ran = 0;
A_Err MakeLayer(AEGP_LayerH* made, PF_Handle*) {
  ++g_ran;
  *made = reinterpret_cast<AEGP_LayerH>(&g_ran);
  if (g_thrown == 1) throw std::bad_alloc();
  if (g_thrown == 2) throw std::runtime_error("host fault");
  return PF_Err_NONE;
}

TEST(HostFaults, CallbacksAnswerEveryFailureWithACodeAndNullOutputs) {
  host::Faults f;
  host::CallbackFaults() = &f;
  const auto call = host::Guarded<MakeLayer, "test.make", host::kDamaged>;
  PF_Handle handle = reinterpret_cast<PF_Handle>(&f);
  const struct {
    int thrown;
    bool injected;
    A_Err expected;
  } cases[] = {{0, true, PF_Err_INTERNAL_STRUCT_DAMAGED},
               {1, false, PF_Err_OUT_OF_MEMORY},
               {2, false, PF_Err_INTERNAL_STRUCT_DAMAGED}};
  for (const auto& c : cases) {
    g_thrown = c.thrown;
    if (c.injected) f.failOnCall("test.make", 1);
    AEGP_LayerH made = reinterpret_cast<AEGP_LayerH>(&made);
    EXPECT_EQ(call(&made, &handle), c.expected);
    EXPECT_EQ(made, nullptr);
  }
  EXPECT_EQ(g_ran, 2);  // not run when the failure is injected
  EXPECT_EQ(f.calls("test.make"), 3);
  EXPECT_EQ(handle, reinterpret_cast<PF_Handle>(&f));  // the caller's handle, not an output
  host::CallbackFaults() = nullptr;
}

// A callback remembers where its point is in the Faults it last counted in; another Faults, or
// the same one assigned over, numbers its points otherwise.
TEST(HostFaults, CallbacksCountInTheFaultsInstalledNow) {
  const auto call = host::Guarded<MakeLayer, "test.make", host::kDamaged>;
  g_thrown = 0;
  PF_Handle handle = nullptr;
  AEGP_LayerH made = nullptr;
  host::Faults first, second;
  second.trip("x");
  second.trip("y");
  for (host::Faults* f : {&first, &second, &first}) {
    host::CallbackFaults() = f;
    EXPECT_EQ(call(&made, &handle), PF_Err_NONE);
  }
  EXPECT_EQ(first.calls("test.make"), 2);
  EXPECT_EQ(second.calls("test.make"), 1);
  EXPECT_EQ(second.calls("y"), 1);

  host::CallbackFaults() = &second;
  second = host::Faults();
  second.failAlways("z");
  EXPECT_EQ(call(&made, &handle), PF_Err_NONE);
  EXPECT_EQ(second.calls("test.make"), 1);
  EXPECT_EQ(second.calls("z"), 0);
  host::CallbackFaults() = nullptr;
}

}  // namespace
}  // namespace mf::test
