// The effect's controls as data: one row per params[] position, in registration order. The
// registration (ParamsSetup), the scene loader and the command line all read this one table.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "AE_Effect.h"
#include "params/ParamIndex.h"

// One control. Fields a type does not use are zero. Names and popup items are 8-bit text in the
// host's code page (GBK); the identifier is plain ASCII.
struct ParamRow {
  ParamIndex index;
  const char* identifier;  // "PIXEL_SIZE"
  PF_ParamType type;
  const char* name;  // display name, GBK; empty for group ends
  A_long disk_id;
  PF_ParamFlags flags;
  PF_ParamUIFlags ui_flags;
  A_short ui_width;
  A_short ui_height;
  // Check box (0 or 1), popup (1-based value) or float slider default.
  double dephault;
  // Float sliders.
  float valid_min;
  float valid_max;
  float slider_min;
  float slider_max;
  A_short precision;
  A_short display_flags;
  // Popups: items separated by "|"; "(-" is a separator that still takes a value.
  const char* popup_items;
  A_short num_choices;
  // Colours.
  PF_Pixel color;
};

// Every float slider is registered with this curve tolerance.
inline constexpr float kSliderCurveTolerance = 0.05f;

// All PARAM_COUNT rows; row i describes params[i]. Row 0 is the input layer, which the host
// supplies itself and which is never registered.
std::span<const ParamRow> ParamTable();

// The row of params[index], or null when the index is outside 0 to PARAM_COUNT - 1.
const ParamRow* FindParamRow(int index);

// The host parameter type of params[index]; absent outside 0 to PARAM_COUNT - 1.
std::optional<PF_ParamType> ParamTypeAt(int index);
