// Scaled copies of one world's rectangle onto another's.
#pragma once

#include "AE_Effect.h"

namespace mf::host {

// Both copy src_r of src (null: the whole source world) onto dst_r of dst (null: the whole
// destination world), scaling as the two rectangles' sizes ask, and replace the destination
// pixels (no compositing). Destination pixels outside dst are skipped; source samples outside
// src are transparent black. The worlds must share a pixel format; a bad world or a mismatch
// gives PF_Err_BAD_CALLBACK_PARAM. An empty rectangle copies nothing.

// Nearest neighbour: destination pixel i of a row takes source pixel
// src_r.left + floor((i + ½) × source width ÷ destination width), computed exactly in integers,
// so an unscaled copy is bit-exact.
PF_Err CopyNearest(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_LRect* src_r,
                   const PF_LRect* dst_r);

// Filtered: each destination pixel averages the source, seen as piecewise constant pixels, over
// a box centred on the pixel's centre mapped into the source, max(1, scale) source pixels wide
// on each axis. Shrinking, that is exact area averaging; enlarging, a box one pixel wide over
// piecewise constant pixels is bilinear interpolation between pixel centres; unscaled it is a
// bit-exact copy. The box is cut to the source rectangle and the source world and the weights
// renormalised, so edges neither darken nor fade. Colour is averaged weighted by alpha
// (straight-alpha worlds), so transparent pixels lend no colour; where every tap is transparent
// the plain average is kept. 8- and 16-bit results round to nearest.
PF_Err CopyFiltered(const PF_EffectWorld* src, PF_EffectWorld* dst, const PF_LRect* src_r,
                    const PF_LRect* dst_r);

}  // namespace mf::host
