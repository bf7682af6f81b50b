// The reference camera link: the user picks one of the composition's cameras (resource 108) and
// the four reference-camera sliders get expressions that read its position and zoom, so they
// follow that camera from then on.
#pragma once

#include "AE_EffectCB.h"
#include "Win32.h"

namespace mf {

// At most this many cameras are offered, the first in the composition's layer order.
constexpr int kMaxOfferedCameras = 9;
// A layer name of at most 32 characters and its terminator.
constexpr int kCameraNameBuffer = 33;

// What the picker is handed: the names to offer, in order.
struct CameraChoice {
  A_u_char reserved;  // 0; the picker does not read it
  A_long count;
  char** names;
};

PF_Err LinkReferenceCamera(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                           PF_LayerDef* output);

// Dialog procedure of the picker; ends with the chosen index, or -1 for Cancel or no choice.
INT_PTR CameraPickerProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace mf
