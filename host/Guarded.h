// The one door through which every C callback of the host is entered from the plug-in.
//
// Guarded<Fn, "point"> is a function with Fn's own C signature that
// - counts the call at the fault point (none when the point is left out) and, when a test armed
//   it, fails it without running Fn;
// - lets no C++ exception cross back into the plug-in, which is C to us and cannot unwind host
//   frames: std::bad_alloc becomes the out-of-memory code, anything else the damaged-structure
//   code;
// - on any failure, leaves the handles it hands back null, so a caller that ignores the error
//   code follows nothing.
// Fn itself only validates and does the work.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "AE_CompSuites.h"
#include "SPBasic.h"
#include "host/Faults.h"

namespace mf::host {

// The Faults the callbacks consult: the live host's, or those a test installed the image services
// with; null when there is none and nothing can fail by injection.
inline Faults*& CallbackFaults() {
  static Faults* faults = nullptr;
  return faults;
}

// A fault point's name given as a template argument. It is one object per name, so Faults finds
// it by its address as it finds a literal.
template <size_t N>
struct FaultPoint {
  constexpr FaultPoint(const char (&text)[N]) { std::copy_n(text, N, name); }
  constexpr bool named() const { return N > 1; }
  char name[N];
};

// What a failed call returns. The host's own refusals are Fn's to return; these are the codes
// for the failures the wrapper makes.
struct Refusal {
  int32_t injected = PF_Err_BAD_CALLBACK_PARAM;
  int32_t out_of_memory = PF_Err_OUT_OF_MEMORY;
  int32_t failed = PF_Err_INTERNAL_STRUCT_DAMAGED;
  bool fills_record = false;  // a world or stream value passed by address is made by the call
};
constexpr Refusal kRefused{};
constexpr Refusal kOutOfMemory{.injected = PF_Err_OUT_OF_MEMORY};
constexpr Refusal kDamaged{.injected = PF_Err_INTERNAL_STRUCT_DAMAGED};
constexpr Refusal kFillsRecord{.fills_record = true};
constexpr Refusal kMakesWorld{.injected = PF_Err_OUT_OF_MEMORY, .fills_record = true};
constexpr Refusal kCancelled{.injected = PF_Interrupt_CANCEL};
// The basic suite's codes: its callers know no others.
constexpr Refusal kSuiteRefused{.injected = kSPSuiteNotFoundError,
                                .out_of_memory = kSPOutOfMemoryError,
                                .failed = kSPSuiteNotFoundError};

// Arguments through which a callback hands something back: every pointer to a handle or other
// pointer, and the world or stream value a call makes (the same records are inputs elsewhere, so
// the Refusal says). A PF_Handle passed by address is the caller's own handle being resized.
template <class T>
void ClearOutput(T arg, bool fills_record) {
  if constexpr (std::is_pointer_v<T>) {
    using Pointee = std::remove_pointer_t<T>;
    if (!arg) return;
    if constexpr (std::is_same_v<Pointee, PF_EffectWorld> ||
                  std::is_same_v<Pointee, AEGP_StreamValue>) {
      if (fills_record) std::memset(arg, 0, sizeof(*arg));
    } else if constexpr (std::is_pointer_v<Pointee> && !std::is_const_v<Pointee> &&
                         !std::is_same_v<Pointee, PF_Handle>) {
      *arg = nullptr;
    }
  }
}

template <auto Fn, FaultPoint Point, Refusal Codes>
struct Guard;

// Callbacks that answer with an error code fail as described above; the plain handle callbacks,
// which answer with the handle, pointer or size itself, answer null on an exception.
template <class R, class... Args, R (*Fn)(Args...), FaultPoint Point, Refusal Codes>
struct Guard<Fn, Point, Codes> {
  static constexpr bool kReturnsError = std::is_same_v<R, int32_t>;
  static_assert(kReturnsError || !Point.named(), "a fault point needs an error code to return");

  static R Call(Args... args) noexcept {
    if constexpr (Point.named()) {
      Faults* faults = CallbackFaults();
      if (faults && faults->tripAt(PointId(*faults))) return Fail(Codes.injected, args...);
    }
    if constexpr (kReturnsError) {
      try {
        const R err = Fn(args...);
        return err ? Fail(err, args...) : err;
      } catch (const std::bad_alloc&) {
        return Fail(Codes.out_of_memory, args...);
      } catch (...) {
        return Fail(Codes.failed, args...);
      }
    } else {
      try {
        return Fn(args...);
      } catch (...) {
        return R();
      }
    }
  }

 private:
  // The point's number in these Faults, remembered with their serial for the calls that follow.
  static int PointId(Faults& faults) {
    static std::atomic<uint64_t> known{0};
    const uint64_t serial = faults.serial();
    const uint64_t k = known.load(std::memory_order_relaxed);
    if (k >> 32 == serial) return (int)(uint32_t)k;
    const int id = faults.pointId(Point.name);
    known.store(serial << 32 | (uint32_t)id, std::memory_order_relaxed);
    return id;
  }

  static int32_t Fail(int32_t err, Args... args) {
    (ClearOutput(args, Codes.fills_record), ...);
    return err;
  }
};

template <auto Fn, FaultPoint Point = "", Refusal Codes = kRefused>
constexpr auto Guarded = &Guard<Fn, Point, Codes>::Call;

}  // namespace mf::host
