// Smart pre-render through the host: the record it leaves for the render, the render-mode
// adjustments, the clamps that keep huge slider values inside the record's integer fields, the
// input checkout and the output extent, and its failures.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>

#include "HostFixture.h"
#include "host/Composition.h"
#include "host/Expressions.h"
#include "host/FrameRender.h"
#include "host/Worlds.h"
#include "params/ParamIndex.h"
#include "render/PreRenderData.h"

namespace mf::test {
namespace {

// What the test's input checkout reports, and what it saw.
struct InputCheckout {
  PF_Err err = PF_Err_NONE;
  PF_LRect result{0, 0, 64, 48};
  PF_LRect max_result{0, 0, 64, 48};
  int calls = 0;
  PF_ParamIndex index = -1;
  A_long checkout_id = -1;
  A_long what_time = -1;
  PF_RenderRequest request{};
  PF_ParamDef* scribble = nullptr;  // a control written during the command, as a careless effect
} g_input;

PF_Err TestCheckoutLayer(PF_ProgPtr, PF_ParamIndex index, A_long checkout_id,
                         const PF_RenderRequest* req, A_long what_time, A_long, A_u_long,
                         PF_CheckoutResult* result) {
  ++g_input.calls;
  g_input.index = index;
  g_input.checkout_id = checkout_id;
  g_input.what_time = what_time;
  g_input.request = *req;
  if (g_input.scribble) g_input.scribble->u.fs_d.value = 99;
  if (g_input.err) return g_input.err;
  result->result_rect = g_input.result;
  result->max_result_rect = g_input.max_result;
  return PF_Err_NONE;
}

struct PreRenderRun {
  PF_Err err = PF_Err_NONE;
  bool has_record = false;
  PreRenderData record{};
  PF_PreRenderOutput output{};
};

class SmartPreRenderTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_EQ(host().globalSetup(), PF_Err_NONE);
    instance_ = host().newInstance();
    ASSERT_NE(instance_, nullptr);
    g_input = InputCheckout{};
  }

  PF_ParamDef& param(int index) { return instance_->params[index]; }
  void slider(int index, double v) { param(index).u.fs_d.value = v; }
  void check(int index, A_long v) { param(index).u.bd.value = v; }
  void popup(int index, A_long v) { param(index).u.pd.value = v; }

  // Sends the command through the host with the test's checkout, then reads the record and
  // releases it through the function the effect handed over with it, as the host does.
  PreRenderRun preRender(PF_LRect output_rect = {0, 0, 0, 0}) {
    PF_PreRenderInput input{};
    input.output_request.rect = PF_LRect{0, 0, 64, 48};
    input.output_request.channel_mask = PF_ChannelMask_ARGB;
    input.output_request.reserved[2] = 77;  // passed on unchanged
    input.bitdepth = 32;
    PreRenderRun run;
    run.output.result_rect = output_rect;
    run.output.max_result_rect = output_rect;
    PF_PreRenderCallbacks cb{TestCheckoutLayer, nullptr};
    PF_PreRenderExtra extra{&input, &run.output, &cb};
    PF_InData& in = host().inData();
    in.width = 64;
    in.height = 48;
    const size_t handles_before = host().handles().live();
    run.err = instance_->send(PF_Cmd_SMART_PRE_RENDER, &extra);
    if (run.output.pre_render_data) {
      EXPECT_NE(run.output.delete_pre_render_data_func, nullptr);
      std::memcpy(&run.record, run.output.pre_render_data, sizeof(PreRenderData));
      run.has_record = true;
      run.output.delete_pre_render_data_func(run.output.pre_render_data);
    }
    EXPECT_EQ(host().handles().live(), handles_before) << "nothing else may be left behind";
    return run;
  }

  host::EffectInstance* instance_ = nullptr;
};

TEST_F(SmartPreRenderTest, ConvertsEveryKindOfControl) {
  slider(FALLOFF_BIAS, 50);
  slider(SPECULAR_SHININESS, 2.5);
  slider(PIXEL_SIZE, 2.5);
  slider(GRID_SIZE, 128.9);
  slider(GRID_SUBDIVIDE, 7.99);
  slider(SCATTER_RANDOM_SEED, 6.5);
  slider(SCALE_Y, -250);
  slider(IBL_GAIN, 150);
  slider(REFERENCE_CAMERA_ZOOM, 1234.5);
  check(INVERT_Y, 7);        // any positive value is on
  check(DIFFUSE_LIGHTS, 0);  // 0 is off
  check(ALPHA_LIGHTS, -1);   // not above 0: off
  param(IBL_ROTATION_X).u.ad.value = 90 * 65536;
  param(CAMERA_ROTATION_Z).u.ad.value = -45 * 65536 - 32768;  // -45.5°
  param(COMPOSITE_ALPHA_COLOR).u.cd.value = PF_Pixel{0, 255, 128, 0};
  param(SPECULAR_COLOR).u.cd.value = PF_Pixel{17, 51, 0, 255};

  PreRenderRun run = preRender();
  ASSERT_EQ(run.err, PF_Err_NONE);
  ASSERT_TRUE(run.has_record);
  const PreRenderData& r = run.record;
  EXPECT_EQ(r.RENDER_MODE, 1);
  EXPECT_FLOAT_EQ(r.FALLOFF_BIAS, -0.5f);
  EXPECT_EQ(r.SPECULAR_SHININESS, 6);  // twice 2.5 rounded half up
  EXPECT_EQ(r.PIXEL_SIZE, 3);          // 2.5 + 0.5 = 3
  EXPECT_EQ(r.GRID_SIZE, 128);         // truncated
  EXPECT_EQ(r.GRID_SUBDIVIDE, 7);
  EXPECT_EQ(r.SCATTER_RANDOM_SEED, 7);
  EXPECT_FLOAT_EQ(r.SCALE_X, 1.0f);  // default 100 %
  EXPECT_FLOAT_EQ(r.SCALE_Y, -2.5f);
  EXPECT_FLOAT_EQ(r.IBL_GAIN, 1.5f);
  EXPECT_DOUBLE_EQ(r.REFERENCE_CAMERA_ZOOM, 1234.5);
  EXPECT_EQ(r.CAMERA_ZOOM, double(622.2f));  // the default as the host holds it, a float
  EXPECT_DOUBLE_EQ(r.RESOLUTION, 1.0);
  EXPECT_TRUE(r.INVERT_Y);
  EXPECT_FALSE(r.DIFFUSE_LIGHTS);
  EXPECT_FALSE(r.ALPHA_LIGHTS);
  EXPECT_TRUE(r.SPECULAR_LIGHTS);  // default on
  // 90° = π/2; -45.5° = -0.7941248...
  EXPECT_FLOAT_EQ(r.IBL_ROTATION_X, 1.5707963f);
  EXPECT_FLOAT_EQ(r.CAMERA_ROTATION_Z, -0.79412480f);
  EXPECT_EQ(r.NORMAL_ROTATION_Y, 0.0f);
  // Colours: alpha 1.0 whatever the control's alpha; channels / 255.
  EXPECT_EQ(r.COMPOSITE_ALPHA_COLOR.alpha, 1.0f);
  EXPECT_EQ(r.COMPOSITE_ALPHA_COLOR.red, 1.0f);
  EXPECT_EQ(r.COMPOSITE_ALPHA_COLOR.green, 128.0f / 255.0f);
  EXPECT_EQ(r.COMPOSITE_ALPHA_COLOR.blue, 0.0f);
  EXPECT_EQ(r.SPECULAR_COLOR.alpha, 1.0f);
  EXPECT_EQ(r.SPECULAR_COLOR.red, 51.0f / 255.0f);
  EXPECT_EQ(r.SPECULAR_COLOR.blue, 1.0f);
  // Frame facts.
  EXPECT_EQ(r.layer_width, 64);
  EXPECT_EQ(r.layer_height, 48);
  EXPECT_EQ(r.downsample_factor_x, 1u);
  EXPECT_EQ(r.downsample_factor_y, 1u);
}

TEST_F(SmartPreRenderTest, PreviewModesScaleResolutionAndPixelSize) {
  // Mode 4 (1/3): resolution × 0.3333 exactly that decimal, pixel size × 3.
  popup(RENDER_MODE, 4);
  slider(RESOLUTION, 100);
  slider(PIXEL_SIZE, 1);
  check(ENABLE_PIXEL_ANTIALIAS, 1);
  check(SOFTEN_PIXELS, 1);
  popup(PIXEL_BLEND_MODE, 5);
  PreRenderRun run = preRender();
  ASSERT_EQ(run.err, PF_Err_NONE);
  EXPECT_EQ(run.record.RESOLUTION, 0.3333);
  EXPECT_EQ(run.record.PIXEL_SIZE, 3);
  EXPECT_EQ(run.record.PIXEL_BLEND_MODE, 1);
  EXPECT_FALSE(run.record.ENABLE_PIXEL_ANTIALIAS);
  EXPECT_FALSE(run.record.SOFTEN_PIXELS);
  EXPECT_TRUE(run.record.ENABLE_GRID);

  // Modes 3, 5, 6 at 50 %: 0.25, 0.125, 0.0625; pixel size 5 → 10, 20, 40.
  slider(RESOLUTION, 50);
  slider(PIXEL_SIZE, 5);
  const struct {
    int mode;
    double resolution;
    int pixel_size;
  } expected[] = {{3, 0.25, 10}, {5, 0.125, 20}, {6, 0.0625, 40}};
  for (const auto& e : expected) {
    popup(RENDER_MODE, e.mode);
    run = preRender();
    EXPECT_EQ(run.record.RESOLUTION, e.resolution) << e.mode;
    EXPECT_EQ(run.record.PIXEL_SIZE, e.pixel_size) << e.mode;
    EXPECT_TRUE(run.record.ENABLE_GRID) << e.mode;
    EXPECT_TRUE(run.record.DIFFUSE_LIGHTS) << e.mode;
  }
}

TEST_F(SmartPreRenderTest, TwoDimensionalAndDataModesSwitchOffWhatTheyCannotUse) {
  check(ENABLE_GRID, 1);
  check(ENABLE_PIXEL_ANTIALIAS, 1);
  check(SOFTEN_PIXELS, 1);
  check(ALPHA_LIGHTS, 1);
  slider(PIXEL_SIZE, 5);
  popup(PIXEL_BLEND_MODE, 7);

  // 2D relight: pixel size 1, copy, no anti-aliasing, soften or grid; lights kept.
  popup(RENDER_MODE, 2);
  PreRenderRun run = preRender();
  EXPECT_EQ(run.record.PIXEL_SIZE, 1);
  EXPECT_EQ(run.record.PIXEL_BLEND_MODE, 1);
  EXPECT_FALSE(run.record.ENABLE_GRID);
  EXPECT_FALSE(run.record.ENABLE_PIXEL_ANTIALIAS);
  EXPECT_FALSE(run.record.SOFTEN_PIXELS);
  EXPECT_TRUE(run.record.DIFFUSE_LIGHTS);
  EXPECT_TRUE(run.record.ALPHA_LIGHTS);

  // 7 and 8: as 2, and every light switch off.
  for (int mode : {7, 8}) {
    popup(RENDER_MODE, mode);
    run = preRender();
    EXPECT_EQ(run.record.PIXEL_SIZE, 1) << mode;
    EXPECT_FALSE(run.record.ENABLE_GRID) << mode;
    EXPECT_FALSE(run.record.ENABLE_PIXEL_ANTIALIAS) << mode;
    EXPECT_FALSE(run.record.DIFFUSE_LIGHTS || run.record.SPECULAR_LIGHTS || run.record.ALPHA_LIGHTS)
        << mode;
  }

  // 9 and 10: anti-aliasing, soften, grid and pixel size as set; copy; lights off.
  for (int mode : {9, 10}) {
    popup(RENDER_MODE, mode);
    run = preRender();
    EXPECT_EQ(run.record.PIXEL_SIZE, 5) << mode;
    EXPECT_EQ(run.record.PIXEL_BLEND_MODE, 1) << mode;
    EXPECT_TRUE(run.record.ENABLE_GRID) << mode;
    EXPECT_TRUE(run.record.ENABLE_PIXEL_ANTIALIAS) << mode;
    EXPECT_TRUE(run.record.SOFTEN_PIXELS) << mode;
    EXPECT_FALSE(run.record.DIFFUSE_LIGHTS || run.record.SPECULAR_LIGHTS || run.record.ALPHA_LIGHTS)
        << mode;
  }

  // Mode 1 leaves everything as set.
  popup(RENDER_MODE, 1);
  run = preRender();
  EXPECT_EQ(run.record.PIXEL_SIZE, 5);
  EXPECT_EQ(run.record.PIXEL_BLEND_MODE, 7);
  EXPECT_TRUE(run.record.SOFTEN_PIXELS);
}

TEST_F(SmartPreRenderTest, HugeSliderValuesAreHeldToTheirFields) {
  // The sliders accept up to the largest float; the integer fields cannot hold that.
  slider(PIXEL_SIZE, FLT_MAX);
  slider(SPECULAR_SHININESS, FLT_MAX);
  slider(SCATTER_RANDOM_SEED, FLT_MAX);
  slider(GRID_SIZE, FLT_MAX);
  slider(GRID_SUBDIVIDE, 128);
  slider(GAIN_X, -FLT_MAX);
  slider(SCALE_Z, FLT_MAX);
  slider(ADD_PIXEL_PERSPECTIVE, FLT_MAX);
  PreRenderRun run = preRender();
  ASSERT_EQ(run.err, PF_Err_NONE);
  EXPECT_EQ(run.record.PIXEL_SIZE, 32767);
  EXPECT_EQ(run.record.SPECULAR_SHININESS, 32766);  // twice 16383: still even
  EXPECT_EQ(run.record.SCATTER_RANDOM_SEED, 32767);
  EXPECT_EQ(run.record.GRID_SIZE, INT_MAX);
  EXPECT_EQ(run.record.GRID_SUBDIVIDE, 128);
  EXPECT_EQ(run.record.GAIN_X, -FLT_MAX);
  EXPECT_EQ(run.record.SCALE_Z, static_cast<float>(FLT_MAX / 100.0));
  EXPECT_EQ(run.record.ADD_PIXEL_PERSPECTIVE, static_cast<float>(FLT_MAX / 100.0));

  // The preview modes multiply the pixel size; the product stays at the 16-bit limit.
  popup(RENDER_MODE, 6);
  run = preRender();
  EXPECT_EQ(run.record.PIXEL_SIZE, 32767);
  slider(PIXEL_SIZE, 5000);  // × 8 = 40000 does not fit either
  run = preRender();
  EXPECT_EQ(run.record.PIXEL_SIZE, 32767);
  slider(PIXEL_SIZE, 4095);  // × 8 = 32760 fits
  run = preRender();
  EXPECT_EQ(run.record.PIXEL_SIZE, 32760);

  // Just below the limits the values are kept as they are.
  popup(RENDER_MODE, 1);
  slider(PIXEL_SIZE, 32766.4);
  slider(SPECULAR_SHININESS, 16382.6);  // rounded 16383, doubled 32766
  slider(SCATTER_RANDOM_SEED, 32766.5);
  slider(GRID_SIZE, 2147483646.0);
  run = preRender();
  EXPECT_EQ(run.record.PIXEL_SIZE, 32766);
  EXPECT_EQ(run.record.SPECULAR_SHININESS, 32766);
  EXPECT_EQ(run.record.SCATTER_RANDOM_SEED, 32767);
  EXPECT_EQ(run.record.GRID_SIZE, 2147483646);
}

TEST_F(SmartPreRenderTest, ChecksOutTheInputAndReportsTheOutputExtent) {
  host().inData().current_time = 36;
  g_input.result = PF_LRect{3, 4, 50, 60};
  g_input.max_result = PF_LRect{0, 0, 64, 80};
  PreRenderRun run = preRender();
  ASSERT_EQ(run.err, PF_Err_NONE);
  EXPECT_EQ(g_input.calls, 1);
  EXPECT_EQ(g_input.index, 0);        // the layer the effect is on
  EXPECT_EQ(g_input.checkout_id, 0);  // the ID the render uses for its pixels
  EXPECT_EQ(g_input.what_time, 36);
  EXPECT_EQ(g_input.request.rect.right, 64);
  EXPECT_EQ(g_input.request.reserved[2], 77);
  EXPECT_EQ(run.record.input_origin_x, 3);
  EXPECT_EQ(run.record.input_origin_y, 4);
  // Empty output rectangles become the input's.
  EXPECT_EQ(run.output.result_rect.left, 3);
  EXPECT_EQ(run.output.result_rect.bottom, 60);
  EXPECT_EQ(run.output.max_result_rect.bottom, 80);

  // A non-empty output is widened to hold both: {0,0,10,10} ∪ {3,4,50,60} = {0,0,50,60}.
  run = preRender(PF_LRect{0, 0, 10, 10});
  EXPECT_EQ(run.output.result_rect.left, 0);
  EXPECT_EQ(run.output.result_rect.top, 0);
  EXPECT_EQ(run.output.result_rect.right, 50);
  EXPECT_EQ(run.output.result_rect.bottom, 60);

  // An empty input leaves a non-empty output as it was.
  g_input.result = PF_LRect{5, 5, 5, 9};
  run = preRender(PF_LRect{1, 2, 3, 4});
  EXPECT_EQ(run.output.result_rect.left, 1);
  EXPECT_EQ(run.output.result_rect.right, 3);
  EXPECT_EQ(run.output.result_rect.bottom, 4);
}

TEST_F(SmartPreRenderTest, DownsampleFactorsAreTheRatioTurnedUpsideDown) {
  PF_InData& in = host().inData();
  in.downsample_x = PF_RationalScale{1, 4};
  in.downsample_y = PF_RationalScale{2, 2};
  PreRenderRun run = preRender();
  EXPECT_EQ(run.record.downsample_factor_x, 4u);
  EXPECT_EQ(run.record.downsample_factor_y, 1u);

  // A ratio no host means (zero or negative numerator, a larger numerator) must not divide by
  // zero or give a factor the render would divide by: full resolution.
  in.downsample_x = PF_RationalScale{0, 2};
  in.downsample_y = PF_RationalScale{3, 2};
  run = preRender();
  EXPECT_EQ(run.err, PF_Err_NONE);
  EXPECT_EQ(run.record.downsample_factor_x, 1u);
  EXPECT_EQ(run.record.downsample_factor_y, 1u);
  in.downsample_x = in.downsample_y = PF_RationalScale{1, 1};
}

TEST_F(SmartPreRenderTest, KeyframedControlsAreReadAtTheFramesTime) {
  // GAIN_X keyed 1 at 0 s and 3 at 2 s; at 24 fps frame 24 is 1 s: 2.0. IBL_ROTATION_Y keyed
  // 0° at 0 s and 90° at 1 s; at 0.5 s: 45° = 0.78539816 rad.
  instance_->keyframes[GAIN_X] = {{0.0, 1.0}, {2.0, 3.0}};
  instance_->keyframes[IBL_ROTATION_Y] = {{0.0, 0.0}, {1.0, 90.0}};
  instance_->keyframes[PIXEL_SIZE] = {{0.0, -50.0}, {1.0, 1e39}};  // outside the slider's range
  PF_InData& in = host().inData();
  in.time_scale = 24;
  in.time_step = 1;

  in.current_time = 24;
  PreRenderRun run = preRender();
  EXPECT_FLOAT_EQ(run.record.GAIN_X, 2.0f);
  EXPECT_FLOAT_EQ(run.record.IBL_ROTATION_Y, 1.5707963f);  // after the last key: 90°
  EXPECT_EQ(run.record.PIXEL_SIZE, 32767);  // held to the valid range, then to 16 bits

  in.current_time = 12;
  run = preRender();
  EXPECT_FLOAT_EQ(run.record.GAIN_X, 1.5f);
  EXPECT_FLOAT_EQ(run.record.IBL_ROTATION_Y, 0.78539816f);

  in.current_time = -48;  // before the first key: its value
  run = preRender();
  EXPECT_FLOAT_EQ(run.record.GAIN_X, 1.0f);
  EXPECT_EQ(run.record.PIXEL_SIZE, 1);  // -50 held to the slider's minimum 1

  in.current_time = 72;  // after the last key: its value
  run = preRender();
  EXPECT_FLOAT_EQ(run.record.GAIN_X, 3.0f);
  in.current_time = 0;
}

TEST_F(SmartPreRenderTest, SlidersWithExpressionsFollowTheComposition) {
  // A camera moving from x 100 at 0 s to x 300 at 2 s; the linked slider reads x at 1 s: 200.
  auto comp = std::make_unique<host::Composition>(host::CompositionSettings{});
  host::CompLayer camera;
  camera.name = "Camera 1";
  camera.kind = host::LayerKind::kCamera;
  camera.streams[AEGP_LayerStream_POSITION] =
      host::Animated{{{0.0, {100, 200, -300, 0}}, {2.0, {300, 200, -300, 0}}}};
  comp->addLayer(camera);
  host().setComposition(std::move(comp));
  host::InstallExpressionCheckout(host());
  instance_->expressions[REFERENCE_CAMERA_POSITION_X] =
      host::Expression{"thisComp.layer(\"Camera 1\").transform.position[0]", true};
  instance_->expressions[REFERENCE_CAMERA_POSITION_Y] =
      host::Expression{"thisComp.layer(\"Camera 1\").transform.position[1]", false};
  slider(REFERENCE_CAMERA_POSITION_Y, 7);
  PF_InData& in = host().inData();
  in.time_scale = 24;
  in.current_time = 24;
  PreRenderRun run = preRender();
  EXPECT_FLOAT_EQ(run.record.REFERENCE_CAMERA_POSITION_X, 200.0f);
  EXPECT_FLOAT_EQ(run.record.REFERENCE_CAMERA_POSITION_Y, 7.0f);  // switched off: its own value
  in.current_time = 0;
}

TEST_F(SmartPreRenderTest, ControlsWrittenOutsideTheirCommandKeepTheirValues) {
  slider(PIXEL_SIZE, 2);
  g_input.scribble = &param(PIXEL_SIZE);
  preRender();
  EXPECT_EQ(param(PIXEL_SIZE).u.fs_d.value, 2);
  EXPECT_EQ(host().violations().list().size(), 1u);
  host().violations().clear();
}

TEST_F(SmartPreRenderTest, FailuresStopEarlyAndLeaveNoLeak) {
  // Every value control is read once: 122 of them.
  PreRenderRun run = preRender();
  EXPECT_EQ(host().faults().calls("inter.checkout_param"), 122);

  // A control that cannot be read: its error; no field filled, no input checkout, output
  // rectangles as the host set them; the record is still handed over (and disposed of).
  host().faults().failOnCall("inter.checkout_param", 5);
  slider(PIXEL_SIZE, 9);
  run = preRender(PF_LRect{1, 1, 2, 2});
  EXPECT_EQ(run.err, PF_Err_BAD_CALLBACK_PARAM);
  ASSERT_TRUE(run.has_record);
  EXPECT_EQ(run.record.RENDER_MODE, 0);
  EXPECT_EQ(run.record.PIXEL_SIZE, 0);
  EXPECT_EQ(run.record.layer_width, 0);
  EXPECT_EQ(host().faults().calls("inter.checkout_param"), 5);
  EXPECT_EQ(g_input.calls, 1);
  EXPECT_EQ(run.output.result_rect.right, 2);
  host().faults().clearAll();

  // The input checkout fails: its error; origin and rectangles not set, fields filled.
  g_input.err = PF_Err_OUT_OF_MEMORY;
  run = preRender();
  EXPECT_EQ(run.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(run.record.PIXEL_SIZE, 9);
  EXPECT_EQ(run.record.input_origin_x, 0);
  EXPECT_EQ(run.output.result_rect.right, 0);
}

// The host's own frame plumbing: a full frame leaves nothing behind and hands the pixels over;
// the fixture fails a pre-render record the host could not release as the real one does.
TEST_F(SmartPreRenderTest, HostFramesLeaveNoHandleOrWorldBehind) {
  const size_t handles_before = host().handles().live();
  const int worlds_before = host::LiveWorldCount();
  host::FrameRequest request;
  request.width = 30;
  request.height = 20;
  request.bit_depth = 16;
  request.downsample = 2;
  request.frame = 5;
  host::Frame frame;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(host().renderFrame(*instance_, request, &frame), PF_Err_NONE);
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.format, PF_PixelFormat_ARGB64);
    EXPECT_EQ(frame.world.width, 15);   // 30 / 2
    EXPECT_EQ(frame.world.height, 10);  // 20 / 2
  }
  // What the effect saw of the frame.
  const PF_InData& in = host().inData();
  EXPECT_EQ(in.width, 30);  // the layer's full size
  EXPECT_EQ(in.downsample_x.den, 2u);
  EXPECT_EQ(in.current_time, 5);
  EXPECT_EQ(in.time_scale, 24u);
  // Two pre-renders a frame, one of them never rendered: each record released through the
  // effect's own function, none left to the host's free or handle routines.
  EXPECT_EQ(host().preRenderRecordsHandedOver(), 6);
  EXPECT_EQ(host().preRenderRecordsReleased(), 6);
  EXPECT_EQ(host().handles().live(), handles_before + 1);  // the render's copy of the record
  EXPECT_EQ(host::LiveWorldCount(), worlds_before + 1);    // only the frame in hand
  frame.reset();
  EXPECT_EQ(host::LiveWorldCount(), worlds_before);

  // Draft quality reaches the effect as PF_Quality_LO for the frame only.
  request.high_quality = false;
  EXPECT_EQ(host().renderFrame(*instance_, request, &frame), PF_Err_NONE);
  EXPECT_EQ(host().inData().quality, PF_Quality_LO);
  host().about(nullptr);
  EXPECT_EQ(host().inData().quality, PF_Quality_HI);

  // Ctrl-C: the abort callback reports an interruption until the flag is cleared.
  EXPECT_EQ(host().inData().inter.abort(nullptr), PF_Err_NONE);
  host::RequestAbort();
  EXPECT_EQ(host().inData().inter.abort(nullptr), PF_Interrupt_CANCEL);
  host::ClearAbort();
  EXPECT_EQ(host().inData().inter.abort(nullptr), PF_Err_NONE);
}

}  // namespace
}  // namespace mf::test
