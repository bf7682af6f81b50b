// The composition as the general plug-in layer shows it: layers, cameras, lights, streams and
// effect references ("AEGP Layer Suite" 11, "AEGP Camera Suite" 2, "AEGP Light Suite" 2,
// "AEGP Stream Suite" 7, "AEGP Effect Suite" 2, "AEGP PF Interface Suite" 1), and the two
// application suites of the effect API that report to the Info panel ("PF AE App Suite" 6,
// "PF AE Adv App Suite" 2).
//
// Each table is named after what the host serves for the (name, version) the effect asks for,
// and every slot carries its signature, called or not, so that the tables keep the host's layout.
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
typedef AEGP_RenderLayerContextH PR_RenderContextH;
struct _AEGP_Item;
typedef _AEGP_Item* AEGP_ItemH;
struct _AEGP_Mask;
typedef _AEGP_Mask* AEGP_MaskRefH;

typedef A_long AEGP_LayerIDVal;
typedef A_long AEGP_EffectIndex;
typedef A_long AEGP_EffectFlags;
typedef A_long AEGP_InstalledEffectKey;
typedef A_short AEGP_LayerQuality;
typedef A_long AEGP_MaskStream;
typedef A_long AEGP_KeyInterpolationMask;
typedef A_long AEGP_StreamFlags;
typedef A_long AEGP_FilmSizeUnits;
typedef A_long AEGP_MaskIDVal;
struct AEGP_LayerTransferMode;
struct A_FloatRect;
struct _AEGP_MarkerVal;
typedef _AEGP_MarkerVal* AEGP_MarkerValP;
struct _AEGP_MaskOutline;
typedef _AEGP_MaskOutline** AEGP_MaskOutlineValH;
struct _AEGP_TextDocument;
typedef _AEGP_TextDocument** AEGP_TextDocumentH;

// 4×4 doubles, mat[row][column]. Row vectors: a point p maps to p·M, so rows 0-2 are the images
// of the local x, y and z axes and row 3 is the translation (the layer's world position).
struct A_Matrix4 {
  A_FpLong mat[4][4];
};

// Layer names are at most this many bytes; buffers hold one more for the terminator.
#define AEGP_MAX_LAYER_NAME_SIZE 32

typedef A_short AEGP_LTimeMode;
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

typedef A_u_long AEGP_LightType;
enum {
  AEGP_LightType_NONE = -1,
  AEGP_LightType_PARALLEL = 0,
  AEGP_LightType_SPOT = 1,
  AEGP_LightType_POINT = 2,
  AEGP_LightType_AMBIENT = 3,
};

typedef A_u_long AEGP_CameraType;
enum {
  AEGP_CameraType_NONE = -1,
  AEGP_CameraType_PERSPECTIVE = 0,
  AEGP_CameraType_ORTHOGRAPHIC = 1,
};

// Light falloff types. The falloff stream is a popup and holds the type plus one.
typedef A_u_long AEGP_LightFalloffType;
enum {
  AEGP_LightFalloff_NONE = 0,
  AEGP_LightFalloff_SMOOTH = 1,
  AEGP_LightFalloff_INVERSE_SQUARE_CLAMPED = 2,
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
  AEGP_LayerStream_SPECULAR_SHININESS = 27,
  AEGP_LayerStream_CASTS_SHADOWS = 28,
  AEGP_LayerStream_LIGHT_TRANSMISSION = 29,
  AEGP_LayerStream_METAL = 30,
  AEGP_LayerStream_SOURCE_TEXT = 31,
  AEGP_LayerStream_LIGHT_FALLOFF_TYPE = 40,
  AEGP_LayerStream_LIGHT_FALLOFF_START = 41,
  AEGP_LayerStream_LIGHT_FALLOFF_DISTANCE = 42,
  AEGP_LayerStream_END = 59,
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
typedef A_FpLong AEGP_FourDVal[4];
struct AEGP_ColorVal {
  A_FpLong alphaF, redF, greenF, blueF;
};

typedef void* AEGP_ArbBlockVal;
struct AEGP_MarkerVal;
typedef AEGP_MarkerVal** AEGP_MarkerValH;

union AEGP_StreamVal {
  AEGP_FourDVal four_d;
  AEGP_ThreeDVal three_d;
  AEGP_TwoDVal two_d;
  AEGP_OneDVal one_d;
  AEGP_ColorVal color;
  AEGP_ArbBlockVal arbH;
  AEGP_MarkerValH markerH;
  AEGP_LayerIDVal layer_id;
  AEGP_MaskIDVal mask_id;
  AEGP_MaskOutlineValH mask;
  AEGP_TextDocumentH text_documentH;
};

struct AEGP_StreamValue {
  AEGP_StreamRefH streamH;
  AEGP_StreamVal val;
};

// ---------------------------------------------------------------------------------------------
// "AEGP Layer Suite" 11
// ---------------------------------------------------------------------------------------------
#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPLayerSuiteVersion5 11

struct AEGP_LayerSuite5 {
  A_Err (*AEGP_GetCompNumLayers)(AEGP_CompH compH, A_long* num_layersPL);
  A_Err (*AEGP_GetCompLayerByIndex)(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH* layerPH);
  A_Err (*AEGP_GetActiveLayer)(AEGP_LayerH* layerPH);
  A_Err (*AEGP_GetLayerIndex)(AEGP_LayerH layerH, A_long* layer_indexPL);
  A_Err (*AEGP_GetLayerSourceItem)(AEGP_LayerH layerH, AEGP_ItemH* source_itemPH);
  A_Err (*AEGP_GetLayerSourceItemID)(AEGP_LayerH layerH, A_long* source_item_idPL);
  A_Err (*AEGP_GetLayerParentComp)(AEGP_LayerH layerH, AEGP_CompH* compPH);
  A_Err (*AEGP_GetLayerName)(AEGP_LayerH layerH, A_char* layer_nameZ0, A_char* source_nameZ0);
  A_Err (*AEGP_GetLayerQuality)(AEGP_LayerH layerH, AEGP_LayerQuality* qualityP);
  A_Err (*AEGP_SetLayerQuality)(AEGP_LayerH layerH, AEGP_LayerQuality quality);
  A_Err (*AEGP_GetLayerFlags)(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP);
  A_Err (*AEGP_SetLayerFlag)(AEGP_LayerH layerH, AEGP_LayerFlags single_flag, A_Boolean valueB);
  A_Err (*AEGP_IsLayerVideoReallyOn)(AEGP_LayerH layerH, A_Boolean* onPB);
  A_Err (*AEGP_IsLayerAudioReallyOn)(AEGP_LayerH layerH, A_Boolean* onPB);
  A_Err (*AEGP_GetLayerCurrentTime)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,
                                    A_Time* curr_timePT);
  A_Err (*AEGP_GetLayerInPoint)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* in_pointPT);
  A_Err (*AEGP_GetLayerDuration)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* durationPT);
  A_Err (*AEGP_SetLayerInPointAndDuration)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,
                                           const A_Time* in_pointPT, const A_Time* durationPT);
  A_Err (*AEGP_GetLayerOffset)(AEGP_LayerH layerH, A_Time* offsetPT);
  A_Err (*AEGP_SetLayerOffset)(AEGP_LayerH layerH, const A_Time* offsetPT);
  A_Err (*AEGP_GetLayerStretch)(AEGP_LayerH layerH, A_Ratio* stretchPRt);
  A_Err (*AEGP_SetLayerStretch)(AEGP_LayerH layerH, const A_Ratio* stretchPRt);
  A_Err (*AEGP_GetLayerTransferMode)(AEGP_LayerH layerH, AEGP_LayerTransferMode* transfer_modeP);
  A_Err (*AEGP_SetLayerTransferMode)(AEGP_LayerH layerH,
                                     const AEGP_LayerTransferMode* transfer_modeP);
  A_Err (*AEGP_IsAddLayerValid)(AEGP_ItemH item_to_addH, AEGP_CompH into_compH, A_Boolean* validPB);
  A_Err (*AEGP_AddLayer)(AEGP_ItemH item_to_addH, AEGP_CompH into_compH,
                         AEGP_LayerH* added_layerPH0);
  A_Err (*AEGP_ReorderLayer)(AEGP_LayerH layerH, A_long layer_indexL);
  A_Err (*AEGP_GetLayerMaskedBounds)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,
                                     const A_Time* timePT, A_FloatRect* boundsPR);
  A_Err (*AEGP_GetLayerObjectType)(AEGP_LayerH layerH, AEGP_ObjectType* object_type);
  A_Err (*AEGP_IsLayer3D)(AEGP_LayerH layerH, A_Boolean* is_3DPB);
  A_Err (*AEGP_IsLayer2D)(AEGP_LayerH layerH, A_Boolean* is_2DPB);
  A_Err (*AEGP_IsVideoActive)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, const A_Time* timePT,
                              A_Boolean* is_activePB);
  A_Err (*AEGP_IsLayerUsedAsTrackMatte)(AEGP_LayerH layerH, A_Boolean fill_must_be_activeB,
                                        A_Boolean* is_track_mattePB);
  A_Err (*AEGP_DoesLayerHaveTrackMatte)(AEGP_LayerH layerH, A_Boolean* has_track_mattePB);
  A_Err (*AEGP_ConvertCompToLayerTime)(AEGP_LayerH layerH, const A_Time* comp_timePT,
                                       A_Time* layer_timePT);
  A_Err (*AEGP_ConvertLayerToCompTime)(AEGP_LayerH layerH, const A_Time* layer_timePT,
                                       A_Time* comp_timePT);
  A_Err (*AEGP_GetLayerDancingRandValue)(AEGP_LayerH layerH, const A_Time* comp_timePT,
                                         A_long* rand_valuePL);
  A_Err (*AEGP_GetLayerID)(AEGP_LayerH layerH, AEGP_LayerIDVal* id_valP);
  A_Err (*AEGP_GetLayerToWorldXform)(AEGP_LayerH aegp_layerH, const A_Time* comp_timeP,
                                     A_Matrix4* transform);
  A_Err (*AEGP_GetLayerToWorldXformFromView)(AEGP_LayerH aegp_layerH, const A_Time* view_timeP,
                                             const A_Time* comp_timeP, A_Matrix4* transform);
  A_Err (*AEGP_SetLayerName)(AEGP_LayerH aegp_layerH, const A_char* new_nameZ);
  A_Err (*AEGP_GetLayerParent)(const AEGP_LayerH layerH, AEGP_LayerH* parent_layerPH);
  A_Err (*AEGP_SetLayerParent)(AEGP_LayerH layerH, const AEGP_LayerH parent_layerH0);
  A_Err (*AEGP_DeleteLayer)(AEGP_LayerH layerH);
  A_Err (*AEGP_DuplicateLayer)(AEGP_LayerH orig_layerH, AEGP_LayerH* duplicate_layerPH);
  A_Err (*AEGP_GetLayerFromLayerID)(AEGP_CompH parent_compH, AEGP_LayerIDVal id,
                                    AEGP_LayerH* layerPH);
};

// ---------------------------------------------------------------------------------------------
// "AEGP Camera Suite" 2
// ---------------------------------------------------------------------------------------------
#define kAEGPCameraSuite "AEGP Camera Suite"
#define kAEGPCameraSuiteVersion2 2

struct AEGP_CameraSuite2 {
  A_Err (*AEGP_GetCamera)(PR_RenderContextH render_contextH, const A_Time* comp_timeP,
                          AEGP_LayerH* camera_layerPH);
  A_Err (*AEGP_GetCameraType)(AEGP_LayerH camera_layerH, AEGP_CameraType* camera_typeP);
  A_Err (*AEGP_GetDefaultCameraDistanceToImagePlane)(AEGP_CompH compH, A_FpLong* dist_to_planePF);
  A_Err (*AEGP_GetCameraFilmSize)(AEGP_LayerH camera_layerH, AEGP_FilmSizeUnits* film_size_unitsP,
                                  A_FpLong* film_sizePF0);
  A_Err (*AEGP_SetCameraFilmSize)(AEGP_LayerH camera_layerH, AEGP_FilmSizeUnits film_size_units,
                                  A_FpLong* film_sizePF0);
};

// ---------------------------------------------------------------------------------------------
// "AEGP Light Suite" 2
// ---------------------------------------------------------------------------------------------
#define kAEGPLightSuite "AEGP Light Suite"
#define kAEGPLightSuiteVersion2 2

struct AEGP_LightSuite2 {
  A_Err (*AEGP_GetLightType)(AEGP_LayerH light_layerH, AEGP_LightType* light_typeP);
  A_Err (*AEGP_SetLightType)(AEGP_LayerH light_layerH, AEGP_LightType light_type);
};

// ---------------------------------------------------------------------------------------------
// "AEGP Stream Suite" 7
// ---------------------------------------------------------------------------------------------
#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion2 7

struct AEGP_StreamSuite2 {
  A_Err (*AEGP_IsStreamLegal)(AEGP_LayerH layerH, AEGP_LayerStream which_stream,
                              A_Boolean* is_legalP);
  A_Err (*AEGP_CanVaryOverTime)(AEGP_StreamRefH streamH, A_Boolean* can_varyPB);
  A_Err (*AEGP_GetValidInterpolations)(AEGP_StreamRefH streamH,
                                       AEGP_KeyInterpolationMask* valid_interpolationsP);
  A_Err (*AEGP_GetNewLayerStream)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH,
                                  AEGP_LayerStream which_stream, AEGP_StreamRefH* streamPH);
  A_Err (*AEGP_GetEffectNumParamStreams)(AEGP_EffectRefH effect_refH, A_long* num_paramsPL);
  A_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effect_refH,
                                          PF_ParamIndex param_index, AEGP_StreamRefH* streamPH);
  A_Err (*AEGP_GetNewMaskStream)(AEGP_PluginID aegp_plugin_id, AEGP_MaskRefH mask_refH,
                                 AEGP_MaskStream which_stream, AEGP_StreamRefH* mask_streamPH);
  A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH streamH);
  A_Err (*AEGP_GetStreamName)(AEGP_StreamRefH streamH, A_Boolean force_englishB, A_char* nameZ);
  A_Err (*AEGP_GetStreamUnitsText)(AEGP_StreamRefH streamH, A_Boolean force_englishB,
                                   A_char* unitsZ);
  A_Err (*AEGP_GetStreamProperties)(AEGP_StreamRefH streamH, AEGP_StreamFlags* flagsP,
                                    A_FpLong* minP0, A_FpLong* maxP0);
  A_Err (*AEGP_IsStreamTimevarying)(AEGP_StreamRefH streamH, A_Boolean* is_timevaryingPB);
  A_Err (*AEGP_GetStreamType)(AEGP_StreamRefH streamH, AEGP_StreamType* stream_typeP);
  A_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                  AEGP_LTimeMode time_mode, const A_Time* timePT,
                                  A_Boolean pre_expressionB, AEGP_StreamValue* valueP);
  A_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue* valueP);
  A_Err (*AEGP_SetStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                               AEGP_StreamValue* valueP);
  A_Err (*AEGP_GetLayerStreamValue)(AEGP_LayerH layerH, AEGP_LayerStream which_stream,
                                    AEGP_LTimeMode time_mode, const A_Time* timePT,
                                    A_Boolean pre_expressionB, AEGP_StreamVal* stream_valP,
                                    AEGP_StreamType* stream_typeP0);
  A_Err (*AEGP_GetExpressionState)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                   A_Boolean* enabledPB);
  A_Err (*AEGP_SetExpressionState)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                   A_Boolean enabledB);
  A_Err (*AEGP_GetExpression)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                              AEGP_MemHandle* expressionHZ);
  A_Err (*AEGP_SetExpression)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                              const A_char* expressionP);
  A_Err (*AEGP_DuplicateStreamRef)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                   AEGP_StreamRefH* dup_streamPH);
};

// ---------------------------------------------------------------------------------------------
// "AEGP Effect Suite" 2
// ---------------------------------------------------------------------------------------------
#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion2 2

struct AEGP_EffectSuite2 {
  A_Err (*AEGP_GetLayerNumEffects)(AEGP_LayerH layerH, A_long* num_effectsPL);
  A_Err (*AEGP_GetLayerEffectByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH,
                                      AEGP_EffectIndex layer_effect_indexL,
                                      AEGP_EffectRefH* effectPH);
  A_Err (*AEGP_GetInstalledKeyFromLayerEffect)(AEGP_EffectRefH effect_refH,
                                               AEGP_InstalledEffectKey* installed_effect_keyP);
  A_Err (*AEGP_GetEffectParamUnionByIndex)(AEGP_PluginID aegp_plugin_id,
                                           AEGP_EffectRefH effect_refH, PF_ParamIndex param_index,
                                           PF_ParamType* param_typeP, PF_ParamDefUnion* uP0);
  A_Err (*AEGP_GetEffectFlags)(AEGP_EffectRefH effect_refH, AEGP_EffectFlags* effect_flagsP);
  A_Err (*AEGP_SetEffectFlags)(AEGP_EffectRefH effect_refH, AEGP_EffectFlags effect_flags_set_mask,
                               AEGP_EffectFlags effect_flags);
  A_Err (*AEGP_ReorderEffect)(AEGP_EffectRefH effect_refH, A_long effect_indexL);
  A_Err (*AEGP_EffectCallGeneric)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effect_refH,
                                  const A_Time* timePT, void* effect_extraPV);
  A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH effect_refH);
  A_Err (*AEGP_ApplyEffect)(AEGP_PluginID aegp_plugin_id, AEGP_LayerH layerH,
                            AEGP_InstalledEffectKey installed_effect_key,
                            AEGP_EffectRefH* effect_refPH);
  A_Err (*AEGP_DeleteLayerEffect)(AEGP_EffectRefH effect_refH);
  A_Err (*AEGP_GetNumInstalledEffects)(A_long* num_installed_effectsPL);
  A_Err (*AEGP_GetNextInstalledEffect)(AEGP_InstalledEffectKey installed_effect_key,
                                       AEGP_InstalledEffectKey* next_effectPH);
  A_Err (*AEGP_GetEffectName)(AEGP_InstalledEffectKey installed_effect_key, A_char* nameZ);
  A_Err (*AEGP_GetEffectMatchName)(AEGP_InstalledEffectKey installed_effect_key,
                                   A_char* match_nameZ);
  A_Err (*AEGP_GetEffectCategory)(AEGP_InstalledEffectKey installed_effect_key, A_char* categoryZ);
  A_Err (*AEGP_DuplicateEffect)(AEGP_EffectRefH original_effect_refH,
                                AEGP_EffectRefH* duplicate_effect_refPH);
};

// ---------------------------------------------------------------------------------------------
// "AEGP PF Interface Suite" 1: where an effect instance sits in its composition
// ---------------------------------------------------------------------------------------------
#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1

struct AEGP_PFInterfaceSuite1 {
  A_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_pp_ref, AEGP_LayerH* layerPH);
  A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID aegp_plugin_id, PF_ProgPtr effect_pp_ref,
                                      AEGP_EffectRefH* effect_refPH);
  A_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_pp_ref, A_long what_timeL,
                                        A_u_long time_scaleLu, A_Time* comp_timePT);
  A_Err (*AEGP_GetEffectCamera)(PF_ProgPtr effect_pp_ref, const A_Time* comp_timePT,
                                AEGP_LayerH* camera_layerPH);
  A_Err (*AEGP_GetEffectCameraMatrix)(PF_ProgPtr effect_pp_ref, const A_Time* comp_timePT,
                                      A_Matrix4* camera_matrixP, A_FpLong* dist_to_image_planePF,
                                      A_short* image_plane_widthPL, A_short* image_plane_heightPL);
};

// ---------------------------------------------------------------------------------------------
// "PF AE App Suite" 6 and "PF AE Adv App Suite" 2
// ---------------------------------------------------------------------------------------------
#define kPFAppSuite "PF AE App Suite"
#define kPFAppSuiteVersion4 6

struct PFAppSuite4 {
  PF_Err (*PF_AppGetBgColor)(PF_App_Color* bg_colorP);
  PF_Err (*PF_AppGetColor)(PF_App_ColorType color_type, PF_App_Color* app_colorP);
  PF_Err (*PF_GetPersonalInfo)(PF_AppPersonalTextInfo* ptiP);
  PF_Err (*PF_GetFontStyleSheet)(PF_FontStyleSheet sheet, PF_FontName* font_nameP0,
                                 A_short* font_numPS0, A_short* sizePS0, A_short* stylePS0);
  PF_Err (*PF_SetCursor)(PF_CursorType cursor);
  PF_Err (*PF_IsRenderEngine)(PF_Boolean* render_enginePB);
  PF_Err (*PF_AppColorPickerDialog)(const A_char* dialog_titleZ0,
                                    const PF_PixelFloat* sample_colorP,
                                    PF_Boolean use_ws_to_monitor_xformB, PF_PixelFloat* new_colorP);
  PF_Err (*PF_GetMouse)(PF_Point* pointP);
  PF_Err (*PF_InvalidateRect)(const PF_ContextH contextH, const PF_Rect* rectP0);
  PF_Err (*PF_ConvertLocalToGlobal)(const PF_Point* localP, PF_Point* globalP);
  PF_Err (*PF_GetColorAtGlobalPoint)(const PF_Point* globalP, A_short eyeSize,
                                     PF_EyeDropperSampleMode mode, PF_PixelFloat* outColorP);
};

#define kPFAdvAppSuite "PF AE Adv App Suite"
#define kPFAdvAppSuiteVersion2 2

struct PF_AdvAppSuite2 {
  PF_Err (*PF_SetProjectDirty)(void);
  PF_Err (*PF_SaveProject)(void);
  PF_Err (*PF_SaveBackgroundState)(void);
  PF_Err (*PF_ForceForeground)(void);
  PF_Err (*PF_RestoreBackgroundState)(void);
  PF_Err (*PF_RefreshAllWindows)(void);
  PF_Err (*PF_InfoDrawText)(const A_char* line1Z0, const A_char* line2Z0);
  PF_Err (*PF_InfoDrawColor)(PF_Pixel color);
  PF_Err (*PF_InfoDrawText3)(const A_char* line1Z0, const A_char* line2Z0, const A_char* line3Z0);
  PF_Err (*PF_InfoDrawText3Plus)(const A_char* line1Z0, const A_char* line2_jrZ0,
                                 const A_char* line2_jlZ0, const A_char* line3_jrZ0,
                                 const A_char* line3_jlZ0);
  PF_Err (*PF_AppendInfoText)(const A_char* appendZ0);
};
