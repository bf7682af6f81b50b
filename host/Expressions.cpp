#include "host/Expressions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "host/Composition.h"
#include "host/FrameRender.h"
#include "host/Guarded.h"
#include "host/Host.h"
#include "host/Text.h"

namespace mf::host {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  if (!s.empty() && s.back() == ';') s.remove_suffix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

struct Reference {
  std::string_view layer;
  AEGP_LayerStream stream = AEGP_LayerStream_NONE;
  int component = 0;
  const char* property = "";
};

// Splits the text into layer name and property; the property is read from the end, so the name
// may hold any character, quotes included.
std::optional<Reference> Parse(std::string_view s) {
  constexpr std::string_view kHead = "thisComp.layer(\"";
  if (s.substr(0, kHead.size()) != kHead) return std::nullopt;
  s.remove_prefix(kHead.size());
  Reference r;
  if (EndsWith(s, "\").zoom")) {
    r.layer = s.substr(0, s.size() - 7);
    r.stream = AEGP_LayerStream_ZOOM;
    r.property = "zoom";
    return r;
  }
  if (s.size() < 3 || s.back() != ']' || s[s.size() - 3] != '[') return std::nullopt;
  const char digit = s[s.size() - 2];
  if (digit < '0' || digit > '2') return std::nullopt;
  r.component = digit - '0';
  s.remove_suffix(3);
  struct Property {
    std::string_view tail;
    AEGP_LayerStream stream;
    const char* name;
  };
  const Property properties[] = {
      {"\").transform.position", AEGP_LayerStream_POSITION, "position"},
      {"\").transform.pointOfInterest", AEGP_LayerStream_ANCHORPOINT, "point of interest"},
  };
  for (const Property& p : properties) {
    if (EndsWith(s, p.tail)) {
      r.layer = s.substr(0, s.size() - p.tail.size());
      r.stream = p.stream;
      r.property = p.name;
      return r;
    }
  }
  return std::nullopt;
}

// Expressions on camera layers may read other layers; a cycle stops here.
thread_local int g_depth = 0;

PF_InteractCallbacks g_plain{};

PF_Err CheckoutWithExpression(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time,
                              A_long time_step, A_u_long time_scale, PF_ParamDef* param) {
  PF_Err err = g_plain.checkout_param(ref, index, what_time, time_step, time_scale, param);
  Host* host = Host::current();
  if (err || !host || !param || time_scale == 0) return err;
  auto* instance = reinterpret_cast<EffectInstance*>(ref);
  double seconds = static_cast<double>(what_time) / time_scale;
  if (Composition* comp = host->composition()) {
    if (const CompLayer* layer = comp->layerOfEffect(instance)) seconds += layer->offset;
  }
  if (auto problem = ApplyControlExpression(*host, *instance, index, seconds, param)) {
    host->frames().fail(*problem);
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return PF_Err_NONE;
}

}  // namespace

ExpressionResult EvaluateExpression(const Composition* comp, std::string_view utf8,
                                    double comp_seconds) {
  const std::string_view text = Trim(utf8);
  std::optional<Reference> r = Parse(text);
  if (!r) {
    return {std::nullopt,
            "the host cannot evaluate it (it reads thisComp.layer(\"NAME\").transform.position[0 "
            "to 2], "
            ".transform.pointOfInterest[0 to 2] and .zoom)"};
  }
  const std::string name(r->layer);
  if (!comp) return {std::nullopt, "there is no composition for layer \"" + name + "\""};
  const CompLayer* target = nullptr;
  for (int i = 0; i < comp->numLayers() && !target; ++i) {
    if (comp->layer(i)->name == name) target = comp->layer(i);
  }
  if (!target) return {std::nullopt, "the composition has no layer named \"" + name + "\""};
  const bool aimed = target->kind == LayerKind::kCamera || target->kind == LayerKind::kLight;
  if ((r->stream == AEGP_LayerStream_ZOOM && target->kind != LayerKind::kCamera) ||
      (r->stream == AEGP_LayerStream_ANCHORPOINT && !aimed)) {
    return {std::nullopt, "layer \"" + name + "\" has no " + r->property +
                              " (only cameras have a zoom, cameras and lights a point of "
                              "interest)"};
  }
  if (g_depth >= 8) {
    return {std::nullopt, "the expression reading layer \"" + name + "\" refers back to itself"};
  }
  ++g_depth;
  std::optional<StreamTuple> v = comp->streamValue(*target, r->stream, comp_seconds);
  --g_depth;
  if (!v) return {std::nullopt, "layer \"" + name + "\" has no " + r->property};
  const double value = (*v)[r->component];
  if (!std::isfinite(value)) {
    return {std::nullopt, "the " + std::string(r->property) + " of layer \"" + name +
                              "\" is not a finite number"};
  }
  return {value, {}};
}

std::optional<std::string> ApplyControlExpression(Host& host, const EffectInstance& instance,
                                                  PF_ParamIndex index, double comp_seconds,
                                                  PF_ParamDef* def) {
  auto it = instance.expressions.find(index);
  if (it == instance.expressions.end() || !it->second.enabled) return std::nullopt;
  const std::string text = GbkToUtf8(it->second.text);
  ExpressionResult result = EvaluateExpression(host.composition(), text, comp_seconds);
  const std::string_view name(def->name, strnlen(def->name, sizeof(def->name)));
  const std::string where = "the expression \"" + std::string(Trim(text)) + "\" on control " +
                            std::to_string(index) + " \"" + GbkToUtf8(name) + "\"";
  if (!result.value) return where + ": " + result.problem;
  const double v = *result.value;
  switch (def->param_type) {
    case PF_Param_FLOAT_SLIDER:
      // The control holds what it can; an expression is not limited to the slider's range.
      def->u.fs_d.value = std::clamp(v, static_cast<double>(def->u.fs_d.valid_min),
                                     static_cast<double>(def->u.fs_d.valid_max));
      break;
    case PF_Param_ANGLE:
      def->u.ad.value =
          static_cast<PF_Fixed>(std::lround(std::clamp(v, -32767.0, 32767.0) * 65536));
      break;
    case PF_Param_CHECKBOX:
      def->u.bd.value = v != 0 ? 1 : 0;
      break;
    default:
      return where + ": the host evaluates expressions on sliders, angles and check boxes only";
  }
  return std::nullopt;
}

void InstallExpressionCheckout(Host& host) {
  PF_InteractCallbacks& inter = host.inData().inter;
  constexpr auto kGuarded = Guarded<CheckoutWithExpression>;
  if (inter.checkout_param == kGuarded) return;
  g_plain = inter;
  inter.checkout_param = kGuarded;
}

}  // namespace mf::host
