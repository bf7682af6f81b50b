#include "Bitmaps.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "ResourceImage.h"
#include "Win32.h"

namespace mf::platform {
namespace {

// The stand-in screen keeps every bitmap as 24-bit blue-green-red rows, top row first.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;
};

struct DeviceContext {};

struct GdiTable {
  std::mutex mutex;
  std::unordered_map<const void*, std::unique_ptr<Bitmap>> bitmaps;
  std::unordered_map<const void*, std::unique_ptr<DeviceContext>> device_contexts;
};

GdiTable& Gdi() {
  static GdiTable table;
  return table;
}

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
int32_t ReadS32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
uint16_t ReadU16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

size_t RowBytes(int width, int bits) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32) * 4;
}

// A packed device-independent bitmap as a resource holds it: header, colour table, pixels.
// Uncompressed 1, 4, 8, 24 and 32-bit bitmaps are understood; anything else, or data too short
// for what the header announces, is refused.
std::unique_ptr<Bitmap> DecodeDib(const uint8_t* data, size_t size) {
  if (size < 40) return nullptr;
  const uint32_t header_size = ReadU32(data);
  if (header_size < 40 || header_size > size) return nullptr;
  const int32_t width = ReadS32(data + 4);
  const int32_t signed_height = ReadS32(data + 8);
  const uint16_t bits = ReadU16(data + 14);
  const uint32_t compression = ReadU32(data + 16);
  const uint32_t colours_used = ReadU32(data + 32);
  if (width <= 0 || signed_height == 0 || signed_height == INT32_MIN) return nullptr;
  if (width > 65535 || signed_height > 65535 || signed_height < -65535) return nullptr;
  if (compression != BI_RGB) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return nullptr;

  const int height = signed_height < 0 ? -signed_height : signed_height;
  const bool bottom_up = signed_height > 0;
  size_t palette_entries = 0;
  if (bits <= 8) {
    palette_entries = colours_used ? colours_used : (size_t{1} << bits);
    if (palette_entries > (size_t{1} << bits)) return nullptr;
  }
  const uint8_t* palette = data + header_size;
  const size_t pixel_offset = header_size + palette_entries * 4;
  const size_t row_bytes = RowBytes(width, bits);
  if (pixel_offset > size || row_bytes * static_cast<size_t>(height) > size - pixel_offset)
    return nullptr;

  auto bitmap = std::make_unique<Bitmap>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->bgr.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src =
        data + pixel_offset + row_bytes * static_cast<size_t>(bottom_up ? height - 1 - y : y);
    uint8_t* dst = bitmap->bgr.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
    for (int x = 0; x < width; ++x, dst += 3) {
      if (bits == 24 || bits == 32) {
        std::memcpy(dst, src + static_cast<size_t>(x) * (bits / 8), 3);
        continue;
      }
      const size_t bit = static_cast<size_t>(x) * bits;
      const unsigned index = (src[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
      if (index >= palette_entries) {
        std::memset(dst, 0, 3);
      } else {
        std::memcpy(dst, palette + index * 4, 3);
      }
    }
  }
  return bitmap;
}

}  // namespace

GdiObjectCounts LiveGdiObjects() {
  GdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.mutex);
  return {gdi.bitmaps.size(), gdi.device_contexts.size()};
}

}  // namespace mf::platform

using mf::platform::Gdi;
using mf::platform::GdiTable;

MF_PLATFORM_API HBITMAP LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
  using mf::platform::ResourceId;
  if (hInstance == nullptr || lpBitmapName == nullptr) return nullptr;
  auto name = ResourceId::FromA(lpBitmapName);
  if (!name) return nullptr;
  auto entry = mf::platform::FindModuleResource(
      hInstance, ResourceId(mf::platform::kResourceTypeBitmap), *name);
  if (!entry) return nullptr;
  auto bitmap = mf::platform::DecodeDib(entry->data, entry->size);
  if (!bitmap) return nullptr;
  HBITMAP handle = reinterpret_cast<HBITMAP>(bitmap.get());
  GdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.mutex);
  gdi.bitmaps.emplace(handle, std::move(bitmap));
  return handle;
}

MF_PLATFORM_API HDC CreateCompatibleDC(HDC hdc) {
  GdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.mutex);
  if (hdc != nullptr && gdi.device_contexts.count(hdc) == 0) return nullptr;
  auto dc = std::make_unique<mf::platform::DeviceContext>();
  HDC handle = reinterpret_cast<HDC>(dc.get());
  gdi.device_contexts.emplace(handle, std::move(dc));
  return handle;
}

MF_PLATFORM_API BOOL DeleteDC(HDC hdc) {
  GdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.mutex);
  return gdi.device_contexts.erase(hdc) ? TRUE : FALSE;
}

MF_PLATFORM_API BOOL DeleteObject(HGDIOBJ ho) {
  GdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.mutex);
  return gdi.bitmaps.erase(ho) ? TRUE : FALSE;
}

// With no bits, describes the bitmap (bit count 0 asked) or the size its pixels need in the
// format asked. With bits, copies scan lines [start, start + cLines) into 24 or 32-bit rows,
// each row padded to 4 bytes; scan lines count from the bottom for a bottom-up destination
// (positive height) and from the top for a top-down one (negative height). Returns the number of
// lines copied, or 0 on failure.
MF_PLATFORM_API int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits,
                              BITMAPINFO* lpbmi, UINT usage) {
  GdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.mutex);
  if (lpbmi == nullptr || usage != DIB_RGB_COLORS) return 0;
  if (gdi.device_contexts.count(hdc) == 0) return 0;
  auto found = gdi.bitmaps.find(hbm);
  if (found == gdi.bitmaps.end()) return 0;
  const mf::platform::Bitmap& bitmap = *found->second;
  BITMAPINFOHEADER& header = lpbmi->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER)) return 0;

  if (lpvBits == nullptr) {
    if (header.biBitCount == 0) {
      header.biWidth = bitmap.width;
      header.biHeight = bitmap.height;
      header.biPlanes = 1;
      header.biBitCount = 24;
      header.biCompression = BI_RGB;
      header.biSizeImage = static_cast<DWORD>(mf::platform::RowBytes(bitmap.width, 24) *
                                              static_cast<size_t>(bitmap.height));
      header.biXPelsPerMeter = 0;
      header.biYPelsPerMeter = 0;
      header.biClrUsed = 0;
      header.biClrImportant = 0;
      return bitmap.height;
    }
    if ((header.biBitCount != 24 && header.biBitCount != 32) || header.biCompression != BI_RGB ||
        header.biWidth <= 0 || header.biHeight == 0)
      return 0;
    const LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    header.biSizeImage = static_cast<DWORD>(
        mf::platform::RowBytes(header.biWidth, header.biBitCount) * static_cast<size_t>(rows));
    return bitmap.height;
  }

  if ((header.biBitCount != 24 && header.biBitCount != 32) || header.biCompression != BI_RGB)
    return 0;
  if (header.biWidth <= 0 || header.biWidth > 65535 || header.biHeight == 0 ||
      header.biHeight < -65535 || header.biHeight > 65535)
    return 0;
  if (start >= static_cast<UINT>(bitmap.height)) return 0;
  const UINT lines = std::min<UINT>(cLines, static_cast<UINT>(bitmap.height) - start);
  const bool top_down = header.biHeight < 0;
  const int bytes_per_pixel = header.biBitCount / 8;
  const size_t row_bytes = mf::platform::RowBytes(header.biWidth, header.biBitCount);
  const int copy_width = std::min<int>(bitmap.width, header.biWidth);
  uint8_t* out = static_cast<uint8_t*>(lpvBits);
  for (UINT i = 0; i < lines; ++i) {
    const int source_row =
        top_down ? static_cast<int>(start + i) : bitmap.height - 1 - static_cast<int>(start + i);
    const uint8_t* src = bitmap.bgr.data() + static_cast<size_t>(source_row) * bitmap.width * 3;
    uint8_t* dst = out + static_cast<size_t>(i) * row_bytes;
    std::memset(dst, 0, row_bytes);
    for (int x = 0; x < copy_width; ++x) std::memcpy(dst + x * bytes_per_pixel, src + x * 3, 3);
  }
  return static_cast<int>(lines);
}
