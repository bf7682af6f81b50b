// Custom controls in the effect panel: the event block of PF_Cmd_EVENT, the "PF Effect Custom UI
// Suite" that turns an event's context into a drawing reference, and the shape of the
// application suite's PF_InvalidateRect.
#pragma once

#include "AE_Effect.h"
#include "DrawbotSuites.h"

typedef A_long PF_EventType;
enum {
  PF_Event_NEW_CONTEXT = 0,
  PF_Event_ACTIVATE = 1,
  PF_Event_DO_CLICK = 2,
  PF_Event_DRAG = 3,
  PF_Event_DRAW = 4,
  PF_Event_DEACTIVATE = 5,
  PF_Event_CLOSE_CONTEXT = 6,
  PF_Event_IDLE = 7,
  PF_Event_KEYDOWN_OBSOLETE = 8,
  PF_Event_ADJUST_CURSOR = 9,
  PF_Event_KEYDOWN = 10,
  PF_Event_MOUSE_EXITED = 11,
};

typedef A_long PF_WindowType;
typedef A_long PF_CustomEventFlags;
typedef A_long PF_UIAlignment;
enum {
  PF_Window_NONE = -1,
  PF_Window_COMP = 0,
  PF_Window_LAYER = 1,
  PF_Window_EFFECT = 2,
};

// Where in a control's strip of the effect panel an event happened.
typedef A_long PF_EffectArea;
enum {
  PF_EA_NONE = 0,
  PF_EA_PARAM_TITLE = 1,
  PF_EA_CONTROL = 2,
};

typedef A_long PF_EventInFlags;
enum {
  PF_EI_NONE = 0,
  PF_EI_DONT_DRAW = 1L << 0,  // the host only wants to know whether the effect would draw
};

typedef A_long PF_EventOutFlags;
enum {
  PF_EO_NONE = 0,
  PF_EO_HANDLED_EVENT = 1L << 0,
  PF_EO_ALWAYS_UPDATE = 1L << 1,
  PF_EO_NEVER_UPDATE = 1L << 2,
  PF_EO_UPDATE_NOW = 1L << 3,  // repaint the effect panel before the next event
};

typedef A_long PF_Modifiers;
enum {
  PF_Mod_NONE = 0,
  PF_Mod_CMD_CTRL_KEY = 0x0100,
  PF_Mod_SHIFT_KEY = 0x0200,
  PF_Mod_CAPS_LOCK_KEY = 0x0400,
  PF_Mod_OPT_ALT_KEY = 0x0800,
};

// A press and the drags that follow it. The effect sets send_drag to ask for drag events until
// the mouse button is released; the host sets last_time on the drag of the release.
struct PF_DoClickEventInfo {
  A_u_long when;
  PF_Point screen_point;  // in the coordinates of the window, like current_frame
  A_long num_clicks;
  PF_Modifiers modifiers;
  intptr_t continue_refcon[4];
  PF_Boolean send_drag;
  PF_Boolean last_time;
};

struct PF_DrawEventInfo {
  PF_Rect update_rect;
  A_long depth;
};

struct PF_AdjustCursorEventInfo {
  PF_Point screen_point;
  PF_Modifiers modifiers;
  A_long set_cursor;
};

typedef A_u_long PF_KeyCode;
struct PF_KeyDownEvent {
  A_u_long when;
  PF_Point screen_point;
  PF_KeyCode keycode;
  PF_Modifiers modifiers;
};

union PF_EventUnion {
  PF_DoClickEventInfo do_click;  // also for PF_Event_DRAG
  PF_DrawEventInfo draw;
  PF_KeyDownEvent key_down;
  PF_AdjustCursorEventInfo adjust_cursor;
};

// The control an event of the effect panel concerns.
struct PF_EffectWindowInfo {
  PF_ParamIndex index;        // its position in params[]
  PF_EffectArea area;         // its title or its control area
  PF_Rect current_frame;      // the control area, in window coordinates
  PF_Rect param_title_frame;  // the title, in window coordinates
  A_long horiz_offset;
};

// Services the host offers with an event; the effect does not use them.
struct PF_EventCallbacks {
  void* refcon;
  PF_Err (*layer_to_comp)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                          PF_FixedPoint* pt);
  PF_Err (*comp_to_layer)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                          PF_FixedPoint* pt);
  PF_Err (*get_comp2layer_xform)(void* refcon, PF_ContextH context, A_long curr_time,
                                 A_long time_scale, A_long* exists, PF_FloatMatrix* c2l);
  PF_Err (*get_layer2comp_xform)(void* refcon, PF_ContextH context, A_long curr_time,
                                 A_long time_scale, PF_FloatMatrix* l2c);
  PF_Err (*source_to_frame)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
  PF_Err (*frame_to_source)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
  PF_Err (*info_draw_color)(void* refcon, PF_Pixel color);
  PF_Err (*info_draw_text)(void* refcon, const A_char* text1Z0, const A_char* text2Z0);
};

// The extra block of PF_Cmd_EVENT.
struct PF_EventExtra {
  PF_ContextH contextH;
  PF_EventType e_type;
  PF_EventUnion u;
  PF_EffectWindowInfo effect_win;  // valid when the context is the effect panel
  PF_EventCallbacks cbs;
  PF_EventInFlags evt_in_flags;
  PF_EventOutFlags evt_out_flags;
};

// ---------------------------------------------------------------------------------------------
// "PF Effect Custom UI Suite" 1
// ---------------------------------------------------------------------------------------------
#define kPFEffectCustomUISuite "PF Effect Custom UI Suite"
#define kPFEffectCustomUISuiteVersion1 1

struct PF_EffectCustomUISuite1 {
  PF_Err (*PF_GetDrawingReference)(const PF_ContextH effect_contextH, DRAWBOT_DrawRef* referenceP0);
};

// PF_InvalidateRect of "PF AE App Suite" 6 (AE_CompSuites.h keeps that slot untyped): asks the
// host to repaint part of a window; a null rectangle means the whole window.
typedef PF_Err (*PF_InvalidateRectFunc)(const PF_ContextH contextH, const PF_Rect* rectP0);
