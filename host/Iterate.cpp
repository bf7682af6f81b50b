#include "Iterate.h"

#include <mutex>
#include <utility>

#include "PixelTraits.h"
#include "Rects.h"
#include "Worlds.h"

namespace mf::host {
namespace {

std::mutex g_probe_mutex;
std::function<bool()> g_abort_probe;

bool Aborted() {
  std::lock_guard<std::mutex> lock(g_probe_mutex);
  return g_abort_probe && g_abort_probe();
}

}  // namespace

void SetIterateAbortProbe(std::function<bool()> probe) {
  std::lock_guard<std::mutex> lock(g_probe_mutex);
  g_abort_probe = std::move(probe);
}

template <typename Pixel>
PF_Err IterateWorld(PF_EffectWorld* src, const PF_LRect* area, void* refcon,
                    PF_Err (*fn)(void*, A_long, A_long, Pixel*, Pixel*), PF_EffectWorld* dst) {
  if (!fn || (!src && !dst)) return PF_Err_BAD_CALLBACK_PARAM;
  PF_EffectWorld* in_world = src ? src : dst;
  PF_EffectWorld* out_world = dst ? dst : src;
  const auto in_format = UsableFormat(in_world);
  const auto out_format = UsableFormat(out_world);
  if (!in_format || !out_format || *in_format != PixelTraits<Pixel>::kFormat ||
      *out_format != PixelTraits<Pixel>::kFormat) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PF_LRect r = Intersect(Intersect(RectOrWorld(area, *in_world), WorldRect(*in_world)),
                               WorldRect(*out_world));
  if (IsEmpty(r)) return PF_Err_NONE;
  for (A_long y = r.top; y < r.bottom; ++y) {
    if (Aborted()) return PF_Interrupt_CANCEL;
    const Pixel* in_row = PixelAt<Pixel>(*in_world, r.left, y);
    Pixel* out = PixelAt<Pixel>(*out_world, r.left, y);
    for (A_long x = r.left; x < r.right; ++x, ++in_row, ++out) {
      Pixel in = *in_row;
      if (PF_Err err = fn(refcon, x, y, &in, out)) return err;
    }
  }
  return PF_Err_NONE;
}

template PF_Err IterateWorld<PF_Pixel8>(PF_EffectWorld*, const PF_LRect*, void*,
                                        PF_Err (*)(void*, A_long, A_long, PF_Pixel8*, PF_Pixel8*),
                                        PF_EffectWorld*);
template PF_Err IterateWorld<PF_Pixel16>(PF_EffectWorld*, const PF_LRect*, void*,
                                         PF_Err (*)(void*, A_long, A_long, PF_Pixel16*,
                                                    PF_Pixel16*),
                                         PF_EffectWorld*);
template PF_Err IterateWorld<PF_PixelFloat>(PF_EffectWorld*, const PF_LRect*, void*,
                                            PF_Err (*)(void*, A_long, A_long, PF_PixelFloat*,
                                                       PF_PixelFloat*),
                                            PF_EffectWorld*);

}  // namespace mf::host
