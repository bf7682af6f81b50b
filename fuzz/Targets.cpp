#include "fuzz/Targets.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "Bitmaps.h"
#include "DialogTemplate.h"
#include "PropertyList.h"
#include "ResourceImage.h"
#include "cli/SceneInstance.h"
#include "fuzz/SmallComposition.h"
#include "host/CameraImport.h"
#include "host/Composition.h"
#include "host/FrameRender.h"
#include "host/HostServices.h"
#include "host/MemorySuite.h"
#include "host/Worlds.h"
#include "params/ParamTable.h"
#include "params/SequenceData.h"

namespace mf::fuzz {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Broken(const std::string& what) {
  throw Finding("motefield fuzz: " + what);
}
void Require(bool ok, const std::string& what) {
  if (!ok) Broken(what);
}

// Reads values off the front of the input; zeros once it runs out, so every input is usable.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T take() {
    T v{};
    const size_t n = std::min(sizeof(T), size_);
    if (n) std::memcpy(&v, data_, n);
    data_ += n;
    size_ -= n;
    return v;
  }
  // lo to hi inclusive, taking only as many bytes as the span needs.
  long range(long lo, long hi) {
    const unsigned long span = static_cast<unsigned long>(hi - lo) + 1;
    unsigned long v = span <= 256     ? take<uint8_t>()
                      : span <= 65536 ? take<uint16_t>()
                                      : take<uint32_t>();
    return lo + static_cast<long>(v % span);
  }
  // Any bit pattern half the time, otherwise one of the values that break arithmetic.
  float anyFloat() {
    static const float kSpecial[] = {std::numeric_limits<float>::quiet_NaN(),
                                     -std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::denorm_min(),
                                     -std::numeric_limits<float>::denorm_min(),
                                     FLT_MAX,
                                     -FLT_MAX,
                                     FLT_MIN,
                                     0.0f,
                                     -0.0f,
                                     1.0f,
                                     0.5f,
                                     -1.0f};
    const uint8_t pick = take<uint8_t>();
    if (pick & 1) return std::bit_cast<float>(take<uint32_t>());
    return kSpecial[(pick >> 1) % std::size(kSpecial)];
  }
  size_t left() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

void RequireSame(host::Host& host, const Holdings& before, const char* after) {
  const Holdings now = Held(host);
  if (!(now == before))
    Broken(std::string("after ") + after + " the host holds " + Describe(now) +
           ", before it held " + Describe(before));
}

void EnsureGlobalSetup(host::Host& host) {
  if (!host.globallySetUp()) Require(host.globalSetup() == PF_Err_NONE, "global setup failed");
}

// Pixels of the composition's layers, by layer index.
class Passes final : public host::LayerSource {
 public:
  std::shared_ptr<const host::LayerImage> image(int layer, int) override {
    auto it = images.find(layer);
    return it == images.end() ? nullptr : it->second;
  }
  std::map<int, std::shared_ptr<host::LayerImage>> images;
};

// A diffuse, a specular and an alpha light, their names carrying the record's default prefixes.
std::vector<SmallLight> ThreeLights(AEGP_LightType type) {
  return {{"Diffuse key", type}, {"Specular rim", type}, {"Alpha fill", type}};
}

std::shared_ptr<host::LayerImage> Image(int width, int height, float fill) {
  auto img = std::make_shared<host::LayerImage>();
  img->width = width;
  img->height = height;
  img->rgba.assign(static_cast<size_t>(width) * height * 4, fill);
  return img;
}

void ChooseLayer(host::EffectInstance& instance, int param, int layer) {
  instance.params[param].u.ld.reserved0 = reinterpret_cast<void*>(static_cast<intptr_t>(layer + 1));
}

// Renders the first frame of the instance, which sits on the solid of the host's composition,
// and checks that everything lent for it came back and that the output has the composition's size.
PF_Err RenderChecked(host::Host& host, host::EffectInstance& instance, int depth,
                     bool high_quality) {
  const host::CompositionSettings& comp = host.composition()->settings();
  const int width = comp.width, height = comp.height;
  Holdings before = Held(host);
  const bool had_render_copy = instance.render_sequence_data != nullptr;
  const host::FrameRequest request =
      cli::LayerFrameRequest(comp, kSolidLayer, 0, {depth, 1, high_quality});
  host::Frame frame;
  PF_Err err = PF_Err_NONE;
  try {
    err = host.renderFrame(instance, request, &frame);
  } catch (const host::LayerError&) {
    err = PF_Err_BAD_CALLBACK_PARAM;  // the host refused the layer in plain words (no size)
    Require(width == 0 || height == 0, "a layer with pixels was refused");
  }
  if (!err) {
    Require(frame.world.width == width && frame.world.height == height,
            "the output is " + std::to_string(frame.world.width) + " x " +
                std::to_string(frame.world.height) + ", the composition " + std::to_string(width) +
                " x " + std::to_string(height));
  }
  frame.reset();
  // The instance keeps the render's copy of its record until it is taken down.
  if (!had_render_copy && instance.render_sequence_data) ++before.handles;
  RequireSame(host, before, "a frame");
  return err;
}

// A tiny frame of the instance in the small composition, with plain passes.
void RenderTiny(host::Host& host, host::EffectInstance& instance) {
  Passes passes;
  passes.images[kColourLayer] = Image(4, 4, 0.75f);
  passes.images[kPositionLayer] = Image(4, 4, 0.1f);
  passes.images[kNormalLayer] = Image(4, 4, 0.5f);
  host.setComposition(SmallComposition(8, 8, 4, ThreeLights(AEGP_LightType_POINT)));
  host.setLayerSource(&passes);
  host.composition()->attachEffect(kSolidLayer, &instance);
  ChooseLayer(instance, SOURCE_LAYER, kColourLayer);
  ChooseLayer(instance, POSITION_PASS, kPositionLayer);
  ChooseLayer(instance, NORMAL_PASS, kNormalLayer);
  instance.params[DIFFUSE_LIGHTS].u.bd.value = true;
  instance.params[SPECULAR_LIGHTS].u.bd.value = true;
  instance.params[ALPHA_LIGHTS].u.bd.value = true;
  RenderChecked(host, instance, 8, true);
  host.setLayerSource(nullptr);
  host.setComposition(nullptr);
}

// Flattens, renders and takes the instance down.
void Exercise(host::Host& host, host::EffectInstance* instance) {
  std::vector<uint8_t> flat;
  instance->flatten(&flat);
  RenderTiny(host, *instance);
  host.removeInstance(instance);
}

}  // namespace

void StoredRecord(host::Host& host, const uint8_t* data, size_t size) {
  EnsureGlobalSetup(host);
  host.clearMessages();
  const Holdings start = Held(host);
  PF_Err err = PF_Err_NONE;
  if (host::EffectInstance* restored = host.restoreInstance({data, data + size}, &err)) {
    Exercise(host, restored);
  }
  RequireSame(host, start, "a stored record");
}

void SceneFile(host::Host& host, const uint8_t* data, size_t size) {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("motefield-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  const fs::path file = dir / "scene.json";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  if (host.globallySetUp()) host.globalSetdown();
  host.clearMessages();
  const Holdings start = Held(host);
  std::ostringstream quiet;
  std::streambuf* was = std::cerr.rdbuf(quiet.rdbuf());
  cli::SceneEffect effect;
  cli::SetUpSceneEffect(host, file.string(), &effect);
  std::cerr.rdbuf(was);
  if (effect.instance) host.removeInstance(effect.instance);
  host.setComposition(nullptr);
  if (host.globallySetUp()) host.globalSetdown();
  RequireSame(host, start, "a scene");
}

namespace {

// Sets a control to its lowest or highest value, or anywhere in its range.
void SetControl(host::EffectInstance& instance, int index, Bytes& in, int layers) {
  const ParamRow* row = FindParamRow(index);
  if (!row) return;
  PF_ParamDef& def = instance.params[index];
  const int mode = in.take<uint8_t>() % 3;  // 0 lowest, 1 highest, 2 anywhere
  auto pick = [&](double lo, double hi) {
    if (mode < 2) return mode == 0 ? lo : hi;
    return lo + (hi - lo) * (in.take<uint16_t>() / 65535.0);
  };
  switch (row->type) {
    case PF_Param_FLOAT_SLIDER:
      def.u.fs_d.value = pick(row->valid_min, row->valid_max);
      break;
    case PF_Param_CHECKBOX:
      def.u.bd.value = mode == 1 || (mode == 2 && in.take<uint8_t>() & 1);
      break;
    case PF_Param_POPUP:
      def.u.pd.value = std::lround(pick(1, row->num_choices));
      break;
    case PF_Param_ANGLE:
      def.u.ad.value = static_cast<A_long>(std::lround(pick(-32000, 32000) * 65536));
      break;
    case PF_Param_COLOR: {
      const uint32_t bits = mode == 0 ? 0 : mode == 1 ? 0xFFFFFFFF : in.take<uint32_t>();
      std::memcpy(&def.u.cd.value, &bits, sizeof(bits));
      break;
    }
    case PF_Param_LAYER:
      ChooseLayer(instance, index, static_cast<int>(pick(-1, layers - 1)));
      break;
    default:
      break;
  }
}

std::shared_ptr<host::LayerImage> AnyImage(Bytes& in) {
  const int w = static_cast<int>(in.range(1, 8)), h = static_cast<int>(in.range(1, 8));
  auto img = Image(w, h, 0);
  for (float& v : img->rgba) v = in.anyFloat();
  return img;
}

}  // namespace

void Frame(host::Host& host, const uint8_t* data, size_t size) {
  EnsureGlobalSetup(host);
  host.clearMessages();
  Bytes in(data, size);
  const int width = static_cast<int>(in.range(0, 64));
  const int height = static_cast<int>(in.range(0, 64));
  const int depth = (const int[]){8, 16, 32}[in.range(0, 2)];
  const bool high_quality = in.take<uint8_t>() & 1;
  static const AEGP_LightType kLights[] = {AEGP_LightType_PARALLEL, AEGP_LightType_SPOT,
                                           AEGP_LightType_POINT, AEGP_LightType_AMBIENT};
  const AEGP_LightType light = kLights[in.range(0, 3)];

  const Holdings start = Held(host);
  host.setComposition(SmallComposition(width, height, 4, ThreeLights(light)));
  PF_Err err = PF_Err_NONE;
  host::EffectInstance* instance = host.newInstance(&err);
  Require(instance && !err, "sequence setup failed");
  host.composition()->attachEffect(kSolidLayer, instance);
  ChooseLayer(*instance, SOURCE_LAYER, kColourLayer);
  ChooseLayer(*instance, POSITION_PASS, kPositionLayer);
  const int layers = host.composition()->numLayers();
  for (long n = in.range(0, 32); n > 0; --n) {
    SetControl(*instance, static_cast<int>(in.range(1, PARAM_COUNT - 1)), in, layers);
  }
  Passes passes;
  for (int layer : {kColourLayer, kPositionLayer, kNormalLayer, kTextureLayer}) {
    passes.images[layer] = AnyImage(in);
  }
  host.setLayerSource(&passes);
  RenderChecked(host, *instance, depth, high_quality);
  host.setLayerSource(nullptr);
  host.removeInstance(instance);
  host.setComposition(nullptr);
  RequireSame(host, start, "a frame and its instance");
}

void Resources(host::Host&, const uint8_t* data, size_t size) {
  const platform::GdiObjectCounts gdi = platform::LiveGdiObjects();
  if (auto list = platform::PropertyList::Parse(data, size)) {
    for (const platform::Property& p : list->properties()) {
      list->pascalString(p.key);
      list->cString(p.key);
      list->code(p.key);
      list->u32(p.key);
    }
  }
  const auto image = platform::ResourceImage::Parse(data, size);
  if (!image) return;
  const platform::ModuleImage module{data, size};
  HDC dc = CreateCompatibleDC(nullptr);
  for (const platform::ResourceEntry& e : image->entries()) {
    if (e.type == platform::ResourceId(platform::kResourceTypeDialog)) {
      platform::ParseDialogTemplate(e.data, e.size);
    } else if (e.type == platform::ResourceId(u"PIPL")) {
      platform::PropertyList::Parse(e.data, e.size);
    } else if (e.type == platform::ResourceId(platform::kResourceTypeBitmap) && e.name.isNumber()) {
      HBITMAP bitmap =
          LoadBitmapA(platform::ToInstance(&module), MAKEINTRESOURCEA(e.name.number()));
      if (!bitmap) continue;
      BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
      if (GetDIBits(dc, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS)) {
        const LONG w = info.bmiHeader.biWidth;
        const LONG h = info.bmiHeader.biHeight == INT32_MIN ? 0 : std::abs(info.bmiHeader.biHeight);
        if (w > 0 && h > 0 && static_cast<int64_t>(w) * h <= (1 << 20)) {
          std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
          BITMAPINFO want{};
          want.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
          GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), pixels.data(), &want, DIB_RGB_COLORS);
        }
      }
      DeleteObject(bitmap);
    }
  }
  DeleteDC(dc);
  const platform::GdiObjectCounts after = platform::LiveGdiObjects();
  Require(after.bitmaps == gdi.bitmaps && after.device_contexts == gdi.device_contexts,
          "a bitmap or device context was left alive");
}

void CameraImport(host::Host&, const uint8_t* data, size_t size) {
  if (size == 0) return;
  const uint8_t mode = data[0];
  const bool invert_z = mode & 2;
  try {
    if (mode & 1) {
      const host::ExrCameraHeader header = host::ReadExrCameraHeader(data + 1, size - 1);
      if (header.world_to_camera && header.world_to_ndc)
        host::CameraFromExrHeader(header, invert_z);
    } else {
      host::ChanOptions options;
      options.height = (mode >> 2) * 64;
      options.rotation_order = (const char* const[]){"zxy", "xyz", "yxz", "zyx"}[(mode >> 6) & 3];
      if (mode & 4) options.default_zoom = 1000;
      options.invert_z = invert_z;
      host::ParseChan({reinterpret_cast<const char*>(data + 1), size - 1}, options);
    }
  } catch (const host::CameraImportError&) {
    // refused in plain words: what a bad file should get
  }
}

const std::vector<Target>& Targets() {
  static const std::vector<Target> targets = {{"record", StoredRecord},
                                              {"scene", SceneFile},
                                              {"frame", Frame},
                                              {"resources", Resources},
                                              {"camera", CameraImport}};
  return targets;
}

host::Host& SharedHost() {
  static host::Host* host = [] {
    host::HostOptions options;
    const fs::path dir =
        fs::temp_directory_path() / ("motefield-fuzz-prefs-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    options.preferences_path = (dir / "preferences.json").string();
    return new host::Host(options);  // lives as long as the process: the plug-in stays loaded
  }();
  return *host;
}

}  // namespace mf::fuzz
