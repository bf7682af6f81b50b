// The pixel cache's records in the compact form a frame stores them in. A CloudPoint is what the
// walk computes and what drawing reads; stored, a point keeps only the parts the frame's drawing
// will read (a frame without lights has no use for light terms, one without anti-aliasing none
// for fractions), so a default frame needs 16 bytes a point instead of a whole CloudPoint. The
// depth lives apart, beside the point's index, where the sort wants it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "AE_Effect.h"
#include "raster/RenderRecords.h"
#include "support/ZeroRecord.h"

namespace mf {

// The parts a frame's records carry beyond the screen and source pixels, stamp size and flags
// that every point has.
class PointLayout {
 public:
  enum Data : uint8_t { kNoData, kPosition, kNormal };
  struct Parts {
    bool subpixel;    // fractions and coverage, read when anti-aliasing shifts stamps
    bool lighting;    // light and specular terms, read when lights were collected
    bool reflection;  // reflection sample, read when a reflection map is sampled
    bool life;        // life value, read when a life layer times the texture
    Data data;        // the one output a data mode writes
  };

  PointLayout() : PointLayout(Parts{false, false, false, false, kNoData}) {}
  explicit PointLayout(Parts parts);

  const Parts& parts() const { return parts_; }
  uint32_t stride() const { return stride_; }

 private:
  friend class PointStore;
  Parts parts_;
  uint16_t subpixel_, lighting_, reflection_, life_, data_;
  uint32_t stride_;
};

// Record bytes of a point with every part; the cache is sized with it before the frame's parts
// are known.
inline constexpr uint32_t kMaxPointStride = 16 + 24 + 32 + 16 + 4 + 12;
// Bytes beside each record for its depth and index.
inline constexpr uint32_t kDepthEntryBytes = 8;

// A depth and the point's index as the sort takes them: the depth's bits above the index.
inline uint64_t DepthEntry(float depth, uint32_t index) {
  return (static_cast<uint64_t>(std::bit_cast<uint32_t>(depth)) << 32) | index;
}
inline float DepthOfEntry(uint64_t entry) {
  return std::bit_cast<float>(static_cast<uint32_t>(entry >> 32));
}

// A view of the cache: records of layout.stride() bytes and one depth entry per record, both
// owned by the caller. Only points stored are ever written or read, so the pages of samples that
// make no point are never touched.
class PointStore {
 public:
  PointStore() = default;
  PointStore(void* records, uint64_t* depths, PointLayout layout)
      : records_(static_cast<unsigned char*>(records)), depths_(depths), layout_(layout) {}

  explicit operator bool() const { return records_ != nullptr; }
  const PointLayout& layout() const { return layout_; }
  uint64_t* depths() const { return depths_; }
  const unsigned char* address(A_long index) const {
    return records_ + static_cast<std::size_t>(index) * layout_.stride_;
  }

  void store(A_long index, const CloudPoint& pt) {
    unsigned char* r = records_ + static_cast<std::size_t>(index) * layout_.stride_;
    const Core core{pt.source_x,
                    pt.source_y,
                    static_cast<int16_t>(pt.screen_x),
                    static_cast<int16_t>(pt.screen_y),
                    pt.stamp_size,
                    static_cast<uint8_t>(pt.has_normal | pt.is_small << 1 | pt.is_reflective << 2)};
    std::memcpy(r, &core, sizeof core);
    const PointLayout::Parts& p = layout_.parts_;
    if (p.subpixel) {
      const double sub[3] = {pt.fraction_x, pt.fraction_y, pt.coverage};
      std::memcpy(r + layout_.subpixel_, sub, sizeof sub);
    }
    if (p.lighting) {
      std::memcpy(r + layout_.lighting_, &pt.light_terms, sizeof(ColorF));
      std::memcpy(r + layout_.lighting_ + sizeof(ColorF), &pt.specular_terms, sizeof(ColorF));
    }
    if (p.reflection) std::memcpy(r + layout_.reflection_, &pt.reflection, sizeof(ColorF));
    if (p.life) std::memcpy(r + layout_.life_, &pt.life, sizeof(float));
    if (p.data != PointLayout::kNoData) {
      const Vec3& v = p.data == PointLayout::kNormal ? pt.normal_output : pt.position_output;
      std::memcpy(r + layout_.data_, &v, sizeof(Vec3));
    }
    depths_[index] = DepthEntry(pt.depth, static_cast<uint32_t>(index));
  }

  // The point as stored; parts the layout leaves out, and the depth, read as zero.
  CloudPoint load(A_long index) const {
    const unsigned char* r = address(index);
    CloudPoint pt = loadPlace(index);
    const PointLayout::Parts& p = layout_.parts_;
    if (p.subpixel) {
      double sub[3];
      std::memcpy(sub, r + layout_.subpixel_, sizeof sub);
      pt.fraction_x = sub[0];
      pt.fraction_y = sub[1];
      pt.coverage = sub[2];
    }
    if (p.lighting) {
      std::memcpy(&pt.light_terms, r + layout_.lighting_, sizeof(ColorF));
      std::memcpy(&pt.specular_terms, r + layout_.lighting_ + sizeof(ColorF), sizeof(ColorF));
    }
    if (p.reflection) std::memcpy(&pt.reflection, r + layout_.reflection_, sizeof(ColorF));
    if (p.life) std::memcpy(&pt.life, r + layout_.life_, sizeof(float));
    if (p.data != PointLayout::kNoData) {
      Vec3& v = p.data == PointLayout::kNormal ? pt.normal_output : pt.position_output;
      std::memcpy(&v, r + layout_.data_, sizeof(Vec3));
    }
    return pt;
  }

  // Only the part every point has: screen and source pixels, stamp size, flags.
  CloudPoint loadPlace(A_long index) const {
    Core core;
    std::memcpy(&core, address(index), sizeof core);
    CloudPoint pt;
    ZeroRecord(&pt);
    pt.screen_x = core.screen_x;
    pt.screen_y = core.screen_y;
    pt.source_x = core.source_x;
    pt.source_y = core.source_y;
    pt.stamp_size = core.stamp_size;
    pt.has_normal = core.flags & 1;
    pt.is_small = core.flags & 2;
    pt.is_reflective = core.flags & 4;
    return pt;
  }

  // Until the depths are sorted into a drawing order.
  float depth(A_long index) const { return DepthOfEntry(depths_[index]); }

 private:
  // The screen position is kept to 16 bits: drawing truncates the stamp's corner to 16 bits
  // anyway, and truncation commutes with the offset it subtracts, so nothing drawn changes (2D
  // modes, whose points may lie anywhere, draw at the source position instead).
  struct Core {
    int32_t source_x, source_y;
    int16_t screen_x, screen_y;
    int16_t stamp_size;
    uint8_t flags;  // has normal, small, reflective
  };
  static_assert(sizeof(Core) == 16);

  unsigned char* records_ = nullptr;
  uint64_t* depths_ = nullptr;
  PointLayout layout_;
};

inline PointLayout::PointLayout(Parts parts) : parts_(parts) {
  uint32_t at = 16;
  auto take = [&at](bool used, uint32_t bytes) {
    const uint32_t offset = at;
    if (used) at += bytes;
    return static_cast<uint16_t>(offset);
  };
  subpixel_ = take(parts.subpixel, 3 * sizeof(double));
  lighting_ = take(parts.lighting, 2 * sizeof(ColorF));
  reflection_ = take(parts.reflection, sizeof(ColorF));
  life_ = take(parts.life, sizeof(float));
  data_ = take(parts.data != kNoData, sizeof(Vec3));
  stride_ = at;
}

}  // namespace mf
