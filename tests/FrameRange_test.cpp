// Frame ranges as a person types them on the command line or in a scene.
#include <gtest/gtest.h>

#include "cli/FrameRange.h"

namespace mf::test {
namespace {

using cli::FrameRangeError;
using cli::ParseFrameRange;
using V = std::vector<int>;

TEST(FrameRange, ReadsSinglesSpansStepsAndLists) {
  EXPECT_EQ(ParseFrameRange("7"), V({7}));
  EXPECT_EQ(ParseFrameRange(" 7 "), V({7}));
  EXPECT_EQ(ParseFrameRange("1-4"), V({1, 2, 3, 4}));
  EXPECT_EQ(ParseFrameRange("0-0"), V({0}));
  // Every second frame from 1: 1, 3, 5, 7, 9 (10 is not reached by the step).
  EXPECT_EQ(ParseFrameRange("1-10x2"), V({1, 3, 5, 7, 9}));
  EXPECT_EQ(ParseFrameRange("0-9x3"), V({0, 3, 6, 9}));
  EXPECT_EQ(ParseFrameRange("3,5,8-9"), V({3, 5, 8, 9}));
  EXPECT_EQ(ParseFrameRange("3, 5 , 8-9"), V({3, 5, 8, 9}));
  // Order as written; a frame named twice is rendered once.
  EXPECT_EQ(ParseFrameRange("9,1-3,2"), V({9, 1, 2, 3}));
  // Frames before the composition's start are numbers like any other.
  EXPECT_EQ(ParseFrameRange("-2-1"), V({-2, -1, 0, 1}));
}

TEST(FrameRange, RefusesWhatIsNotARange) {
  for (const char* bad : {"", " ", "a", "1-", "-", "1,,2", "1,", "5-3", "1-10x0", "1-10x-2",
                          "1-10x", "1.5", "1-2-3", "1 2", "12345678901"}) {
    EXPECT_THROW(ParseFrameRange(bad), FrameRangeError) << "\"" << bad << "\"";
  }
  // The message quotes the text and shows the expected form.
  try {
    ParseFrameRange("5-3");
    FAIL();
  } catch (const FrameRangeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"5-3\""), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("ends before it starts"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("1-10x2"), std::string::npos);
  }
  // A slip that would name a billion frames is refused rather than attempted.
  EXPECT_THROW(ParseFrameRange("0-999999999"), FrameRangeError);
}

}  // namespace
}  // namespace mf::test
