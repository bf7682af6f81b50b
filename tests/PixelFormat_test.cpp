#include "raster/PixelFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace mf {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// A world over a byte buffer whose rows are padded, so that a routine that ignores rowbytes reads
// the wrong pixel.
template <typename Pixel>
struct PaddedWorld {
  static constexpr A_long kPad = 16;
  PaddedWorld(A_long w, A_long h)
      : width(w), height(h), rowbytes(w * (A_long)sizeof(Pixel) + kPad), bytes(rowbytes * h) {}
  Pixel& At(A_long x, A_long y) {
    return *reinterpret_cast<Pixel*>(bytes.data() + y * rowbytes + x * (A_long)sizeof(Pixel));
  }
  void* Base() { return bytes.data(); }
  WorldView View(PF_PixelFormat format) { return {Base(), rowbytes, width, height, format}; }
  A_long width, height, rowbytes;
  std::vector<char> bytes;
};

TEST(PixelFormat, ReadConversionUsesFullScaleOfEachDepth) {
  EXPECT_EQ(FromChannel8(255), 1.0f);
  EXPECT_EQ(FromChannel8(0), 0.0f);
  EXPECT_FLOAT_EQ(FromChannel8(51), 0.2f);
  // Every 8-bit value reads as the single-precision quotient divided when the program runs.
  volatile float full8 = 255.0f;
  for (int v = 0; v < 256; ++v) EXPECT_EQ(FromChannel8(static_cast<A_u_char>(v)), v / full8) << v;
  // 16-bit full scale is 32768, not 65535.
  EXPECT_EQ(FromChannel16(32768), 1.0f);
  EXPECT_EQ(FromChannel16(16384), 0.5f);
  EXPECT_EQ(FromChannel16(65535), 65535.0f / 32768.0f);
}

TEST(PixelFormat, WriteConversionTruncatesAndClamps) {
  EXPECT_EQ(ToChannel8(0.999f), 254);  // 254.745 truncated, not rounded
  EXPECT_EQ(ToChannel8(0.003f), 0);    // 0.765
  EXPECT_EQ(ToChannel8(1.7f), 255);
  EXPECT_EQ(ToChannel8(-0.5f), 0);
  EXPECT_EQ(ToChannel8(1.0f), 255);
  EXPECT_EQ(ToChannel8(0.5f), 127);  // 127.5
  EXPECT_EQ(ToChannel16(1.0f), 32768);
  EXPECT_EQ(ToChannel16(0.5f), 16384);
  EXPECT_EQ(ToChannel16(0.99999f), 32767);  // 32767.67
  EXPECT_EQ(ToChannel16(2.0f), 32768);
  EXPECT_EQ(ToChannel16(0.00002f), 0);  // 0.655
  // The same rule on values already in channel units.
  EXPECT_EQ(ClampChannel8(254.9), 254);
  EXPECT_EQ(ClampChannel8(0.9), 0);
  EXPECT_EQ(ClampChannel16(40000.0), 32768);
  EXPECT_EQ(ClampChannel16(1.5), 1);
}

TEST(PixelFormat, WriteConversionOfNonFiniteValuesIsDefined) {
  // A NaN or a value beyond the integer's range never reaches the integer conversion.
  EXPECT_EQ(ToChannel8(kNaN), 0);
  EXPECT_EQ(ToChannel8(kInf), 255);
  EXPECT_EQ(ToChannel8(-kInf), 0);
  EXPECT_EQ(ToChannel8(3e38f), 255);
  EXPECT_EQ(ToChannel16(kNaN), 0);
  EXPECT_EQ(ToChannel16(kInf), 32768);
  EXPECT_EQ(ToChannel16(-3e38f), 0);
  EXPECT_EQ(ClampChannel8(std::nan("")), 0);
  EXPECT_EQ(ClampChannel16(1e300), 32768);
}

TEST(PixelFormat, AddressingFollowsRowbytes) {
  PaddedWorld<PF_Pixel16> w(4, 4);
  w.At(2, 3).red = 1234;
  EXPECT_EQ(PixelAddress<PF_Pixel16>(w.Base(), 2, 3, w.rowbytes)->red, 1234);
  EXPECT_EQ((char*)PixelAddress<PF_Pixel8>(w.Base(), 1, 2, 40) - (char*)w.Base(), 2 * 40 + 1 * 4);
  EXPECT_EQ((char*)PixelAddress<PF_PixelFloat>(w.Base(), 3, 1, 80) - (char*)w.Base(), 80 + 3 * 16);
  // A bottom-up world: base at the last row, negative stride.
  char* last_row = (char*)w.Base() + 3 * w.rowbytes;
  EXPECT_EQ(PixelAddress<PF_Pixel16>(last_row, 2, 0, -w.rowbytes)->red, 1234);
  // Rows beyond 2 GiB: 70000 rows of a 16-byte-pixel world 4096 wide. The 32-bit product would
  // overflow; the offset is the true one.
  EXPECT_EQ(RowOffset(70000, 65536), (std::ptrdiff_t)4587520000LL);
  EXPECT_EQ(RowOffset(-3, 100), -300);
}

TEST(PixelFormat, PixelHasAlphaPerDepth) {
  PaddedWorld<PF_Pixel8> w8(4, 4);
  w8.At(1, 1) = {0, 255, 255, 255};
  w8.At(2, 1) = {1, 0, 0, 0};
  EXPECT_FALSE(PixelHasAlpha(w8.View(PF_PixelFormat_ARGB32), 1, 1));
  EXPECT_TRUE(PixelHasAlpha(w8.View(PF_PixelFormat_ARGB32), 2, 1));

  PaddedWorld<PF_Pixel16> w16(4, 4);
  w16.At(3, 3).alpha = 1;
  EXPECT_TRUE(PixelHasAlpha(w16.View(PF_PixelFormat_ARGB64), 3, 3));
  EXPECT_FALSE(PixelHasAlpha(w16.View(PF_PixelFormat_ARGB64), 2, 3));

  PaddedWorld<PF_PixelFloat> wf(4, 4);
  wf.At(0, 0).alpha = -0.25f;
  wf.At(1, 0).alpha = kNaN;
  wf.At(2, 0).alpha = 0.0f;
  wf.At(3, 0).alpha = -0.0f;
  EXPECT_TRUE(PixelHasAlpha(wf.View(PF_PixelFormat_ARGB128), 0, 0));
  EXPECT_TRUE(PixelHasAlpha(wf.View(PF_PixelFormat_ARGB128), 1, 0));
  EXPECT_FALSE(PixelHasAlpha(wf.View(PF_PixelFormat_ARGB128), 2, 0));
  EXPECT_FALSE(PixelHasAlpha(wf.View(PF_PixelFormat_ARGB128), 3, 0));

  // Any other format code: false, even over a pixel that has alpha.
  EXPECT_FALSE(PixelHasAlpha(wf.View(PF_PixelFormat_INVALID), 0, 0));
  EXPECT_FALSE(PixelHasAlpha(w8.View(0), 2, 1));
}

TEST(PixelFormat, ReadAndWriteColorPerDepth) {
  PaddedWorld<PF_Pixel8> w8(4, 4);
  PaddedWorld<PF_Pixel16> w16(4, 4);
  PaddedWorld<PF_PixelFloat> wf(4, 4);
  const ColorF c{1.0f, 0.5f, 1.7f, -0.25f};
  ASSERT_TRUE(WriteColorF(w8.View(PF_PixelFormat_ARGB32), 3, 2, c));
  ASSERT_TRUE(WriteColorF(w16.View(PF_PixelFormat_ARGB64), 3, 2, c));
  ASSERT_TRUE(WriteColorF(wf.View(PF_PixelFormat_ARGB128), 3, 2, c));
  const PF_Pixel8 p8 = w8.At(3, 2);
  EXPECT_EQ(p8.alpha, 255);
  EXPECT_EQ(p8.red, 127);
  EXPECT_EQ(p8.green, 255);
  EXPECT_EQ(p8.blue, 0);
  const PF_Pixel16 p16 = w16.At(3, 2);
  EXPECT_EQ(p16.alpha, 32768);
  EXPECT_EQ(p16.red, 16384);
  EXPECT_EQ(p16.green, 32768);
  EXPECT_EQ(p16.blue, 0);
  // Float pixels are stored without clamping.
  EXPECT_EQ(wf.At(3, 2).green, 1.7f);
  EXPECT_EQ(wf.At(3, 2).blue, -0.25f);

  ColorF r{};
  ASSERT_TRUE(ReadColorF(w16.View(PF_PixelFormat_ARGB64), 3, 2, &r));
  EXPECT_EQ(r.alpha, 1.0f);
  EXPECT_EQ(r.red, 0.5f);
  ASSERT_TRUE(ReadColorF(w8.View(PF_PixelFormat_ARGB32), 3, 2, &r));
  EXPECT_EQ(r.red, 127.0f / 255.0f);

  // Unknown format: false, nothing read or written.
  ColorF untouched{9, 9, 9, 9};
  EXPECT_FALSE(ReadColorF(w8.View(PF_PixelFormat_INVALID), 0, 0, &untouched));
  EXPECT_EQ(untouched.red, 9.0f);
  EXPECT_FALSE(WriteColorF(w8.View(PF_PixelFormat_INVALID), 0, 0, c));
  EXPECT_EQ(w8.At(0, 0).alpha, 0);
}

}  // namespace
}  // namespace mf
