// The control table. Narrow literals in this file are compiled to GBK, so the names and popup
// items below reach the host in its code page.
#include "params/ParamTable.h"

#include <cfloat>
#include <iterator>

namespace {

constexpr float kFltMax = FLT_MAX;

constexpr PF_ParamFlags kSupervise = PF_ParamFlag_SUPERVISE;
constexpr PF_ParamFlags kCollapsed = PF_ParamFlag_COLLAPSE_TWIRLY;
constexpr PF_ParamFlags kFixedInTime = PF_ParamFlag_CANNOT_TIME_VARY;
constexpr PF_ParamFlags kNoInterp = PF_ParamFlag_CANNOT_INTERP;
constexpr PF_ParamUIFlags kDisabled = PF_PUI_DISABLED;
constexpr A_short kPercent = PF_ValueDisplayFlag_PERCENT;

// Popup menus. The counts given with each popup row include the "(-" separators.
constexpr const char* kRenderModeItems =
    "无|2D 补光|1/2|1/3|1/4|8/1|32位 2D 位置|32位 2D 正常|32位 位置|32位 正常";
constexpr const char* kLayerBlendItems = "添加|屏幕|叠加|正常|正片叠底|均值";
constexpr const char* kChannelItems = "亮度|红|绿|蓝|Alpha";
constexpr const char* kMapRgbItems =
    "XYZ|XZY|YZX|YXZ|ZYX|ZXY|(-|亮度Z|红Z|绿Z|蓝Z|(-|亮度Z 投影|红Z 投影|绿Z 投影|蓝Z 投影";
constexpr const char* kPixelBlendItems =
    "复制|正常|变暗|正片叠底|添加|变亮|屏幕|差值|颜色|亮度|均值|添加Alpha|均值添加Alpha|"
    "最大均值Alpha";
constexpr const char* kTextureBlendItems =
    "复制|正常|变暗|正片叠底|添加|变亮|屏幕|差值|颜色|亮度|(-|添加Alpha|Alpha蒙版|亮度蒙版";

// Row builders, one per control type, so that each control below is a single line. Their
// arguments are the table's columns, read in the rows below rather than at a call, so the
// argument limit does not apply to them (NOLINT below).
constexpr ParamRow Base(ParamIndex index, const char* identifier, PF_ParamType type,
                        const char* name, A_long disk_id, PF_ParamFlags flags,
                        PF_ParamUIFlags ui_flags) {
  ParamRow row{};
  row.index = index;
  row.identifier = identifier;
  row.type = type;
  row.name = name;
  row.disk_id = disk_id;
  row.flags = flags;
  row.ui_flags = ui_flags;
  return row;
}

constexpr ParamRow Layer(ParamIndex index, const char* identifier, const char* name, A_long disk_id,
                         PF_ParamFlags flags) {
  return Base(index, identifier, PF_Param_LAYER, name, disk_id, flags, 0);
}

constexpr ParamRow NoData(ParamIndex index, const char* identifier, const char* name,
                          A_long disk_id, PF_ParamFlags flags, A_short width, A_short height) {
  ParamRow row = Base(index, identifier, PF_Param_NO_DATA, name, disk_id, flags, PF_PUI_CONTROL);
  row.ui_width = width;
  row.ui_height = height;
  return row;
}

constexpr ParamRow Check(ParamIndex index, const char* identifier, const char* name, A_long disk_id,
                         bool on, PF_ParamFlags flags, PF_ParamUIFlags ui_flags) {
  ParamRow row = Base(index, identifier, PF_Param_CHECKBOX, name, disk_id, flags, ui_flags);
  row.dephault = on ? 1 : 0;
  return row;
}

// NOLINTNEXTLINE(readability-function-size)
constexpr ParamRow Popup(ParamIndex index, const char* identifier, const char* name, A_long disk_id,
                         const char* items, A_short num_choices, A_short dephault,
                         PF_ParamFlags flags, PF_ParamUIFlags ui_flags) {
  ParamRow row = Base(index, identifier, PF_Param_POPUP, name, disk_id, flags, ui_flags);
  row.popup_items = items;
  row.num_choices = num_choices;
  row.dephault = dephault;
  return row;
}

// NOLINTNEXTLINE(readability-function-size)
constexpr ParamRow Color(ParamIndex index, const char* identifier, const char* name, A_long disk_id,
                         A_u_char red, A_u_char green, A_u_char blue, PF_ParamFlags flags,
                         PF_ParamUIFlags ui_flags) {
  ParamRow row = Base(index, identifier, PF_Param_COLOR, name, disk_id, flags, ui_flags);
  row.color = PF_Pixel{255, red, green, blue};
  return row;
}

// NOLINTNEXTLINE(readability-function-size)
constexpr ParamRow Slider(ParamIndex index, const char* identifier, const char* name,
                          A_long disk_id, double dephault, float valid_min, float valid_max,
                          float slider_min, float slider_max, A_short precision,
                          A_short display_flags, PF_ParamFlags flags, PF_ParamUIFlags ui_flags) {
  ParamRow row = Base(index, identifier, PF_Param_FLOAT_SLIDER, name, disk_id, flags, ui_flags);
  row.dephault = dephault;
  row.valid_min = valid_min;
  row.valid_max = valid_max;
  row.slider_min = slider_min;
  row.slider_max = slider_max;
  row.precision = precision;
  row.display_flags = display_flags;
  return row;
}

constexpr ParamRow Angle(ParamIndex index, const char* identifier, const char* name, A_long disk_id,
                         PF_ParamFlags flags) {
  return Base(index, identifier, PF_Param_ANGLE, name, disk_id, flags, 0);
}

constexpr ParamRow Group(ParamIndex index, const char* identifier, const char* name, A_long disk_id,
                         PF_ParamFlags flags) {
  return Base(index, identifier, PF_Param_GROUP_START, name, disk_id, flags, 0);
}

constexpr ParamRow GroupEnd(ParamIndex index, const char* identifier, A_long disk_id) {
  return Base(index, identifier, PF_Param_GROUP_END, "", disk_id, 0, 0);
}

// The enumerator and its spelling come from one token, so they cannot drift apart.
#define P(ID) ID, #ID

// Disk IDs equal the index except two shared ones: GRID_SUBDIVIDE stores under GRID_SIZE's 43
// and SCATTER_Z under SCATTER_Y's 111. Saved projects depend on them, so they stay.
// clang-format off
constexpr ParamRow kRows[] = {
    Layer(P(INPUT_LAYER), "", 0, 0),
    NoData(P(ABOUT_BANNER), "关于", 1, 0, 300, 80),
    Layer(P(SOURCE_LAYER), "来源图层", 2, 0),
    Layer(P(POSITION_PASS), "位置通过", 3, kSupervise),
    Layer(P(NORMAL_PASS), "正常通过", 4, 0),
    Layer(P(ALT_NORMAL_PASS), "替代正常通过", 5, 0),
    Popup(P(RENDER_MODE), "渲染模式", 6, kRenderModeItems, 10, 1, kSupervise, 0),
    Check(P(RELATIVE_CAMERA), "相对机位", 7, false, 0, kDisabled),
    Check(P(DIFFUSE_LIGHTS), "漫反射补光", 8, true, 0, 0),
    Check(P(SPECULAR_LIGHTS), "镜面补光", 9, true, 0, 0),
    Check(P(ALPHA_LIGHTS), "Alpha补光", 10, false, 0, 0),
    Group(P(ALPHA_OPTIONS_GROUP), "Alpha选项", 11, kCollapsed),
    Check(P(ALPHA_NORMAL), "Alpha正常", 12, false, 0, 0),
    Check(P(INVERT_ALPHA), "反转Alpha", 13, false, 0, 0),
    Check(P(COMPOSITE_ALPHA), "合成Alpha", 14, false, 0, 0),
    Color(P(COMPOSITE_ALPHA_COLOR), "合成Alpha颜色", 15, 0, 0, 0, 0, 0),
    Popup(P(COMPOSITE_ALPHA_BLEND), "合成Alpha混合模式", 16, kLayerBlendItems, 6, 5, 0, 0),
    GroupEnd(P(ALPHA_OPTIONS_END), 17),
    Check(P(ENABLE_FALLOFF), "激活衰减", 18, true, 0, 0),
    Slider(P(FALLOFF_BIAS), "衰减偏差", 19, 0, -100, 100, -100, 100, 2, kPercent, kCollapsed, 0),
    Layer(P(IBL_LAYER), "基于图像灯光", 20, 0),
    Group(P(IBL_OPTIONS_GROUP), "选项", 21, kCollapsed),
    Check(P(IBL_USE_NORMAL), "使用正常", 22, true, 0, 0),
    Check(P(IBL_ANTIALIAS), "反锯齿", 23, true, 0, 0),
    Slider(P(IBL_GAIN), "增益", 24, 100, 0, kFltMax, 0, 100, 2, kPercent, kCollapsed, 0),
    Angle(P(IBL_ROTATION_X), "旋转 X", 25, kCollapsed),
    Angle(P(IBL_ROTATION_Y), "旋转 Y", 26, kCollapsed),
    Angle(P(IBL_ROTATION_Z), "旋转 Z", 27, kCollapsed),
    GroupEnd(P(IBL_OPTIONS_END), 28),
    Layer(P(REFLECTION_MAP), "反射贴图", 29, 0),
    Group(P(REFLECTION_OPTIONS_GROUP), "反射贴图选项", 30, kCollapsed),
    Check(P(REFLECTION_USE_NORMAL), "使用正常", 31, true, 0, 0),
    Check(P(REFLECTION_ANTIALIAS), "反射消除锯齿", 32, true, 0, 0),
    Slider(P(REFLECTION_INTENSITY), "反射强度", 33, 100, 0, 100, 0, 100, 2, kPercent, kCollapsed, 0),
    Popup(P(REFLECTION_BLEND), "反射混合模式", 34, kLayerBlendItems, 6, 1, 0, 0),
    Layer(P(REFLECTION_MATTE), "反射遮罩", 35, 0),
    Popup(P(REFLECTION_MATTE_MAP), "反射遮罩映射", 36, kChannelItems, 5, 1, kFixedInTime | kNoInterp, 0),
    Angle(P(REFLECTION_ROTATION_X), "反射旋转 X", 37, kCollapsed),
    Angle(P(REFLECTION_ROTATION_Y), "反射旋转 Y", 38, kCollapsed),
    Angle(P(REFLECTION_ROTATION_Z), "反射旋转 Z", 39, kCollapsed),
    GroupEnd(P(REFLECTION_OPTIONS_END), 40),
    Check(P(ENABLE_GRID), "激活网格", 41, true, 0, 0),
    Group(P(GRID_OPTIONS_GROUP), "网格选项", 42, kCollapsed),
    Slider(P(GRID_SIZE), "网格尺寸", 43, 128, 1, kFltMax, 1, 100, 0, 0, kCollapsed | kFixedInTime | kNoInterp, 0),
    Slider(P(GRID_SUBDIVIDE), "分割网格", 43, 4, 1, 128, 1, 100, 0, 0, kCollapsed | kFixedInTime | kNoInterp, 0),
    Slider(P(GRID_POSITION_X), "网格位置 X", 45, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed | kFixedInTime | kNoInterp, 0),
    Slider(P(GRID_POSITION_Y), "网格位置 Y", 46, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed | kFixedInTime | kNoInterp, 0),
    Slider(P(GRID_POSITION_Z), "网格位置 Z", 47, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed | kFixedInTime | kNoInterp, 0),
    GroupEnd(P(GRID_OPTIONS_END), 48),
    Group(P(GAIN_GROUP), "增益控制", 49, kCollapsed),
    Check(P(UNIFORM_GAIN), "统一增益", 50, true, kFixedInTime | kNoInterp, 0),
    Slider(P(GAIN_X), "增益", 51, 1, -kFltMax, kFltMax, -10, 10, 2, 0, kCollapsed, 0),
    Slider(P(GAIN_Y), "增益 Y", 52, 1, -kFltMax, kFltMax, -10, 10, 2, 0, kCollapsed, kDisabled),
    Slider(P(GAIN_Z), "增益 Z", 53, 1, -kFltMax, kFltMax, -10, 10, 2, 0, kCollapsed, kDisabled),
    GroupEnd(P(GAIN_END), 54),
    Group(P(POSITION_ADJUST_GROUP), "位置通过调整", 55, kCollapsed),
    Popup(P(MAP_RGB_TO), "贴图RGB到", 56, kMapRgbItems, 16, 1, kFixedInTime | kNoInterp, 0),
    Check(P(INVERT_X), "反转 X", 57, false, 0, 0),
    Check(P(INVERT_Y), "反转 Y", 58, false, 0, 0),
    Check(P(INVERT_Z), "反转 Z", 59, false, 0, 0),
    Check(P(CURVED_PROJECTION), "曲线投影", 60, false, 0, 0),
    GroupEnd(P(POSITION_ADJUST_END), 61),
    Group(P(NORMAL_ADJUST_GROUP), "正常通过调整", 62, kCollapsed),
    Check(P(NORMAL_INVERT_X), "正常反转 X", 63, false, 0, 0),
    Check(P(NORMAL_INVERT_Y), "正常反转 Y", 64, false, 0, 0),
    Check(P(NORMAL_INVERT_Z), "正常反转 Z", 65, false, 0, 0),
    Angle(P(NORMAL_ROTATION_X), "正常旋转 X", 66, kCollapsed),
    Angle(P(NORMAL_ROTATION_Y), "正常旋转 Y", 67, kCollapsed),
    Angle(P(NORMAL_ROTATION_Z), "正常旋转 Z", 68, kCollapsed),
    Check(P(CULL_BACKFACES), "拣选背面", 69, false, 0, 0),
    Check(P(RELATIVE_NORMALS), "相对法线", 70, false, 0, 0),
    Check(P(RELIGHT_BACKFACES), "补光背面", 71, false, 0, 0),
    Check(P(REMAP_VALUES), "重映数值", 72, false, 0, 0),
    Group(P(REMAP_GROUP), "重映调整", 73, kCollapsed),
    Slider(P(REMAP_X_MIN), "X最小", 74, -1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    Slider(P(REMAP_X_MAX), "X最大", 75, 1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    Slider(P(REMAP_Y_MIN), "Y最小", 76, -1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    Slider(P(REMAP_Y_MAX), "Y最大", 77, 1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    Slider(P(REMAP_Z_MIN), "Z最小", 78, -1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    Slider(P(REMAP_Z_MAX), "Z最大", 79, 1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    GroupEnd(P(REMAP_END), 80),
    GroupEnd(P(NORMAL_ADJUST_END), 81),
    Group(P(SPECULAR_ADJUST_GROUP), "镜面通过调整", 82, kCollapsed),
    Check(P(SPECULAR_USE_NORMAL), "使用正常", 83, true, 0, 0),
    Layer(P(SPECULAR_MATTE), "镜面遮罩", 84, 0),
    Popup(P(SPECULAR_MATTE_MAP), "镜面遮罩映射", 85, kChannelItems, 5, 1, kFixedInTime | kNoInterp, 0),
    Slider(P(SPECULAR_INTENSITY), "镜面强度", 86, 0.8, 0, kFltMax, 0, 10, 2, 0, kCollapsed, 0),
    Slider(P(SPECULAR_SHININESS), "镜面光泽", 87, 50, 0, kFltMax, 0, 1000, 0, 0, kCollapsed, 0),
    Check(P(HARD_SPECULAR), "硬镜面", 88, false, 0, 0),
    Check(P(USE_LIGHT_COLOR), "使用灯光颜色", 89, true, 0, 0),
    Color(P(SPECULAR_COLOR), "镜面颜色", 90, 255, 255, 255, 0, kDisabled),
    GroupEnd(P(SPECULAR_ADJUST_END), 91),
    Group(P(DISPLACE_GROUP), "3D置换", 92, kCollapsed),
    Layer(P(DISPLACE_LAYER), "3D置换图层", 93, 0),
    Check(P(REMAP_DISPLACEMENT), "重映置换", 94, false, 0, 0),
    Group(P(DISPLACE_REMAP_GROUP), "重映调整", 95, kCollapsed),
    Check(P(UNIFORM_DISPLACEMENT), "均匀置换", 96, true, 0, 0),
    Slider(P(DISPLACE_MIN), "最小替换", 97, -1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    Slider(P(DISPLACE_MAX), "最大替换", 98, 1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, 0),
    Slider(P(DISPLACE_Y_MIN), "Y最小", 99, -1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, kDisabled),
    Slider(P(DISPLACE_Y_MAX), "Y最大", 100, 1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, kDisabled),
    Slider(P(DISPLACE_Z_MIN), "Z最小", 101, -1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, kDisabled),
    Slider(P(DISPLACE_Z_MAX), "Z最大", 102, 1, -kFltMax, kFltMax, -1, 1, 2, 0, kCollapsed, kDisabled),
    GroupEnd(P(DISPLACE_REMAP_END), 103),
    Angle(P(DISPLACE_ROTATION_X), "位移旋转 X", 104, kCollapsed),
    Angle(P(DISPLACE_ROTATION_Y), "位移旋转 Y", 105, kCollapsed),
    Angle(P(DISPLACE_ROTATION_Z), "位移旋转 Z", 106, kCollapsed),
    GroupEnd(P(DISPLACE_END), 107),
    Group(P(SCATTER_GROUP), "分散调整", 108, kCollapsed),
    Check(P(UNIFORM_SCATTER), "均匀分散", 109, true, kFixedInTime | kNoInterp, 0),
    Slider(P(SCATTER_X), "分散", 110, 0, 0, kFltMax, 0, 10, 2, 0, kCollapsed, 0),
    Slider(P(SCATTER_Y), "分散 Y", 111, 0, 0, kFltMax, 0, 10, 2, 0, kCollapsed, kDisabled),
    Slider(P(SCATTER_Z), "分散 Z", 111, 0, 0, kFltMax, 0, 10, 2, 0, kCollapsed, kDisabled),
    Slider(P(SCATTER_RANDOM_SEED), "随机", 113, 0, 0, kFltMax, 0, 10, 0, 0, kCollapsed, 0),
    GroupEnd(P(SCATTER_END), 114),
    Group(P(PIXEL_OFFSET_GROUP), "像素位置偏移", 115, kCollapsed),
    Slider(P(ANCHOR_X), "锚点 X", 116, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(ANCHOR_Y), "锚点 Y", 117, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(ANCHOR_Z), "锚点 Z", 118, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(POSITION_OFFSET_X), "位置偏移 X", 119, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(POSITION_OFFSET_Y), "位置偏移 Y", 120, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(POSITION_OFFSET_Z), "位置偏移 Z", 121, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Angle(P(ROTATION_OFFSET_X), "旋转偏移 X", 122, kCollapsed),
    Angle(P(ROTATION_OFFSET_Y), "旋转偏移 Y", 123, kCollapsed),
    Angle(P(ROTATION_OFFSET_Z), "旋转偏移 Z", 124, kCollapsed),
    Check(P(UNIFORM_SCALE), "均匀缩放调整", 125, true, kFixedInTime | kNoInterp, 0),
    Slider(P(SCALE_X), "缩放调整", 126, 100, -kFltMax, kFltMax, -100, 100, 2, kPercent, kCollapsed, 0),
    Slider(P(SCALE_Y), "缩放调整 Y", 127, 100, -kFltMax, kFltMax, -100, 100, 2, kPercent, kCollapsed, kDisabled),
    Slider(P(SCALE_Z), "缩放调整 Z", 128, 100, -kFltMax, kFltMax, -100, 100, 2, kPercent, kCollapsed, kDisabled),
    GroupEnd(P(PIXEL_OFFSET_END), 129),
    NoData(P(LINK_REFERENCE_CAMERA), "链接参考摄像机", 130, kSupervise, 48, 24),
    Group(P(REFERENCE_CAMERA_GROUP), "参考摄像机变换", 131, kCollapsed),
    Slider(P(REFERENCE_CAMERA_POSITION_X), "参考摄像机位置 X", 132, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(REFERENCE_CAMERA_POSITION_Y), "参考摄像机位置 Y", 133, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(REFERENCE_CAMERA_POSITION_Z), "参考摄像机位置 Z", 134, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(REFERENCE_CAMERA_ZOOM), "参考摄像机缩放", 135, 622.2, 0, kFltMax, 0, 100, 1, 0, kCollapsed, 0),
    GroupEnd(P(REFERENCE_CAMERA_END), 136),
    Slider(P(RESOLUTION), "分辨率", 137, 100, 0, 100, 0, 100, 2, kPercent, kCollapsed, 0),
    Slider(P(PIXEL_SIZE), "像素尺寸", 138, 1, 1, kFltMax, 1, 100, 0, 0, kCollapsed, 0),
    Check(P(ENABLE_PIXEL_PERSPECTIVE), "激活像素透视", 139, false, kSupervise, 0),
    Check(P(REFERENCE_DISPLACEMENT), "参考位移", 140, true, 0, 0),
    Slider(P(ADD_PIXEL_PERSPECTIVE), "增加像素透视", 141, 100, -100, kFltMax, 0, 200, 1, kPercent, kCollapsed, 0),
    Check(P(ENABLE_PIXEL_ANTIALIAS), "激活像素反锯齿", 142, false, 0, 0),
    Group(P(ANTIALIAS_OPTIONS_GROUP), "反锯齿选项", 143, 0),
    Slider(P(ALPHA_OFFSET), "Alpha 偏移", 144, 0, -100, 100, -100, 100, 2, kPercent, kCollapsed, 0),
    Slider(P(OFFSET_X), "偏移 X", 145, 0, -100, 100, -100, 100, 2, kPercent, kCollapsed, 0),
    Slider(P(OFFSET_Y), "偏移 Y", 146, 0, -100, 100, -100, 100, 2, kPercent, kCollapsed, 0),
    Check(P(DISABLE_SUBPIXEL), "禁用子像素", 147, false, 0, 0),
    Check(P(AA_PIXEL_PERSPECTIVE), "像素透视", 148, true, 0, 0),
    Check(P(LOCK_IDEAL_PIXEL), "锁定理想像素", 149, true, 0, 0),
    GroupEnd(P(ANTIALIAS_OPTIONS_END), 150),
    Check(P(SOFTEN_PIXELS), "柔化像素", 151, false, 0, 0),
    Slider(P(SOFTEN_PIXELS_BIAS), "柔化像素偏差", 152, 20, -100, 100, -100, 100, 2, kPercent, kCollapsed, 0),
    Popup(P(PIXEL_BLEND_MODE), "像素混合模式", 153, kPixelBlendItems, 14, 13, 0, 0),
    Group(P(TEXTURE_GROUP), "像素材质调整", 154, kCollapsed),
    Layer(P(TEXTURE_LAYER), "材质", 155, 0),
    Layer(P(LIFE_LAYER), "生命值", 156, 0),
    Popup(P(LIFE_MAP), "映射生命值", 157, kChannelItems, 5, 1, kFixedInTime | kNoInterp, 0),
    Check(P(ALPHA_STENCIL), "Alpha模具", 158, false, 0, kDisabled),
    Popup(P(TEXTURE_BLEND_MODE), "材质混合模式", 159, kTextureBlendItems, 14, 1, 0, kDisabled),
    GroupEnd(P(TEXTURE_END), 160),
    Group(P(AFFECT_CAMERA_GROUP), "影响摄像机变换", 161, kCollapsed),
    Slider(P(CAMERA_POSITION_X), "摄像机位置 X", 162, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(CAMERA_POSITION_Y), "摄像机位置 Y", 163, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Slider(P(CAMERA_POSITION_Z), "摄像机位置 Z", 164, 0, -kFltMax, kFltMax, -100, 100, 1, 0, kCollapsed, 0),
    Angle(P(CAMERA_ROTATION_X), "摄像机旋转 X", 165, kCollapsed),
    Angle(P(CAMERA_ROTATION_Y), "摄像机旋转 Y", 166, kCollapsed),
    Angle(P(CAMERA_ROTATION_Z), "摄像机旋转 Z", 167, kCollapsed),
    Slider(P(CAMERA_ZOOM), "缩放", 168, 622.2, 0, kFltMax, 0, 100, 1, 0, kCollapsed, 0),
    GroupEnd(P(AFFECT_CAMERA_END), 169),
};
// clang-format on

#undef P

constexpr bool RowsMatchTheirPositions() {
  for (int i = 0; i < static_cast<int>(std::size(kRows)); ++i)
    if (kRows[i].index != i) return false;
  return true;
}
static_assert(std::size(kRows) == PARAM_COUNT, "one row per params[] entry");
static_assert(RowsMatchTheirPositions(), "rows must be in ParamIndex order");

}  // namespace

std::span<const ParamRow> ParamTable() {
  return kRows;
}

const ParamRow* FindParamRow(int index) {
  if (index < 0 || index >= PARAM_COUNT) return nullptr;
  return &kRows[index];
}

std::optional<PF_ParamType> ParamTypeAt(int index) {
  const ParamRow* row = FindParamRow(index);
  if (!row) return std::nullopt;
  return row->type;
}
