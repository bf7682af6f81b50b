#include "render/PointDrawing.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "AE_CompSuites.h"
#include "raster/BlendModes.h"
#include "raster/PixelFormat.h"
#include "raster/Relight.h"
#include "raster/StampShaping.h"
#include "render/ControlLayer.h"
#include "render/PreRenderData.h"
#include "render/FrameSettings.h"
#include "support/HostResources.h"

namespace mf {

StampOffset StampOffsetFor(A_long size) {
  const float h = static_cast<float>(size) / 2.0f;
  const A_long k = static_cast<A_long>(h);
  const A_long offset = (h - static_cast<float>(k) > 0.0f) ? k : static_cast<A_long>(h - 1.0f);
  return {offset, offset};
}

PF_TransferMode PixelBlendTransfer(A_long mode) {
  switch (mode) {
    case kPixelBlendDarken:
      return PF_Xfer_DARKEN;
    case kPixelBlendMultiply:
      return PF_Xfer_MULTIPLY;
    case kPixelBlendAdd:
      return PF_Xfer_ADD;
    case kPixelBlendLighten:
      return PF_Xfer_LIGHTEN;
    case kPixelBlendScreen:
      return PF_Xfer_SCREEN;
    case kPixelBlendDifference:
      return PF_Xfer_DIFFERENCE;
    case kPixelBlendColor:
      return PF_Xfer_COLOR;
    case kPixelBlendLuminosity:
      return PF_Xfer_LUMINOSITY;
    case kPixelBlendAddAlpha:
      return PF_Xfer_ALPHA_ADD;
    default:
      return PF_Xfer_IN_FRONT;
  }
}

PF_TransferMode TextureBlendTransfer(A_long mode) {
  switch (mode) {
    case kTextureBlendAlphaMatte:
      return PF_Xfer_MULTIPLY_ALPHA;
    case kTextureBlendLumaMatte:
      return PF_Xfer_MULTIPLY_ALPHA_LUMA;
    case kTextureBlendSeparator:
      return PF_Xfer_IN_FRONT;
    default:
      return PixelBlendTransfer(mode);
  }
}

double SubPixelAlphaFactor(double coverage, double alpha_offset) {
  double k = alpha_offset >= 0.0 ? coverage + (1.0 - coverage) * alpha_offset
                                 : coverage + (1.0 + coverage) * alpha_offset;
  if (k > 1.0) k = 1.0;
  if (k < -1.0) k = -1.0;
  return k != k ? 0.0 : k;
}

namespace {

// Truncates a time computed in single precision, deciding NaN and out-of-range values before
// any conversion.
A_long TruncateTime(float t) {
  if (!(t == t)) return 0;
  if (t >= 2147483520.0f) return std::numeric_limits<A_long>::max() - 127;
  if (t <= -2147483520.0f) return std::numeric_limits<A_long>::min() + 128;
  return static_cast<A_long>(t);
}

}  // namespace

A_long TextureTimeForLife(float life, A_long total, A_long last, A_long start) {
  float t;
  if (life > 0.0f && life < 1.0f) {
    t = life * static_cast<float>(total);
  } else if (life >= 1.0f) {
    t = static_cast<float>(last);
  } else {
    t = 0.0f;
  }
  return TruncateTime(t + static_cast<float>(start));
}

PF_Err PrepareStampSetup(SuiteHandler& suites, const FrameSettings& frame, StampSetup* stamp) {
  const PreRenderData& p = *frame.pre;
  StampSetup& s = *stamp;
  s.composite = {PixelBlendTransfer(p.PIXEL_BLEND_MODE), 0, 255, false, 32768};
  s.texture_composite = {TextureBlendTransfer(p.TEXTURE_BLEND_MODE), 0, 255, true, 32768};
  s.texture_times_set = false;
  s.texture_total = s.texture_last = s.texture_start = 0;
  if (!frame.layers.has(kLayerTexture) || !frame.layers.has(kLayerLife)) return PF_Err_NONE;

  // The texture layer's timing maps a point's life onto the layer's frames.
  return WithControlLayer(
      suites, frame.place, TEXTURE_LAYER,
      [&](const AEGP_LayerSuite5* layers, AEGP_LayerH texture_layer) -> PF_Err {
        A_Time duration{}, offset{};
        PF_Err err =
            layers->AEGP_GetLayerDuration(texture_layer, AEGP_LTimeMode_CompTime, &duration);
        if (!err) err = layers->AEGP_GetLayerOffset(texture_layer, &offset);
        if (err) return err;
        const float scale = static_cast<float>(frame.place.in_data->time_scale);
        if (duration.scale != 0) {
          s.texture_total = TruncateTime(static_cast<float>(duration.value) * scale /
                                         static_cast<float>(duration.scale));
          s.texture_last =
              TruncateTime(static_cast<float>(static_cast<double>(duration.value) - 1.0) * scale /
                           static_cast<float>(duration.scale));
        }
        if (offset.scale != 0) {
          s.texture_start = TruncateTime(static_cast<float>(offset.value) * scale /
                                         static_cast<float>(offset.scale));
        }
        s.texture_times_set = true;
        return PF_Err_NONE;
      });
}

namespace {

// Fills a rectangle of a world with one pixel, by the fill of the pixel's depth.
template <typename Pixel>
PF_Err FillWith(const StageHost& host, const Pixel& px, const PF_Rect* rect,
                PF_EffectWorld* world) {
  return FillPixel(host.suites.fill, host.in_data->effect_ref, px, rect, world);
}

// Runs a per-pixel callback over the whole of a world (no source world, no area), by the
// iterate suite of the pixel's depth.
template <typename Pixel>
PF_Err IterateOver(const StageHost& host, PF_EffectWorld* world, void* refcon,
                   IterateCallback<Pixel> fn) {
  return IterateSuiteOf<Pixel>(host.suites.iterate)
      ->iterate(host.in_data, 0, world->height, nullptr, nullptr, refcon, fn, world);
}

// Blends the point's reflection into its pixel; integer depths go through float and keep their
// alpha as stored.
template <typename Pixel>
void BlendReflection(const CloudPoint& pt, A_long mode, Pixel* px) {
  ColorF c = ToColorF(*px);
  if (BlendFloat(c, pt.reflection, mode) != PF_Err_NONE) return;
  using T = PixelTraits<Pixel>;
  px->red = T::FromFloat(c.red);
  px->green = T::FromFloat(c.green);
  px->blue = T::FromFloat(c.blue);
}

// The colour a data mode writes: alpha full, then the point's position or normal. Integer
// depths clamp to their range; float keeps the values.
template <typename Pixel>
Pixel DataColor(const CloudPoint& pt, A_long mode) {
  const Vec3 v = WritesNormal(mode) ? pt.normal_output : pt.position_output;
  return FromColorF<Pixel>({1.0f, v.x, v.y, v.z});
}

template <typename Pixel>
class PointPainter {
 public:
  PointPainter(const StageHost& host, const FrameSettings& frame, PF_EffectWorld* canvas)
      : host_(host),
        f_(frame),
        p_(*frame.pre),
        in_data_(host.in_data),
        ref_(host.in_data->effect_ref),
        canvas_(canvas),
        average_(frame.pre->PIXEL_BLEND_MODE,
                 {host.suites.iterate, host.suites.transform, host.suites.world, host.suites.fill},
                 host.in_data) {
    const PreRenderData& p = p_;
    relight_.composite_color = {1.0f, p.COMPOSITE_ALPHA_COLOR.red, p.COMPOSITE_ALPHA_COLOR.green,
                                p.COMPOSITE_ALPHA_COLOR.blue};
    relight_.composite_blend_mode = p.COMPOSITE_ALPHA_BLEND;
    relight_.diffuse = f_.frame.diffuse;
    relight_.specular = f_.frame.specular;
    relight_.alpha_lighting = f_.light_switches.alpha_lighting;
    relight_.composite_alpha = p.COMPOSITE_ALPHA;
    high_quality_ = in_data_->quality == PF_Quality_HI;
    custom_blend_ = IsAverageBlendMode(p.PIXEL_BLEND_MODE);
  }

  PF_Err run(const CloudPoints& cloud, const uint32_t* order) {
    PF_Err err = PF_Err_NONE;
    const A_long n = cloud.count;
    const PointStore& points = cloud.store;
    // Records in depth order are scattered through the cache, and so are their source pixels
    // and canvas places; each point's drawing waits on the host, so the processor never reaches
    // the next point's loads while one is outstanding. A block of points is therefore read
    // first, then drawn from the cache. The reading is in passes whose loads do not depend on
    // one another, each loop short so that many of its loads are in flight at once: the records,
    // then the points made from them, then the pixels they name. One pass doing all three makes
    // every pixel wait on its record; prefetch hints in place of the loads were slower here. The
    // block is small enough to stay in the second-level cache.
    constexpr A_long kBlock = 512;
    std::vector<CloudPoint> block(static_cast<std::size_t>(n < kBlock ? n : kBlock));
    for (A_long start = 0; start < n && !err; start += kBlock) {
      const A_long count = n - start < kBlock ? n - start : kBlock;
      auto index = [&](A_long k) {
        return order ? static_cast<A_long>(order[start + k]) : start + k;
      };
      uint32_t touched = 0;
      for (A_long k = 0; k < count; ++k) touched ^= FirstWord(points.address(index(k)));
      asm volatile("" : : "r"(touched));
      for (A_long k = 0; k < count; ++k) {
        // Made in its place, not in a temporary copied over: a record is 128 bytes.
        ::new (static_cast<void*>(&block[k])) CloudPoint(points.load(index(k)));
      }
      for (A_long k = 0; k < count; ++k) touched ^= touchPixels(block[k]);
      asm volatile("" : : "r"(touched));  // the reads are wanted for their effect alone
      for (A_long k = 0; k < count && !err; ++k) err = drawPoint(block[k]);
    }
    return err;
  }

 private:
  PF_Err copy(PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r) {
    return CopyAtQuality(host_.suites.transform, ref_, high_quality_, src, dst, src_r, dst_r);
  }

  PF_Err transfer(const PF_Rect& rect, const PF_EffectWorld* src, const PF_CompositeMode& mode,
                  A_long x, A_long y, PF_EffectWorld* dst) {
    return host_.suites.transform->transfer_rect(ref_, in_data_->quality, PF_MF_Alpha_STRAIGHT,
                                                 in_data_->field, &rect, src, &mode, nullptr, x, y,
                                                 dst);
  }

  // Reads the point's source pixel and the canvas pixel under it, so that they are in the cache
  // when the point is drawn; the bits returned only keep the reads from being left out.
  uint32_t touchPixels(const CloudPoint& pt) {
    if (f_.frame.data) return 0;
    uint32_t bits = 0;
    const PF_EffectWorld* src = f_.layers.world(kLayerSource);
    if (pt.source_x >= 0 && pt.source_y >= 0 && pt.source_x < src->width &&
        pt.source_y < src->height) {
      bits ^= FirstWord(PixelAddress<Pixel>(src->data, pt.source_x, pt.source_y, src->rowbytes));
    }
    const PF_EffectWorld& canvas = *canvas_;
    if (!f_.frame.two_d && pt.screen_x >= 0 && pt.screen_y >= 0 && pt.screen_x < canvas.width &&
        pt.screen_y < canvas.height) {
      bits ^=
          FirstWord(PixelAddress<Pixel>(canvas.data, pt.screen_x, pt.screen_y, canvas.rowbytes));
    }
    return bits;
  }

  static uint32_t FirstWord(const void* p) {
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
  }

  const Pixel& sourcePixel(const CloudPoint& pt) {
    PF_EffectWorld* src = f_.layers.world(kLayerSource);
    return *PixelAddress<Pixel>(src->data, pt.source_x, pt.source_y, src->rowbytes);
  }

  // Fills the stamp with one colour, softened into a disc when asked.
  PF_Err paint(const Pixel& color, A_long size, PF_EffectWorld* stamp, const PF_Rect& rect) {
    if (!p_.SOFTEN_PIXELS) return FillWith(host_, color, &rect, stamp);
    SoftenContext<Pixel> soften{color, size, p_.SOFTEN_PIXELS_BIAS};
    if (size > 1) return IterateOver<Pixel>(host_, stamp, &soften, SoftenPixel<Pixel>);
    // A one-pixel stamp is the centre of a stamp of two.
    soften.stamp_size = 2;
    Pixel shaped = color;
    SoftenPixel<Pixel>(&soften, 1, 1, &shaped, &shaped);
    return FillWith(host_, shaped, &rect, stamp);
  }

  PF_Err relightStamp(A_long size, PF_EffectWorld* stamp, const PF_Rect& rect) {
    if (size > 1) return IterateOver<Pixel>(host_, stamp, &relight_, ApplyRelight<Pixel>);
    Pixel px = *PixelAddress<Pixel>(stamp->data, 0, 0, stamp->rowbytes);
    ApplyRelight<Pixel>(&relight_, 0, 0, &px, &px);
    return FillWith(host_, px, &rect, stamp);
  }

  PF_Err texture(const CloudPoint& pt, A_long size, PF_EffectWorld* stamp, PF_Rect& stamp_rect) {
    PF_Err err = PF_Err_NONE;
    ParamCheckout timed(in_data_);
    PF_EffectWorld* tex = f_.layers.world(kLayerTexture);
    if (f_.layers.has(kLayerLife)) {
      const StampSetup& s = f_.stamp;
      const A_long t =
          TextureTimeForLife(pt.life, s.texture_total, s.texture_last, s.texture_start);
      err = timed.checkout(TEXTURE_LAYER, t, in_data_->time_step, in_data_->time_scale);
      if (!err) err = PF_ABORT(in_data_);
      tex = &timed.def().u.ld;
    }
    if (!err && tex->data) {
      PF_Rect tex_rect{0, 0, static_cast<A_short>(tex->width), static_cast<A_short>(tex->height)};
      if (p_.TEXTURE_BLEND_MODE == kPixelBlendCopy) {
        err = copy(tex, stamp, &tex_rect, &stamp_rect);
      } else {
        OwnedWorld temp(host_.suites.world, ref_);
        err = temp.make(size, size, f_.format);
        if (!err) err = PF_ABORT(in_data_);
        if (!err) err = copy(tex, temp.get(), &tex_rect, &stamp_rect);
        PF_CompositeMode mode = f_.stamp.texture_composite;
        if (!err) err = transfer(stamp_rect, temp.get(), mode, 0, 0, stamp);
        if (!err && p_.ALPHA_STENCIL && p_.TEXTURE_BLEND_MODE != kTextureBlendAlphaMatte &&
            p_.TEXTURE_BLEND_MODE != kTextureBlendLumaMatte) {
          mode.xfer = PF_Xfer_MULTIPLY_ALPHA;
          err = transfer(stamp_rect, temp.get(), mode, 0, 0, stamp);
        }
        if (!err) err = PF_ABORT(in_data_);
        KeepFirst(err, temp.release());
      }
      if (!err && f_.light_switches.collected && pt.has_normal) {
        err = relightStamp(size, stamp, stamp_rect);
      }
    }
    KeepFirst(err, timed.release());
    return err;
  }

  PF_Err composite(const CloudPoint& pt, A_long size, PF_EffectWorld* stamp, PF_Rect stamp_rect,
                   PF_Rect dst) {
    PF_EffectWorld* canvas = canvas_;
    if (p_.PIXEL_BLEND_MODE == kPixelBlendCopy) return copy(stamp, canvas, &stamp_rect, &dst);
    const bool shift = p_.ENABLE_PIXEL_ANTIALIAS && (!pt.is_small || !p_.DISABLE_SUBPIXEL);
    if (!shift) {
      if (custom_blend_) {
        return average_.apply(stamp, size, canvas, dst);
      }
      return transfer(stamp_rect, stamp, f_.stamp.composite, dst.left, dst.top, canvas);
    }

    OwnedWorld aa(host_.suites.world, ref_);
    PF_Err err = aa.make(size + 1, size + 1, f_.format);
    if (!err) err = PF_ABORT(in_data_);
    if (!err) {
      const double fx = pt.fraction_x, fy = pt.fraction_y;
      SubPixelContext sub{
          stamp, aa.get(), {fx * fy, (1.0 - fx) * fy, fx * (1.0 - fy), (1.0 - fx) * (1.0 - fy)},
          size,  size,     SubPixelAlphaFactor(pt.coverage, p_.ALPHA_OFFSET)};
      err = IterateOver<Pixel>(host_, aa.get(), &sub, SubPixelShift<Pixel>);
    }
    if (!err) {
      dst.right += 1;
      dst.bottom += 1;
      stamp_rect.right += 1;
      stamp_rect.bottom += 1;
      if (custom_blend_) {
        err = average_.apply(aa.get(), size + 1, canvas, dst);
      } else {
        err = transfer(stamp_rect, aa.get(), f_.stamp.composite, dst.left, dst.top, canvas);
      }
    }
    if (!err) err = PF_ABORT(in_data_);
    KeepFirst(err, aa.release());
    return err;
  }

  PF_Err drawPoint(const CloudPoint& pt) {
    A_long size = pt.stamp_size < 1 ? 1 : pt.stamp_size;
    const StampOffset offset = p_.ENABLE_PIXEL_PERSPECTIVE ? StampOffsetFor(size)
                                                           : StampOffset{f_.stamp.base_left_offset,
                                                                         f_.stamp.base_top_offset};

    A_long x0, y0;
    if (f_.frame.two_d) {
      // Back to the point's own place on the grid-sized canvas.
      const auto ceil = in_data_->utils->ansi.ceil;
      x0 = ClampToShort(ceil(static_cast<double>(pt.source_x) * p_.RESOLUTION)) - offset.left;
      y0 = ClampToShort(ceil(static_cast<double>(pt.source_y) * p_.RESOLUTION)) - offset.top;
    } else {
      x0 = pt.screen_x - offset.left;
      y0 = pt.screen_y - offset.top;
    }
    x0 = static_cast<A_short>(x0);
    y0 = static_cast<A_short>(y0);

    const bool shift = p_.ENABLE_PIXEL_ANTIALIAS && (!pt.is_small || !p_.DISABLE_SUBPIXEL);
    if (f_.frame.data && shift) size += 1;

    OwnedWorld stamp(host_.suites.world, ref_);
    PF_Err err = stamp.make(size, size, f_.format);
    if (!err) err = PF_ABORT(in_data_);
    PF_Rect stamp_rect{0, 0, size, size};

    relight_.light_terms = pt.light_terms;
    relight_.specular_terms = pt.specular_terms;

    if (!err) {
      const bool lit = f_.light_switches.collected && pt.has_normal;
      if (f_.frame.data) {
        err = FillWith(host_, DataColor<Pixel>(pt, f_.frame.mode), &stamp_rect, stamp.get());
      } else {
        Pixel px = sourcePixel(pt);
        if (pt.is_reflective) BlendReflection(pt, p_.REFLECTION_BLEND, &px);
        if (!f_.frame.texture && lit) ApplyRelight<Pixel>(&relight_, 0, 0, &px, &px);
        err = paint(px, size, stamp.get(), stamp_rect);
      }
    }
    if (!err && f_.frame.texture) err = texture(pt, size, stamp.get(), stamp_rect);
    if (!err) {
      err = composite(pt, size, stamp.get(), stamp_rect, PF_Rect{x0, y0, x0 + size, y0 + size});
    }
    if (!err) err = PF_ABORT(in_data_);
    KeepFirst(err, stamp.release());
    return err;
  }

  static A_long ClampToShort(double v) {
    if (!(v == v)) return 0;
    if (v > 32767.0) return 32767;
    if (v < -32768.0) return -32768;
    return static_cast<A_long>(v);
  }

  const StageHost& host_;
  const FrameSettings& f_;
  const PreRenderData& p_;
  PF_InData* in_data_;
  PF_ProgPtr ref_;
  PF_EffectWorld* canvas_;
  AverageBlend<Pixel> average_;
  RelightContext relight_{};
  bool high_quality_;
  bool custom_blend_;
};

}  // namespace

PF_Err DrawCloudPoints(const StageHost& host, const FrameSettings& frame, const CloudPoints& cloud,
                       const uint32_t* order, PF_EffectWorld* canvas) {
  PF_Err err = PF_Err_BAD_CALLBACK_PARAM;
  DispatchPixelFormat(frame.format, [&](auto tag) {
    using Pixel = typename decltype(tag)::type;
    err = PointPainter<Pixel>(host, frame, canvas).run(cloud, order);
  });
  return err;
}

}  // namespace mf
