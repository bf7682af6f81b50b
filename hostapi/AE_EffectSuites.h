// "PF ..." suites acquired through the basic suite: handles, the effect UI, parameter UI updates.
// The image-service suites (world, fill, transform, iterate) are in AE_WorldSuites.h.
#pragma once

#include "AE_Effect.h"

#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion 2

struct PF_HandleSuite1 {
  PF_Handle (*host_new_handle)(A_HandleSize size);
  void* (*host_lock_handle)(PF_Handle pf_handle);
  void (*host_unlock_handle)(PF_Handle pf_handle);
  void (*host_dispose_handle)(PF_Handle pf_handle);
  A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
  PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handlePH);
};

#define kPFEffectUISuite "PF Effect UI Suite"
#define kPFEffectUISuiteVersion 1

struct PF_EffectUISuite1 {
  PF_Err (*PF_SetOptionsButtonName)(PF_ProgPtr effect_ref, const A_char* nameZ);
};

#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion 2

typedef A_long PF_KeyIndex;
struct PF_State {
  A_long reserved[4];
};

struct PF_ParamUtilsSuite2 {
  // Sends the panel state (ui_flags, name, slider range) of one control; the value is not
  // changed.
  PF_Err (*PF_UpdateParamUI)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                             const PF_ParamDef* defP);
  PF_Err (*PF_GetCurrentState)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                               const A_long* startP, const A_long* durationP, PF_State* stateP);
  PF_Err (*PF_AreStatesIdentical)(PF_ProgPtr effect_ref, const PF_State* state1P,
                                  const PF_State* state2P, A_Boolean* samePB);
  PF_Err (*PF_IsIdenticalCheckout)(PF_ProgPtr effect_ref, PF_ParamIndex param_index,
                                   A_long what_time1, A_long time_step1, A_u_long time_scale1,
                                   A_long what_time2, A_long time_step2, A_u_long time_scale2,
                                   PF_Boolean* identicalPB);
  void* reserved[4];
};
