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

// Distance attenuation of a composition light, then shaped by the bias: the exponent is 1 + b for
// a negative bias (towards 0: everything lit is fully lit) and 1 / (1 - b) for a positive one
// (towards infinity: only full light survives).
float Attenuation(const LightRecord& light, bool enable_falloff, float d, float bias) {
  float a = 1.0f;
  if (enable_falloff) {
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
  }
  a = Clamp01(a);
  const float k = bias < 0.0f ? 1.0f + bias : 1.0f / (1.0f - bias);
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
  float bias;
};

// Shared by spot and point lights: L is the unit direction to the light, a the attenuation.
// front is taken before any absolute value.
void DirectionalTerms(const PointInputs& in, const LightRecord& light, Vec3 l, float a,
                      bool front_gated, float* d_n, float* spec) {
  float dn = Dot3(in.n, l);
  const bool front = dn > 0.0f;
  float ds = in.use_n2_spec ? Dot3(in.n2, l) : dn;
  if (!in.s.relative_normals) {
    ds = std::fabs(ds);
  } else {
    dn = std::fabs(dn);
  }
  Vec3 r = in.n_spec * (2.0f * ds) - l;
  *spec = 0.0f;
  if (Normalize3(r) && (!front_gated || in.s.relative_normals || front)) {
    *spec = powi(Dot3(r, in.v), in.shininess) * in.spec_intensity * light.intensity * a;
  }
  *d_n = dn;
}

Amounts Parallel(const PointInputs& in, const LightRecord& light, Vec3 p) {
  Amounts out;
  const Matrix4& m = light.transform;
  // Column 2 with only its z negated (the spot light negates row 2 instead).
  Vec3 l{static_cast<float>(m[0][2]), static_cast<float>(m[1][2]), static_cast<float>(-m[2][2])};
  const Vec3 t = RotateByMatrix(m, PositionOf(m) - p);
  const float d = -t.z;
  if (!Normalize3(l)) return out;
  const float a = Attenuation(light, in.s.enable_falloff, d, in.bias);
  float dn;
  DirectionalTerms(in, light, l, a, /*front_gated=*/false, &dn, &out.specular);
  out.diffuse = Clamp01(dn) * light.intensity * a;
  out.alpha = in.alpha_uses_normal ? out.diffuse : light.intensity * a;
  out.evaluated = true;
  return out;
}

Amounts SpotOrPoint(const PointInputs& in, const LightRecord& light, Vec3 p, bool spot) {
  Amounts out;
  const Matrix4& m = light.transform;
  Vec3 axis{static_cast<float>(-m[2][0]), static_cast<float>(-m[2][1]),
            static_cast<float>(-m[2][2])};
  const Vec3 pos = PositionOf(m);
  Vec3 l = pos - p;
  const float d = Distance3(pos, p);
  if (spot && !Normalize3(axis)) return out;
  if (!Normalize3(l)) return out;
  const float a = Attenuation(light, in.s.enable_falloff, d, in.bias);
  float dn;
  DirectionalTerms(in, light, l, a, /*front_gated=*/true, &dn, &out.specular);
  float base = light.intensity;
  if (spot) {
    const float theta = AngleBetweenUnit(l, axis);
    const float h = light.cone_angle * 0.5f * 0.017453292f;
    if (theta <= h) {
      if (h > 0.0f && light.cone_feather > 0.0f) {
        float f = (h - theta) / (h * light.cone_feather / 100.0f);
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
  out.diffuse = Clamp01(dn) * light.intensity * a;
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

PF_Err ComputeLighting(const LightingFrame& frame, const LitPoint& point, ColorF* lit,
                       ColorF* specular) {
  const LightingSettings& settings = frame.settings;
  const LightList& lights = frame.lights;
  const bool use_n2_spec = settings.specular_lights && settings.specular_use_normal && point.has_n2;
  const bool use_n2_ibl = settings.ibl_use_normal && frame.ibl_active && point.has_n2;
  const PointInputs in{settings,        frame.alpha_uses_normal,
                       use_n2_spec,     point.n,
                       point.n2,        use_n2_spec ? point.n2 : point.n,
                       point.v,         point.spec_intensity,
                       point.shininess, frame.falloff_bias};
  const Vec3 p = point.position;
  PF_Err err = PF_Err_NONE;
  if (lights.lights == nullptr) return err;

  for (A_long i = 0; i < lights.count; ++i) {
    LightRecord& light = lights.lights[i];
    Amounts amounts;
    if (light.is_image_based) {
      amounts = ImageBased(frame, in, use_n2_ibl, light, &err);
    } else {
      switch (light.type) {
        case kLightParallel:
          amounts = Parallel(in, light, p);
          break;
        case kLightSpot:
          amounts = SpotOrPoint(in, light, p, /*spot=*/true);
          break;
        case kLightPoint:
          amounts = SpotOrPoint(in, light, p, /*spot=*/false);
          break;
        case kLightAmbient:
          amounts.diffuse = light.intensity;
          amounts.alpha = light.intensity;
          amounts.evaluated = true;
          break;
        default:
          err = PF_Err_BAD_CALLBACK_PARAM;
          break;
      }
    }

    if (light.is_alpha_light && settings.alpha_lights) {
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

}  // namespace mf
