#include "render/SceneLights.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "support/SuiteHandler.h"
#include "params/ParamIndex.h"
#include "render/ControlLayer.h"
#include "render/FrameSettings.h"

namespace mf {

namespace {

// Prefixes are compared over at most 31 characters, what their 32-byte buffers hold.
constexpr size_t kPrefixLimit = 31;

bool BeginsWith(const char* name, const char* prefix) {
  if (!prefix) return true;
  const size_t n = strnlen(prefix, kPrefixLimit);
  return std::strncmp(name, prefix, n) == 0;
}

// A 1-based popup value made 0-based; anything that is not a whole number in range reads as 0
// (no falloff), never as an out-of-range integer.
A_long FalloffType(double popup) {
  if (!(popup >= 1.0 && popup <= 3.0)) return kFalloffNone;
  return static_cast<A_long>(std::lround(popup)) - 1;
}

struct CompSuites {
  const AEGP_LayerSuite5* layer;
  const AEGP_LightSuite2* light;
  const AEGP_StreamSuite2* stream;
};

// Whether layer i is a light that reaches the effect's layer; the layer handle is returned.
PF_Err QualifyingLight(const CompSuites& s, const FrameSettings& frame, A_long i,
                       AEGP_LayerH* layer, bool* counts) {
  *counts = false;
  *layer = nullptr;
  PF_Err err = s.layer->AEGP_GetCompLayerByIndex(frame.place.comp, i, layer);
  A_Boolean active = 0;
  if (!err)
    err = s.layer->AEGP_IsVideoActive(*layer, AEGP_LTimeMode_CompTime, &frame.place.comp_time,
                                      &active);
  if (err || !active) return err;
  AEGP_ObjectType type = AEGP_ObjectType_NONE;
  AEGP_LayerFlags flags = 0;
  err = s.layer->AEGP_GetLayerObjectType(*layer, &type);
  if (!err) err = s.layer->AEGP_GetLayerFlags(*layer, &flags);
  if (err) return err;
  // An adjustment light reaches only the layers below it.
  *counts = type == AEGP_ObjectType_LIGHT &&
            (!(flags & AEGP_LayerFlag_ADJUSTMENT_LAYER) || i < frame.effect_layer_index);
  return PF_Err_NONE;
}

PF_Err ReadOneD(const CompSuites& s, const FrameSettings& frame, AEGP_LayerH layer,
                AEGP_LayerStream which, double* out) {
  AEGP_StreamVal value;
  std::memset(&value, 0, sizeof(value));
  PF_Err err = s.stream->AEGP_GetLayerStreamValue(layer, which, AEGP_LTimeMode_CompTime,
                                                  &frame.place.comp_time, false, &value, nullptr);
  if (!err) *out = value.one_d;
  return err;
}

// Fills one composition light's record; on an error the fields read so far stay.
PF_Err FillLight(const CompSuites& s, const FrameSettings& frame, AEGP_LayerH layer, A_long index,
                 LightRecord* r, LightSwitches* switches) {
  AEGP_LightType type = AEGP_LightType_NONE;
  PF_Err err = s.light->AEGP_GetLightType(layer, &type);
  if (err) return err;
  r->type = type;
  r->layer_index = index;
  r->is_image_based = false;
  r->environment = nullptr;

  // The host writes up to AEGP_MAX_LAYER_NAME_SIZE bytes and a terminator.
  char name[AEGP_MAX_LAYER_NAME_SIZE + 1] = {};
  err = s.layer->AEGP_GetLayerName(layer, name, nullptr);
  if (err) return err;
  name[AEGP_MAX_LAYER_NAME_SIZE] = '\0';
  const LightRoles roles = ClassifyLightName(name, frame.prefixes.alpha, frame.prefixes.diffuse,
                                             frame.prefixes.specular);
  r->is_alpha_light = roles.alpha;
  r->is_diffuse_light = roles.diffuse;
  r->is_specular_light = roles.specular;

  A_Matrix4 xform{};
  err = s.layer->AEGP_GetLayerToWorldXform(layer, &frame.place.comp_time, &xform);
  if (err) return err;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) r->transform[row][col] = xform.mat[row][col];

  double v = 0;
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_INTENSITY, &v)))
    r->intensity = static_cast<float>(v / 100.0);
  if (!err) {
    AEGP_StreamVal color;
    std::memset(&color, 0, sizeof(color));
    err = s.stream->AEGP_GetLayerStreamValue(layer, AEGP_LayerStream_COLOR, AEGP_LTimeMode_CompTime,
                                             &frame.place.comp_time, false, &color, nullptr);
    if (!err)
      r->color =
          ColorF{static_cast<float>(color.color.alphaF), static_cast<float>(color.color.redF),
                 static_cast<float>(color.color.greenF), static_cast<float>(color.color.blueF)};
  }
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_CONE_ANGLE, &v)))
    r->cone_angle = static_cast<float>(v);
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_CONE_FEATHER, &v)))
    r->cone_feather = static_cast<float>(v);
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_CASTS_SHADOWS, &v)))
    r->casts_shadows = v > 0;
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_SHADOW_DARKNESS, &v)))
    r->shadow_darkness = static_cast<float>(v);
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_SHADOW_DIFFUSION, &v)))
    r->shadow_diffusion = static_cast<float>(v);
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_LIGHT_FALLOFF_TYPE, &v)))
    r->falloff_type = FalloffType(v);
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_LIGHT_FALLOFF_START, &v)))
    r->falloff_radius = static_cast<float>(v);
  if (!err && !(err = ReadOneD(s, frame, layer, AEGP_LayerStream_LIGHT_FALLOFF_DISTANCE, &v)))
    r->falloff_distance = static_cast<float>(v);
  if (!err && r->is_alpha_light && frame.pre->ALPHA_LIGHTS) switches->alpha_lighting = true;
  return err;
}

// The image-based light's record, found through the effect's own IBL_LAYER stream. A layer that
// cannot be found leaves the record as allocated: no role, so it lights nothing.
PF_Err FillImageBasedLight(SuiteHandler& suites, const FrameSettings& frame, LightRecord* r) {
  return WithControlLayer(suites, frame.place, IBL_LAYER,
                          [&](const AEGP_LayerSuite5* layers, AEGP_LayerH layer) -> PF_Err {
                            char name[AEGP_MAX_LAYER_NAME_SIZE + 1] = {};
                            const PF_Err err = layers->AEGP_GetLayerName(layer, name, nullptr);
                            if (err) return err;
                            name[AEGP_MAX_LAYER_NAME_SIZE] = '\0';
                            const LightRoles roles = ClassifyLightName(
                                name, "", frame.prefixes.diffuse, frame.prefixes.specular);
                            r->is_alpha_light = false;
                            r->is_diffuse_light = roles.diffuse;
                            r->is_specular_light = roles.specular;
                            r->is_image_based = true;
                            r->environment = frame.layers.world(kLayerIbl);
                            return PF_Err_NONE;
                          });
}

}  // namespace

LightRoles ClassifyLightName(const char* name, const char* alpha_prefix, const char* diffuse_prefix,
                             const char* specular_prefix) {
  if (!name) name = "";
  LightRoles roles{BeginsWith(name, alpha_prefix), BeginsWith(name, diffuse_prefix),
                   BeginsWith(name, specular_prefix)};
  if (!roles.diffuse && !roles.specular) roles.diffuse = roles.specular = true;
  return roles;
}

PF_Err CollectSceneLights(SuiteHandler& suites, const FrameSettings& frame, LightList* list,
                          LightSwitches* switches) {
  *list = LightList{false, 0, nullptr};
  *switches = LightSwitches{};
  if (!(frame.pre->DIFFUSE_LIGHTS || frame.pre->SPECULAR_LIGHTS || frame.pre->ALPHA_LIGHTS))
    return PF_Err_NONE;
  if (IsDataMode(frame.pre->RENDER_MODE)) return PF_Err_NONE;

  switches->specular_matte = frame.layers.has(kLayerNormal) && frame.pre->SPECULAR_LIGHTS &&
                             frame.layers.has(kLayerSpecularMatte);

  CompSuites s;
  s.layer = suites.get<AEGP_LayerSuite5>(kAEGPLayerSuite, kAEGPLayerSuiteVersion5);
  s.light = suites.get<AEGP_LightSuite2>(kAEGPLightSuite, kAEGPLightSuiteVersion2);
  s.stream = suites.get<AEGP_StreamSuite2>(kAEGPStreamSuite, kAEGPStreamSuiteVersion2);

  A_long layers = 0;
  PF_Err err = s.layer->AEGP_GetCompNumLayers(frame.place.comp, &layers);
  A_long lights = 0;
  for (A_long i = 0; !err && i < layers; ++i) {
    AEGP_LayerH layer = nullptr;
    bool counts = false;
    err = QualifyingLight(s, frame, i, &layer, &counts);
    if (!err && counts) ++lights;
  }
  if (err) return err;

  const A_long comp_lights = lights < kMaxCompLights ? lights : kMaxCompLights;
  const A_long records = comp_lights + (frame.layers.has(kLayerIbl) ? 1 : 0);
  if (records == 0) return PF_Err_NONE;

  auto* array =
      static_cast<LightRecord*>(std::calloc(static_cast<size_t>(records), sizeof(LightRecord)));
  if (!array) return PF_Err_OUT_OF_MEMORY;
  for (A_long r = 0; r < records; ++r) array[r].layer_index = -1;
  *list = LightList{true, records, array};
  switches->collected = true;

  A_long filled = 0;
  for (A_long i = 0; !err && i < layers && filled < comp_lights; ++i) {
    AEGP_LayerH layer = nullptr;
    bool counts = false;
    err = QualifyingLight(s, frame, i, &layer, &counts);
    if (!err && counts) err = FillLight(s, frame, layer, i, &array[filled++], switches);
  }

  if (!err && frame.layers.has(kLayerIbl)) {
    switches->ibl_on = true;
    err = FillImageBasedLight(suites, frame, &array[comp_lights]);
  }
  return err;
}

void FreeSceneLights(LightList* list) {
  if (!list) return;
  std::free(list->lights);
  *list = LightList{false, 0, nullptr};
}

}  // namespace mf
