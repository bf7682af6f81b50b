// The stand-in compositing host. It loads the plug-in, drives it only through EntryPointFunc, and
// serves the basic suite, every suite and callback the effect uses, the preference store and the
// person's message boxes. One Host lives at a time in a process: the C callbacks it hands out
// find it through Host::current().
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AE_EffectCB.h"
#include "host/Composition.h"
#include "host/Faults.h"
#include "host/Frame.h"
#include "host/HandleStore.h"
#include "host/PluginLibrary.h"
#include "host/Preferences.h"
#include "host/SuiteRegistry.h"
#include "host/Violations.h"

namespace mf::host {

// A message box the plug-in showed, converted to UTF-8.
struct MessageRecord {
  bool owned;  // it had an owner window (errors in the user's input)
  std::string text;
  std::string caption;
  unsigned style;
};

struct HostOptions {
  std::string plugin_path = MOTEFIELD_PLUGIN_PATH;
  std::string preferences_path;  // empty: PreferenceStore::DefaultPath()
  PF_SpecVersion api_version{13, 28};
  bool interactive = false;  // a person is watching: the Info panel is shown
  // Keep rendered frames and hand a copy back when the same frame is asked again with nothing
  // the host can see changed (see Host::renderFrame). Off by default: tests edit the composition
  // in place between renders, which a cache keyed as the real host's cannot see.
  bool cache_frames = false;
};

class Host;
class FrameServices;

// One applied instance of the effect: its parameters and its sequence-data handle.
class EffectInstance {
 public:
  explicit EffectInstance(Host& host) : host_(host) {}

  // Current values, index 0 being the input layer. Commands receive pointers to these.
  std::vector<PF_ParamDef> params;
  PF_Handle sequence_data = nullptr;
  // The render's own copy of the record, made from the one above by flatten and resetup, and
  // whether a command asked for it to be made again (PF_OutFlag_FORCE_RERENDER).
  PF_Handle render_sequence_data = nullptr;
  bool render_copy_stale = true;
  // Panel state as last sent by PF_UpdateParamUI, per index, and the order of the calls.
  std::vector<PF_ParamDef> panel;
  std::vector<PF_ParamIndex> panel_updates;
  // Keyframed controls: (seconds, value) pairs in time order, linear between keys and constant
  // outside. Values are in the units a scene uses (degrees for angles).
  std::map<PF_ParamIndex, std::vector<std::pair<double, double>>> keyframes;
  // Layer controls name a layer of the composition by its index; params[] holds index + 1 in
  // u.ld.reserved0 (zero: no layer).
  // Expressions the plug-in put on its controls' streams, by params[] index (8-bit text).
  std::map<PF_ParamIndex, Expression> expressions;

  PF_Err send(PF_Cmd cmd, void* extra = nullptr, PF_LayerDef* output = nullptr);
  // Flattens for saving and restores the live record straight after; the stored bytes are
  // returned in flat.
  PF_Err flatten(std::vector<uint8_t>* flat);

 private:
  Host& host_;
};

class Host {
 public:
  explicit Host(HostOptions options = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static Host* current();

  Faults& faults() { return faults_; }
  // What the effect did that the real host would not allow (see host/Violations.h).
  Violations& violations() { return violations_; }
  SuiteRegistry& suites() { return suites_; }
  HandleStore& handles() { return handles_; }
  PreferenceStore& preferences() { return preferences_; }
  PF_UtilCallbacks& utils() { return utils_; }
  const HostOptions& options() const { return options_; }
  SPBasicSuite* basicSuite() { return &basic_; }

  // Message boxes the plug-in showed, oldest first.
  const std::vector<MessageRecord>& messages() const { return messages_; }
  void clearMessages() { messages_.clear(); }
  // Called for each message box as it is shown (the command line prints it).
  void setMessageSink(std::function<void(const MessageRecord&)> sink) { sink_ = std::move(sink); }
  // Buttons the person presses in the next message boxes; IDOK once they run out.
  void queueMessageAnswers(std::vector<int> buttons);

  // Global commands. globalSetup keeps the handle the plug-in returns.
  PF_Err globalSetup();
  PF_Err globalSetdown();
  PF_Err about(std::string* text_utf8);
  bool globallySetUp() const { return global_setup_done_; }
  PF_Handle globalData() const { return global_data_; }

  // Parameter registration (once per host) and its result.
  PF_Err registerEffect();
  const std::vector<PF_ParamDef>& registeredParams() const { return registered_; }
  const std::string& optionsButtonName() const { return options_button_name_; }
  const PF_CustomUIInfo& customUi() const { return custom_ui_; }

  // Instances. newInstance registers the effect first when needed, then sends sequence setup;
  // restoreInstance sends resetup with a stored flat record; duplicateInstance flattens the
  // original and resets up both it and a copy of its flat record. Null with *err set when the
  // command failed.
  EffectInstance* newInstance(PF_Err* err = nullptr);
  EffectInstance* restoreInstance(const std::vector<uint8_t>& flat, PF_Err* err = nullptr);
  EffectInstance* duplicateInstance(EffectInstance& source, PF_Err* err = nullptr);
  PF_Err removeInstance(EffectInstance* instance);

  // Sends a command. Every command gets fresh in/out blocks; the out block is kept.
  PF_Err send(PF_Cmd cmd, EffectInstance* instance, void* extra = nullptr,
              PF_LayerDef* output = nullptr);
  const PF_OutData& lastOut() const { return out_; }
  // The last return message, converted to UTF-8.
  std::string lastReturnMessage() const;

  // Called by the platform layer's user for each message box.
  int showMessage(const MessageRecord& record);

  // The composition the effect instances sit in; null until one is set. Replacing it leaves the
  // effect instances alone and invalidates every layer and stream handle of the old one.
  Composition* composition() { return composition_.get(); }
  void setComposition(std::unique_ptr<Composition> composition) {
    composition_ = std::move(composition);
    frame_cache_.clear();
  }
  // The Info panel's two lines as the plug-in last drew them, in UTF-8.
  const std::vector<std::string>& infoLines() const { return info_lines_; }
  void setInfoLines(std::vector<std::string> lines) { info_lines_ = std::move(lines); }

  // ---- Frames (host/FrameRender.cpp) ----
  // Where the composition's layers get their pixels (not owned; null: no layer has pixels).
  void setLayerSource(LayerSource* source);
  // Sends smart pre-render, then smart render, for one frame of the instance and hands over the
  // output in *frame; returns the effect's error. Throws LayerError when a layer's pixels cannot
  // be had, naming the file or layer.
  PF_Err renderFrame(EffectInstance& instance, const FrameRequest& request, Frame* frame);
  FrameServices& frames();
  // Sends a render command (pre-render, render) with the render's copy of the sequence data.
  PF_Err sendToRender(PF_Cmd cmd, EffectInstance& instance, void* extra) {
    return sendWithRecord(cmd, instance, &instance.render_sequence_data, extra);
  }
  // Pre-render records handed to the host and released by it, for tests.
  int preRenderRecordsHandedOver() const { return pre_render_records_[0]; }
  int preRenderRecordsReleased() const { return pre_render_records_[1]; }
  void countPreRenderRecord(bool handed_over) { ++pre_render_records_[handed_over ? 0 : 1]; }

  // Internal: what the callbacks reach.
  void setOptionsButtonName(std::string name) { options_button_name_ = std::move(name); }
  std::vector<PF_ParamDef>* registration() { return registering_ ? &registered_ : nullptr; }
  void setCustomUi(const PF_CustomUIInfo& info) { custom_ui_ = info; }
  PF_InData& inData() { return in_; }

  // Every command goes through the shim instead when one is set; it reaches the plug-in through
  // pluginEntry(). Tests use it to hand the plug-in blocks laid out independently of hostapi/.
  void setEntryShim(PF_EntryPointFunc shim) { shim_ = shim; }
  PF_EntryPointFunc pluginEntry() const { return plugin_->entry(); }

 private:
  PF_Err sendRaw(PF_Cmd cmd, EffectInstance* instance, PF_ParamDef** params, void* extra,
                 PF_LayerDef* output);
  PF_Err sendParams(PF_Cmd cmd, EffectInstance* instance, void* extra, PF_LayerDef* output);
  // Sends a command with *record standing in for the instance's sequence data; the record the
  // effect hands back replaces *record.
  PF_Err sendWithRecord(PF_Cmd cmd, EffectInstance& instance, PF_Handle* record, void* extra);
  PF_Err refreshRenderCopy(EffectInstance& instance);
  void dropRenderCopy(EffectInstance& instance);
  void dropCachedFrames(const EffectInstance* instance);
  std::string cacheKey(const EffectInstance& instance, const FrameRequest& request) const;
  EffectInstance* adopt(std::unique_ptr<EffectInstance> instance, PF_Err err, PF_Err* out_err);

  HostOptions options_;
  Faults faults_;
  Violations violations_;
  SuiteRegistry suites_;
  HandleStore handles_;
  PreferenceStore preferences_;
  SPBasicSuite basic_{};
  PF_UtilCallbacks utils_{};
  std::unique_ptr<PluginLibrary> plugin_;
  class User;
  std::unique_ptr<User> user_;

  PF_InData in_{};
  PF_OutData out_{};
  PF_EntryPointFunc shim_ = nullptr;
  bool global_setup_done_ = false;
  PF_Handle global_data_ = nullptr;
  bool registering_ = false;
  bool registered_done_ = false;
  std::vector<PF_ParamDef> registered_;
  std::string options_button_name_;
  PF_CustomUIInfo custom_ui_{};
  std::vector<std::unique_ptr<EffectInstance>> instances_;

  std::shared_ptr<FrameServices> frames_;  // made on first use
  PF_Quality quality_ = PF_Quality_HI;
  int pre_render_records_[2] = {0, 0};
  // Rendered frames by cacheKey(); the instance is the key's first bytes.
  std::map<std::string, Frame> frame_cache_;

  std::vector<MessageRecord> messages_;
  std::unique_ptr<Composition> composition_;
  std::vector<std::string> info_lines_;
  std::deque<int> answers_;
  std::function<void(const MessageRecord&)> sink_;
};

}  // namespace mf::host
