// Frames rendered by the DLL under Windows against the native build's frames of the same scene
// (tests-windows/ReferenceScene.h; the native suite writes them into the folder named by
// MOTEFIELD_REFERENCE_FRAMES). The two builds use different C runtimes and maths libraries, so
// values may differ in the last bits of a float: 8 and 16-bit frames must agree to one level,
// float frames to 1e-5 (relative to full scale 1.0); a point landing on another pixel would
// differ by far more.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "ReferenceScene.h"
#include "WindowsSupport.h"

namespace mf::wintest {
namespace {

using FrameRender = HostTest;

std::vector<uint8_t> ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Largest channel difference, in the depth's own units (levels, or floats of full scale 1).
template <typename T>
double LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double worst = 0;
  for (size_t i = 0; i + sizeof(T) <= a.size(); i += sizeof(T)) {
    T x, y;
    std::memcpy(&x, &a[i], sizeof x);
    std::memcpy(&y, &b[i], sizeof y);
    const double d = std::fabs(double(x) - double(y));
    if (!(d <= worst)) worst = std::isnan(d) ? INFINITY : d;
  }
  return worst;
}

TEST_F(FrameRender, FramesAtEveryDepthMatchTheNativeBuild) {
  const char* folder = std::getenv("MOTEFIELD_REFERENCE_FRAMES");
  if (!folder || !*folder) GTEST_SKIP() << "MOTEFIELD_REFERENCE_FRAMES is not set";
  for (int depth : {8, 16, 32}) {
    SCOPED_TRACE("bit depth " + std::to_string(depth));
    options_.interactive = true;  // the Info panel is drawn
    RestartHost();
    host::Frame frame;
    ASSERT_EQ(reference::RenderReference(host(), dir_, depth, &frame), PF_Err_NONE);
    ASSERT_FALSE(frame.empty());
    ASSERT_GE(host().infoLines().size(), 2u);
    const std::vector<uint8_t> ours = reference::FrameBytes(frame);
    const std::vector<uint8_t> native =
        ReadFile(std::filesystem::path(folder) / reference::ReferenceFileName(depth));
    ASSERT_EQ(ours.size(), native.size()) << "reference frame missing or of another size";
    // The same points were drawn: the Info panel shows the native build's count.
    const std::vector<uint8_t> count =
        ReadFile(std::filesystem::path(folder) / reference::PointCountFileName(depth));
    EXPECT_EQ(host().infoLines()[1], std::string(count.begin(), count.end()));
    // The frame is not empty: some pixel has alpha.
    bool any = false;
    for (size_t i = 0; i < ours.size(); ++i) any = any || ours[i] != 0;
    EXPECT_TRUE(any);
    const double worst = depth == 8    ? LargestDifference<uint8_t>(ours, native)
                         : depth == 16 ? LargestDifference<uint16_t>(ours, native)
                                       : LargestDifference<float>(ours, native);
    EXPECT_LE(worst, depth == 32 ? 1e-5 : 1.0);
    size_t differing = 0;
    for (size_t i = 0; i < ours.size(); ++i) differing += ours[i] != native[i];
    std::cout << "  " << depth << "-bit: " << differing << " of " << ours.size()
              << " bytes differ from the native frame\n";
  }
}

}  // namespace
}  // namespace mf::wintest
