// Compositing a rectangle of one world onto another with a transfer mode.
#pragma once

#include "AE_WorldSuites.h"

namespace mf::host {

// Composites src_rec of src (null: the whole world) onto dst with the rectangle's top-left at
// (dest_x, dest_y), by comp_mode's transfer mode and opacity (opacity 0–255 on 8-bit worlds,
// opacitySu 0–32768 on 16-bit and float worlds), per TransferModes.h. The source rectangle is
// clipped to src and the placed rectangle to dst; placement is whole pixels, so quality and field
// do not change the result. m_flags says how the worlds hold colour: PF_MF_Alpha_STRAIGHT, or
// premultiplied (colour is unpremultiplied, blended, and premultiplied again). A mask, when given,
// multiplies the source alpha by its alpha at the destination position less mask->offset
// (outside the mask: 0). 8- and 16-bit results round to nearest and clamp; float is stored as it
// comes. Worlds of different formats, a bad world, a null mode or an unserved transfer mode give
// PF_Err_BAD_CALLBACK_PARAM and write nothing.
PF_Err TransferRect(PF_ModeFlags m_flags, const PF_LRect* src_rec, const PF_EffectWorld* src,
                    const PF_CompositeMode* comp_mode, const PF_MaskWorld* mask, A_long dest_x,
                    A_long dest_y, PF_EffectWorld* dst);

}  // namespace mf::host
