#include "raster/Lighting.h"

#include <cmath>

#include "raster/EnvironmentMap.h"

namespace mf {

float powi(float x, unsigned n) {
  float result = 1.0f;
  while (n != 0) {
    if (n & 1u) result *= x;
    x *= x;
    n >>= 1;
  }
  return result;
}

namespace {

// [0, 1], with NaN sent to 0 so that a bad value cannot light a point.
inline float Clamp01(float x) {
  return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
}

// Angle between two unit vectors. Their dot product can round a hair past ±1, where acos has no
// value; clamping keeps a point on the cone's axis lit.
inline float AngleBetweenUnit(Vec3 a, Vec3 b) {
  float d = Dot3(a, b);
  if (d > 1.0f) d = 1.0f;
  if (d < -1.0f) d = -1.0f;
  return static_cast<float>(std::acos(static_cast<double>(d)));
}

inline Vec3 PositionOf(const Matrix4& m) {
  return {static_cast<float>(m[3][0]), static_cast<float>(m[3][1]), static_cast<float>(m[3][2])};
}

// The exponent that shapes attenuation by the bias: 1 + b for a negative bias (towards 0:
// everything lit is fully lit) and 1 / (1 - b) for a positive one (towards infinity: only full
// light survives).
float BiasExponent(float bias) {
  return bias < 0.0f ? 1.0f + bias : 1.0f / (1.0f - bias);
}

// Distance attenuation of a light whose falloff depends on the distance, then shaped by the
// bias exponent k. A light without such falloff is attenuated by 1 at any bias.
float Attenuation(const LightRecord& light, float d, float k) {
  float a = 1.0f;
  if (light.falloff_type == kFalloffSmooth) {
    const float e = d - light.falloff_radius;
    if (e <= 0.0f) {
      a = 1.0f;
    } else if (light.falloff_distance <= e) {
      a = 0.0f;
    } else {
      a = 1.0f - e / light.falloff_distance;
    }
  } else if (light.falloff_type == kFalloffInverseSquareClamped) {
    if (d <= light.falloff_radius) {
      a = 1.0f;
    } else if (light.falloff_radius <= 0.0f) {
      a = 0.0f;
    } else {
      const float q = d / light.falloff_radius;
      a = 1.0f / (q * q);
    }
  }
  a = Clamp01(a);
  // a¹ is a; at the default bias this spares every light of every point a power.
  return k == 1.0f ? a : std::pow(a, k);
}

struct Amounts {
  float diffuse = 0.0f;
  float specular = 0.0f;
  float alpha = 0.0f;
  bool evaluated = false;  // false: the light adds nothing to the accumulators
};

struct PointInputs {
  const LightingSettings& s;
  bool alpha_uses_normal;
  bool use_n2_spec;
  Vec3 n, n2, n_spec, v;
  float spec_intensity;
  unsigned shininess;
};

// Only a specular light outside the alpha lights has its specular amount read; the others are
// spared the reflection vector and the power.
inline bool WantsSpecular(const PreparedLight& light) {
  return light.record->is_specular_light && !light.alpha_only;
}

// Shared by parallel, spot and point lights: L is the unit direction to the light, a the
// attenuation. front is taken before any absolute value.
inline void DirectionalTerms(const PointInputs& in, const PreparedLight& light, Vec3 l, float a,
                             bool front_gated, float* d_n, float* spec) {
  const float dot = Dot3(in.n, l);
  const bool front = dot > 0.0f;
  *d_n = in.s.relative_normals ? std::fabs(dot) : dot;
  *spec = 0.0f;
  if (!WantsSpecular(light) || !(!front_gated || in.s.relative_normals || front)) return;
  float ds = in.use_n2_spec ? Dot3(in.n2, l) : dot;
  if (!in.s.relative_normals) ds = std::fabs(ds);
  Vec3 r = in.n_spec * (2.0f * ds) - l;
  if (Normalize3(r)) {
    *spec = powi(Dot3(r, in.v), in.shininess) * in.spec_intensity * light.record->intensity * a;
  }
}

inline Amounts Parallel(const PointInputs& in, const PreparedLight& light, Vec3 p) {
  Amounts out;
  const LightRecord& record = *light.record;
  float a = 1.0f;
  if (light.falloff) {
    // The distance is the point's depth below the light along the light's own z: row 2 of its
    // rotation applied to the offset, in double.
    const Matrix4& m = record.transform;
    const Vec3 o = light.position - p;
    const float z =
        static_cast<float>(m[2][0] * static_cast<double>(o.x) + m[2][1] * static_cast<double>(o.y) +
                           m[2][2] * static_cast<double>(o.z));
    a = Attenuation(record, -z, light.falloff_exponent);
  }
  float dn;
  DirectionalTerms(in, light, light.direction, a, /*front_gated=*/false, &dn, &out.specular);
  out.diffuse = Clamp01(dn) * record.intensity * a;
  out.alpha = in.alpha_uses_normal ? out.diffuse : record.intensity * a;
  out.evaluated = true;
  return out;
}

inline Amounts SpotOrPoint(const PointInputs& in, const PreparedLight& light, Vec3 p, bool spot) {
  Amounts out;
  const LightRecord& record = *light.record;
  Vec3 l = light.position - p;
  const float d = light.falloff ? Distance3(light.position, p) : 0.0f;
  if (!Normalize3(l)) return out;
  const float a = light.falloff ? Attenuation(record, d, light.falloff_exponent) : 1.0f;
  float dn;
  DirectionalTerms(in, light, l, a, /*front_gated=*/true, &dn, &out.specular);
  float base = record.intensity;
  if (spot) {
    const float theta = AngleBetweenUnit(l, light.direction);
    const float h = light.half_cone;
    if (theta <= h) {
      if (light.feathered) {
        float f = (h - theta) / light.feather_span;
        f = f > 1.0f ? 1.0f : (f > 0.0f ? f : 0.0f);
        dn *= f;
        out.specular *= f;
        base *= f;
      }
    } else {
      // Outside the cone, and also when the cone angle is not a number.
      dn = 0.0f;
      out.specular = 0.0f;
      base = 0.0f;
    }
  }
  out.diffuse = Clamp01(dn) * record.intensity * a;
  out.alpha = in.alpha_uses_normal ? out.diffuse : base * a;
  out.evaluated = true;
  return out;
}

// The image-based entry: diffuse from the environment's alpha along the normal, specular from the
// normal and the view vector directly (no reflection vector). Its colour becomes the sample.
Amounts ImageBased(const LightingFrame& frame, const PointInputs& in, bool use_n2_ibl,
                   LightRecord& light, PF_Err* err) {
  Amounts out;
  const PF_EffectWorld* env = light.environment;
  if (env == nullptr) {
    *err = PF_Err_BAD_CALLBACK_PARAM;
    return out;
  }
  Vec3 dir = use_n2_ibl ? in.n2 : in.n;
  if (frame.ibl_rotate) dir = RotateByMatrix(frame.ibl_rotation, dir);
  ColorF sample;
  if (!Normalize3(dir) ||
      !SampleEnvironmentMap(ViewOf(*env, frame.format), dir, in.s.ibl_antialias, &sample)) {
    *err = PF_Err_BAD_CALLBACK_PARAM;
    return out;
  }
  light.color = sample;
  out.diffuse = sample.alpha * in.s.ibl_gain;
  const Vec3 spec_normal = (!in.use_n2_spec && !use_n2_ibl) ? in.n : in.n2;
  out.specular = powi(Dot3(spec_normal, in.v), in.shininess) * in.spec_intensity * out.diffuse;
  out.alpha = 0.0f;
  out.evaluated = true;
  return out;
}

}  // namespace

PreparedLighting::PreparedLighting(const LightingFrame& frame) : frame_(frame) {
  const LightList& list = frame.lights;
  if (list.lights == nullptr) return;
  const LightingSettings& settings = frame.settings;
  const float k = BiasExponent(frame.falloff_bias);
  lights_.reserve(static_cast<std::size_t>(list.count > 0 ? list.count : 0));
  for (A_long i = 0; i < list.count; ++i) {
    LightRecord& record = list.lights[i];
    const Matrix4& m = record.transform;
    PreparedLight light{};
    light.record = &record;
    light.alpha_only = record.is_alpha_light && settings.alpha_lights;
    light.falloff =
        settings.enable_falloff && (record.falloff_type == kFalloffSmooth ||
                                    record.falloff_type == kFalloffInverseSquareClamped);
    light.falloff_exponent = k;
    light.position = PositionOf(m);
    using Kind = PreparedLight::Kind;
    if (record.is_image_based) {
      light.kind = Kind::kImageBased;
    } else if (record.type == kLightParallel) {
      // Column 2 with only its z negated (the spot light negates row 2 instead).
      light.direction = {static_cast<float>(m[0][2]), static_cast<float>(m[1][2]),
                         static_cast<float>(-m[2][2])};
      light.kind = Normalize3(light.direction) ? Kind::kParallel : Kind::kUnlit;
    } else if (record.type == kLightSpot) {
      light.direction = {static_cast<float>(-m[2][0]), static_cast<float>(-m[2][1]),
                         static_cast<float>(-m[2][2])};
      light.kind = Normalize3(light.direction) ? Kind::kSpot : Kind::kUnlit;
      light.half_cone = record.cone_angle * 0.5f * 0.017453292f;
      light.feathered = light.half_cone > 0.0f && record.cone_feather > 0.0f;
      light.feather_span = light.half_cone * record.cone_feather / 100.0f;
    } else if (record.type == kLightPoint) {
      light.kind = Kind::kPoint;
    } else if (record.type == kLightAmbient) {
      light.kind = Kind::kAmbient;
    } else {
      light.kind = Kind::kUnknown;
    }
    lights_.push_back(light);
  }
}

PF_Err PreparedLighting::compute(const LitPoint& point, ColorF* lit, ColorF* specular) const {
  const LightingFrame& frame = frame_;
  const LightingSettings& settings = frame.settings;
  const bool use_n2_spec = settings.specular_lights && settings.specular_use_normal && point.has_n2;
  const bool use_n2_ibl = settings.ibl_use_normal && frame.ibl_active && point.has_n2;
  const PointInputs in{
      settings,       frame.alpha_uses_normal,          use_n2_spec, point.n,
      point.n2,       use_n2_spec ? point.n2 : point.n, point.v,     point.spec_intensity,
      point.shininess};
  const Vec3 p = point.position;
  PF_Err err = PF_Err_NONE;

  for (const PreparedLight& prepared : lights_) {
    LightRecord& light = *prepared.record;
    Amounts amounts;
    using Kind = PreparedLight::Kind;
    switch (prepared.kind) {
      case Kind::kParallel:
        amounts = Parallel(in, prepared, p);
        break;
      case Kind::kSpot:
        amounts = SpotOrPoint(in, prepared, p, /*spot=*/true);
        break;
      case Kind::kPoint:
        amounts = SpotOrPoint(in, prepared, p, /*spot=*/false);
        break;
      case Kind::kAmbient:
        amounts.diffuse = light.intensity;
        amounts.alpha = light.intensity;
        amounts.evaluated = true;
        break;
      case Kind::kImageBased:
        amounts = ImageBased(frame, in, use_n2_ibl, light, &err);
        break;
      case Kind::kUnknown:
        err = PF_Err_BAD_CALLBACK_PARAM;
        break;
      case Kind::kUnlit:
        break;
    }

    if (prepared.alpha_only) {
      lit->alpha += amounts.alpha;
      continue;
    }
    if (light.is_specular_light) {
      if (amounts.evaluated) {
        const ColorF& c = settings.use_light_color ? light.color : settings.specular_color;
        specular->red += c.red * amounts.specular;
        specular->green += c.green * amounts.specular;
        specular->blue += c.blue * amounts.specular;
      }
      specular->alpha = 1.0f;
      if (!settings.hard_specular) {
        if (!(specular->red > 0.0f)) specular->red = 0.0f;
        if (!(specular->green > 0.0f)) specular->green = 0.0f;
        if (!(specular->blue > 0.0f)) specular->blue = 0.0f;
      }
    }
    if (light.is_diffuse_light && amounts.evaluated) {
      lit->red += light.color.red * amounts.diffuse;
      lit->green += light.color.green * amounts.diffuse;
      lit->blue += light.color.blue * amounts.diffuse;
    }
  }
  return err;
}

PF_Err ComputeLighting(const LightingFrame& frame, const LitPoint& point, ColorF* lit,
                       ColorF* specular) {
  return PreparedLighting(frame).compute(point, lit, specular);
}

}  // namespace mf
