// The image-service suites and in_data->utils callbacks: thin C entry points, entered through
// Guarded under the fault points named in the tables, that hand over to the world, fill, copy,
// transfer and iterate routines.
//
// An injected failure makes the call do nothing and return PF_Err_OUT_OF_MEMORY where the call
// makes something (a world, a memory block) and PF_Err_INTERNAL_STRUCT_DAMAGED otherwise. A world
// whose creation failed is zeroed.
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "AE_EffectCB.h"
#include "AE_GeneralPlug.h"
#include "AE_WorldSuites.h"
#include "Guarded.h"
#include "HostServices.h"
#include "ImageServices.h"
#include "Iterate.h"
#include "MemorySuite.h"
#include "TransferRect.h"
#include "WorldCopy.h"
#include "WorldFill.h"
#include "Worlds.h"

namespace mf::host {
namespace {

// "PF World Suite" 2

PF_Err NewWorld(PF_ProgPtr, A_long width, A_long height, PF_Boolean clear, PF_PixelFormat format,
                PF_EffectWorld* world) {
  return MakeWorld(width, height, format, clear != 0, world);
}

PF_Err DisposeWorld(PF_ProgPtr, PF_EffectWorld* world) {
  return FreeWorld(world);
}

PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
  if (!format) return PF_Err_BAD_CALLBACK_PARAM;
  *format = PF_PixelFormat_INVALID;
  if (!world) return PF_Err_BAD_CALLBACK_PARAM;
  auto known = FormatOf(*world);
  if (!known) return PF_Err_BAD_CALLBACK_PARAM;
  *format = *known;
  return PF_Err_NONE;
}

const PF_WorldSuite2 kWorldSuite = {Guarded<NewWorld, "pf.PF_NewWorld", kMakesWorld>,
                                    Guarded<DisposeWorld, "pf.PF_DisposeWorld", kDamaged>,
                                    Guarded<GetPixelFormat, "pf.PF_GetPixelFormat", kDamaged>};

// "PF Fill Matte Suite" 2

PF_Err Fill8(PF_ProgPtr, const PF_Pixel* color, const PF_LRect* rect, PF_EffectWorld* world) {
  return FillWorld(world, color, rect);
}
PF_Err Fill16(PF_ProgPtr, const PF_Pixel16* color, const PF_LRect* rect, PF_EffectWorld* world) {
  return FillWorld(world, color, rect);
}
PF_Err FillFloat(PF_ProgPtr, const PF_PixelFloat* color, const PF_LRect* rect,
                 PF_EffectWorld* world) {
  return FillWorld(world, color, rect);
}

// Premultiplication is not served: the effect keeps straight alpha throughout.
PF_Err Premultiply(PF_ProgPtr, A_long, PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err PremultiplyColor(PF_ProgPtr, PF_EffectWorld*, const PF_Pixel*, A_long, PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err PremultiplyColor16(PF_ProgPtr, PF_EffectWorld*, const PF_Pixel16*, A_long, PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err PremultiplyColorFloat(PF_ProgPtr, PF_EffectWorld*, const PF_PixelFloat*, A_long,
                             PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}

const PF_FillMatteSuite2 kFillMatteSuite = {Guarded<Fill8, "pf.fill", kDamaged>,
                                            Guarded<Fill16, "pf.fill16", kDamaged>,
                                            Guarded<FillFloat, "pf.fill_float", kDamaged>,
                                            Guarded<Premultiply>,
                                            Guarded<PremultiplyColor>,
                                            Guarded<PremultiplyColor16>,
                                            Guarded<PremultiplyColorFloat>};

// "PF World Transform Suite" 1

// Not served (the effect does not call them).
PF_Err CompositeRect(PF_ProgPtr, PF_Rect*, A_long, PF_EffectWorld*, A_long, A_long, PF_Field,
                     PF_XferMode, PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err BlendWorlds(PF_ProgPtr, const PF_EffectWorld*, const PF_EffectWorld*, PF_Fixed,
                   PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err Convolve(PF_ProgPtr, PF_EffectWorld*, const PF_Rect*, PF_KernelFlags, A_long, void*, void*,
                void*, void*, PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err TransformWorld(PF_ProgPtr, PF_Quality, PF_ModeFlags, PF_Field, const PF_EffectWorld*,
                      const PF_CompositeMode*, const PF_MaskWorld*, const PF_FloatMatrix*, A_long,
                      PF_Boolean, const PF_Rect*, PF_EffectWorld*) {
  return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err Copy(PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r) {
  return CopyNearest(src, dst, src_r, dst_r);
}

PF_Err CopyHq(PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
              PF_Rect* dst_r) {
  return CopyFiltered(src, dst, src_r, dst_r);
}

PF_Err Transfer(PF_ProgPtr, PF_Quality, PF_ModeFlags m_flags, PF_Field, const PF_Rect* src_rec,
                const PF_EffectWorld* src_world, const PF_CompositeMode* comp_mode,
                const PF_MaskWorld* mask_world0, A_long dest_x, A_long dest_y,
                PF_EffectWorld* dst_world) {
  return TransferRect(m_flags, src_rec, src_world, comp_mode, mask_world0, dest_x, dest_y,
                      dst_world);
}

const PF_WorldTransformSuite1 kWorldTransformSuite = {
    Guarded<CompositeRect>,
    Guarded<BlendWorlds>,
    Guarded<Convolve>,
    Guarded<Copy, "pf.copy", kDamaged>,
    Guarded<CopyHq, "pf.copy_hq", kDamaged>,
    Guarded<Transfer, "pf.transfer_rect", kDamaged>,
    Guarded<TransformWorld>};

// The three iterate suites; progress is not reported.

PF_Err Iterate8(PF_InData*, A_long, A_long, PF_EffectWorld* src, const PF_Rect* area, void* refcon,
                PF_IteratePixel8Func fn, PF_EffectWorld* dst) {
  return IterateWorld<PF_Pixel8>(src, area, refcon, fn, dst);
}
PF_Err Iterate16(PF_InData*, A_long, A_long, PF_EffectWorld* src, const PF_Rect* area, void* refcon,
                 PF_IteratePixel16Func fn, PF_EffectWorld* dst) {
  return IterateWorld<PF_Pixel16>(src, area, refcon, fn, dst);
}
PF_Err IterateFloat(PF_InData*, A_long, A_long, PF_EffectWorld* src, const PF_Rect* area,
                    void* refcon, PF_IteratePixelFloatFunc fn, PF_EffectWorld* dst) {
  return IterateWorld<PF_PixelFloat>(src, area, refcon, fn, dst);
}

// Only the plain iterate of each suite is served; the rest of each table stays empty.
template <class Suite, class Fn>
Suite IterateOnly(Fn fn) {
  Suite s{};
  s.iterate = fn;
  return s;
}
const auto kIterate8Suite =
    IterateOnly<PF_Iterate8Suite1>(Guarded<Iterate8, "pf.iterate", kDamaged>);
const auto kIterate16Suite =
    IterateOnly<PF_iterate16Suite1>(Guarded<Iterate16, "pf.iterate", kDamaged>);
const auto kIterateFloatSuite =
    IterateOnly<PF_iterateFloatSuite1>(Guarded<IterateFloat, "pf.iterate", kDamaged>);

// in_data->utils

PF_Err UtilsCopy(PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                 PF_Rect* dst_r) {
  return CopyNearest(src, dst, src_r, dst_r);
}

// The colour is 8-bit, converted to the world's depth (the output world may be of any depth).
PF_Err UtilsFill(PF_ProgPtr, const PF_Pixel* color, const PF_Rect* rect, PF_EffectWorld* world) {
  return FillWorld(world, color, rect);
}

PF_Err UtilsFill16(PF_ProgPtr, const PF_Pixel16* color, const PF_Rect* rect,
                   PF_EffectWorld* world) {
  return FillWorld(world, color, rect);
}

PF_Err UtilsIterate(PF_InData*, A_long, A_long, PF_EffectWorld* src, const PF_Rect* area,
                    void* refcon, PF_Err (*fn)(void*, A_long, A_long, PF_Pixel*, PF_Pixel*),
                    PF_EffectWorld* dst) {
  return IterateWorld<PF_Pixel8>(src, area, refcon, fn, dst);
}

PF_Err UtilsNewWorld(PF_ProgPtr, A_long width, A_long height, PF_WorldFlags flags,
                     PF_EffectWorld* world) {
  const PF_PixelFormat format =
      (flags & PF_NewWorldFlag_DEEP_PIXELS) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
  return MakeWorld(width, height, format, (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0, world);
}

PF_Err UtilsDisposeWorld(PF_ProgPtr, PF_EffectWorld* world) {
  return FreeWorld(world);
}

}  // namespace

void InstallImageServices(Faults& faults, SuiteRegistry& suites, PF_UtilCallbacks& utils) {
  CallbackFaults() = &faults;
  suites.add(kPFWorldSuite, kPFWorldSuiteVersion2, &kWorldSuite);
  suites.add(kPFFillMatteSuite, kPFFillMatteSuiteVersion2, &kFillMatteSuite);
  suites.add(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, &kWorldTransformSuite);
  suites.add(kPFIterate8Suite, kPFIterate8SuiteVersion1, &kIterate8Suite);
  suites.add(kPFIterate16Suite, kPFIterate16SuiteVersion1, &kIterate16Suite);
  suites.add(kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1, &kIterateFloatSuite);
  suites.add(kAEGPMemorySuite, kAEGPMemorySuiteVersion1, MemorySuiteTable());

  utils.copy = Guarded<UtilsCopy, "utils.copy", kDamaged>;
  utils.fill = Guarded<UtilsFill, "utils.fill", kDamaged>;
  utils.fill16 = Guarded<UtilsFill16, "utils.fill16", kDamaged>;
  utils.iterate = Guarded<UtilsIterate, "utils.iterate", kDamaged>;
  utils.new_world = Guarded<UtilsNewWorld, "utils.new_world", kMakesWorld>;
  utils.dispose_world = Guarded<UtilsDisposeWorld, "utils.dispose_world", kDamaged>;
}

void DetachImageServices() {
  ReleaseSpareWorlds();
  ReleaseSpareMemory();
#if defined(__GLIBC__)
  // A render's work space below the C library's mapping threshold (a frame's sort keys, once an
  // earlier large block raised it) stays in its heap after it is freed; hand it back too.
  malloc_trim(0);
#endif
  CallbackFaults() = nullptr;
}

}  // namespace mf::host
