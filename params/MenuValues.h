// The values of the effect's popup menus, as the host reports them (1-based, separators
// included), named once for the registration, the render and the interface alike.
#pragma once

#include "AE_Effect.h"

namespace mf {

// RENDER_MODE.
enum : A_long {
  kRenderModeFull = 1,
  kRenderMode2DRelight = 2,
  kRenderModeHalf = 3,
  kRenderModeThird = 4,
  kRenderModeQuarter = 5,
  kRenderModeEighth = 6,
  kRenderMode2DPosition = 7,
  kRenderMode2DNormal = 8,
  kRenderModePosition = 9,
  kRenderModeNormal = 10,
};

// Points are stamped at their own sample instead of being projected, one pixel each.
inline bool IsTwoDMode(A_long mode) {
  return mode == kRenderMode2DRelight || mode == kRenderMode2DPosition ||
         mode == kRenderMode2DNormal;
}
// The previews at a reduced resolution, and 2D relight: drawn without anti-aliasing or softening.
inline bool IsReducedMode(A_long mode) {
  return mode >= kRenderMode2DRelight && mode <= kRenderModeEighth;
}
// Points are coloured with their position or normal.
inline bool IsDataMode(A_long mode) {
  return mode >= kRenderMode2DPosition;
}
// The data modes that write the normal instead of the position.
inline bool WritesNormal(A_long mode) {
  return mode == kRenderMode2DNormal || mode == kRenderModeNormal;
}

// PIXEL_BLEND_MODE, and TEXTURE_BLEND_MODE up to kBlendLuminosity.
enum : A_long {
  kPixelBlendCopy = 1,
  kPixelBlendNormal = 2,
  kPixelBlendDarken = 3,
  kPixelBlendMultiply = 4,
  kPixelBlendAdd = 5,
  kPixelBlendLighten = 6,
  kPixelBlendScreen = 7,
  kPixelBlendDifference = 8,
  kPixelBlendColor = 9,
  kPixelBlendLuminosity = 10,
  kPixelBlendAverage = 11,
  kPixelBlendAddAlpha = 12,
  kPixelBlendAverageAddAlpha = 13,
  kPixelBlendMaxAverageAlpha = 14,
};

// TEXTURE_BLEND_MODE where it differs from the pixel blend.
enum : A_long {
  kTextureBlendSeparator = 11,
  kTextureBlendAlphaMatte = 13,
  kTextureBlendLumaMatte = 14,
};

// COMPOSITE_ALPHA_BLEND and REFLECTION_BLEND.
enum : A_long {
  kBlendAdd = 1,
  kBlendScreen = 2,
  kBlendOverlay = 3,
  kBlendNormal = 4,
  kBlendMultiply = 5,
  kBlendAverage = 6,
};

// MAP_RGB_TO; 7 and 12 are separators.
enum : A_long {
  kMapXYZ = 1,
  kMapXZY = 2,
  kMapYZX = 3,
  kMapYXZ = 4,
  kMapZYX = 5,
  kMapZXY = 6,
  kMapLuminanceZ = 8,
  kMapRedZ = 9,
  kMapGreenZ = 10,
  kMapBlueZ = 11,
  kMapLuminanceZProjected = 13,
  kMapRedZProjected = 14,
  kMapGreenZProjected = 15,
  kMapBlueZProjected = 16,
};

// LIFE_MAP, SPECULAR_MATTE_MAP and REFLECTION_MATTE_MAP.
enum : A_long {
  kMatteLuminance = 1,
  kMatteRed = 2,
  kMatteGreen = 3,
  kMatteBlue = 4,
  kMatteAlpha = 5,
};

}  // namespace mf
