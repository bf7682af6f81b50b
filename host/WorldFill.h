// Filling a rectangle of a world with one colour.
#pragma once

#include "AE_Effect.h"

namespace mf::host {

// Fills rect (half-open, clipped to the world; null: the whole world) with color (null:
// transparent black). The colour may be of any depth: it is converted to the world's (exactly when
// the depths agree, else rounded to nearest). A bad world gives PF_Err_BAD_CALLBACK_PARAM and
// writes nothing.
PF_Err FillWorld(PF_EffectWorld* world, const PF_Pixel8* color, const PF_LRect* rect);
PF_Err FillWorld(PF_EffectWorld* world, const PF_Pixel16* color, const PF_LRect* rect);
PF_Err FillWorld(PF_EffectWorld* world, const PF_PixelFloat* color, const PF_LRect* rect);

}  // namespace mf::host
