// The host's failure injection: exact counts per point however the point is named, the three ways
// of arming a failure, and the running total a sweep over every call relies on.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/Faults.h"

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

}  // namespace
}  // namespace mf::test
