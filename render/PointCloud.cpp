#include "render/PointCloud.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "raster/EnvironmentMap.h"
#include "raster/Lighting.h"
#include "raster/PassDecode.h"
#include "raster/PixelFormat.h"
#include "raster/VectorMath.h"
#include "render/PreRenderData.h"
#include "render/RenderCamera.h"
#include "render/FrameSettings.h"

namespace mf {

std::optional<uint32_t> PixelCacheBytes(SampleGrid grid, uint32_t stride) {
  if (grid.width <= 0 || grid.height <= 0) return std::nullopt;
  const uint64_t bytes =
      (uint64_t)grid.width * (uint64_t)grid.height * ((uint64_t)stride + kDepthEntryBytes);
  if (bytes > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  return (uint32_t)bytes;
}

PointLayout CloudPointLayout(const FrameSettings& f) {
  PointLayout::Parts parts{};
  parts.subpixel = f.pre->ENABLE_PIXEL_ANTIALIAS;
  parts.lighting = f.light_switches.collected;
  parts.reflection = f.layers.has(kLayerReflectionMap) && !f.frame.data;
  parts.life = f.layers.has(kLayerLife) && f.layers.has(kLayerTexture);
  if (f.frame.data) {
    parts.data = WritesNormal(f.frame.mode) ? PointLayout::kNormal : PointLayout::kPosition;
  }
  return PointLayout(parts);
}

FixedTransforms BuildFixedTransforms(const PreRenderData& p) {
  FixedTransforms t{};
  const Vec3 translation{p.POSITION_OFFSET_X, p.POSITION_OFFSET_Y, p.POSITION_OFFSET_Z};
  const Vec3 rotation{p.ROTATION_OFFSET_X, p.ROTATION_OFFSET_Y, p.ROTATION_OFFSET_Z};
  t.scale = p.UNIFORM_SCALE ? Vec3{p.SCALE_X, p.SCALE_X, p.SCALE_X}
                            : Vec3{p.SCALE_X, p.SCALE_Y, p.SCALE_Z};
  t.pivot = {p.ANCHOR_X, p.ANCHOR_Y, p.ANCHOR_Z};
  t.offset = BuildTransform(translation, rotation);
  t.rotation_offset_in_use = rotation.x != 0.0f || rotation.y != 0.0f || rotation.z != 0.0f;
  t.offset_in_use = t.rotation_offset_in_use || translation.x != 0.0f || translation.y != 0.0f ||
                    translation.z != 0.0f || t.scale.x != 1.0f || t.scale.y != 1.0f ||
                    t.scale.z != 1.0f;

  auto rotation_only = [](Vec3 angles, Matrix4* m, bool* in_use) {
    *m = BuildTransform({0.0f, 0.0f, 0.0f}, angles);
    *in_use = angles.x != 0.0f || angles.y != 0.0f || angles.z != 0.0f;
  };
  rotation_only({p.DISPLACE_ROTATION_X, p.DISPLACE_ROTATION_Y, p.DISPLACE_ROTATION_Z},
                &t.displacement, &t.displacement_in_use);
  rotation_only({p.NORMAL_ROTATION_X, p.NORMAL_ROTATION_Y, p.NORMAL_ROTATION_Z}, &t.normal,
                &t.normal_in_use);
  rotation_only({p.IBL_ROTATION_X, p.IBL_ROTATION_Y, p.IBL_ROTATION_Z}, &t.ibl, &t.ibl_in_use);
  rotation_only({p.REFLECTION_ROTATION_X, p.REFLECTION_ROTATION_Y, p.REFLECTION_ROTATION_Z},
                &t.reflection, &t.reflection_in_use);
  return t;
}

PointSettings PreparePointSettings(const PreRenderData& p, const FixedTransforms& transforms,
                                   const FrameConstants& constants) {
  PointSettings settings{};
  PositionDecodeSettings& ps = settings.position;
  ps.map_rgb_to = p.MAP_RGB_TO;
  ps.invert_x = p.INVERT_X;
  ps.invert_y = p.INVERT_Y;
  ps.invert_z = p.INVERT_Z;
  ps.uniform_gain = p.UNIFORM_GAIN;
  ps.gain_x = p.GAIN_X;
  ps.gain_y = p.GAIN_Y;
  ps.gain_z = p.GAIN_Z;
  ps.downsample_x = p.downsample_factor_x;
  ps.downsample_y = p.downsample_factor_y;
  ps.curved_projection = p.CURVED_PROJECTION;
  ps.reference_camera_zoom = p.REFERENCE_CAMERA_ZOOM;
  ps.uniform_scatter = p.UNIFORM_SCATTER;
  ps.scatter_x = p.SCATTER_X;
  ps.scatter_y = p.SCATTER_Y;
  ps.scatter_z = p.SCATTER_Z;

  NormalDecodeSettings& ns = settings.normal;
  ns.invert_x = p.NORMAL_INVERT_X;
  ns.invert_y = p.NORMAL_INVERT_Y;
  ns.invert_z = p.NORMAL_INVERT_Z;
  ns.remap = p.REMAP_VALUES;
  ns.min_x = p.REMAP_X_MIN;
  ns.max_x = p.REMAP_X_MAX;
  ns.min_y = p.REMAP_Y_MIN;
  ns.max_y = p.REMAP_Y_MAX;
  ns.min_z = p.REMAP_Z_MIN;
  ns.max_z = p.REMAP_Z_MAX;
  ns.rotate = transforms.normal_in_use;
  ns.rotation = transforms.normal;

  DisplacementDecodeSettings& ds = settings.displacement;
  ds.remap = p.REMAP_DISPLACEMENT;
  ds.uniform = p.UNIFORM_DISPLACEMENT;
  ds.min_x = p.DISPLACE_MIN;
  ds.max_x = p.DISPLACE_MAX;
  ds.min_y = p.DISPLACE_Y_MIN;
  ds.max_y = p.DISPLACE_Y_MAX;
  ds.min_z = p.DISPLACE_Z_MIN;
  ds.max_z = p.DISPLACE_Z_MAX;

  LightingSettings& ls = settings.lighting;
  ls.enable_falloff = p.ENABLE_FALLOFF;
  ls.relative_normals = p.RELATIVE_NORMALS;
  ls.specular_lights = constants.specular;
  ls.specular_use_normal = p.SPECULAR_USE_NORMAL;
  ls.ibl_use_normal = p.IBL_USE_NORMAL;
  ls.ibl_antialias = p.IBL_ANTIALIAS;
  ls.ibl_gain = p.IBL_GAIN;
  ls.alpha_lights = p.ALPHA_LIGHTS;
  ls.use_light_color = p.USE_LIGHT_COLOR;
  ls.specular_color = p.SPECULAR_COLOR;
  ls.hard_specular = p.HARD_SPECULAR;
  return settings;
}

namespace {

// A layer world with the pixel it is sampled at for one grid sample.
struct Sampled {
  WorldView world;
  A_long x, y;
};

inline bool IsFinite(Vec3 v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

class CloudWalk {
 public:
  CloudWalk(PF_InData* in_data, const FrameSettings& frame, CloudPoints* cloud)
      : in_data_(in_data),
        f_(frame),
        p_(*frame.pre),
        cloud_(*cloud),
        lighting_(LightingFrame{f_.point.lighting, f_.lights, f_.frame.alpha_normal,
                                f_.light_switches.ibl_on, f_.transforms.ibl_in_use,
                                f_.transforms.ibl, f_.format, f_.frame.falloff_bias}) {
    const PF_EffectWorld* src = f_.layers.world(kLayerSource);
    const PF_EffectWorld* pos = f_.layers.world(kLayerPosition);
    position_settings_ = f_.point.position;
    position_settings_.x_scale = (float)src->width / (float)pos->width;
    position_settings_.y_scale = (float)src->height / (float)pos->height;
    position_settings_.reference_camera = {p_.REFERENCE_CAMERA_POSITION_X,
                                           p_.REFERENCE_CAMERA_POSITION_Y,
                                           p_.REFERENCE_CAMERA_POSITION_Z};
    const bool any_use_normal =
        p_.IBL_USE_NORMAL || p_.REFLECTION_USE_NORMAL || p_.SPECULAR_USE_NORMAL;
    alt_normal_in_use_ = f_.layers.has(kLayerAltNormal) && any_use_normal;
    batch_lighting_ = f_.light_switches.collected && !lighting_.canFail();
    shade_ = f_.light_switches.collected || f_.layers.has(kLayerReflectionMap) ||
             p_.CULL_BACKFACES || f_.frame.data;
  }

  PF_Err run() {
    PF_Err err = PF_Err_NONE;
    const A_long gw = f_.grid.width;
    const A_long gh = f_.grid.height;
    for (A_long column = 0; column < gw && !err; ++column) {
      for (A_long row = 0; row < gh && !err; ++row) {
        err = sample(column, row);
        if (!err) err = PF_ABORT(in_data_);
      }
    }
    flush();
    return err;
  }

 private:
  Sampled at(RenderLayer which, A_long column, A_long row) {
    PF_EffectWorld* w = f_.layers.world(which);
    return {ViewOf(*w, f_.format), MapSampleToPixel(column, f_.grid.width, w->width),
            MapSampleToPixel(row, f_.grid.height, w->height)};
  }

  bool matte(RenderLayer which, A_long column, A_long row, A_long mode, float* value) {
    const Sampled s = at(which, column, row);
    return SampleMatteChannel(s.world, s.x, s.y, mode, value);
  }

  // One grid sample; stores a point when it makes one. Only lighting can fail.
  PF_Err sample(A_long column, A_long row) {
    CloudPoint pt{};

    const Sampled pos = at(kLayerPosition, column, row);
    const Sampled src = at(kLayerSource, column, row);
    pt.source_x = src.x;
    pt.source_y = src.y;

    if (f_.layers.has(kLayerLife) && f_.layers.has(kLayerTexture)) {
      matte(kLayerLife, column, row, p_.LIFE_MAP, &pt.life);
    }

    if (!PixelHasAlpha(src.world, src.x, src.y)) return PF_Err_NONE;

    Vec3 placed{}, q{};
    if (!DecodePositionSample(pos.world, pos.x, pos.y, position_settings_, &placed, &q)) {
      return PF_Err_NONE;
    }

    if (f_.layers.has(kLayerDisplace)) {
      const Sampled d = at(kLayerDisplace, column, row);
      Vec3 dv{};
      if (DecodeDisplacementSample(d.world, d.x, d.y, f_.point.displacement, &dv)) {
        if (f_.transforms.displacement_in_use) dv = RotateByMatrix(f_.transforms.displacement, dv);
        q = q + dv;
      }
    }

    if (f_.transforms.offset_in_use) {
      q = TransformAboutPivot(f_.transforms.offset, f_.transforms.pivot, q, f_.transforms.scale);
    }

    // A displacement or an offset can still carry a position out of float range; such a point
    // has no place on screen.
    const Vec3 world = q;
    if (!IsFinite(world)) return PF_Err_NONE;

    const std::optional<ProjectedPoint> projected =
        ProjectPoint(f_.camera, f_.projection, p_, f_.frame.two_d, world, placed);
    if (!projected) return PF_Err_NONE;
    pt.screen_x = projected->screen_x;
    pt.screen_y = projected->screen_y;
    pt.fraction_x = projected->fraction_x;
    pt.fraction_y = projected->fraction_y;
    pt.coverage = projected->coverage;
    pt.depth = projected->depth;
    pt.stamp_size = projected->stamp_size;
    pt.is_small = projected->is_small;
    if (p_.RELATIVE_CAMERA) {
      Vec3 moved = world;
      pt.position_output = WorldToView(f_.camera.matrix, moved, f_.camera.orthographic);
    } else {
      pt.position_output = world;
    }

    bool back_face = false;
    std::optional<LitPoint> to_light;
    if (shade_) {
      if (!finiteNormal(kLayerNormal, column, row) ||
          (alt_normal_in_use_ && !finiteNormal(kLayerAltNormal, column, row))) {
        return PF_Err_NONE;
      }
      PF_Err err = shadePoint(column, row, world, &pt, &back_face, &to_light);
      if (err) return err;
    }

    if (back_face && p_.CULL_BACKFACES) return PF_Err_NONE;

    keep(pt, to_light);
    return PF_Err_NONE;
  }

  // Stores the point, or, when its lighting waits for a batch, holds it until the batch is lit,
  // so that points are still stored in the order they were made.
  void keep(const CloudPoint& pt, const std::optional<LitPoint>& to_light) {
    if (!batch_lighting_) {
      cloud_.store.store(cloud_.count++, pt);
      return;
    }
    if (to_light) {
      waiting_lit_[lit_count_] = *to_light;
      waiting_slot_[lit_count_++] = waiting_count_;
    }
    waiting_[waiting_count_++] = pt;
    if (waiting_count_ == kBatch) flush();
  }

  void flush() {
    ColorF lit[kBatch], specular[kBatch];
    for (int i = 0; i < lit_count_; ++i) {
      const CloudPoint& pt = waiting_[waiting_slot_[i]];
      lit[i] = pt.light_terms;
      specular[i] = pt.specular_terms;
    }
    // Lights that cannot fail are the only ones lit in batches.
    lighting_.compute(waiting_lit_, static_cast<std::size_t>(lit_count_), lit, specular);
    for (int i = 0; i < lit_count_; ++i) {
      CloudPoint& pt = waiting_[waiting_slot_[i]];
      pt.light_terms = lit[i];
      pt.specular_terms = specular[i];
      finishAlpha(&pt);
    }
    for (int i = 0; i < waiting_count_; ++i) cloud_.store.store(cloud_.count++, waiting_[i]);
    waiting_count_ = lit_count_ = 0;
  }

  void finishAlpha(CloudPoint* pt) const {
    float& a = pt->light_terms.alpha;
    a = a > 0.0f ? (a > 1.0f ? 1.0f : a) : 0.0f;
    if (p_.INVERT_ALPHA) a = 1.0f - a;
  }

  // False for a normal sample in use whose direction is not a number or infinite: such a
  // sample says nothing about where the surface faces, so it makes no point (only float passes
  // can hold one).
  bool finiteNormal(RenderLayer which, A_long column, A_long row) {
    if (f_.format != PF_PixelFormat_ARGB128 || !f_.layers.has(which)) return true;
    const Sampled s = at(which, column, row);
    const PF_PixelFloat& px = *s.world.at<PF_PixelFloat>(s.x, s.y);
    if (!PixelTraits<PF_PixelFloat>::IsPresent(px.alpha)) return true;
    return std::isfinite(px.red) && std::isfinite(px.green) && std::isfinite(px.blue);
  }

  // Normal, back face, reflection and lighting of a point.
  // A point whose lighting waits for a batch comes back in to_light.
  PF_Err shadePoint(A_long column, A_long row, Vec3 world, CloudPoint* pt, bool* back_face,
                    std::optional<LitPoint>* to_light) {
    bool flat = false;
    bool has_normal = false;
    bool alt_valid = false;
    Vec3 n{}, n2{};

    if (f_.layers.has(kLayerNormal)) {
      const Sampled s = at(kLayerNormal, column, row);
      has_normal = DecodeNormalSample(s.world, s.x, s.y, f_.point.normal, &n);
    }
    if (!has_normal && f_.light_switches.alpha_lighting) {
      n = {0.0f, 0.0f, 1.0f};
      has_normal = flat = true;
    } else if (alt_normal_in_use_) {
      const Sampled s = at(kLayerAltNormal, column, row);
      alt_valid = DecodeNormalSample(s.world, s.x, s.y, f_.point.normal, &n2);
    }
    if (!has_normal) return PF_Err_NONE;
    pt->has_normal = true;

    const bool rotate = f_.transforms.rotation_offset_in_use;
    const bool n_valid = flat || Normalize3(n);
    if (rotate && !flat) n = RotateByMatrix(f_.transforms.offset, n);
    if (alt_valid) {
      alt_valid = Normalize3(n2);
      if (rotate && alt_valid) n2 = RotateByMatrix(f_.transforms.offset, n2);
    }
    pt->normal_output = p_.RELATIVE_CAMERA ? RotateByMatrix(f_.camera.matrix, n) : n;

    Vec3 v = f_.camera.position - world;
    const bool v_valid = Normalize3(v);
    *back_face = v_valid && !flat && Dot3(v, n) < 0.0f;

    if (f_.layers.has(kLayerReflectionMap) && !f_.frame.data)
      reflect(column, row, n, alt_valid, n2, v, pt);

    if (!f_.light_switches.collected) return PF_Err_NONE;
    pt->light_terms = {0.0f, 0.0f, 0.0f, 0.0f};
    pt->specular_terms = {1.0f, 0.0f, 0.0f, 0.0f};
    if (!n_valid || !v_valid || (!p_.RELIGHT_BACKFACES && *back_face)) return PF_Err_NONE;

    float intensity = 0.0f;
    uint16_t exponent = 0;
    if (f_.frame.specular) {
      if (f_.light_switches.specular_matte) {
        float m = 0.0f;
        intensity = matte(kLayerSpecularMatte, column, row, p_.SPECULAR_MATTE_MAP, &m)
                        ? m * p_.SPECULAR_INTENSITY
                        : 0.0f;
      } else {
        intensity = p_.SPECULAR_INTENSITY;
      }
      if (!(intensity >= 0.0f)) intensity = 0.0f;
      exponent = f_.frame.specular_exponent;
    }
    const LitPoint point{world, n, alt_valid, n2, v, intensity, exponent};
    if (batch_lighting_) {
      *to_light = point;
      return PF_Err_NONE;
    }
    PF_Err err = lighting_.compute(&point, 1, &pt->light_terms, &pt->specular_terms);
    if (err) return err;
    finishAlpha(pt);
    return PF_Err_NONE;
  }

  void reflect(A_long column, A_long row, Vec3 n, bool alt_valid, Vec3 n2, Vec3 v, CloudPoint* pt) {
    const Vec3 ns = alt_valid && p_.REFLECTION_USE_NORMAL ? n2 : n;
    pt->reflection = {0.0f, 0.0f, 0.0f, 0.0f};
    const float k = std::fabs(2.0f * Dot3(ns, v));
    Vec3 r = ns * k - v;
    if (f_.transforms.reflection_in_use) r = RotateByMatrix(f_.transforms.reflection, r);
    if (!Normalize3(r)) return;
    PF_EffectWorld* map = f_.layers.world(kLayerReflectionMap);
    pt->is_reflective =
        SampleEnvironmentMap(ViewOf(*map, f_.format), r, p_.REFLECTION_ANTIALIAS, &pt->reflection);
    if (!pt->is_reflective) return;
    if (f_.layers.has(kLayerReflectionMatte)) {
      float m = 1.0f;
      if (matte(kLayerReflectionMatte, column, row, p_.REFLECTION_MATTE_MAP, &m)) {
        pt->reflection.alpha *= m;
      }
    }
    pt->reflection.alpha *= p_.REFLECTION_INTENSITY;
  }

  PF_InData* in_data_;
  const FrameSettings& f_;
  const PreRenderData& p_;
  CloudPoints& cloud_;
  const PreparedLighting lighting_;
  PositionDecodeSettings position_settings_;  // the frame's, with this walk's scales
  bool alt_normal_in_use_;
  bool shade_;
  // Lighting in batches: points wait with their lighting inputs (waiting_lit_, for the points at
  // waiting_slot_) until kBatch points are held.
  static constexpr int kBatch = 64;
  bool batch_lighting_;
  CloudPoint waiting_[kBatch];
  LitPoint waiting_lit_[kBatch];
  int waiting_slot_[kBatch];
  int waiting_count_ = 0;
  int lit_count_ = 0;
};

}  // namespace

PF_Err BuildPointCloud(PF_InData* in_data, const FrameSettings& frame, CloudPoints* cloud) {
  cloud->count = 0;
  return CloudWalk(in_data, frame, cloud).run();
}

}  // namespace mf
