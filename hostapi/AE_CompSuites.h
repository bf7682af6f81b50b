// The composition as the general plug-in layer shows it: layers, cameras, lights, streams and
// effect references ("AEGP Layer Suite" 11, "AEGP Camera Suite" 2, "AEGP Light Suite" 2,
// "AEGP Stream Suite" 7, "AEGP Effect Suite" 2, "AEGP PF Interface Suite" 1), and the two
// application suites of the effect API that report to the Info panel ("PF AE App Suite" 6,
// "PF AE Adv App Suite" 2).
//
// Slots the effect never calls are kept as untyped pointers so that the tables keep the host's
// layout; only the functions the effect uses carry their signatures.
#pragma once

#include "AE_Effect.h"
#include "AE_GeneralPlug.h"

// ---------------------------------------------------------------------------------------------
// Shared types
// ---------------------------------------------------------------------------------------------
struct _AEGP_Layer;
typedef _AEGP_Layer* AEGP_LayerH;
struct _AEGP_Comp;
typedef _AEGP_Comp* AEGP_CompH;
struct _AEGP_StreamRef;
typedef _AEGP_StreamRef* AEGP_StreamRefH;
struct _AEGP_EffectRef;
typedef _AEGP_EffectRef* AEGP_EffectRefH;
struct _AEGP_RenderLayerContext;
typedef _AEGP_RenderLayerContext* AEGP_RenderLayerContextH;

typedef A_u_long AEGP_LayerIDVal;
typedef A_long AEGP_EffectIndex;

// A time as a rational number of seconds: value / scale.
struct A_Time {
  A_long value;
  A_u_long scale;
};

// 4×4 doubles, mat[row][column]. Row vectors: a point p maps to p·M, so rows 0-2 are the images
// of the local x, y and z axes and row 3 is the translation (the layer's world position).
struct A_Matrix4 {
  A_FpLong mat[4][4];
};

// Layer names are at most this many bytes; buffers hold one more for the terminator.
#define AEGP_MAX_LAYER_NAME_SIZE 32

typedef A_long AEGP_LTimeMode;
enum {
  AEGP_LTimeMode_LayerTime = 0,
  AEGP_LTimeMode_CompTime = 1,
};

typedef A_long AEGP_ObjectType;
enum {
  AEGP_ObjectType_NONE = -1,
  AEGP_ObjectType_AV = 0,
  AEGP_ObjectType_LIGHT = 1,
  AEGP_ObjectType_CAMERA = 2,
  AEGP_ObjectType_TEXT = 3,
  AEGP_ObjectType_VECTOR = 4,
};

typedef A_long AEGP_LightType;
enum {
  AEGP_LightType_NONE = -1,
  AEGP_LightType_PARALLEL = 0,
  AEGP_LightType_SPOT = 1,
  AEGP_LightType_POINT = 2,
  AEGP_LightType_AMBIENT = 3,
};

typedef A_long AEGP_CameraType;
enum {
  AEGP_CameraType_NONE = -1,
  AEGP_CameraType_PERSPECTIVE = 0,
  AEGP_CameraType_ORTHOGRAPHIC = 1,
};

// Light falloff popup values (1-based, as the host stores popups).
enum {
  AEGP_LightFalloff_NONE = 1,
  AEGP_LightFalloff_SMOOTH = 2,
  AEGP_LightFalloff_INVERSE_SQUARE_CLAMPED = 3,
};

typedef A_long AEGP_LayerFlags;
enum {
  AEGP_LayerFlag_NONE = 0,
  AEGP_LayerFlag_VIDEO_ACTIVE = 1L << 0,
  AEGP_LayerFlag_AUDIO_ACTIVE = 1L << 1,
  AEGP_LayerFlag_EFFECTS_ACTIVE = 1L << 2,
  AEGP_LayerFlag_MOTION_BLUR = 1L << 3,
  AEGP_LayerFlag_FRAME_BLENDING = 1L << 4,
  AEGP_LayerFlag_LOCKED = 1L << 5,
  AEGP_LayerFlag_SHY = 1L << 6,
  AEGP_LayerFlag_COLLAPSE = 1L << 7,
  AEGP_LayerFlag_AUTO_ORIENT_ROTATION = 1L << 8,
  AEGP_LayerFlag_ADJUSTMENT_LAYER = 1L << 9,
  AEGP_LayerFlag_TIME_REMAPPING = 1L << 10,
  AEGP_LayerFlag_LAYER_IS_3D = 1L << 11,
  AEGP_LayerFlag_LOOK_AT_CAMERA = 1L << 12,
  AEGP_LayerFlag_LOOK_AT_POI = 1L << 13,
  AEGP_LayerFlag_SOLO = 1L << 14,
  AEGP_LayerFlag_MARKERS_LOCKED = 1L << 15,
  AEGP_LayerFlag_NULL_LAYER = 1L << 16,
};

typedef A_long AEGP_LayerStream;
enum {
  AEGP_LayerStream_NONE = -1,
  AEGP_LayerStream_ANCHORPOINT = 0,
  AEGP_LayerStream_POSITION = 1,
  AEGP_LayerStream_SCALE = 2,
  AEGP_LayerStream_ROTATION = 3,
  AEGP_LayerStream_ROTATE_Z = AEGP_LayerStream_ROTATION,
  AEGP_LayerStream_OPACITY = 4,
  AEGP_LayerStream_AUDIO = 5,
  AEGP_LayerStream_MARKER = 6,
  AEGP_LayerStream_TIME_REMAP = 7,
  AEGP_LayerStream_ROTATE_X = 8,
  AEGP_LayerStream_ROTATE_Y = 9,
  AEGP_LayerStream_ORIENTATION = 10,
  AEGP_LayerStream_ZOOM = 11,
  AEGP_LayerStream_DEPTH_OF_FIELD = 12,
  AEGP_LayerStream_FOCUS_DISTANCE = 13,
  AEGP_LayerStream_APERTURE = 14,
  AEGP_LayerStream_BLUR_LEVEL = 15,
  AEGP_LayerStream_INTENSITY = 16,
  AEGP_LayerStream_COLOR = 17,
  AEGP_LayerStream_CONE_ANGLE = 18,
  AEGP_LayerStream_CONE_FEATHER = 19,
  AEGP_LayerStream_SHADOW_DARKNESS = 20,
  AEGP_LayerStream_SHADOW_DIFFUSION = 21,
  AEGP_LayerStream_ACCEPTS_SHADOWS = 22,
  AEGP_LayerStream_ACCEPTS_LIGHTS = 23,
  AEGP_LayerStream_AMBIENT_COEFF = 24,
  AEGP_LayerStream_DIFFUSE_COEFF = 25,
  AEGP_LayerStream_SPECULAR_INTENSITY = 26,
  AEGP_LayerStream_SHININESS_COEFF = 27,
  AEGP_LayerStream_CASTS_SHADOWS = 28,
  AEGP_LayerStream_LIGHT_TRANSMISSION = 29,
  AEGP_LayerStream_METAL = 30,
  AEGP_LayerStream_SOURCE_TEXT = 31,
  AEGP_LayerStream_LIGHT_FALLOFF_TYPE = 40,
  AEGP_LayerStream_LIGHT_FALLOFF_RADIUS = 41,
  AEGP_LayerStream_LIGHT_FALLOFF_DISTANCE = 42,
  AEGP_LayerStream_END = 43,
};

typedef A_long AEGP_StreamType;
enum {
  AEGP_StreamType_NO_DATA = 0,
  AEGP_StreamType_ThreeD_SPATIAL = 1,
  AEGP_StreamType_ThreeD = 2,
  AEGP_StreamType_TwoD_SPATIAL = 3,
  AEGP_StreamType_TwoD = 4,
  AEGP_StreamType_OneD = 5,
  AEGP_StreamType_COLOR = 6,
  AEGP_StreamType_ARB = 7,
  AEGP_StreamType_MARKER = 8,
  AEGP_StreamType_LAYER_ID = 9,
  AEGP_StreamType_MASK_ID = 10,
  AEGP_StreamType_MASK = 11,
  AEGP_StreamType_TEXT_DOCUMENT = 12,
};

typedef A_FpLong AEGP_OneDVal;
struct AEGP_TwoDVal {
  A_FpLong x, y;
};
struct AEGP_ThreeDVal {
  A_FpLong x, y, z;
};
struct AEGP_FourDVal {
  A_FpLong v[4];
};
struct AEGP_ColorVal {
  A_FpLong alphaF, redF, greenF, blueF;
};

union AEGP_StreamVal2 {
  AEGP_FourDVal four_d;
  AEGP_ThreeDVal three_d;
  AEGP_TwoDVal two_d;
  AEGP_OneDVal one_d;
  AEGP_ColorVal color;
  AEGP_LayerIDVal layer_id;
  void* arbH;
};

struct AEGP_StreamValue2 {
  AEGP_StreamRefH streamH;
  AEGP_StreamVal2 val;
};

// ---------------------------------------------------------------------------------------------
// "AEGP Layer Suite" 11
// ---------------------------------------------------------------------------------------------
#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPLayerSuiteVersion11 11

struct AEGP_LayerSuite11 {
  A_Err (*AEGP_GetCompNumLayers)(AEGP_CompH compH, A_long* num_layersPL);
  A_Err (*AEGP_GetCompLayerByIndex)(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH* layerPH);
  void* AEGP_GetActiveLayer;
  A_Err (*AEGP_GetLayerIndex)(AEGP_LayerH layerH, A_long* layer_indexPL);
  void* AEGP_GetLayerSourceItem;
  void* AEGP_GetLayerSourceItemID;
  A_Err (*AEGP_GetLayerParentComp)(AEGP_LayerH layerH, AEGP_CompH* compPH);
  // 8-bit names (the system code page), at most AEGP_MAX_LAYER_NAME_SIZE bytes plus the
  // terminator; either buffer may be null.
  A_Err (*AEGP_GetLayerName)(AEGP_LayerH layerH, A_char* layer_nameZ0, A_char* source_nameZ0);
  void* AEGP_GetLayerQuality;
  void* AEGP_SetLayerQuality;
  A_Err (*AEGP_GetLayerFlags)(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP);
  void* AEGP_SetLayerFlag;
  void* AEGP_IsLayerVideoReallyOn;
  void* AEGP_IsLayerAudioReallyOn;
  void* AEGP_GetLayerCurrentTime;
  A_Err (*AEGP_GetLayerInPoint)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* in_pointPT);
  A_Err (*AEGP_GetLayerDuration)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* durationPT);
  void* AEGP_SetLayerInPointAndDuration;
  A_Err (*AEGP_GetLayerOffset)(AEGP_LayerH layerH, A_Time* offsetPT);
  void* AEGP_SetLayerOffset;
  void* AEGP_GetLayerStretch;
  void* AEGP_SetLayerStretch;
  void* AEGP_GetLayerTransferMode;
  void* AEGP_SetLayerTransferMode;
  void* AEGP_IsAddLayerValid;
  void* AEGP_AddLayer;
  void* AEGP_ReorderLayer;
  void* AEGP_GetLayerMaskedBounds;
  A_Err (*AEGP_GetLayerObjectType)(AEGP_LayerH layerH, AEGP_ObjectType* object_type);
  void* AEGP_IsLayer3D;
  void* AEGP_IsLayer2D;
  A_Err (*AEGP_IsVideoActive)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,
                              const A_Time* comp_timePT, A_Boolean* is_activePB);
  void* AEGP_IsLayerUsedAsTrackMatte;
  void* AEGP_DoesLayerHaveTrackMatte;
  void* AEGP_ConvertCompToLayerTime;
  void* AEGP_ConvertLayerToCompTime;
  void* AEGP_GetLayerDancingRandValue;
  A_Err (*AEGP_GetLayerID)(AEGP_LayerH layerH, AEGP_LayerIDVal* id_valP);
  A_Err (*AEGP_GetLayerToWorldXform)(AEGP_LayerH aegp_layerH, const A_Time* comp_timeP,
                                     A_Matrix4* transform);
  void* AEGP_GetLayerToWorldXformFromView;
  void* AEGP_SetLayerName;
  void* AEGP_GetLayerParent;
  void* AEGP_SetLayerParent;
  void* AEGP_DeleteLayer;
  void* AEGP_DuplicateLayer;
  A_Err (*AEGP_GetLayerFromLayerID)(AEGP_CompH parent_compH, AEGP_LayerIDVal id,
                                    AEGP_LayerH* layerPH);
  void* reserved[8];
};

// ---------------------------------------------------------------------------------------------
// "AEGP Camera Suite" 2
// ---------------------------------------------------------------------------------------------
#define kAEGPCameraSuite "AEGP Camera Suite"
#define kAEGPCameraSuiteVersion2 2

struct AEGP_CameraSuite2 {
  A_Err (*AEGP_GetCamera)(AEGP_RenderLayerContextH render_contextH, const A_Time* comp_timeP,
                          AEGP_LayerH* camera_layerPH);
  A_Err (*AEGP_GetCameraType)(AEGP_LayerH aegp_layerH, AEGP_CameraType* camera_typeP);
  A_Err (*AEGP_GetDefaultCameraDistanceToImagePlane)(AEGP_CompH compH, A_FpLong* dist_to_planePF);
  void* AEGP_GetCameraFilmSize;
  void* AEGP_SetCameraFilmSize;
};

// ---------------------------------------------------------------------------------------------
// "AEGP Light Suite" 2
// ---------------------------------------------------------------------------------------------
#define kAEGPLightSuite "AEGP Light Suite"
#define kAEGPLightSuiteVersion2 2

struct AEGP_LightSuite2 {
  A_Err (*AEGP_GetLightType)(AEGP_LayerH light_layerH, AEGP_LightType* light_type);
  void* AEGP_SetLightType;
};

// ---------------------------------------------------------------------------------------------
// "AEGP Stream Suite" 7
// ---------------------------------------------------------------------------------------------
#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion7 7

struct AEGP_StreamSuite7 {
  void* AEGP_IsStreamLegal;
  void* AEGP_CanVaryOverTime;
  void* AEGP_GetValidInterpolations;
  A_Err (*AEGP_GetNewLayerStream)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH,
                                  AEGP_LayerStream which_stream, AEGP_StreamRefH* streamPH);
  A_Err (*AEGP_GetEffectNumParamStreams)(AEGP_EffectRefH effectH, A_long* num_paramsPL);
  A_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effectH,
                                          PF_ParamIndex param_index, AEGP_StreamRefH* streamPH);
  void* AEGP_GetNewMaskStream;
  A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH streamH);
  void* AEGP_GetStreamName;
  void* AEGP_GetStreamUnitsText;
  void* AEGP_GetStreamProperties;
  void* AEGP_IsStreamTimevarying;
  A_Err (*AEGP_GetStreamType)(AEGP_StreamRefH streamH, AEGP_StreamType* stream_typeP);
  A_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                  AEGP_LTimeMode time_mode, const A_Time* timePT,
                                  A_Boolean pre_expressionB, AEGP_StreamValue2* valueP);
  A_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue2* valueP);
  void* AEGP_SetStreamValue;
  A_Err (*AEGP_GetLayerStreamValue)(AEGP_LayerH layerH, AEGP_LayerStream which_stream,
                                    AEGP_LTimeMode time_mode, const A_Time* timePT,
                                    A_Boolean pre_expressionB, AEGP_StreamVal2* stream_valP,
                                    AEGP_StreamType* stream_typeP0);
  A_Err (*AEGP_GetExpressionState)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                   A_Boolean* enabledPB);
  A_Err (*AEGP_SetExpressionState)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                   A_Boolean enabledB);
  // The text comes back in a new memory handle (8-bit, terminated) that the caller frees with
  // AEGP_FreeMemHandle.
  A_Err (*AEGP_GetExpression)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                              AEGP_MemHandle* expressionHZ);
  A_Err (*AEGP_SetExpression)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                              const A_char* expressionP);
  void* AEGP_DuplicateStreamRef;
  void* reserved[4];
};

// ---------------------------------------------------------------------------------------------
// "AEGP Effect Suite" 2
// ---------------------------------------------------------------------------------------------
#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion2 2

struct AEGP_EffectSuite2 {
  A_Err (*AEGP_GetLayerNumEffects)(AEGP_LayerH layerH, A_long* num_effectsPL);
  A_Err (*AEGP_GetLayerEffectByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH,
                                      AEGP_EffectIndex layer_effect_index,
                                      AEGP_EffectRefH* effectPH);
  void* AEGP_GetInstalledKeyFromLayerEffect;
  void* AEGP_GetEffectParamUnionByIndex;
  void* AEGP_GetEffectFlags;
  void* AEGP_SetEffectFlags;
  void* AEGP_ReorderEffect;
  void* AEGP_EffectCallGeneric;
  A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH effectH);
  void* reserved[8];
};

// ---------------------------------------------------------------------------------------------
// "AEGP PF Interface Suite" 1: where an effect instance sits in its composition
// ---------------------------------------------------------------------------------------------
#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1

struct AEGP_PFInterfaceSuite1 {
  A_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_ref, AEGP_LayerH* layerPH);
  A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID aegp_plugin_id, PF_ProgPtr effect_ref,
                                      AEGP_EffectRefH* effectPH);
  A_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_ref, A_long what_timeL,
                                        A_u_long time_scaleLu, A_Time* comp_timePT);
  // The camera the effect sees at that time; null when the composition has no active camera.
  A_Err (*AEGP_GetEffectCamera)(PF_ProgPtr effect_ref, const A_Time* comp_timePT,
                                AEGP_LayerH* camera_layerPH);
  // Camera-to-world transform of that camera; the last three outputs may be null.
  A_Err (*AEGP_GetEffectCameraMatrix)(PF_ProgPtr effect_ref, const A_Time* comp_timePT,
                                      A_Matrix4* camera_matrixP, A_FpLong* dst_to_planePF0,
                                      A_short* plane_widthPL0, A_short* plane_heightPL0);
};

// ---------------------------------------------------------------------------------------------
// "PF AE App Suite" 6 and "PF AE Adv App Suite" 2
// ---------------------------------------------------------------------------------------------
#define kPFAppSuite "PF AE App Suite"
#define kPFAppSuiteVersion6 6

struct PFAppSuite6 {
  void* PF_AppGetBgColor;
  void* PF_AppGetColor;
  void* PF_GetPersonalInfo;
  void* PF_GetFontStyleSheet;
  void* PF_SetCursor;
  // True when no person watches (a render engine or a command-line render).
  PF_Err (*PF_IsRenderEngine)(PF_Boolean* render_enginePB);
  void* PF_AppColorPickerDialog;
  void* PF_GetMouse;
  void* PF_InvalidateRect;
  void* PF_ConvertLocalToGlobal;
};

#define kPFAdvAppSuite "PF AE Adv App Suite"
#define kPFAdvAppSuiteVersion2 2

struct PF_AdvAppSuite2 {
  void* PF_SetProjectDirty;
  void* PF_SaveProject;
  void* PF_SaveBackgroundState;
  void* PF_ForceForeground;
  void* PF_RestoreBackgroundState;
  void* PF_RefreshAllWindows;
  // Two lines of the Info panel, 8-bit text; either may be null.
  PF_Err (*PF_InfoDrawText)(const A_char* line1Z0, const A_char* line2Z0);
  void* PF_InfoDrawColor;
  void* PF_InfoDrawText3;
  void* PF_InfoDrawText3Plus;
  void* PF_AppendInfoText;
};
