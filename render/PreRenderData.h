// The per-frame record that smart pre-render fills and the render that follows reads: every value
// control read once at the frame's time, converted to the units the render works in, with the
// adjustments of the chosen render mode already made. Each control's field carries the control's
// identifier; the fields keep the order in which pre-render reads the controls.
//
// Pre-render allocates the record with the plug-in's own allocator and hands it to the host in
// extra->output->pre_render_data together with the function that releases it; the render reads it
// from extra->input->pre_render_data. Neither disposes of it: the host may send pre-render several
// times before one render, or with no render at all, and releases each record it was handed.
#pragma once

#include <cstdint>

#include "raster/PixelFormat.h"

namespace mf {

static_assert(sizeof(bool) == 1, "the record's switches are 8-bit");

struct PreRenderData {
  int32_t RENDER_MODE;  // popup value, 1 to 10
  bool RELATIVE_CAMERA;
  bool DIFFUSE_LIGHTS;
  bool SPECULAR_LIGHTS;
  bool ALPHA_LIGHTS;
  bool ALPHA_NORMAL;
  bool INVERT_ALPHA;
  bool COMPOSITE_ALPHA;
  ColorF COMPOSITE_ALPHA_COLOR;  // alpha 1.0; red, green, blue in 0 to 1
  int32_t COMPOSITE_ALPHA_BLEND;
  bool ENABLE_FALLOFF;
  float FALLOFF_BIAS;  // slider negated, / 100
  bool IBL_USE_NORMAL;
  bool IBL_ANTIALIAS;
  float IBL_GAIN;        // / 100
  float IBL_ROTATION_X;  // radians
  float IBL_ROTATION_Y;
  float IBL_ROTATION_Z;
  bool REFLECTION_USE_NORMAL;
  bool REFLECTION_ANTIALIAS;
  float REFLECTION_INTENSITY;  // / 100
  int32_t REFLECTION_BLEND;
  int32_t REFLECTION_MATTE_MAP;
  float REFLECTION_ROTATION_X;  // radians
  float REFLECTION_ROTATION_Y;
  float REFLECTION_ROTATION_Z;
  bool ENABLE_GRID;
  int32_t GRID_SIZE;  // truncated toward zero
  int32_t GRID_SUBDIVIDE;
  float GRID_POSITION_X;
  float GRID_POSITION_Y;
  float GRID_POSITION_Z;
  bool UNIFORM_GAIN;
  float GAIN_X;
  float GAIN_Y;
  float GAIN_Z;
  int32_t MAP_RGB_TO;
  bool INVERT_X;
  bool INVERT_Y;
  bool INVERT_Z;
  bool CURVED_PROJECTION;
  bool NORMAL_INVERT_X;
  bool NORMAL_INVERT_Y;
  bool NORMAL_INVERT_Z;
  float NORMAL_ROTATION_X;  // radians
  float NORMAL_ROTATION_Y;
  float NORMAL_ROTATION_Z;
  bool CULL_BACKFACES;
  bool RELATIVE_NORMALS;
  bool RELIGHT_BACKFACES;
  bool REMAP_VALUES;
  float REMAP_X_MIN;
  float REMAP_X_MAX;
  float REMAP_Y_MIN;
  float REMAP_Y_MAX;
  float REMAP_Z_MIN;
  float REMAP_Z_MAX;
  bool SPECULAR_USE_NORMAL;
  int32_t SPECULAR_MATTE_MAP;
  float SPECULAR_INTENSITY;
  int16_t SPECULAR_SHININESS;  // twice the rounded slider value
  bool HARD_SPECULAR;
  bool USE_LIGHT_COLOR;
  ColorF SPECULAR_COLOR;  // alpha 1.0; red, green, blue in 0 to 1
  bool REMAP_DISPLACEMENT;
  bool UNIFORM_DISPLACEMENT;
  float DISPLACE_MIN;
  float DISPLACE_MAX;
  float DISPLACE_Y_MIN;
  float DISPLACE_Y_MAX;
  float DISPLACE_Z_MIN;
  float DISPLACE_Z_MAX;
  float DISPLACE_ROTATION_X;  // radians
  float DISPLACE_ROTATION_Y;
  float DISPLACE_ROTATION_Z;
  bool UNIFORM_SCATTER;
  float SCATTER_X;
  float SCATTER_Y;
  float SCATTER_Z;
  int16_t SCATTER_RANDOM_SEED;  // rounded
  float ANCHOR_X;
  float ANCHOR_Y;
  float ANCHOR_Z;
  float POSITION_OFFSET_X;
  float POSITION_OFFSET_Y;
  float POSITION_OFFSET_Z;
  float ROTATION_OFFSET_X;  // radians
  float ROTATION_OFFSET_Y;
  float ROTATION_OFFSET_Z;
  bool UNIFORM_SCALE;
  float SCALE_X;  // / 100
  float SCALE_Y;
  float SCALE_Z;
  double RESOLUTION;   // / 100, then scaled by the preview modes
  int16_t PIXEL_SIZE;  // rounded, then multiplied by the preview modes; at least 1
  bool ENABLE_PIXEL_PERSPECTIVE;
  bool REFERENCE_DISPLACEMENT;
  float ADD_PIXEL_PERSPECTIVE;  // / 100
  bool ENABLE_PIXEL_ANTIALIAS;
  double ALPHA_OFFSET;  // / 100
  float OFFSET_X;       // / 100
  float OFFSET_Y;
  bool DISABLE_SUBPIXEL;
  bool AA_PIXEL_PERSPECTIVE;
  bool LOCK_IDEAL_PIXEL;
  bool SOFTEN_PIXELS;
  float SOFTEN_PIXELS_BIAS;  // / 100
  int32_t PIXEL_BLEND_MODE;
  int32_t LIFE_MAP;
  bool ALPHA_STENCIL;
  int32_t TEXTURE_BLEND_MODE;
  float REFERENCE_CAMERA_POSITION_X;
  float REFERENCE_CAMERA_POSITION_Y;
  float REFERENCE_CAMERA_POSITION_Z;
  double REFERENCE_CAMERA_ZOOM;
  float CAMERA_POSITION_X;
  float CAMERA_POSITION_Y;
  float CAMERA_POSITION_Z;
  float CAMERA_ROTATION_X;  // radians
  float CAMERA_ROTATION_Y;
  float CAMERA_ROTATION_Z;
  double CAMERA_ZOOM;

  int32_t layer_width;  // in_data->width, height
  int32_t layer_height;
  int32_t input_origin_x;  // left and top of the input checkout's result rectangle
  int32_t input_origin_y;
  uint32_t downsample_factor_x;  // 1 at full resolution, 2 at half, 4 at quarter
  uint32_t downsample_factor_y;
};

}  // namespace mf
