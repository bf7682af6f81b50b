// The composition's lights as the effect relights with them: up to 16 light layers that reach
// the effect's layer, sorted into the alpha, diffuse and specular roles by the beginning of their
// names, then the image-based light as one more record.
#pragma once

#include "AE_CompSuites.h"
#include "AE_Effect.h"
#include "raster/RenderRecords.h"

namespace mf {

class SuiteHandler;
struct RenderContext;
struct LightSwitches;

// At most this many composition lights are used, in layer order from the top.
inline constexpr A_long kMaxCompLights = 16;

// Role flags of a light by the beginning of its name: each prefix is compared over its own
// length (at most 31 characters), case-sensitively; an empty prefix matches every name. A name
// with neither the diffuse nor the specular prefix lights both ways.
struct LightRoles {
  bool alpha;
  bool diffuse;
  bool specular;
};
LightRoles ClassifyLightName(const char* name, const char* alpha_prefix, const char* diffuse_prefix,
                             const char* specular_prefix);

struct SceneLightInputs {
  PF_InData* in_data;  // effect_ref, and the abort check after the image-based light
  AEGP_PluginID plugin_id;
  AEGP_CompH comp;
  A_long effect_layer_index;
  A_Time comp_time;
  const char* alpha_prefix;  // 32-byte buffers, terminated
  const char* diffuse_prefix;
  const char* specular_prefix;
  A_long render_mode;
  bool diffuse_lights;  // the record's DIFFUSE_LIGHTS, SPECULAR_LIGHTS, ALPHA_LIGHTS
  bool specular_lights;
  bool alpha_lights;
  bool normal_present;          // NORMAL_PASS has pixels
  bool specular_matte_present;  // SPECULAR_MATTE has pixels
  PF_EffectWorld* ibl_world;    // the checked-out IBL_LAYER world, null when absent
};

// Fills list and switches (both cleared first). Runs only when a relight switch is on and the
// mode is below 7. The array comes from the general allocator; FreeSceneLights releases it.
// Returns the first host error; the records read before it stay in the list.
PF_Err CollectSceneLights(SuiteHandler& suites, const SceneLightInputs& inputs, LightList* list,
                          LightSwitches* switches);
// The same over a render call's context: fills ctx.lights and ctx.light_switches.
PF_Err CollectSceneLights(RenderContext& ctx);

// Releases the array of a list that CollectSceneLights filled and marks it empty.
void FreeSceneLights(LightList* list);

}  // namespace mf
