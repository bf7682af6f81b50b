// PF_Cmd_EVENT in the effect panel: the banner (ABOUT_BANNER) and the link button
// (LINK_REFERENCE_CAMERA) are drawn by the effect from its bitmaps; a press on the button is
// tracked until the mouse button is released, which starts the reference camera link.
#pragma once

#include "AE_EffectCB.h"
#include "AE_EffectUI.h"

namespace mf {

// The button occupies the top-left 48 x 24 pixels of its control area.
constexpr int kLinkButtonWidth = 48;
constexpr int kLinkButtonHeight = 24;
constexpr int kBannerWidth = 300;
constexpr int kBannerHeight = 80;

PF_Err HandleEvent(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                   PF_LayerDef* output, PF_EventExtra* extra);
PF_Err DrawCustomControl(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                         PF_LayerDef* output, PF_EventExtra* extra);

// Strictly inside: a point on an edge is outside.
bool PointInControl(PF_Point point, PF_Rect rect);

}  // namespace mf
