#include "raster/Lighting.h"

#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Points are lit a chunk at a time, light by light and step by step, so that the long chains of
// square roots and divisions of neighbouring points overlap; each point still goes through the
// same operations in the same order as alone.
constexpr std::size_t kChunk = 64;

inline bool UsesN2ForSpecular(const LightingSettings& s, const LitPoint& point) {
  return s.specular_lights && s.specular_use_normal && point.has_n2;
}

// The point's depth below a parallel light along the light's own z: row 2 of its rotation applied
// to the offset, in double.
inline float DepthBelow(const PreparedLight& light, Vec3 p) {
  const Matrix4& m = light.record->transform;
  const Vec3 o = light.position - p;
  return static_cast<float>(m[2][0] * static_cast<double>(o.x) +
                            m[2][1] * static_cast<double>(o.y) +
                            m[2][2] * static_cast<double>(o.z));
}

// Normalize3 on n vectors held as three arrays of components; ok[i] is its result for vector i.
// Four at a time where the processor has SSE, whose square root and division round exactly as
// the scalar ones do.
void NormalizeMany(float* x, float* y, float* z, bool* ok, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128 zero = _mm_setzero_ps();
  const __m128 infinity = _mm_set1_ps(std::numeric_limits<float>::infinity());
  for (; i + 4 <= n; i += 4) {
    const __m128 vx = _mm_loadu_ps(x + i), vy = _mm_loadu_ps(y + i), vz = _mm_loadu_ps(z + i);
    const __m128 length = _mm_sqrt_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(vx, vx), _mm_mul_ps(vy, vy)), _mm_mul_ps(vz, vz)));
    // Above 0 and finite; a NaN length is neither.
    const __m128 good = _mm_and_ps(_mm_cmpgt_ps(length, zero), _mm_cmplt_ps(length, infinity));
    auto scaled = [&](__m128 v) {
      return _mm_or_ps(_mm_and_ps(good, _mm_div_ps(v, length)), _mm_andnot_ps(good, v));
    };
    _mm_storeu_ps(x + i, scaled(vx));
    _mm_storeu_ps(y + i, scaled(vy));
    _mm_storeu_ps(z + i, scaled(vz));
    const int mask = _mm_movemask_ps(good);
    for (int k = 0; k < 4; ++k) ok[i + k] = (mask >> k) & 1;
  }
#endif
  for (; i < n; ++i) {
    Vec3 v{x[i], y[i], z[i]};
    ok[i] = Normalize3(v);
    x[i] = v.x;
    y[i] = v.y;
    z[i] = v.z;
  }
}

// What a parallel, spot or point light leaves for each point of a chunk on the way to its
// amounts: L, the unit direction to the light, in components; ok, whether there is one; a, the
// attenuation; dot, N·L; dn, the diffuse factor; spec, the specular amount; base, the alpha
// light's amount before attenuation.
struct LightChunk {
  float lx[kChunk], ly[kChunk], lz[kChunk];
  bool ok[kChunk];
  float a[kChunk], dot[kChunk], dn[kChunk], spec[kChunk], base[kChunk];
  Vec3 l(std::size_t i) const { return {lx[i], ly[i], lz[i]}; }
};

void Directions(const LitPoint* points, std::size_t n, const PreparedLight& light, LightChunk* c) {
  const bool parallel = light.kind == PreparedLight::Kind::kParallel;
  for (std::size_t i = 0; i < n; ++i) {
    const Vec3 p = points[i].position;
    float d = 0.0f;
    if (parallel) {
      if (light.falloff) d = -DepthBelow(light, p);
    } else {
      const Vec3 l = light.position - p;
      c->lx[i] = l.x;
      c->ly[i] = l.y;
      c->lz[i] = l.z;
      if (light.falloff) d = Distance3(light.position, p);
    }
    c->a[i] = light.falloff ? Attenuation(*light.record, d, light.falloff_exponent) : 1.0f;
  }
  if (!parallel) {
    NormalizeMany(c->lx, c->ly, c->lz, c->ok, n);
    return;
  }
  for (std::size_t i = 0; i < n; ++i) {
    c->lx[i] = light.direction.x;
    c->ly[i] = light.direction.y;
    c->lz[i] = light.direction.z;
    c->ok[i] = true;
  }
}

// A spot and a point light give no specular to a surface that L does not reach from the front
// (unless normals are relative).
void Specular(const PointInputs& in, const LitPoint* points, std::size_t n,
              const PreparedLight& light, LightChunk* c) {
  const bool relative = in.s.relative_normals;
  const bool gated = light.kind != PreparedLight::Kind::kParallel && !relative;
  float rx[kChunk], ry[kChunk], rz[kChunk];
  bool unit[kChunk];
  for (std::size_t i = 0; i < n; ++i) {
    const LitPoint& pt = points[i];
    const bool n2 = UsesN2ForSpecular(in.s, pt);
    float ds = n2 ? Dot3(pt.n2, c->l(i)) : c->dot[i];
    if (!relative) ds = std::fabs(ds);
    const Vec3 r = (n2 ? pt.n2 : pt.n) * (2.0f * ds) - c->l(i);
    rx[i] = r.x;
    ry[i] = r.y;
    rz[i] = r.z;
  }
  NormalizeMany(rx, ry, rz, unit, n);
  for (std::size_t i = 0; i < n; ++i) {
    if (unit[i] && (!gated || c->dot[i] > 0.0f)) {
      const LitPoint& pt = points[i];
      c->spec[i] = powi(Dot3(Vec3{rx[i], ry[i], rz[i]}, pt.v), pt.shininess) * pt.spec_intensity *
                   light.record->intensity * c->a[i];
    }
  }
}

// A spot light's cone, feathered or hard, on the diffuse, specular and alpha amounts.
void Cone(std::size_t n, const PreparedLight& light, LightChunk* c) {
  const float h = light.half_cone;
  for (std::size_t i = 0; i < n; ++i) {
    const float theta = AngleBetweenUnit(c->l(i), light.direction);
    if (theta <= h) {
      if (light.feathered) {
        float f = (h - theta) / light.feather_span;
        f = f > 1.0f ? 1.0f : (f > 0.0f ? f : 0.0f);
        c->dn[i] *= f;
        c->spec[i] *= f;
        c->base[i] *= f;
      }
    } else {
      // Outside the cone, and also when the cone angle is not a number.
      c->dn[i] = 0.0f;
      c->spec[i] = 0.0f;
      c->base[i] = 0.0f;
    }
  }
}

// A parallel, spot or point light's amounts for each point of a chunk.
void Directional(const PointInputs& in, const LitPoint* points, std::size_t n,
                 const PreparedLight& light, Amounts* out) {
  const LightRecord& record = *light.record;
  LightChunk c;
  Directions(points, n, light, &c);
  for (std::size_t i = 0; i < n; ++i) {
    c.dot[i] = Dot3(points[i].n, c.l(i));
    c.dn[i] = in.s.relative_normals ? std::fabs(c.dot[i]) : c.dot[i];
    c.spec[i] = 0.0f;
    c.base[i] = record.intensity;
  }
  if (record.is_specular_light && !light.alpha_only) Specular(in, points, n, light, &c);
  if (light.kind == PreparedLight::Kind::kSpot) Cone(n, light, &c);
  for (std::size_t i = 0; i < n; ++i) {
    Amounts& o = out[i];
    o = Amounts{};
    if (!c.ok[i]) continue;
    o.specular = c.spec[i];
    o.diffuse = Clamp01(c.dn[i]) * record.intensity * c.a[i];
    o.alpha = in.alpha_uses_normal ? o.diffuse : c.base[i] * c.a[i];
    o.evaluated = true;
  }
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

bool PreparedLighting::canFail() const {
  for (const PreparedLight& light : lights_) {
    if (light.kind == PreparedLight::Kind::kImageBased ||
        light.kind == PreparedLight::Kind::kUnknown) {
      return true;
    }
  }
  return false;
}

namespace {

void Accumulate(const LightingSettings& settings, const PreparedLight& prepared,
                const Amounts& amounts, ColorF* lit, ColorF* specular) {
  const LightRecord& light = *prepared.record;
  if (prepared.alpha_only) {
    lit->alpha += amounts.alpha;
    return;
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

}  // namespace

PF_Err PreparedLighting::compute(const LitPoint* points, std::size_t count, ColorF* lit,
                                 ColorF* specular) const {
  PF_Err err = PF_Err_NONE;
  for (std::size_t start = 0; start < count; start += kChunk) {
    const std::size_t n = count - start < kChunk ? count - start : kChunk;
    const PF_Err chunk_err = computeChunk(points + start, n, lit + start, specular + start);
    if (!err) err = chunk_err;
  }
  return err;
}

PF_Err PreparedLighting::computeChunk(const LitPoint* points, std::size_t n, ColorF* lit,
                                      ColorF* specular) const {
  const LightingFrame& frame = frame_;
  const LightingSettings& settings = frame.settings;
  const PointInputs shared{settings, frame.alpha_uses_normal, false, {}, {}, {}, {}, 0.0f, 0};
  PF_Err err = PF_Err_NONE;
  Amounts amounts[kChunk];

  for (const PreparedLight& prepared : lights_) {
    using Kind = PreparedLight::Kind;
    switch (prepared.kind) {
      case Kind::kParallel:
      case Kind::kSpot:
      case Kind::kPoint:
        Directional(shared, points, n, prepared, amounts);
        break;
      case Kind::kAmbient:
        for (std::size_t i = 0; i < n; ++i) {
          const float intensity = prepared.record->intensity;
          amounts[i] = Amounts{intensity, 0.0f, intensity, true};
        }
        break;
      case Kind::kImageBased:
        // Its colour is each point's sample, so each point is added in before the next is
        // sampled.
        for (std::size_t i = 0; i < n; ++i) {
          const LitPoint& point = points[i];
          const bool use_n2_spec = UsesN2ForSpecular(settings, point);
          const bool use_n2_ibl = settings.ibl_use_normal && frame.ibl_active && point.has_n2;
          const PointInputs in{
              settings,       frame.alpha_uses_normal,          use_n2_spec, point.n,
              point.n2,       use_n2_spec ? point.n2 : point.n, point.v,     point.spec_intensity,
              point.shininess};
          const Amounts a = ImageBased(frame, in, use_n2_ibl, *prepared.record, &err);
          Accumulate(settings, prepared, a, &lit[i], &specular[i]);
        }
        continue;
      case Kind::kUnknown:
        err = PF_Err_BAD_CALLBACK_PARAM;
        [[fallthrough]];
      case Kind::kUnlit:
        for (std::size_t i = 0; i < n; ++i) amounts[i] = Amounts{};
        break;
    }
    for (std::size_t i = 0; i < n; ++i) {
      Accumulate(settings, prepared, amounts[i], &lit[i], &specular[i]);
    }
  }
  return err;
}

PF_Err ComputeLighting(const LightingFrame& frame, const LitPoint& point, ColorF* lit,
                       ColorF* specular) {
  return PreparedLighting(frame).compute(&point, 1, lit, specular);
}

}  // namespace mf
