#include "host/Host.h"

#include <cstring>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include "Win32.h"
#else
#include "PlatformUser.h"
#endif
#include "host/CoreServices.h"
#include "host/FrameRender.h"
#include "host/HostServices.h"
#include "host/ImageServices.h"
#include "host/Iterate.h"
#include "host/PanelEvents.h"
#include "host/Text.h"

namespace mf::host {
namespace {

Host* g_current = nullptr;

// The input layer: the host's own params[0], never registered by the effect.
PF_ParamDef InputLayerDef() {
  PF_ParamDef def{};
  def.param_type = PF_Param_LAYER;
  def.u.ld.dephault = PF_LayerDefault_MYSELF;
  return def;
}

}  // namespace

#if defined(_WIN32)
// On Windows the plug-in's message boxes and dialogs are the system's own: there is no stand-in
// person to install.
class Host::User {
 public:
  explicit User(Host&) {}
};
namespace platform {
inline void SetUser(const void*) {}
}  // namespace platform
#else
// The person at the stand-in windowing system, as the host sees them.
class Host::User final : public platform::User {
 public:
  explicit User(Host& host) : host_(host) {}
  int messageBox(HWND owner, const std::string& text, const std::string& caption,
                 unsigned style) override {
    return host_.showMessage(
        MessageRecord{owner != nullptr, GbkToUtf8(text), GbkToUtf8(caption), style});
  }

 private:
  Host& host_;
};
#endif

Host* Host::current() {
  return g_current;
}

Host::Host(HostOptions options)
    : options_(std::move(options)),
      suites_(faults_),
      handles_(faults_, violations_),
      preferences_(options_.preferences_path) {
  if (g_current) throw std::logic_error("only one host may run at a time");
  g_current = this;
  InstallCoreServices(*this, basic_, utils_, in_.inter);
  InstallImageServices(faults_, suites_, utils_);
  // A person's Ctrl-C stops a long iterate as it stops the effect's own polls.
  SetIterateAbortProbe(&AbortRequested);
  InstallCompositionSuites(*this);
  // The effect panel's services: drawing suites, and controls that follow their expressions.
  InstallPanelServices(*this);
  user_ = std::make_unique<User>(*this);
  platform::SetUser(user_.get());
  try {
    plugin_ = std::make_unique<PluginLibrary>(options_.plugin_path);
  } catch (...) {
    SetIterateAbortProbe(nullptr);
    DetachImageServices();
    platform::SetUser(nullptr);
    g_current = nullptr;
    throw;
  }
}

Host::~Host() {
  while (!instances_.empty()) removeInstance(instances_.back().get());
  if (global_setup_done_) globalSetdown();
  plugin_.reset();
  SetIterateAbortProbe(nullptr);
  DetachImageServices();
  platform::SetUser(nullptr);
  g_current = nullptr;
}

void Host::queueMessageAnswers(std::vector<int> buttons) {
  answers_.insert(answers_.end(), buttons.begin(), buttons.end());
}

int Host::showMessage(const MessageRecord& record) {
  messages_.push_back(record);
  if (sink_) sink_(record);
  if (answers_.empty()) return IDOK;
  int button = answers_.front();
  answers_.pop_front();
  return button;
}

std::string Host::lastReturnMessage() const {
  return GbkToUtf8(std::string(out_.return_msg, strnlen(out_.return_msg, sizeof(out_.return_msg))));
}

PF_Err Host::sendRaw(PF_Cmd cmd, EffectInstance* instance, PF_ParamDef** params, void* extra,
                     PF_LayerDef* output) {
  PF_InData& in = in_;
  in.utils = &utils_;
  in.effect_ref = reinterpret_cast<PF_ProgPtr>(instance);
  in.version = options_.api_version;
  in.quality = quality_;
  in.appl_id = 0x46584145;  // "FXAE"
  in.num_params = instance ? static_cast<A_long>(instance->params.size()) : 0;
  in.global_data = global_data_;
  in.sequence_data = instance ? instance->sequence_data : nullptr;
  in.pica_basicP = &basic_;
  if (in.time_scale == 0) in.time_scale = 24;
  if (in.time_step == 0) in.time_step = 1;
  if (in.downsample_x.den == 0) in.downsample_x = in.downsample_y = PF_RationalScale{1, 1};
  if (in.pixel_aspect_ratio.den == 0) in.pixel_aspect_ratio = PF_RationalScale{1, 1};

  out_ = PF_OutData{};
  out_.global_data = global_data_;
  out_.sequence_data = in.sequence_data;

  PF_Err err = (shim_ ? shim_ : plugin_->entry())(cmd, &in, &out_, params, output, extra);
  if (instance) instance->sequence_data = out_.sequence_data;
  return err;
}

namespace {

// The value of PF_ChangeFlag_CHANGED_VALUE: the effect marks a control it changed with it.
constexpr A_long kChangedValue = 1;

// Parameter supervision (the guide's "Parameter supervision" section): a value the effect writes
// into params[] sticks only from PF_Cmd_USER_CHANGED_PARAM, and only where the effect marked the
// control PF_ChangeFlag_CHANGED_VALUE; any other write is undone and reported.
void KeepAllowedWrites(PF_Cmd cmd, const std::vector<PF_ParamDef>& before,
                       std::vector<PF_ParamDef>& params, Violations& violations) {
  for (size_t i = 0; i < before.size() && i < params.size(); ++i) {
    PF_ParamDef& now = params[i];
    const A_long flags = now.uu.change_flags;
    now.uu = before[i].uu;
    if (std::memcmp(&now, &before[i], sizeof now) == 0) continue;
    if (cmd == PF_Cmd_USER_CHANGED_PARAM && (flags & kChangedValue)) continue;
    violations.report("the effect wrote control " + std::to_string(i) + " during command " +
                      std::to_string(cmd) + "; the host ignores it");
    now = before[i];
  }
}

}  // namespace

PF_Err Host::sendParams(PF_Cmd cmd, EffectInstance* instance, void* extra, PF_LayerDef* output) {
  std::vector<PF_ParamDef*> pointers;
  std::vector<PF_ParamDef> before;
  if (instance) {
    before = instance->params;
    for (auto& p : instance->params) pointers.push_back(&p);
  }
  PF_Err err = sendRaw(cmd, instance, pointers.empty() ? nullptr : pointers.data(), extra, output);
  if (instance) KeepAllowedWrites(cmd, before, instance->params, violations_);
  return err;
}

PF_Err Host::send(PF_Cmd cmd, EffectInstance* instance, void* extra, PF_LayerDef* output) {
  PF_Err err = sendParams(cmd, instance, extra, output);
  // The render thread's copy of the sequence data follows the UI's only when the effect asks
  // (the guide's "Render/UI thread split"): a changed record alone reaches no render, and
  // frames already made stay in the cache.
  if (instance && (out_.out_flags & PF_OutFlag_FORCE_RERENDER)) {
    instance->render_copy_stale = true;
    dropCachedFrames(instance);
  }
  return err;
}

PF_Err Host::sendWithRecord(PF_Cmd cmd, EffectInstance& instance, PF_Handle* record, void* extra) {
  PF_Handle ui = instance.sequence_data;
  instance.sequence_data = *record;
  PF_Err err = sendParams(cmd, &instance, extra, nullptr);
  *record = instance.sequence_data;
  instance.sequence_data = ui;
  return err;
}

// The render works on a record of its own, made as the real host makes it: the UI record is
// flattened, its bytes copied, the UI record set up again, and the copy set up on its own.
PF_Err Host::refreshRenderCopy(EffectInstance& instance) {
  if (instance.render_sequence_data && !instance.render_copy_stale) return PF_Err_NONE;
  dropRenderCopy(instance);
  instance.render_copy_stale = false;
  if (!instance.sequence_data) return PF_Err_NONE;
  PF_Err err = sendParams(PF_Cmd_SEQUENCE_FLATTEN, &instance, nullptr, nullptr);
  PF_Handle copy = nullptr;
  if (!err && instance.sequence_data && handles_.owns(instance.sequence_data)) {
    const size_t size = handles_.size(instance.sequence_data);
    copy = handles_.create(size);
    if (copy && size) std::memcpy(*copy, *instance.sequence_data, size);
    if (!copy) err = PF_Err_OUT_OF_MEMORY;
  }
  PF_Err back = sendParams(PF_Cmd_SEQUENCE_RESETUP, &instance, nullptr, nullptr);
  if (copy) {
    PF_Err copy_err = sendWithRecord(PF_Cmd_SEQUENCE_RESETUP, instance, &copy, nullptr);
    instance.render_sequence_data = copy;
    if (!err) err = copy_err;
  }
  return err ? err : back;
}

void Host::dropRenderCopy(EffectInstance& instance) {
  if (!instance.render_sequence_data) return;
  sendWithRecord(PF_Cmd_SEQUENCE_SETDOWN, instance, &instance.render_sequence_data, nullptr);
  instance.render_sequence_data = nullptr;
}

PF_Err Host::globalSetup() {
  PF_Err err = sendRaw(PF_Cmd_GLOBAL_SETUP, nullptr, nullptr, nullptr, nullptr);
  if (err) {
    // A record handed over with a failure is not kept: nothing would ever dispose of it.
    if (out_.global_data && handles_.owns(out_.global_data)) handles_.dispose(out_.global_data);
    global_data_ = nullptr;
    return err;
  }
  global_data_ = out_.global_data;
  global_setup_done_ = true;
  return err;
}

PF_Err Host::globalSetdown() {
  PF_Err err = sendRaw(PF_Cmd_GLOBAL_SETDOWN, nullptr, nullptr, nullptr, nullptr);
  global_data_ = nullptr;
  global_setup_done_ = false;
  return err;
}

PF_Err Host::about(std::string* text_utf8) {
  PF_Err err = sendRaw(PF_Cmd_ABOUT, nullptr, nullptr, nullptr, nullptr);
  if (text_utf8) *text_utf8 = lastReturnMessage();
  return err;
}

PF_Err Host::registerEffect() {
  if (registered_done_) return PF_Err_NONE;
  registered_.clear();
  registered_.push_back(InputLayerDef());
  registering_ = true;
  EffectInstance scratch(*this);
  scratch.params = registered_;
  std::vector<PF_ParamDef*> pointers{&scratch.params[0]};
  PF_Err err = sendRaw(PF_Cmd_PARAMS_SETUP, nullptr, pointers.data(), nullptr, nullptr);
  registering_ = false;
  if (!err) registered_done_ = true;
  return err;
}

EffectInstance* Host::adopt(std::unique_ptr<EffectInstance> instance, PF_Err err, PF_Err* out_err) {
  if (out_err) *out_err = err;
  instances_.push_back(std::move(instance));
  return instances_.back().get();
}

namespace {
void PrepareInstance(EffectInstance& instance, const std::vector<PF_ParamDef>& registered) {
  instance.params = registered;
  instance.panel = registered;
}
}  // namespace

EffectInstance* Host::newInstance(PF_Err* out_err) {
  PF_Err err = registerEffect();
  if (err) {
    if (out_err) *out_err = err;
    return nullptr;
  }
  auto instance = std::make_unique<EffectInstance>(*this);
  PrepareInstance(*instance, registered_);
  err = instance->send(PF_Cmd_SEQUENCE_SETUP);
  if (err && !instance->sequence_data) {
    if (out_err) *out_err = err;
    return nullptr;
  }
  return adopt(std::move(instance), err, out_err);
}

EffectInstance* Host::restoreInstance(const std::vector<uint8_t>& flat, PF_Err* out_err) {
  PF_Err err = registerEffect();
  if (err) {
    if (out_err) *out_err = err;
    return nullptr;
  }
  auto instance = std::make_unique<EffectInstance>(*this);
  PrepareInstance(*instance, registered_);
  PF_Handle stored = handles_.create(flat.size());
  if (!stored) {
    if (out_err) *out_err = PF_Err_OUT_OF_MEMORY;
    return nullptr;
  }
  if (!flat.empty()) std::memcpy(*stored, flat.data(), flat.size());
  instance->sequence_data = stored;
  err = instance->send(PF_Cmd_SEQUENCE_RESETUP);
  return adopt(std::move(instance), err, out_err);
}

// Duplicating follows the guide's "Sequence data" section: the original is flattened, the
// duplicate gets a copy of the flat bytes, and both are sent resetup. Whatever the original's
// flatten left (flat, or live if it kept it so) is what both instances receive.
EffectInstance* Host::duplicateInstance(EffectInstance& source, PF_Err* out_err) {
  auto instance = std::make_unique<EffectInstance>(*this);
  instance->params = source.params;
  instance->panel = source.panel;
  instance->keyframes = source.keyframes;
  PF_Err err = source.send(PF_Cmd_SEQUENCE_FLATTEN);
  size_t size = source.sequence_data ? handles_.size(source.sequence_data) : 0;
  PF_Handle copy = err ? nullptr : handles_.create(size);
  if (!copy) {
    source.send(PF_Cmd_SEQUENCE_RESETUP);
    if (out_err) *out_err = err ? err : PF_Err_OUT_OF_MEMORY;
    return nullptr;
  }
  if (size) std::memcpy(*copy, *source.sequence_data, size);
  instance->sequence_data = copy;
  PF_Err source_err = source.send(PF_Cmd_SEQUENCE_RESETUP);
  err = instance->send(PF_Cmd_SEQUENCE_RESETUP);
  return adopt(std::move(instance), err ? err : source_err, out_err);
}

PF_Err Host::removeInstance(EffectInstance* instance) {
  for (auto it = instances_.begin(); it != instances_.end(); ++it) {
    if (it->get() != instance) continue;
    dropCachedFrames(instance);
    dropRenderCopy(*instance);
    PF_Err err = instance->send(PF_Cmd_SEQUENCE_SETDOWN);
    if (composition_) composition_->detachEffect(instance);
    ForgetEffectReferences(instance);
    instances_.erase(it);
    return err;
  }
  return PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err EffectInstance::send(PF_Cmd cmd, void* extra, PF_LayerDef* output) {
  return host_.send(cmd, this, extra, output);
}

PF_Err EffectInstance::flatten(std::vector<uint8_t>* flat) {
  PF_Err err = send(PF_Cmd_SEQUENCE_FLATTEN);
  if (err) return err;
  HandleStore& handles = host_.handles();
  if (flat) {
    flat->clear();
    if (sequence_data && handles.owns(sequence_data)) {
      const auto* bytes = static_cast<const uint8_t*>(*sequence_data);
      flat->assign(bytes, bytes + handles.size(sequence_data));
    }
  }
  // Back to a live record, as the host does before the instance is used again.
  return send(PF_Cmd_SEQUENCE_RESETUP);
}

}  // namespace mf::host
