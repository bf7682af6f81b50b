#include "Iterate.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>

#include "PixelTraits.h"
#include "Rects.h"
#include "Worlds.h"

namespace mf::host {
namespace {

// A probe that is a plain function is called without the lock: a render asks before every row of
// every point's stamp, millions of times a frame, and a function stays valid once replaced.
// Closures (tests) are called under the lock, so one being replaced is never running.
std::mutex g_probe_mutex;
std::function<bool()> g_abort_probe;
std::atomic<bool> g_closure_set{false};
std::atomic<bool (*)()> g_plain_probe{nullptr};

bool Aborted() {
  if (bool (*plain)() = g_plain_probe.load(std::memory_order_acquire)) return plain();
  if (!g_closure_set.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> lock(g_probe_mutex);
  return g_abort_probe && g_abort_probe();
}

}  // namespace

void SetIterateAbortProbe(std::function<bool()> probe) {
  std::lock_guard<std::mutex> lock(g_probe_mutex);
  bool (**plain)() = probe.target<bool (*)()>();
  g_plain_probe.store(plain ? *plain : nullptr, std::memory_order_release);
  g_abort_probe = plain ? nullptr : std::move(probe);
  g_closure_set.store(static_cast<bool>(g_abort_probe), std::memory_order_release);
}

// Rows are visited as k * stride mod n, a stride coprime with n, so every row comes once and
// neighbours are far apart: an effect that counts on rows arriving in order shows it.
A_long RowStride(A_long n) {
  if (n < 3) return 1;
  for (A_long stride = n / 2 + 1; stride < n; ++stride) {
    A_long a = n, b = stride;
    while (b) a = std::exchange(b, a % b);
    if (a == 1) return stride;
  }
  return 1;
}

// Areas this large are split between two threads; smaller ones run on the caller's thread, in
// the same scattered order, where a second thread would cost more than their pixels.
constexpr int64_t kParallelPixels = 1024;

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
  const A_long rows = r.bottom - r.top;
  const A_long stride = RowStride(rows);
  std::atomic<PF_Err> first{PF_Err_NONE};
  // Thread t takes the t-th, (t + threads)-th, ... rows of the scattered order.
  auto walk = [&](A_long t, A_long threads) {
    for (A_long k = t; k < rows && first.load() == PF_Err_NONE; k += threads) {
      PF_Err err = Aborted() ? PF_Interrupt_CANCEL : PF_Err_NONE;
      const A_long y = r.top + static_cast<A_long>((int64_t)k * stride % rows);
      const Pixel* in_row = PixelAt<Pixel>(*in_world, r.left, y);
      Pixel* out = PixelAt<Pixel>(*out_world, r.left, y);
      for (A_long x = r.left; x < r.right && !err; ++x, ++in_row, ++out) {
        Pixel in = *in_row;
        err = fn(refcon, x, y, &in, out);
      }
      if (err) {
        PF_Err none = PF_Err_NONE;
        first.compare_exchange_strong(none, err);
      }
    }
  };
  if (rows >= 2 && (int64_t)rows * (r.right - r.left) >= kParallelPixels) {
    std::thread helper(walk, 1, 2);
    walk(0, 2);
    helper.join();
  } else {
    walk(0, 1);
  }
  return first.load();
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
