// Frames of the fixed reference scene as the native build renders them. The Windows test program
// renders the same scene under Wine and compares with these; when MOTEFIELD_REFERENCE_FRAMES names
// a folder, they are written there (scripts/windows-tests.sh does that).
#include <cstdlib>
#include <fstream>
#include <string>

#include "HostFixture.h"
#include "tests-windows/ReferenceScene.h"

namespace mf::test {
namespace {

using ReferenceFrames = HostTest;

TEST_F(ReferenceFrames, RenderAtEveryDepthAndAreWrittenWhenAsked) {
  const char* folder = std::getenv("MOTEFIELD_REFERENCE_FRAMES");
  for (int depth : {8, 16, 32}) {
    options_.interactive = true;  // the Info panel is drawn
    RestartHost();
    host::Frame frame;
    ASSERT_EQ(reference::RenderReference(host(), dir_, depth, &frame), PF_Err_NONE) << depth;
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.world.width, reference::kCompWidth);
    EXPECT_EQ(frame.world.height, reference::kCompHeight);
    // At most one point per sample of the 24 x 16 pass, and some in view.
    ASSERT_GE(host().infoLines().size(), 2u);
    const int points = std::stoi(host().infoLines()[1]);
    EXPECT_GT(points, 0);
    EXPECT_LE(points, reference::kPassWidth * reference::kPassHeight);
    const std::vector<uint8_t> bytes = reference::FrameBytes(frame);
    if (folder && *folder) {
      std::filesystem::create_directories(folder);
      std::ofstream out(std::filesystem::path(folder) / reference::ReferenceFileName(depth),
                        std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
      std::ofstream(std::filesystem::path(folder) / reference::PointCountFileName(depth))
          << host().infoLines()[1];
    }
  }
}

}  // namespace
}  // namespace mf::test
