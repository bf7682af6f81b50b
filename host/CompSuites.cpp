// The composition suites over Host::composition(). Layer handles are the composition's CompLayer
// objects and the composition handle is the Composition itself; both are checked on every call,
// so a handle of a replaced composition is refused rather than followed. Stream and effect
// references are made per request and live until disposed.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "AE_CompSuites.h"
#include "host/Composition.h"
#include "host/Guarded.h"
#include "host/Host.h"
#include "host/HostServices.h"
#include "host/MemorySuite.h"
#include "host/Text.h"

namespace mf::host {

struct StreamRefRecord {
  bool effect_stream;
  CompLayer* layer;  // layer streams
  AEGP_LayerStream which;
  EffectInstance* instance;  // effect streams
  PF_ParamIndex index;
};

struct EffectRefRecord {
  EffectInstance* instance;
};

namespace {

Host& H() {
  return *Host::current();
}
constexpr A_Err kBad = PF_Err_BAD_CALLBACK_PARAM;

// Live references, per process (one host at a time); a new host starts with none.
struct Registry {
  std::set<StreamRefRecord*> streams;
  std::set<EffectRefRecord*> effects;
  int values = 0;  // stream values handed out and not disposed

  void clear() {
    for (auto* s : streams) delete s;
    for (auto* e : effects) delete e;
    streams.clear();
    effects.clear();
    values = 0;
  }
};
Registry& Refs() {
  static Registry registry;
  return registry;
}

// A new reference, live from its making; nothing is left behind when recording it fails.
template <class Record>
Record* Keep(std::set<Record*>& live, Record record) {
  auto made = std::make_unique<Record>(record);
  live.insert(made.get());
  return made.release();
}
AEGP_StreamRefH NewStreamRef(StreamRefRecord record) {
  return reinterpret_cast<AEGP_StreamRefH>(Keep(Refs().streams, record));
}

Composition* Comp() {
  return H().composition();
}
CompLayer* Layer(AEGP_LayerH handle) {
  auto* layer = reinterpret_cast<CompLayer*>(handle);
  Composition* comp = Comp();
  return layer && comp && comp->owns(layer) ? layer : nullptr;
}
Composition* CompOf(AEGP_CompH handle) {
  auto* comp = reinterpret_cast<Composition*>(handle);
  return comp && comp == Comp() ? comp : nullptr;
}
AEGP_LayerH Handle(const CompLayer* layer) {
  return reinterpret_cast<AEGP_LayerH>(const_cast<CompLayer*>(layer));
}
StreamRefRecord* Stream(AEGP_StreamRefH handle) {
  auto* s = reinterpret_cast<StreamRefRecord*>(handle);
  if (!s || !Refs().streams.count(s)) return nullptr;
  if (!s->effect_stream && !Layer(Handle(s->layer))) return nullptr;  // composition replaced
  return s;
}
EffectRefRecord* Effect(AEGP_EffectRefH handle) {
  auto* e = reinterpret_cast<EffectRefRecord*>(handle);
  return e && Refs().effects.count(e) ? e : nullptr;
}
EffectInstance* Instance(PF_ProgPtr effect_ref) {
  return reinterpret_cast<EffectInstance*>(effect_ref);
}

// Comp seconds of a time given in a layer's own time or the composition's.
std::optional<double> CompSeconds(const CompLayer* layer, AEGP_LTimeMode mode, const A_Time* time) {
  if (!time) return std::nullopt;
  std::optional<double> t = TimeSeconds(*time);
  if (!t) return std::nullopt;
  if (mode == AEGP_LTimeMode_LayerTime && layer) *t += layer->offset;
  return t;
}

A_Time InMode(const CompLayer& layer, AEGP_LTimeMode mode, double comp_seconds) {
  return SecondsToTime(mode == AEGP_LTimeMode_LayerTime ? comp_seconds - layer.offset
                                                        : comp_seconds);
}

void Fill(AEGP_StreamType type, const StreamTuple& v, AEGP_StreamVal* out) {
  std::memset(out, 0, sizeof(*out));
  switch (type) {
    case AEGP_StreamType_ThreeD_SPATIAL:
    case AEGP_StreamType_ThreeD:
      out->three_d = AEGP_ThreeDVal{v[0], v[1], v[2]};
      break;
    case AEGP_StreamType_TwoD_SPATIAL:
    case AEGP_StreamType_TwoD:
      out->two_d = AEGP_TwoDVal{v[0], v[1]};
      break;
    case AEGP_StreamType_COLOR:
      out->color = AEGP_ColorVal{v[0], v[1], v[2], v[3]};
      break;
    case AEGP_StreamType_LAYER_ID:
      out->layer_id = static_cast<AEGP_LayerIDVal>(v[0]);
      break;
    default:
      out->one_d = v[0];
      break;
  }
}

// The 8-bit name the plug-in sees: GBK, cut to the host's limit between characters.
void CopyName(const std::string& utf8, A_char* out) {
  const std::string gbk = Utf8ToGbk(utf8);
  size_t n = 0;
  while (n < gbk.size()) {
    const size_t step = (static_cast<unsigned char>(gbk[n]) >= 0x81 && n + 1 < gbk.size()) ? 2 : 1;
    if (n + step > AEGP_MAX_LAYER_NAME_SIZE) break;
    n += step;
  }
  std::memcpy(out, gbk.data(), n);
  out[n] = '\0';
}

// ---- effect parameter streams ----------------------------------------------------------------

double Keyed(const EffectInstance& instance, PF_ParamIndex index, double seconds, double value) {
  auto it = instance.keyframes.find(index);
  if (it == instance.keyframes.end() || it->second.empty()) return value;
  Animated a;
  for (auto& [t, v] : it->second) a.keys.emplace_back(t, StreamTuple{v, 0, 0, 0});
  return a.at(seconds)[0];
}

AEGP_StreamType ParamStreamType(const PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_LAYER:
      return AEGP_StreamType_LAYER_ID;
    case PF_Param_SLIDER:
    case PF_Param_FIX_SLIDER:
    case PF_Param_FLOAT_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_CHECKBOX:
    case PF_Param_POPUP:
      return AEGP_StreamType_OneD;
    case PF_Param_COLOR:
      return AEGP_StreamType_COLOR;
    case PF_Param_POINT:
      return AEGP_StreamType_TwoD_SPATIAL;
    default:
      return AEGP_StreamType_NO_DATA;
  }
}

// Keyframes of effect controls are in the effect layer's time, as the scene writes them.
StreamTuple ParamValue(const EffectInstance& instance, PF_ParamIndex index, double layer_seconds,
                       double comp_seconds, bool pre_expression) {
  const PF_ParamDef& def = instance.params[index];
  StreamTuple v{};
  switch (def.param_type) {
    case PF_Param_LAYER: {
      const auto chosen = reinterpret_cast<intptr_t>(def.u.ld.reserved0);
      const Composition* comp = Comp();
      const CompLayer* layer =
          comp && chosen > 0 ? comp->layer(static_cast<int>(chosen - 1)) : nullptr;
      v[0] = layer ? layer->id : 0;
      return v;
    }
    case PF_Param_SLIDER:
      v[0] = def.u.sd.value;
      break;
    case PF_Param_FIX_SLIDER:
      v[0] = FIX_2_FLOAT(def.u.fd.value);
      break;
    case PF_Param_FLOAT_SLIDER:
      v[0] = Keyed(instance, index, layer_seconds, def.u.fs_d.value);
      break;
    case PF_Param_ANGLE:
      v[0] = Keyed(instance, index, layer_seconds, FIX_2_FLOAT(def.u.ad.value));
      break;
    case PF_Param_CHECKBOX:
      v[0] = def.u.bd.value;
      break;
    case PF_Param_POPUP:
      v[0] = def.u.pd.value;
      break;
    case PF_Param_COLOR:
      return StreamTuple{def.u.cd.value.alpha / 255.0, def.u.cd.value.red / 255.0,
                         def.u.cd.value.green / 255.0, def.u.cd.value.blue / 255.0};
    case PF_Param_POINT:
      return StreamTuple{FIX_2_FLOAT(def.u.td.x_value), FIX_2_FLOAT(def.u.td.y_value), 0, 0};
    default:
      return v;
  }
  if (!pre_expression) {
    auto e = instance.expressions.find(index);
    const Composition* comp = Comp();
    if (e != instance.expressions.end() && e->second.enabled && comp) {
      if (auto value = comp->evaluateExpression(GbkToUtf8(e->second.text), comp_seconds))
        v[0] = *value;
    }
  }
  return v;
}

// ---- "AEGP Layer Suite" 11 -------------------------------------------------------------------

// A question about one layer, refused for a handle that is no live layer or nowhere to answer.
template <class T, class Question>
A_Err Answer(AEGP_LayerH handle, T* answer, Question question) {
  CompLayer* layer = Layer(handle);
  if (!layer || !answer) return kBad;
  *answer = question(*layer);
  return PF_Err_NONE;
}

A_Err GetCompNumLayers(AEGP_CompH compH, A_long* num) {
  Composition* comp = CompOf(compH);
  if (!comp || !num) return kBad;
  *num = comp->numLayers();
  return PF_Err_NONE;
}
A_Err GetCompLayerByIndex(AEGP_CompH compH, A_long index, AEGP_LayerH* layer) {
  Composition* comp = CompOf(compH);
  if (!comp || !layer || index < 0 || index >= comp->numLayers()) return kBad;
  *layer = Handle(comp->layer(index));
  return PF_Err_NONE;
}
A_Err GetLayerIndex(AEGP_LayerH layerH, A_long* index) {
  return Answer(layerH, index, [](const CompLayer& layer) { return layer.index; });
}
A_Err GetLayerParentComp(AEGP_LayerH layerH, AEGP_CompH* comp) {
  if (!Layer(layerH) || !comp) return kBad;
  *comp = reinterpret_cast<AEGP_CompH>(Comp());
  return PF_Err_NONE;
}
A_Err GetLayerName(AEGP_LayerH layerH, A_char* name, A_char* source_name) {
  CompLayer* layer = Layer(layerH);
  if (!layer) return kBad;
  if (name) CopyName(layer->name, name);
  if (source_name) {
    std::string source;
    if (layer->kind == LayerKind::kFootage && layer->json.contains("source") &&
        layer->json["source"].is_string())
      source = std::filesystem::path(layer->json["source"].get<std::string>()).filename().string();
    else if (layer->kind == LayerKind::kSolid)
      source = layer->name;
    CopyName(source, source_name);
  }
  return PF_Err_NONE;
}
A_Err GetLayerFlags(AEGP_LayerH layerH, AEGP_LayerFlags* flags) {
  CompLayer* layer = Layer(layerH);
  if (!layer || !flags) return kBad;
  AEGP_LayerFlags f = AEGP_LayerFlag_NONE;
  if (layer->enabled) f |= AEGP_LayerFlag_VIDEO_ACTIVE;
  if (layer->adjustment) f |= AEGP_LayerFlag_ADJUSTMENT_LAYER;
  if (layer->three_d) f |= AEGP_LayerFlag_LAYER_IS_3D;
  if (layer->effect) f |= AEGP_LayerFlag_EFFECTS_ACTIVE;
  *flags = f;
  return PF_Err_NONE;
}
A_Err GetLayerInPoint(AEGP_LayerH layerH, AEGP_LTimeMode mode, A_Time* in_point) {
  return Answer(layerH, in_point,
                [mode](const CompLayer& layer) { return InMode(layer, mode, layer.in_point); });
}
A_Err GetLayerDuration(AEGP_LayerH layerH, AEGP_LTimeMode, A_Time* duration) {
  return Answer(layerH, duration, [](const CompLayer& layer) {
    return SecondsToTime(layer.out_point - layer.in_point);
  });
}
A_Err GetLayerOffset(AEGP_LayerH layerH, A_Time* offset) {
  return Answer(layerH, offset, [](const CompLayer& layer) { return SecondsToTime(layer.offset); });
}
A_Err GetLayerObjectType(AEGP_LayerH layerH, AEGP_ObjectType* type) {
  return Answer(layerH, type, [](const CompLayer& layer) -> AEGP_ObjectType {
    return layer.kind == LayerKind::kCamera  ? AEGP_ObjectType_CAMERA
           : layer.kind == LayerKind::kLight ? AEGP_ObjectType_LIGHT
                                             : AEGP_ObjectType_AV;
  });
}
A_Err IsVideoActive(AEGP_LayerH layerH, AEGP_LTimeMode mode, const A_Time* time,
                    A_Boolean* active) {
  CompLayer* layer = Layer(layerH);
  std::optional<double> t = CompSeconds(layer, mode, time);
  if (!layer || !t || !active) return kBad;
  *active = Comp()->isVideoActive(*layer, *t) ? 1 : 0;
  return PF_Err_NONE;
}
A_Err GetLayerID(AEGP_LayerH layerH, AEGP_LayerIDVal* id) {
  return Answer(layerH, id, [](const CompLayer& layer) { return layer.id; });
}
A_Err GetLayerToWorldXform(AEGP_LayerH layerH, const A_Time* comp_time, A_Matrix4* xform) {
  CompLayer* layer = Layer(layerH);
  std::optional<double> t = CompSeconds(layer, AEGP_LTimeMode_CompTime, comp_time);
  if (!layer || !t || !xform) return kBad;
  *xform = Comp()->layerToWorld(*layer, *t);
  return PF_Err_NONE;
}
A_Err GetLayerFromLayerID(AEGP_CompH compH, AEGP_LayerIDVal id, AEGP_LayerH* layer) {
  Composition* comp = CompOf(compH);
  if (!comp || !layer) return kBad;
  *layer = Handle(comp->layerById(id));  // null when no layer has the id
  return PF_Err_NONE;
}

AEGP_LayerSuite5 MakeLayerSuite() {
  AEGP_LayerSuite5 s{};
  s.AEGP_GetCompNumLayers = Guarded<GetCompNumLayers, "aegp.GetCompNumLayers">;
  s.AEGP_GetCompLayerByIndex = Guarded<GetCompLayerByIndex, "aegp.GetCompLayerByIndex">;
  s.AEGP_GetLayerIndex = Guarded<GetLayerIndex, "aegp.GetLayerIndex">;
  s.AEGP_GetLayerParentComp = Guarded<GetLayerParentComp, "aegp.GetLayerParentComp">;
  s.AEGP_GetLayerName = Guarded<GetLayerName, "aegp.GetLayerName">;
  s.AEGP_GetLayerFlags = Guarded<GetLayerFlags, "aegp.GetLayerFlags">;
  s.AEGP_GetLayerInPoint = Guarded<GetLayerInPoint, "aegp.GetLayerInPoint">;
  s.AEGP_GetLayerDuration = Guarded<GetLayerDuration, "aegp.GetLayerDuration">;
  s.AEGP_GetLayerOffset = Guarded<GetLayerOffset, "aegp.GetLayerOffset">;
  s.AEGP_GetLayerObjectType = Guarded<GetLayerObjectType, "aegp.GetLayerObjectType">;
  s.AEGP_IsVideoActive = Guarded<IsVideoActive, "aegp.IsVideoActive">;
  s.AEGP_GetLayerID = Guarded<GetLayerID, "aegp.GetLayerID">;
  s.AEGP_GetLayerToWorldXform = Guarded<GetLayerToWorldXform, "aegp.GetLayerToWorldXform">;
  s.AEGP_GetLayerFromLayerID = Guarded<GetLayerFromLayerID, "aegp.GetLayerFromLayerID">;
  return s;
}
const AEGP_LayerSuite5 kLayerSuite = MakeLayerSuite();

// ---- "AEGP Camera Suite" 2 and "AEGP Light Suite" 2 ------------------------------------------

A_Err GetCamera(AEGP_RenderLayerContextH, const A_Time* comp_time, AEGP_LayerH* camera) {
  if (camera) *camera = nullptr;
  std::optional<double> t = CompSeconds(nullptr, AEGP_LTimeMode_CompTime, comp_time);
  if (!camera || !t) return kBad;
  Composition* comp = Comp();
  *camera = comp ? Handle(comp->activeCamera(*t)) : nullptr;
  return PF_Err_NONE;
}
A_Err GetCameraType(AEGP_LayerH layerH, AEGP_CameraType* type) {
  return Answer(layerH, type, [](const CompLayer& layer) {
    return layer.kind == LayerKind::kCamera ? layer.camera_type
                                            : static_cast<AEGP_CameraType>(AEGP_CameraType_NONE);
  });
}
A_Err GetDefaultCameraDistanceToImagePlane(AEGP_CompH compH, A_FpLong* distance) {
  Composition* comp = CompOf(compH);
  if (!comp || !distance) return kBad;
  *distance = comp->defaultZoom();
  return PF_Err_NONE;
}
AEGP_CameraSuite2 MakeCameraSuite() {
  AEGP_CameraSuite2 s{};
  s.AEGP_GetCamera = Guarded<GetCamera, "aegp.GetCamera">;
  s.AEGP_GetCameraType = Guarded<GetCameraType, "aegp.GetCameraType">;
  s.AEGP_GetDefaultCameraDistanceToImagePlane =
      Guarded<GetDefaultCameraDistanceToImagePlane, "aegp.GetDefaultCameraDistanceToImagePlane">;
  return s;
}
const AEGP_CameraSuite2 kCameraSuite = MakeCameraSuite();

A_Err GetLightType(AEGP_LayerH layerH, AEGP_LightType* type) {
  return Answer(layerH, type, [](const CompLayer& layer) {
    return layer.kind == LayerKind::kLight ? layer.light_type
                                           : static_cast<AEGP_LightType>(AEGP_LightType_NONE);
  });
}
AEGP_LightSuite2 MakeLightSuite() {
  AEGP_LightSuite2 s{};
  s.AEGP_GetLightType = Guarded<GetLightType, "aegp.GetLightType">;
  return s;
}
const AEGP_LightSuite2 kLightSuite = MakeLightSuite();

// ---- "AEGP Stream Suite" 7 -------------------------------------------------------------------

A_Err GetNewLayerStream(AEGP_PluginID, AEGP_LayerH layerH, AEGP_LayerStream which,
                        AEGP_StreamRefH* stream) {
  CompLayer* layer = Layer(layerH);
  if (!layer || !stream || !LayerStreamType(layer->kind, which)) return kBad;
  *stream = NewStreamRef({false, layer, which, nullptr, 0});
  return PF_Err_NONE;
}
A_Err GetEffectNumParamStreams(AEGP_EffectRefH effectH, A_long* count) {
  EffectRefRecord* effect = Effect(effectH);
  if (!effect || !count) return kBad;
  *count = static_cast<A_long>(effect->instance->params.size());
  return PF_Err_NONE;
}
A_Err GetNewEffectStreamByIndex(AEGP_PluginID, AEGP_EffectRefH effectH, PF_ParamIndex index,
                                AEGP_StreamRefH* stream) {
  EffectRefRecord* effect = Effect(effectH);
  if (!effect || !stream || index < 0 || index >= (PF_ParamIndex)effect->instance->params.size())
    return kBad;
  *stream = NewStreamRef({true, nullptr, AEGP_LayerStream_NONE, effect->instance, index});
  return PF_Err_NONE;
}
A_Err DisposeStream(AEGP_StreamRefH streamH) {
  auto* s = reinterpret_cast<StreamRefRecord*>(streamH);
  if (!s || !Refs().streams.erase(s)) return kBad;
  delete s;
  return PF_Err_NONE;
}
A_Err GetStreamType(AEGP_StreamRefH streamH, AEGP_StreamType* type) {
  StreamRefRecord* s = Stream(streamH);
  if (!s || !type) return kBad;
  *type = s->effect_stream ? ParamStreamType(s->instance->params[s->index])
                           : *LayerStreamType(s->layer->kind, s->which);
  return PF_Err_NONE;
}
A_Err GetNewStreamValue(AEGP_PluginID, AEGP_StreamRefH streamH, AEGP_LTimeMode mode,
                        const A_Time* time, A_Boolean pre_expression, AEGP_StreamValue* value) {
  StreamRefRecord* s = Stream(streamH);
  if (!s || !value) return kBad;
  Composition* comp = Comp();
  if (s->effect_stream) {
    const CompLayer* layer = comp ? comp->layerOfEffect(s->instance) : nullptr;
    std::optional<double> t = CompSeconds(layer, mode, time);
    if (!t) return kBad;
    const double layer_seconds = *t - (layer ? layer->offset : 0.0);
    const PF_ParamDef& def = s->instance->params[s->index];
    Fill(ParamStreamType(def),
         ParamValue(*s->instance, s->index, layer_seconds, *t, pre_expression), &value->val);
  } else {
    std::optional<double> t = CompSeconds(s->layer, mode, time);
    if (!t) return kBad;
    Fill(*LayerStreamType(s->layer->kind, s->which),
         *comp->streamValue(*s->layer, s->which, *t, pre_expression != 0), &value->val);
  }
  value->streamH = streamH;
  ++Refs().values;
  return PF_Err_NONE;
}
A_Err DisposeStreamValue(AEGP_StreamValue* value) {
  if (!value || !value->streamH) return kBad;
  if (Refs().values > 0) --Refs().values;
  value->streamH = nullptr;
  return PF_Err_NONE;
}
A_Err GetLayerStreamValue(AEGP_LayerH layerH, AEGP_LayerStream which, AEGP_LTimeMode mode,
                          const A_Time* time, A_Boolean pre_expression, AEGP_StreamVal* value,
                          AEGP_StreamType* type) {
  CompLayer* layer = Layer(layerH);
  std::optional<double> t = CompSeconds(layer, mode, time);
  if (!layer || !t || !value) return kBad;
  std::optional<AEGP_StreamType> stream_type = LayerStreamType(layer->kind, which);
  if (!stream_type) return kBad;
  Fill(*stream_type, *Comp()->streamValue(*layer, which, *t, pre_expression != 0), value);
  if (type) *type = *stream_type;
  return PF_Err_NONE;
}

Expression* ExpressionOf(StreamRefRecord* s) {
  if (s->effect_stream) return &s->instance->expressions[s->index];
  return &s->layer->expressions[s->which];
}
A_Err GetExpressionState(AEGP_PluginID, AEGP_StreamRefH streamH, A_Boolean* enabled) {
  StreamRefRecord* s = Stream(streamH);
  if (!s || !enabled) return kBad;
  *enabled = ExpressionOf(s)->enabled ? 1 : 0;
  return PF_Err_NONE;
}
A_Err SetExpressionState(AEGP_PluginID, AEGP_StreamRefH streamH, A_Boolean enabled) {
  StreamRefRecord* s = Stream(streamH);
  if (!s) return kBad;
  ExpressionOf(s)->enabled = enabled != 0;
  return PF_Err_NONE;
}
A_Err GetExpression(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_MemHandle* text) {
  StreamRefRecord* s = Stream(streamH);
  if (!s || !text) return kBad;
  const std::string& expression = ExpressionOf(s)->text;
  const AEGP_MemorySuite1* memory = MemorySuiteTable();
  AEGP_MemHandle handle = nullptr;
  A_Err err = memory->AEGP_NewMemHandle(
      plugin_id, "expression", (AEGP_MemSize)expression.size() + 1, AEGP_MemFlag_CLEAR, &handle);
  if (err) return err;
  void* bytes = nullptr;
  err = memory->AEGP_LockMemHandle(handle, &bytes);
  if (err) {
    memory->AEGP_FreeMemHandle(handle);
    return err;
  }
  std::memcpy(bytes, expression.c_str(), expression.size() + 1);
  memory->AEGP_UnlockMemHandle(handle);
  *text = handle;
  return PF_Err_NONE;
}
A_Err SetExpression(AEGP_PluginID, AEGP_StreamRefH streamH, const A_char* text) {
  StreamRefRecord* s = Stream(streamH);
  if (!s || !text) return kBad;
  ExpressionOf(s)->text = text;
  return PF_Err_NONE;
}

AEGP_StreamSuite2 MakeStreamSuite() {
  AEGP_StreamSuite2 s{};
  s.AEGP_GetNewLayerStream = Guarded<GetNewLayerStream, "aegp.GetNewLayerStream">;
  s.AEGP_GetEffectNumParamStreams =
      Guarded<GetEffectNumParamStreams, "aegp.GetEffectNumParamStreams">;
  s.AEGP_GetNewEffectStreamByIndex =
      Guarded<GetNewEffectStreamByIndex, "aegp.GetNewEffectStreamByIndex">;
  s.AEGP_DisposeStream = Guarded<DisposeStream, "aegp.DisposeStream">;
  s.AEGP_GetStreamType = Guarded<GetStreamType, "aegp.GetStreamType">;
  s.AEGP_GetNewStreamValue = Guarded<GetNewStreamValue, "aegp.GetNewStreamValue", kFillsRecord>;
  s.AEGP_DisposeStreamValue = Guarded<DisposeStreamValue, "aegp.DisposeStreamValue">;
  s.AEGP_GetLayerStreamValue = Guarded<GetLayerStreamValue, "aegp.GetLayerStreamValue">;
  s.AEGP_GetExpressionState = Guarded<GetExpressionState, "aegp.GetExpressionState">;
  s.AEGP_SetExpressionState = Guarded<SetExpressionState, "aegp.SetExpressionState">;
  s.AEGP_GetExpression = Guarded<GetExpression, "aegp.GetExpression">;
  s.AEGP_SetExpression = Guarded<SetExpression, "aegp.SetExpression">;
  return s;
}
const AEGP_StreamSuite2 kStreamSuite = MakeStreamSuite();

// ---- "AEGP Effect Suite" 2 -------------------------------------------------------------------

AEGP_EffectRefH NewEffectRef(EffectInstance* instance) {
  return reinterpret_cast<AEGP_EffectRefH>(Keep(Refs().effects, EffectRefRecord{instance}));
}

A_Err GetLayerNumEffects(AEGP_LayerH layerH, A_long* count) {
  return Answer(layerH, count,
                [](const CompLayer& layer) -> A_long { return layer.effect ? 1 : 0; });
}
A_Err GetLayerEffectByIndex(AEGP_PluginID, AEGP_LayerH layerH, AEGP_EffectIndex index,
                            AEGP_EffectRefH* effect) {
  CompLayer* layer = Layer(layerH);
  if (!layer || !effect || !layer->effect || index != 0) return kBad;
  *effect = NewEffectRef(layer->effect);
  return PF_Err_NONE;
}
A_Err DisposeEffect(AEGP_EffectRefH effectH) {
  auto* e = reinterpret_cast<EffectRefRecord*>(effectH);
  if (!e || !Refs().effects.erase(e)) return kBad;
  delete e;
  return PF_Err_NONE;
}
AEGP_EffectSuite2 MakeEffectSuite() {
  AEGP_EffectSuite2 s{};
  s.AEGP_GetLayerNumEffects = Guarded<GetLayerNumEffects, "aegp.GetLayerNumEffects">;
  s.AEGP_GetLayerEffectByIndex = Guarded<GetLayerEffectByIndex, "aegp.GetLayerEffectByIndex">;
  s.AEGP_DisposeEffect = Guarded<DisposeEffect, "aegp.DisposeEffect">;
  return s;
}
const AEGP_EffectSuite2 kEffectSuite = MakeEffectSuite();

// ---- "AEGP PF Interface Suite" 1 -------------------------------------------------------------

const CompLayer* EffectLayer(PF_ProgPtr effect_ref) {
  Composition* comp = Comp();
  return comp ? comp->layerOfEffect(Instance(effect_ref)) : nullptr;
}

A_Err GetEffectLayer(PF_ProgPtr effect_ref, AEGP_LayerH* layer) {
  if (!effect_ref || !layer) return kBad;
  *layer = Handle(EffectLayer(effect_ref));  // null outside a composition
  return PF_Err_NONE;
}
A_Err GetNewEffectForEffect(AEGP_PluginID, PF_ProgPtr effect_ref, AEGP_EffectRefH* effect) {
  if (!effect_ref || !effect) return kBad;
  *effect = NewEffectRef(Instance(effect_ref));
  return PF_Err_NONE;
}
A_Err ConvertEffectToCompTime(PF_ProgPtr effect_ref, A_long what_time, A_u_long time_scale,
                              A_Time* comp_time) {
  if (!effect_ref || !comp_time || time_scale == 0) return kBad;
  const CompLayer* layer = EffectLayer(effect_ref);
  double ticks = (double)what_time + std::round((layer ? layer->offset : 0.0) * time_scale);
  ticks = std::clamp(ticks, -2147483647.0, 2147483647.0);
  *comp_time = A_Time{static_cast<A_long>(ticks), time_scale};
  return PF_Err_NONE;
}
A_Err GetEffectCamera(PF_ProgPtr effect_ref, const A_Time* comp_time, AEGP_LayerH* camera) {
  if (camera) *camera = nullptr;
  std::optional<double> t = CompSeconds(nullptr, AEGP_LTimeMode_CompTime, comp_time);
  if (!effect_ref || !camera || !t) return kBad;
  *camera = EffectLayer(effect_ref) ? Handle(Comp()->activeCamera(*t)) : nullptr;
  return PF_Err_NONE;
}
A_Err GetEffectCameraMatrix(PF_ProgPtr effect_ref, const A_Time* comp_time, A_Matrix4* matrix,
                            A_FpLong* distance, A_short* plane_width, A_short* plane_height) {
  std::optional<double> t = CompSeconds(nullptr, AEGP_LTimeMode_CompTime, comp_time);
  if (!effect_ref || !matrix || !t) return kBad;
  Composition* comp = Comp();
  if (!comp || !EffectLayer(effect_ref)) return kBad;
  *matrix = comp->cameraMatrix(*t);
  if (distance) {
    const CompLayer* camera = comp->activeCamera(*t);
    *distance =
        camera ? (*comp->streamValue(*camera, AEGP_LayerStream_ZOOM, *t))[0] : comp->defaultZoom();
  }
  if (plane_width) *plane_width = (A_short)std::min(comp->settings().width, 32767);
  if (plane_height) *plane_height = (A_short)std::min(comp->settings().height, 32767);
  return PF_Err_NONE;
}
const AEGP_PFInterfaceSuite1 kPFInterfaceSuite = {
    Guarded<GetEffectLayer, "aegp.GetEffectLayer">,
    Guarded<GetNewEffectForEffect, "aegp.GetNewEffectForEffect">,
    Guarded<ConvertEffectToCompTime, "aegp.ConvertEffectToCompTime">,
    Guarded<GetEffectCamera, "aegp.GetEffectCamera">,
    Guarded<GetEffectCameraMatrix, "aegp.GetEffectCameraMatrix">};

// ---- "PF AE App Suite" 6 and "PF AE Adv App Suite" 2 -----------------------------------------

PF_Err IsRenderEngine(PF_Boolean* render_engine) {
  if (!render_engine) return kBad;
  *render_engine = H().options().interactive ? 0 : 1;
  return PF_Err_NONE;
}
PFAppSuite4 MakeAppSuite() {
  PFAppSuite4 s{};
  s.PF_IsRenderEngine = Guarded<IsRenderEngine, "pf.PF_IsRenderEngine">;
  return s;
}
const PFAppSuite4 kAppSuite = MakeAppSuite();

PF_Err InfoDrawText(const A_char* line1, const A_char* line2) {
  H().setInfoLines({GbkToUtf8(line1 ? line1 : ""), GbkToUtf8(line2 ? line2 : "")});
  return PF_Err_NONE;
}
PF_AdvAppSuite2 MakeAdvAppSuite() {
  PF_AdvAppSuite2 s{};
  s.PF_InfoDrawText = Guarded<InfoDrawText, "pf.PF_InfoDrawText">;
  return s;
}
const PF_AdvAppSuite2 kAdvAppSuite = MakeAdvAppSuite();

}  // namespace

CompositionRefCounts OutstandingCompositionRefs() {
  return CompositionRefCounts{static_cast<int>(Refs().effects.size()),
                              static_cast<int>(Refs().streams.size()), Refs().values};
}

void ForgetEffectReferences(const EffectInstance* instance) {
  Registry& refs = Refs();
  for (auto it = refs.streams.begin(); it != refs.streams.end();) {
    if ((*it)->effect_stream && (*it)->instance == instance) {
      delete *it;
      it = refs.streams.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = refs.effects.begin(); it != refs.effects.end();) {
    if ((*it)->instance == instance) {
      delete *it;
      it = refs.effects.erase(it);
    } else {
      ++it;
    }
  }
}

void InstallCompositionSuites(Host& host) {
  Refs().clear();
  SuiteRegistry& r = host.suites();
  r.add(kAEGPLayerSuite, kAEGPLayerSuiteVersion5, &kLayerSuite);
  r.add(kAEGPCameraSuite, kAEGPCameraSuiteVersion2, &kCameraSuite);
  r.add(kAEGPLightSuite, kAEGPLightSuiteVersion2, &kLightSuite);
  r.add(kAEGPStreamSuite, kAEGPStreamSuiteVersion2, &kStreamSuite);
  r.add(kAEGPEffectSuite, kAEGPEffectSuiteVersion2, &kEffectSuite);
  r.add(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, &kPFInterfaceSuite);
  r.add(kPFAppSuite, kPFAppSuiteVersion4, &kAppSuite);
  r.add(kPFAdvAppSuite, kPFAdvAppSuiteVersion2, &kAdvAppSuite);
}

}  // namespace mf::host
