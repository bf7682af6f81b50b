// The plug-in read through blocks laid out from the host's layout facts (tests/host-abi/), not
// from hostapi/: a shim between the stand-in host and the plug-in copies every in/out member to
// the offset the facts give it, hands the plug-in those raw bytes and copies its answers back.
// A declaration that disagrees with the host makes the plug-in read or write the wrong bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CameraScene.h"
#include "ElfSection.h"
#include "HostFixture.h"
#include "PropertyList.h"
#include "ResourceImage.h"
#include "host/Composition.h"
#include "host/Frame.h"
#include "params/ParamIndex.h"
#include "params/ParamTable.h"
#include "raster/PixelFormat.h"

namespace mf::test {
namespace {

// Offsets and sizes of one record, by member name, as the facts give them.
struct Layout {
  size_t size = 0;
  std::map<std::string, std::pair<size_t, size_t>> members;  // name -> (offset, size)
};

Layout LayoutOf(const std::string& record) {
  static const nlohmann::json facts = [] {
    std::ifstream in(MOTEFIELD_SOURCE_DIR "/tests/host-abi/host-abi.json");
    return nlohmann::json::parse(in);
  }();
  const auto& r = facts.at("structs").at(record);
  Layout layout;
  layout.size = r.at("size");
  for (const auto& f : r.at("fields"))
    layout.members[f.at("name")] = {f.at("offset").get<size_t>(), f.at("size").get<size_t>()};
  return layout;
}

// A block of raw bytes with members placed by name.
class Block {
 public:
  explicit Block(const std::string& record)
      : layout_(LayoutOf(record)), words_((layout_.size + 7) / 8, 0) {}
  uint8_t* data() { return reinterpret_cast<uint8_t*>(words_.data()); }
  size_t offset(const std::string& name) const { return layout_.members.at(name).first; }

  template <class T>
  void put(const std::string& name, const T& value) {
    ASSERT_EQ(layout_.members.at(name).second, sizeof(T)) << name;
    std::memcpy(data() + offset(name), &value, sizeof(T));
  }
  template <class T>
  T get(const std::string& name) {
    T value{};
    EXPECT_EQ(layout_.members.at(name).second, sizeof(T)) << name;
    std::memcpy(&value, data() + offset(name), sizeof(T));
    return value;
  }

 private:
  Layout layout_;
  std::vector<uint64_t> words_;
};

// What the shim saw: the out block of every command, and each parameter as registered.
struct Seen {
  PF_EntryPointFunc plugin = nullptr;
  PF_Err (*host_add_param)(PF_ProgPtr, PF_ParamIndex, PF_ParamDef*) = nullptr;
  std::map<PF_Cmd, std::vector<uint8_t>> out_blocks;
  std::vector<std::vector<uint8_t>> registered;
};
Seen* g_seen = nullptr;

PF_Err RecordingAddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDef* def) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(def);
  g_seen->registered.emplace_back(bytes, bytes + LayoutOf("PF_ParamDef").size);
  return g_seen->host_add_param(ref, index, def);
}

#define MF_PUT(block, source, member) block.put(#member, source.member)
#define MF_TAKE(block, target, member) target.member = block.get<decltype(target.member)>(#member)

void FillInteract(Block& inter, const PF_InteractCallbacks& host) {
  MF_PUT(inter, host, checkout_param);
  MF_PUT(inter, host, checkin_param);
  inter.put("add_param", &RecordingAddParam);
  MF_PUT(inter, host, abort);
  MF_PUT(inter, host, progress);
  MF_PUT(inter, host, register_ui);
}

void FillIn(Block& raw, const PF_InData& in, Block& inter) {
  std::memcpy(raw.data() + raw.offset("inter"), inter.data(),
              LayoutOf("PF_InteractCallbacks").size);
  for (auto* m : {"utils", "effect_ref", "pica_basicP"}) (void)m;
  MF_PUT(raw, in, utils);
  MF_PUT(raw, in, effect_ref);
  MF_PUT(raw, in, quality);
  MF_PUT(raw, in, version);
  MF_PUT(raw, in, appl_id);
  MF_PUT(raw, in, num_params);
  MF_PUT(raw, in, current_time);
  MF_PUT(raw, in, time_step);
  MF_PUT(raw, in, total_time);
  MF_PUT(raw, in, local_time_step);
  MF_PUT(raw, in, time_scale);
  MF_PUT(raw, in, field);
  MF_PUT(raw, in, shutter_angle);
  MF_PUT(raw, in, width);
  MF_PUT(raw, in, height);
  MF_PUT(raw, in, extent_hint);
  MF_PUT(raw, in, output_origin_x);
  MF_PUT(raw, in, output_origin_y);
  MF_PUT(raw, in, downsample_x);
  MF_PUT(raw, in, downsample_y);
  MF_PUT(raw, in, pixel_aspect_ratio);
  MF_PUT(raw, in, in_flags);
  MF_PUT(raw, in, global_data);
  MF_PUT(raw, in, sequence_data);
  MF_PUT(raw, in, frame_data);
  MF_PUT(raw, in, pica_basicP);
  MF_PUT(raw, in, pre_effect_source_origin_x);
  MF_PUT(raw, in, pre_effect_source_origin_y);
  MF_PUT(raw, in, shutter_phase);
}

void FillOut(Block& raw, const PF_OutData& out) {
  MF_PUT(raw, out, global_data);
  MF_PUT(raw, out, sequence_data);
  MF_PUT(raw, out, frame_data);
  MF_PUT(raw, out, width);
  MF_PUT(raw, out, height);
}

void TakeOut(Block& raw, PF_OutData& out) {
  MF_TAKE(raw, out, my_version);
  std::memcpy(out.name, raw.data() + raw.offset("name"), sizeof out.name);
  MF_TAKE(raw, out, global_data);
  MF_TAKE(raw, out, num_params);
  MF_TAKE(raw, out, sequence_data);
  MF_TAKE(raw, out, flat_sdata_size);
  MF_TAKE(raw, out, frame_data);
  MF_TAKE(raw, out, width);
  MF_TAKE(raw, out, height);
  MF_TAKE(raw, out, origin);
  MF_TAKE(raw, out, out_flags);
  std::memcpy(out.return_msg, raw.data() + raw.offset("return_msg"), sizeof out.return_msg);
  MF_TAKE(raw, out, out_flags2);
}

PF_Err Shim(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
            PF_LayerDef* output, void* extra) {
  Block inter("PF_InteractCallbacks"), in("PF_InData"), out("PF_OutData");
  g_seen->host_add_param = in_data->inter.add_param;
  FillInteract(inter, in_data->inter);
  FillIn(in, *in_data, inter);
  FillOut(out, *out_data);
  const PF_Err err =
      g_seen->plugin(cmd, reinterpret_cast<PF_InData*>(in.data()),
                     reinterpret_cast<PF_OutData*>(out.data()), params, output, extra);
  TakeOut(out, *out_data);
  g_seen->out_blocks[cmd].assign(out.data(), out.data() + LayoutOf("PF_OutData").size);
  return err;
}

template <class T>
T At(const std::vector<uint8_t>& bytes, size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

mf::platform::PropertyList BuiltPropertyList() {
  auto section = mf::platform::ReadElfSection(MOTEFIELD_PLUGIN_PATH, "motefield_rsrc");
  EXPECT_TRUE(section.has_value());
  auto resources = mf::platform::ResourceImage::Parse(section->data(), section->size());
  const auto* entry =
      resources->find(mf::platform::ResourceId(u"PIPL"), mf::platform::ResourceId(16000),
                      mf::platform::kLanguageUsEnglish);
  EXPECT_NE(entry, nullptr);
  return *mf::platform::PropertyList::Parse(entry->data, entry->size);
}

class HostBinaryBlocks : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    seen_.plugin = host().pluginEntry();
    g_seen = &seen_;
    host().setEntryShim(&Shim);
  }
  void TearDown() override {
    HostTest::TearDown();
    g_seen = nullptr;
  }

  // A camera at (0, 0, -100) with zoom 100 over a 40 x 40 solid; one opaque red sample of the
  // position pass at world (10.5, 5.5, 0) lands on pixel (30, 25).
  void BuildScene() {
    host().setComposition(CameraOverSolid(1));
    source_.images[2] = Pixel(1, 0, 0);
    source_.images[3] = Pixel(0.105f, 0.055f, 0);
    host().setLayerSource(&source_);
  }
  static std::shared_ptr<host::LayerImage> Pixel(float r, float g, float b) {
    auto img = std::make_shared<host::LayerImage>();
    img->width = img->height = 1;
    img->rgba = {r, g, b, 1};
    return img;
  }

  Seen seen_;
  ImageSource source_;
};

TEST_F(HostBinaryBlocks, GlobalSetupParamsAndARenderReadTheHostsOffsets) {
  BuildScene();
  // Global setup: the version, the basic suite and the utility callbacks are read where the host
  // puts them, and the answers land where it reads them, agreeing with the property list.
  ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
  Block out("PF_OutData");
  const auto& global = seen_.out_blocks.at(PF_Cmd_GLOBAL_SETUP);
  const auto list = BuiltPropertyList();
  EXPECT_EQ(At<uint32_t>(global, out.offset("my_version")), list.u32("eVER"));
  EXPECT_EQ(At<uint32_t>(global, out.offset("out_flags")), list.u32("eGLO"));
  EXPECT_EQ(At<uint32_t>(global, out.offset("out_flags2")), list.u32("eGL2"));
  EXPECT_EQ(out.offset("out_flags2"), 400u);
  EXPECT_TRUE(host().handles().owns(At<PF_Handle>(global, out.offset("global_data"))));
  std::string about;
  ASSERT_EQ(host().about(&about), PF_Err_NONE);  // written through utils->ansi.sprintf
  EXPECT_EQ(about.rfind("Motefield, v1.0", 0), 0u) << about;

  // Parameter setup: every control arrives through add_param; a float slider's default is a
  // 4-byte float at 64 of the union, its precision at 68.
  host::EffectInstance* instance = host().newInstance();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(seen_.registered.size(), size_t(PARAM_COUNT - 1));
  Block def("PF_ParamDef"), slider("PF_FloatSliderDef");
  const size_t u = def.offset("u");
  int sliders = 0;
  for (size_t i = 0; i < seen_.registered.size(); ++i) {
    const ParamRow& row = ParamTable()[i + 1];
    const auto& bytes = seen_.registered[i];
    ASSERT_EQ(At<A_long>(bytes, def.offset("param_type")), row.type) << i;
    if (row.type != PF_Param_FLOAT_SLIDER) continue;
    ++sliders;
    EXPECT_EQ(At<float>(bytes, u + slider.offset("dephault")), float(row.dephault)) << i;
    EXPECT_EQ(At<int16_t>(bytes, u + slider.offset("precision")), row.precision) << i;
    EXPECT_EQ(At<int16_t>(bytes, u + slider.offset("display_flags")), row.display_flags) << i;
  }
  EXPECT_GT(sliders, 0);
  EXPECT_EQ(slider.offset("dephault"), 64u);

  // A small smart render: the effect finds its layer through effect_ref and its record through
  // global_data, and draws the red sample where the camera puts it.
  host().composition()->attachEffect(1, instance);
  instance->params[SOURCE_LAYER].u.ld.reserved0 = reinterpret_cast<void*>(intptr_t{3});
  instance->params[POSITION_PASS].u.ld.reserved0 = reinterpret_cast<void*>(intptr_t{4});
  instance->params[GAIN_X].u.fs_d.value = 100;
  instance->params[PIXEL_BLEND_MODE].u.pd.value = 1;
  instance->params[DIFFUSE_LIGHTS].u.bd.value = 0;
  instance->params[SPECULAR_LIGHTS].u.bd.value = 0;
  instance->params[ENABLE_GRID].u.bd.value = 0;
  host::FrameRequest request;
  request.layer = 1;
  request.width = request.height = 40;
  request.bit_depth = 32;
  host::Frame frame;
  ASSERT_EQ(host().renderFrame(*instance, request, &frame), PF_Err_NONE);
  ColorF c{};
  ASSERT_TRUE(ReadColorF(ViewOf(frame.world, frame.format), 30, 25, &c));
  EXPECT_FLOAT_EQ(c.red, 1.0f);
  EXPECT_FLOAT_EQ(c.green, 0.0f);
  EXPECT_FLOAT_EQ(c.alpha, 1.0f);
}

}  // namespace
}  // namespace mf::test
