// Bitmaps read from a module's resources through LoadBitmapA and GetDIBits: tiny bitmaps put
// together here with pixels worked out by hand, then the five bitmaps of the built plug-in.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Bitmaps.h"
#include "ElfSection.h"
#include "ModuleImage.h"
#include "Win32.h"
#include "resources/resource.h"

namespace {

using mf::platform::LiveGdiObjects;
using mf::platform::ModuleImage;
using mf::platform::ToInstance;

struct Bytes {
  std::vector<uint8_t> v;
  void u8(uint8_t x) { v.push_back(x); }
  void u16(uint16_t x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)}); }
  void u32(uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
  }
  void align() {
    while (v.size() % 4) v.push_back(0);
  }
};

std::vector<uint8_t> InfoHeader(int32_t w, int32_t h, uint16_t bits, uint32_t compression,
                                uint32_t colours) {
  Bytes b;
  b.u32(40);
  b.u32(uint32_t(w));
  b.u32(uint32_t(h));
  b.u16(1);
  b.u16(bits);
  b.u32(compression);
  b.u32(0);
  b.u32(0);
  b.u32(0);
  b.u32(colours);
  b.u32(0);
  return b.v;
}

// A resource file holding each of `bitmaps` as RT_BITMAP with the given number.
std::vector<uint8_t> ResFile(
    const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& bitmaps) {
  Bytes b;
  b.u32(0), b.u32(32), b.u32(0xFFFF), b.u32(0xFFFF);
  for (int i = 0; i < 4; ++i) b.u32(0);
  for (const auto& [id, data] : bitmaps) {
    b.u32(uint32_t(data.size()));
    b.u32(32);
    b.u16(0xFFFF), b.u16(2), b.u16(0xFFFF), b.u16(id);
    b.u32(0), b.u16(0x1030), b.u16(1033), b.u32(0), b.u32(0);
    b.v.insert(b.v.end(), data.begin(), data.end());
    b.align();
  }
  return b.v;
}

BITMAPINFO Wanted(LONG w, LONG h, WORD bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// 3 x 2, 24-bit, bottom-up: the file's first row is the picture's bottom row. Each row is
// 9 bytes of blue-green-red padded to 12.
//   top row:    (r=10,g=20,b=30) (40,50,60) (70,80,90)
//   bottom row: (1,2,3)          (4,5,6)    (7,8,9)
std::vector<uint8_t> ThreeByTwo() {
  Bytes b;
  b.v = InfoHeader(3, 2, 24, BI_RGB, 0);
  for (uint8_t x : {3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}) b.u8(x);
  for (uint8_t x : {30, 20, 10, 60, 50, 40, 90, 80, 70, 0, 0, 0}) b.u8(x);
  return b.v;
}

// 2 x 2, 8-bit with a colour table of two entries, top-down (negative height).
//   top row: index 1, 0; bottom row: index 0, 1. Entry 0 = (r=200,g=100,b=50), entry 1 = white.
std::vector<uint8_t> PalettedTopDown() {
  Bytes b;
  b.v = InfoHeader(2, -2, 8, BI_RGB, 2);
  for (uint8_t x : {50, 100, 200, 0, 255, 255, 255, 0}) b.u8(x);
  for (uint8_t x : {1, 0, 0, 0, 0, 1, 0, 0}) b.u8(x);
  return b.v;
}

// 10 x 1, 1-bit: bits 1011000001 (first pixel in the high bit), black and blue (colour table
// entries are stored blue, green, red, reserved).
std::vector<uint8_t> OneBit() {
  Bytes b;
  b.v = InfoHeader(10, 1, 1, BI_RGB, 0);
  for (uint8_t x : {0, 0, 0, 0, 255, 0, 0, 0}) b.u8(x);
  for (uint8_t x : {0b10110000, 0b01000000, 0, 0}) b.u8(x);
  return b.v;
}

TEST(BitmapResources, DecodesAndHandsOutPixelsAsWindowsDoes) {
  const auto before = LiveGdiObjects();
  std::vector<uint8_t> res = ResFile({{1, ThreeByTwo()}, {2, PalettedTopDown()}, {3, OneBit()}});
  ModuleImage module{res.data(), res.size()};
  HINSTANCE instance = ToInstance(&module);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);

  HBITMAP rgb = LoadBitmapA(instance, MAKEINTRESOURCEA(1));
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(LiveGdiObjects().bitmaps, before.bitmaps + 1);

  // Query with no bits: the header is filled in.
  BITMAPINFO query = Wanted(0, 0, 0);
  EXPECT_NE(GetDIBits(dc, rgb, 0, 0, nullptr, &query, DIB_RGB_COLORS), 0);
  EXPECT_EQ(query.bmiHeader.biWidth, 3);
  EXPECT_EQ(query.bmiHeader.biHeight, 2);
  EXPECT_EQ(query.bmiHeader.biBitCount, 24);
  EXPECT_EQ(query.bmiHeader.biSizeImage, 24u);  // two rows of 12 bytes

  // Top-down 32-bit: first row is the picture's top row, each pixel B, G, R, 0.
  BITMAPINFO top_down = Wanted(3, -2, 32);
  std::vector<uint8_t> px(3 * 2 * 4, 0xEE);
  ASSERT_EQ(GetDIBits(dc, rgb, 0, 2, px.data(), &top_down, DIB_RGB_COLORS), 2);
  EXPECT_EQ(px, (std::vector<uint8_t>{30, 20, 10, 0, 60, 50, 40, 0, 90, 80, 70, 0,  //
                                      3,  2,  1,  0, 6,  5,  4,  0, 9,  8,  7,  0}));

  // Bottom-up 24-bit: rows padded to 12 bytes, bottom row first.
  BITMAPINFO bottom_up = Wanted(3, 2, 24);
  std::vector<uint8_t> rows(24, 0xEE);
  ASSERT_EQ(GetDIBits(dc, rgb, 0, 2, rows.data(), &bottom_up, DIB_RGB_COLORS), 2);
  EXPECT_EQ(rows, (std::vector<uint8_t>{3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0,  //
                                        30, 20, 10, 60, 50, 40, 90, 80, 70, 0, 0, 0}));
  // Asking from line 1 for more lines than remain copies just the one line left, which for a
  // bottom-up destination is the picture's top row; nothing past it is written.
  std::vector<uint8_t> one(24, 0xEE);
  ASSERT_EQ(GetDIBits(dc, rgb, 1, 5, one.data(), &bottom_up, DIB_RGB_COLORS), 1);
  EXPECT_EQ(one[0], 30);
  EXPECT_EQ(one[8], 70);
  EXPECT_EQ(one[12], 0xEE);
  EXPECT_EQ(GetDIBits(dc, rgb, 2, 1, one.data(), &bottom_up, DIB_RGB_COLORS), 0);

  // A paletted top-down resource comes out through its colour table.
  HBITMAP paletted = LoadBitmapA(instance, MAKEINTRESOURCEA(2));
  ASSERT_NE(paletted, nullptr);
  BITMAPINFO small = Wanted(2, -2, 24);
  std::vector<uint8_t> pal(2 * 8, 0xEE);  // rows of 6 bytes padded to 8
  ASSERT_EQ(GetDIBits(dc, paletted, 0, 2, pal.data(), &small, DIB_RGB_COLORS), 2);
  EXPECT_EQ(pal, (std::vector<uint8_t>{255, 255, 255, 50, 100, 200, 0, 0,  //
                                       50, 100, 200, 255, 255, 255, 0, 0}));

  HBITMAP bits = LoadBitmapA(instance, "#3");
  ASSERT_NE(bits, nullptr);
  BITMAPINFO line = Wanted(10, 1, 24);
  std::vector<uint8_t> mono(32, 0xEE);
  ASSERT_EQ(GetDIBits(dc, bits, 0, 1, mono.data(), &line, DIB_RGB_COLORS), 1);
  const int set[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(mono[x * 3], set[x] ? 255 : 0) << x;

  // Failures answer 0 or FALSE and never touch the buffer.
  std::vector<uint8_t> untouched(24, 0xEE);
  EXPECT_EQ(GetDIBits(nullptr, rgb, 0, 2, untouched.data(), &bottom_up, DIB_RGB_COLORS), 0);
  EXPECT_EQ(GetDIBits(dc, rgb, 0, 2, untouched.data(), &bottom_up, 1 /* palette indices */), 0);
  BITMAPINFO eight = Wanted(3, 2, 8);
  EXPECT_EQ(GetDIBits(dc, rgb, 0, 2, untouched.data(), &eight, DIB_RGB_COLORS), 0);
  EXPECT_EQ(untouched, std::vector<uint8_t>(24, 0xEE));
  EXPECT_EQ(LoadBitmapA(instance, MAKEINTRESOURCEA(4)), nullptr);
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(1)), nullptr);

  EXPECT_TRUE(DeleteObject(rgb));
  EXPECT_FALSE(DeleteObject(rgb));
  EXPECT_EQ(GetDIBits(dc, rgb, 0, 2, untouched.data(), &bottom_up, DIB_RGB_COLORS), 0);
  EXPECT_TRUE(DeleteObject(paletted));
  EXPECT_TRUE(DeleteObject(bits));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(LiveGdiObjects().bitmaps, before.bitmaps);
  EXPECT_EQ(LiveGdiObjects().device_contexts, before.device_contexts);
}

TEST(BitmapResources, DamagedOrUnsupportedBitmapsAreRefused) {
  std::vector<uint8_t> truncated = ThreeByTwo();
  truncated.resize(truncated.size() - 1);
  std::vector<uint8_t> rle = InfoHeader(2, 2, 8, 1 /* BI_RLE8 */, 0);
  rle.resize(rle.size() + 1024 + 8);
  std::vector<uint8_t> huge_palette = InfoHeader(1, 1, 8, BI_RGB, 257);
  huge_palette.resize(huge_palette.size() + 257 * 4 + 4);
  std::vector<uint8_t> zero_width = InfoHeader(0, 2, 24, BI_RGB, 0);
  std::vector<uint8_t> short_header = {12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 24, 0};
  std::vector<uint8_t> res =
      ResFile({{1, truncated}, {2, rle}, {3, huge_palette}, {4, zero_width}, {5, short_header}});
  ModuleImage module{res.data(), res.size()};
  for (int id = 1; id <= 5; ++id)
    EXPECT_EQ(LoadBitmapA(ToInstance(&module), MAKEINTRESOURCEA(id)), nullptr) << id;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(BitmapResources, PluginCarriesItsFiveBitmaps) {
  auto section = mf::platform::ReadElfSection(MOTEFIELD_PLUGIN_PATH, "motefield_rsrc");
  ASSERT_TRUE(section.has_value());
  ModuleImage module{section->data(), section->size()};
  HDC dc = CreateCompatibleDC(nullptr);

  struct Expected {
    int id, width, height;
    const char* file;
  };
  for (const Expected& e :
       {Expected{IDB_ALERT, 64, 64, "alert.bmp"}, Expected{IDB_CAMERA, 64, 64, "camera.bmp"},
        Expected{IDB_BANNER, 300, 80, "banner.bmp"}, Expected{IDB_LINK_UP, 48, 24, "link_up.bmp"},
        Expected{IDB_LINK_DOWN, 48, 24, "link_down.bmp"}}) {
    SCOPED_TRACE(e.file);
    HBITMAP bitmap = LoadBitmapA(ToInstance(&module), MAKEINTRESOURCEA(e.id));
    ASSERT_NE(bitmap, nullptr);
    BITMAPINFO query = Wanted(0, 0, 0);
    ASSERT_NE(GetDIBits(dc, bitmap, 0, 0, nullptr, &query, DIB_RGB_COLORS), 0);
    EXPECT_EQ(query.bmiHeader.biWidth, e.width);
    EXPECT_EQ(query.bmiHeader.biHeight, e.height);
    EXPECT_EQ(query.bmiHeader.biBitCount, 24);

    // As the effect asks for it: top-down 24-bit rows of exactly width x 3 bytes. Compared with
    // the committed file, whose pixel rows are stored bottom-up after its two headers.
    std::vector<uint8_t> file = ReadFile(std::string(MOTEFIELD_SOURCE_DIR "/resources/") + e.file);
    ASSERT_EQ(file.size(), 54u + size_t(e.width) * e.height * 3);
    EXPECT_EQ(file[28], 24);  // bits per pixel
    EXPECT_EQ(file[30], 0);   // uncompressed
    BITMAPINFO wanted = Wanted(e.width, -e.height, 24);
    std::vector<uint8_t> pixels(size_t(e.width) * e.height * 3);
    ASSERT_EQ(GetDIBits(dc, bitmap, 0, e.height, pixels.data(), &wanted, DIB_RGB_COLORS), e.height);
    const size_t row = size_t(e.width) * 3;
    for (int y = 0; y < e.height; ++y) {
      const uint8_t* stored = file.data() + 54 + (e.height - 1 - y) * row;
      ASSERT_TRUE(std::equal(stored, stored + row, pixels.begin() + y * row)) << "row " << y;
    }
    EXPECT_TRUE(DeleteObject(bitmap));
  }
  // The two button states must look different.
  EXPECT_NE(ReadFile(MOTEFIELD_SOURCE_DIR "/resources/link_up.bmp"),
            ReadFile(MOTEFIELD_SOURCE_DIR "/resources/link_down.bmp"));
  EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace
