// The composition's lights as the effect relights with them: up to 16 light layers that reach
// the effect's layer, sorted into the alpha, diffuse and specular roles by the beginning of their
// names, then the image-based light as one more record.
#pragma once

#include "AE_CompSuites.h"
#include "AE_Effect.h"
#include "raster/RenderRecords.h"

namespace mf {

class SuiteHandler;
struct FrameSettings;
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

// Fills list and switches (both cleared first) from the composition the frame's effect sits in,
// with the frame's prefixes, relight switches and layers. Runs only when a relight switch is on
// and the mode is below 7. The array comes from the general allocator; a SceneLightArray or
// FreeSceneLights releases it. Returns the first host error; the records read before it stay in
// the list.
PF_Err CollectSceneLights(SuiteHandler& suites, const FrameSettings& frame, LightList* list,
                          LightSwitches* switches);

// Releases the array of a list that CollectSceneLights filled and marks it empty.
void FreeSceneLights(LightList* list);

// The list a render call collected, whose array goes when the call does.
class SceneLightArray {
 public:
  SceneLightArray() = default;
  ~SceneLightArray() { FreeSceneLights(&list_); }
  SceneLightArray(const SceneLightArray&) = delete;
  SceneLightArray& operator=(const SceneLightArray&) = delete;

  LightList* out() { return &list_; }
  const LightList& get() const { return list_; }

 private:
  LightList list_{false, 0, nullptr};
};

}  // namespace mf
