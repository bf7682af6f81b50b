#include "WorldCopy.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

#include "PixelTraits.h"
#include "Rects.h"
#include "Worlds.h"

namespace mf::host {
namespace {

struct CopyPlan {
  const PF_EffectWorld* src;
  PF_EffectWorld* dst;
  PF_PixelFormat format;
  PF_LRect sr;       // source rectangle, unclipped
  PF_LRect dr;       // destination rectangle, unclipped
  PF_LRect visible;  // dr clipped to the destination world
};

// Checks the arguments; false with *err set when there is nothing (more) to do.
bool Plan(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_LRect* src_r,
          const PF_LRect* dst_r, CopyPlan* plan, PF_Err* err) {
  *err = PF_Err_NONE;
  auto src_format = UsableFormat(src);
  auto dst_format = UsableFormat(dst);
  if (!src_format || !dst_format || *src_format != *dst_format) {
    *err = PF_Err_BAD_CALLBACK_PARAM;
    return false;
  }
  plan->src = src;
  plan->dst = dst;
  plan->format = *src_format;
  plan->sr = RectOrWorld(src_r, *src);
  plan->dr = RectOrWorld(dst_r, *dst);
  plan->visible = Intersect(plan->dr, WorldRect(*dst));
  return !IsEmpty(plan->sr) && !IsEmpty(plan->dr) && !IsEmpty(plan->visible);
}

// Source index of destination offset i (0 ≤ i < dn): floor((i + ½) × sn ÷ dn), exact in 64-bit
// integers while the product fits; rectangles wider than 2^30 fall back to double precision.
inline int64_t NearestIndex(int64_t i, int64_t sn, int64_t dn) {
  constexpr int64_t kExact = int64_t{1} << 30;
  if (sn < kExact && i < (int64_t{1} << 31)) return ((2 * i + 1) * sn) / (2 * dn);
  return (int64_t)std::floor(((double)i + 0.5) * (double)sn / (double)dn);
}

template <typename Pixel>
void NearestKernel(const CopyPlan& p, const PF_EffectWorld& src) {
  const int64_t sw = (int64_t)p.sr.right - p.sr.left, sh = (int64_t)p.sr.bottom - p.sr.top;
  const int64_t dw = (int64_t)p.dr.right - p.dr.left, dh = (int64_t)p.dr.bottom - p.dr.top;
  for (A_long y = p.visible.top; y < p.visible.bottom; ++y) {
    const int64_t v = p.sr.top + NearestIndex(y - (int64_t)p.dr.top, sh, dh);
    const bool row_inside = v >= 0 && v < src.height;
    Pixel* out = PixelAt<Pixel>(*p.dst, p.visible.left, y);
    for (A_long x = p.visible.left; x < p.visible.right; ++x, ++out) {
      const int64_t u = p.sr.left + NearestIndex(x - (int64_t)p.dr.left, sw, dw);
      *out = row_inside && u >= 0 && u < src.width ? *PixelAt<Pixel>(src, (A_long)u, (A_long)v)
                                                   : Pixel{};
    }
  }
}

// The taps of a box filter along one axis, for every destination position.
struct AxisTaps {
  std::vector<int> first;  // per destination position: first tap, count = first[i+1] - first[i]
  std::vector<A_long> index;
  std::vector<double> weight;

  void Build(A_long s0, A_long s1, A_long world_size, A_long d0, A_long d1, A_long v0, A_long v1) {
    // s0..s1: source rectangle; d0..d1: destination rectangle; v0..v1: visible destination part.
    first.clear();
    index.clear();
    weight.clear();
    const double scale = (double)((int64_t)s1 - s0) / (double)((int64_t)d1 - d0);
    const double half = std::max(scale, 1.0) * 0.5;
    const double lo_limit = std::max<double>(s0, 0.0);
    const double hi_limit = std::min<double>(s1, world_size);
    for (A_long d = v0; d < v1; ++d) {
      first.push_back((int)index.size());
      const double centre = s0 + ((double)((int64_t)d - d0) + 0.5) * scale;
      const double lo = std::max(centre - half, lo_limit);
      const double hi = std::min(centre + half, hi_limit);
      if (!(hi > lo)) continue;
      double total = 0.0;
      const std::size_t start = weight.size();
      for (int64_t j = (int64_t)std::floor(lo); j < hi; ++j) {
        const double w = std::min(hi, (double)(j + 1)) - std::max(lo, (double)j);
        if (w <= 1e-12) continue;
        index.push_back((A_long)j);
        weight.push_back(w);
        total += w;
      }
      for (std::size_t k = start; k < weight.size(); ++k) weight[k] /= total;
    }
    first.push_back((int)index.size());
  }
};

// Whether the one-tap arithmetic below gives the pixel back as it was: at integer depths when every
// channel is in range (a product and a quotient err far less than half a step; a 16-bit value
// above the top of the range comes back held to it), at float when alpha and colours are
// finite and not zero (a product of two floats is exact in double; zeros and the rest may come
// back with another sign or payload).
template <typename Pixel>
bool ComesBackAsItWas(const Pixel& px) {
  if constexpr (PixelTraits<Pixel>::kIsFloat) {
    auto ordinary = [](float v) { return v != 0.0f && std::isfinite(v); };
    return ordinary(px.alpha) && ordinary(px.red) && ordinary(px.green) && ordinary(px.blue);
  } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
    auto in_range = [](A_u_short v) { return v <= PF_MAX_CHAN16; };
    return in_range(px.alpha) && in_range(px.red) && in_range(px.green) && in_range(px.blue);
  } else {
    return true;
  }
}

// A box filter of scale one has a single tap of weight one per pixel; this is the same arithmetic
// as FilteredKernel without building the taps, which dominates the copy of a small world.
template <typename Pixel>
void SameSizeFilteredKernel(const CopyPlan& p, const PF_EffectWorld& src) {
  for (A_long y = p.visible.top; y < p.visible.bottom; ++y) {
    const int64_t v = (int64_t)p.sr.top + ((int64_t)y - p.dr.top);
    const bool row_inside = v >= 0 && v < src.height;
    Pixel* out = PixelAt<Pixel>(*p.dst, p.visible.left, y);
    for (A_long x = p.visible.left; x < p.visible.right; ++x, ++out) {
      const int64_t u = (int64_t)p.sr.left + ((int64_t)x - p.dr.left);
      UnitPixel result{0, 0, 0, 0};
      if (row_inside && u >= 0 && u < src.width) {
        const Pixel& from = *PixelAt<Pixel>(src, (A_long)u, (A_long)v);
        if (ComesBackAsItWas(from)) {
          *out = from;
          continue;
        }
        const UnitPixel s = ToUnitPixel(from);
        // Sums started at zero, as the general kernel's are, so that signed zeros come out alike.
        const double w = 1.0, sum_w = 0.0 + w, sum_a = 0.0 + w * s.a;
        const double c[3] = {s.r, s.g, s.b};
        double r[3];
        for (int k = 0; k < 3; ++k) {
          r[k] = sum_a != 0 ? (0.0 + w * s.a * c[k]) / sum_a : (0.0 + w * c[k]) / sum_w;
        }
        result.a = sum_a / sum_w;
        result.r = r[0];
        result.g = r[1];
        result.b = r[2];
      }
      *out = FromUnitPixel<Pixel>(result);
    }
  }
}

// Kept out of line: a point's copy is of the same size, and should not pay for this set-up.
template <typename Pixel>
[[gnu::noinline]] void ResampledKernel(const CopyPlan& p, const PF_EffectWorld& src) {
  thread_local AxisTaps xs, ys;
  xs.Build(p.sr.left, p.sr.right, src.width, p.dr.left, p.dr.right, p.visible.left,
           p.visible.right);
  ys.Build(p.sr.top, p.sr.bottom, src.height, p.dr.top, p.dr.bottom, p.visible.top,
           p.visible.bottom);
  const A_long cols = p.visible.right - p.visible.left;
  for (A_long yi = 0; yi < p.visible.bottom - p.visible.top; ++yi) {
    Pixel* out = PixelAt<Pixel>(*p.dst, p.visible.left, p.visible.top + yi);
    for (A_long xi = 0; xi < cols; ++xi, ++out) {
      double sum_w = 0, sum_a = 0, sum_ac[3] = {0, 0, 0}, sum_c[3] = {0, 0, 0};
      for (int ty = ys.first[yi]; ty < ys.first[yi + 1]; ++ty) {
        for (int tx = xs.first[xi]; tx < xs.first[xi + 1]; ++tx) {
          const double w = ys.weight[ty] * xs.weight[tx];
          const UnitPixel s = ToUnitPixel(*PixelAt<Pixel>(src, xs.index[tx], ys.index[ty]));
          sum_w += w;
          sum_a += w * s.a;
          const double c[3] = {s.r, s.g, s.b};
          for (int k = 0; k < 3; ++k) {
            sum_ac[k] += w * s.a * c[k];
            sum_c[k] += w * c[k];
          }
        }
      }
      UnitPixel result{0, 0, 0, 0};
      if (sum_w > 0) {
        result.a = sum_a / sum_w;
        double c[3];
        for (int k = 0; k < 3; ++k) c[k] = sum_a != 0 ? sum_ac[k] / sum_a : sum_c[k] / sum_w;
        result.r = c[0];
        result.g = c[1];
        result.b = c[2];
      }
      *out = FromUnitPixel<Pixel>(result);
    }
  }
}

template <typename Pixel>
void FilteredKernel(const CopyPlan& p, const PF_EffectWorld& src) {
  if ((int64_t)p.sr.right - p.sr.left == (int64_t)p.dr.right - p.dr.left &&
      (int64_t)p.sr.bottom - p.sr.top == (int64_t)p.dr.bottom - p.dr.top) {
    SameSizeFilteredKernel<Pixel>(p, src);
  } else {
    ResampledKernel<Pixel>(p, src);
  }
}

template <bool kFiltered>
PF_Err Copy(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_LRect* src_r,
            const PF_LRect* dst_r) {
  CopyPlan plan;
  PF_Err err;
  if (!Plan(src, dst, src_r, dst_r, &plan, &err)) return err;
  PF_EffectWorld snapshot;
  const PF_EffectWorld& from = *SnapshotIfShared(*src, *dst, &snapshot);
  return DispatchFormat(plan.format, [&](auto tag) {
    using Pixel = decltype(tag);
    if constexpr (kFiltered) {
      FilteredKernel<Pixel>(plan, from);
    } else {
      NearestKernel<Pixel>(plan, from);
    }
    return PF_Err_NONE;
  });
}

}  // namespace

PF_Err CopyNearest(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_LRect* src_r,
                   const PF_LRect* dst_r) {
  return Copy<false>(src, dst, src_r, dst_r);
}

PF_Err CopyFiltered(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_LRect* src_r,
                    const PF_LRect* dst_r) {
  return Copy<true>(src, dst, src_r, dst_r);
}

}  // namespace mf::host
