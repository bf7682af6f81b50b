// Running a per-pixel callback over a world, for the three iterate suites and
// in_data->utils->iterate.
#pragma once

#include <functional>

#include "AE_WorldSuites.h"

namespace mf::host {

// Asked before every row of an iterate: true means the user aborted, and the walk stops with
// PF_Interrupt_CANCEL. None is set by default (nothing aborts). One host at a time.
void SetIterateAbortProbe(std::function<bool()> probe);

// Walks area of src (null: the whole of src, or of dst when src is null), calling fn(refcon, x, y,
// in, out) with x and y in src's coordinates and out the pixel at the same place in dst. in points
// to a copy of the input pixel (src's, or dst's own when src is null), so a callback may read it
// after writing out even when the two worlds are one. With dst null the output goes back into src.
// The area is clipped to both worlds. A non-zero result stops the walk (rows under way finish their
// pixel) and the first one is returned. Pixel is PF_Pixel8, PF_Pixel16 or PF_PixelFloat and must
// match the worlds' format; a mismatch, a bad world, no worlds or no callback give
// PF_Err_BAD_CALLBACK_PARAM.
//
// As the real host does (the guide's "Iteration suites" section), rows come in no particular
// order and an area of 1024 pixels or more is shared between two threads, so a callback must be
// re-entrant and may not rely on the rows before it. Pixels of a row run left to right.
template <typename Pixel>
PF_Err IterateWorld(PF_EffectWorld* src, const PF_LRect* area, void* refcon,
                    PF_Err (*fn)(void*, A_long, A_long, Pixel*, Pixel*), PF_EffectWorld* dst);

extern template PF_Err IterateWorld<PF_Pixel8>(PF_EffectWorld*, const PF_LRect*, void*,
                                               PF_Err (*)(void*, A_long, A_long, PF_Pixel8*,
                                                          PF_Pixel8*),
                                               PF_EffectWorld*);
extern template PF_Err IterateWorld<PF_Pixel16>(PF_EffectWorld*, const PF_LRect*, void*,
                                                PF_Err (*)(void*, A_long, A_long, PF_Pixel16*,
                                                           PF_Pixel16*),
                                                PF_EffectWorld*);
extern template PF_Err IterateWorld<PF_PixelFloat>(PF_EffectWorld*, const PF_LRect*, void*,
                                                   PF_Err (*)(void*, A_long, A_long, PF_PixelFloat*,
                                                              PF_PixelFloat*),
                                                   PF_EffectWorld*);

}  // namespace mf::host
