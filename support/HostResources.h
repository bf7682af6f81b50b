// One owner per kind of host resource the effect makes, checks out or locks. Each gives its
// resource back in its destructor, so a path that returns early or throws leaves nothing with
// the host. Where the host's answer to the release must be reported, release() gives it back
// now and returns that answer, for the caller to keep under the first-error-wins rule; the
// destructor then has nothing left to do.
#pragma once

#include <utility>

#include "AE_CompSuites.h"
#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "AE_EffectSuites.h"
#include "AE_GeneralPlug.h"
#include "AE_WorldSuites.h"
#include "DrawbotSuites.h"
#include "support/ZeroRecord.h"

namespace mf {

// A reference to a host object that one call of a suite disposes of. The reference is held
// while it is not null; out() lets the suite call that makes it write it in place.
template <typename Suite, typename Handle, auto Dispose>
class SuiteObject {
 public:
  explicit SuiteObject(const Suite* suite) : suite_(suite) {}
  ~SuiteObject() { release(); }
  SuiteObject(const SuiteObject&) = delete;
  SuiteObject& operator=(const SuiteObject&) = delete;

  Handle* out() { return &handle_; }
  Handle get() const { return handle_; }
  PF_Err release() {
    if (!handle_) return PF_Err_NONE;
    return static_cast<PF_Err>((suite_->*Dispose)(std::exchange(handle_, nullptr)));
  }

 private:
  const Suite* suite_;
  Handle handle_ = nullptr;
};

using StreamRef =
    SuiteObject<AEGP_StreamSuite2, AEGP_StreamRefH, &AEGP_StreamSuite2::AEGP_DisposeStream>;
using EffectRef =
    SuiteObject<AEGP_EffectSuite2, AEGP_EffectRefH, &AEGP_EffectSuite2::AEGP_DisposeEffect>;
using DrawingImage =
    SuiteObject<DRAWBOT_SupplierSuite1, DRAWBOT_ImageRef, &DRAWBOT_SupplierSuite1::ReleaseObject>;
using MemoryBlock =
    SuiteObject<AEGP_MemorySuite1, AEGP_MemHandle, &AEGP_MemorySuite1::AEGP_FreeMemHandle>;

// A stream's value at the layer's own time, before expressions, as the stream suite hands it out.
class StreamValue {
 public:
  explicit StreamValue(const AEGP_StreamSuite2* suite) : suite_(suite) {}
  ~StreamValue() { release(); }
  StreamValue(const StreamValue&) = delete;
  StreamValue& operator=(const StreamValue&) = delete;

  PF_Err fetch(AEGP_PluginID plugin_id, AEGP_StreamRefH stream, const A_Time* time) {
    const PF_Err err = suite_->AEGP_GetNewStreamValue(plugin_id, stream, AEGP_LTimeMode_LayerTime,
                                                      time, true, &value_);
    held_ = !err;
    return err;
  }
  const AEGP_StreamValue& get() const { return value_; }
  PF_Err release() {
    if (!held_) return PF_Err_NONE;
    held_ = false;
    return suite_->AEGP_DisposeStreamValue(&value_);
  }

 private:
  const AEGP_StreamSuite2* suite_;
  AEGP_StreamValue value_{};
  bool held_ = false;
};

// A memory block locked for as long as this lives.
class MemoryLock {
 public:
  MemoryLock(const AEGP_MemorySuite1* suite, AEGP_MemHandle block) : suite_(suite), block_(block) {
    if (suite_->AEGP_LockMemHandle(block_, &data_) != PF_Err_NONE || !data_) data_ = nullptr;
  }
  ~MemoryLock() { release(); }
  MemoryLock(const MemoryLock&) = delete;
  MemoryLock& operator=(const MemoryLock&) = delete;

  void* data() const { return data_; }
  PF_Err release() {
    if (!data_) return PF_Err_NONE;
    data_ = nullptr;
    return suite_->AEGP_UnlockMemHandle(block_);
  }

 private:
  const AEGP_MemorySuite1* suite_;
  AEGP_MemHandle block_;
  void* data_ = nullptr;
};

// A world made through the world suite, kept in `into` when the caller's record holds it.
class OwnedWorld {
 public:
  OwnedWorld(const PF_WorldSuite2* suite, PF_ProgPtr effect_ref, PF_EffectWorld* into = nullptr)
      : suite_(suite), effect_ref_(effect_ref), world_(into ? into : &own_) {
    ZeroRecord(&own_);
  }
  ~OwnedWorld() { release(); }
  OwnedWorld(const OwnedWorld&) = delete;
  OwnedWorld& operator=(const OwnedWorld&) = delete;

  // Nothing is held after a refusal, unless the host left pixels behind with it.
  PF_Err make(A_long width, A_long height, PF_PixelFormat format) {
    const PF_Err err = suite_->PF_NewWorld(effect_ref_, width, height, true, format, world_);
    made_ = !err || world_->data;
    return err;
  }
  PF_EffectWorld* get() { return world_; }
  PF_Err release() {
    if (!made_) return PF_Err_NONE;
    made_ = false;
    return suite_->PF_DisposeWorld(effect_ref_, world_);
  }

 private:
  const PF_WorldSuite2* suite_;
  PF_ProgPtr effect_ref_;
  PF_EffectWorld own_;  // zeroed when made
  PF_EffectWorld* world_;
  bool made_ = false;
};

// A control's value checked out of the host at one time, kept in `into` when the caller's record
// holds it.
class ParamCheckout {
 public:
  explicit ParamCheckout(PF_InData* in_data, PF_ParamDef* into = nullptr)
      : in_data_(in_data), def_(into ? into : &own_) {}
  ~ParamCheckout() { release(); }
  ParamCheckout(const ParamCheckout&) = delete;
  ParamCheckout& operator=(const ParamCheckout&) = delete;

  PF_Err checkout(PF_ParamIndex index, A_long time, A_long time_step, A_u_long time_scale) {
    const PF_Err err = in_data_->inter.checkout_param(in_data_->effect_ref, index, time, time_step,
                                                      time_scale, def_);
    held_ = !err;
    return err;
  }
  bool held() const { return held_; }
  const PF_ParamDef& def() const { return *def_; }
  PF_ParamDef& def() { return *def_; }
  PF_Err release() {
    if (!held_) return PF_Err_NONE;
    held_ = false;
    return in_data_->inter.checkin_param(in_data_->effect_ref, def_);
  }

 private:
  PF_InData* in_data_;
  PF_ParamDef own_{};
  PF_ParamDef* def_;
  bool held_ = false;
};

// The smart-render pixels of one checked-out layer.
class LayerPixelsCheckout {
 public:
  LayerPixelsCheckout(PF_ProgPtr effect_ref, const PF_SmartRenderCallbacks* cb, A_long id)
      : effect_ref_(effect_ref), cb_(cb), id_(id) {}
  ~LayerPixelsCheckout() { release(); }
  LayerPixelsCheckout(const LayerPixelsCheckout&) = delete;
  LayerPixelsCheckout& operator=(const LayerPixelsCheckout&) = delete;

  PF_Err checkout(PF_EffectWorld** pixels) {
    const PF_Err err = cb_->checkout_layer_pixels(effect_ref_, id_, pixels);
    held_ = !err;
    return err;
  }
  PF_Err release() {
    if (!held_) return PF_Err_NONE;
    held_ = false;
    return cb_->checkin_layer_pixels(effect_ref_, id_);
  }

 private:
  PF_ProgPtr effect_ref_;
  const PF_SmartRenderCallbacks* cb_;
  A_long id_;
  bool held_ = false;
};

// A handle made for the effect, disposed of unless it was handed to the host.
class OwnedHandle {
 public:
  OwnedHandle(const PF_HandleSuite1* suite, A_HandleSize size)
      : suite_(suite), handle_(suite->host_new_handle(size)) {}
  ~OwnedHandle() {
    if (handle_) suite_->host_dispose_handle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  PF_Handle get() const { return handle_; }
  // The host keeps the handle from now on (in out_data).
  PF_Handle handOver() { return std::exchange(handle_, nullptr); }

 private:
  const PF_HandleSuite1* suite_;
  PF_Handle handle_;
};

// A handle locked for as long as this lives.
class HandleLock {
 public:
  HandleLock(const PF_HandleSuite1* suite, PF_Handle handle)
      : suite_(suite), handle_(handle), data_(handle ? suite->host_lock_handle(handle) : nullptr) {}
  ~HandleLock() {
    if (data_) suite_->host_unlock_handle(handle_);
  }
  HandleLock(const HandleLock&) = delete;
  HandleLock& operator=(const HandleLock&) = delete;

  void* data() const { return data_; }

 private:
  const PF_HandleSuite1* suite_;
  PF_Handle handle_;
  void* data_;
};

}  // namespace mf
