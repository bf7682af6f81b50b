#include "raster/Relight.h"

namespace mf {
namespace {

// One channel of the blend; s and d are already weighted by their alphas.
inline float BlendChannel(float s, float d, float sa, float da, A_long mode) {
  switch (mode) {
    case kBlendAdd:
      return s + d;
    case kBlendScreen:
      return s + d - s * d;
    case kBlendOverlay:
      // Decided on the source term, not on the destination.
      return s >= 0.5f ? 1.0f - 2.0f * (1.0f - s) * (1.0f - d)
                       : 2.0f * (s + 0.5f * (1.0f - sa)) * d;
    case kBlendNormal:
      return s + d * (1.0f - sa);
    case kBlendMultiply:
      return (s + (1.0f - sa)) * d;
    default: {
      // Average: with no weight on either side there is nothing to average, and 0/0 would put a
      // NaN into the pixel.
      const float weight = sa + da;
      return weight == 0.0f ? 0.0f : (s + d) / weight;
    }
  }
}

}  // namespace

template <typename Pixel>
PF_Err ApplyRelight(void* refcon, A_long, A_long, Pixel* in, Pixel* out) {
  const auto* ctx = static_cast<const RelightContext*>(refcon);
  if (!ctx || !in || !out) return PF_Err_NONE;
  ColorF c = ToColorF(*in);
  if (ctx->diffuse) {
    c.red *= ctx->light_terms.red;
    c.green *= ctx->light_terms.green;
    c.blue *= ctx->light_terms.blue;
  }
  if (ctx->specular) {
    c.red += ctx->specular_terms.red;
    c.green += ctx->specular_terms.green;
    c.blue += ctx->specular_terms.blue;
  }
  PF_Err err = PF_Err_NONE;
  if (ctx->alpha_lighting) {
    if (ctx->composite_alpha) {
      const ColorF src{1.0f - ctx->light_terms.alpha, ctx->composite_color.red,
                       ctx->composite_color.green, ctx->composite_color.blue};
      err = BlendFloat(c, src, ctx->composite_blend_mode);
    } else {
      c.alpha *= ctx->light_terms.alpha;
    }
  }
  *out = FromColorF<Pixel>(c);
  return err;
}
template PF_Err ApplyRelight(void*, A_long, A_long, PF_Pixel8*, PF_Pixel8*);
template PF_Err ApplyRelight(void*, A_long, A_long, PF_Pixel16*, PF_Pixel16*);
template PF_Err ApplyRelight(void*, A_long, A_long, PF_PixelFloat*, PF_PixelFloat*);

PF_Err BlendFloat(ColorF& dst, const ColorF& src, A_long mode) {
  if (mode < kBlendAdd || mode > kBlendAverage) return PF_Err_BAD_CALLBACK_PARAM;
  const float sa = src.alpha, da = dst.alpha;
  dst.red = BlendChannel(src.red * sa, dst.red * da, sa, da, mode);
  dst.green = BlendChannel(src.green * sa, dst.green * da, sa, da, mode);
  dst.blue = BlendChannel(src.blue * sa, dst.blue * da, sa, da, mode);
  return PF_Err_NONE;
}

}  // namespace mf
