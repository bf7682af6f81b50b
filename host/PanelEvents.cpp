#include "host/PanelEvents.h"

#include <algorithm>

#include "host/Expressions.h"

namespace mf::host {

void InstallPanelServices(Host& host) {
  InstallDrawbotSuites(host);
  InstallExpressionCheckout(host);
}

PF_Err ChangeParam(EffectInstance& instance, PF_ParamIndex index,
                   const std::function<void(PF_ParamDef&)>& edit) {
  if (index < 0 || index >= static_cast<PF_ParamIndex>(instance.params.size()))
    return PF_Err_BAD_CALLBACK_PARAM;
  PF_ParamDef& def = instance.params[index];
  edit(def);
  if (!(def.flags & PF_ParamFlag_SUPERVISE)) return PF_Err_NONE;
  PF_UserChangedParamExtra extra{index};
  return instance.send(PF_Cmd_USER_CHANGED_PARAM, &extra);
}

PF_Err RefreshPanel(EffectInstance& instance) {
  return instance.send(PF_Cmd_UPDATE_PARAMS_UI);
}

EffectPanel::EffectPanel(Host& host, EffectInstance& instance) : host_(host), instance_(instance) {
  InstallPanelServices(host_);
  int width = 2 * kMargin, y = kMargin;
  for (size_t i = 0; i < instance_.params.size(); ++i) {
    const PF_ParamDef& p = instance_.params[i];
    if (!(p.ui_flags & PF_PUI_CONTROL) || p.ui_width <= 0 || p.ui_height <= 0) continue;
    layout_.push_back({static_cast<PF_ParamIndex>(i),
                       PF_Rect{kMargin, y, kMargin + p.ui_width, y + p.ui_height}});
    width = std::max(width, p.ui_width + 2 * kMargin);
    y += p.ui_height + kMargin;
  }
  surface_ = PanelSurface(width, std::max(y, 2 * kMargin), kBackground);
  context_ = std::make_unique<DrawContext>(surface_);
}

PF_Rect EffectPanel::controlFrame(PF_ParamIndex index) const {
  for (const auto& [i, rect] : layout_)
    if (i == index) return rect;
  return PF_Rect{0, 0, 0, 0};
}

std::vector<PF_ParamIndex> EffectPanel::customControls() const {
  std::vector<PF_ParamIndex> out;
  for (const auto& entry : layout_) out.push_back(entry.first);
  return out;
}

PF_EventExtra EffectPanel::makeEvent(PF_EventType type, PF_ParamIndex index, PF_EffectArea area) {
  PF_EventExtra extra{};
  extra.contextH = context_->handle();
  extra.e_type = type;
  extra.effect_win.index = index;
  extra.effect_win.area = area;
  extra.effect_win.current_frame = controlFrame(index);
  // The title sits at the left of the strip, beside the control area.
  extra.effect_win.param_title_frame = PF_Rect{0, extra.effect_win.current_frame.top, kMargin,
                                               extra.effect_win.current_frame.bottom};
  return extra;
}

EventOutcome EffectPanel::send(PF_EventExtra& extra) {
  EventOutcome outcome;
  outcome.err = instance_.send(PF_Cmd_EVENT, &extra);
  outcome.out_flags = extra.evt_out_flags;
  outcome.send_drag = extra.u.do_click.send_drag != 0;
  return outcome;
}

EventOutcome EffectPanel::draw(PF_ParamIndex index, PF_EffectArea area, PF_EventInFlags in_flags,
                               PF_EventExtra* seen) {
  PF_EventExtra extra = makeEvent(PF_Event_DRAW, index, area);
  extra.evt_in_flags = in_flags;
  extra.u.draw.update_rect = extra.effect_win.current_frame;
  extra.u.draw.depth = 32;
  EventOutcome outcome = send(extra);
  if (seen) *seen = extra;
  return outcome;
}

EventOutcome EffectPanel::click(PF_ParamIndex index, PF_Point where, PF_EventExtra* seen) {
  PF_EventExtra extra = makeEvent(PF_Event_DO_CLICK, index, PF_EA_CONTROL);
  extra.u.do_click.when = ++clock_;
  extra.u.do_click.screen_point = where;
  extra.u.do_click.num_clicks = 1;
  EventOutcome outcome = send(extra);
  if (seen) *seen = extra;
  return outcome;
}

EventOutcome EffectPanel::drag(PF_ParamIndex index, PF_Point where, bool last,
                               PF_EventExtra* seen) {
  PF_EventExtra extra = makeEvent(PF_Event_DRAG, index, PF_EA_CONTROL);
  extra.u.do_click.when = ++clock_;
  extra.u.do_click.screen_point = where;
  extra.u.do_click.num_clicks = 1;
  extra.u.do_click.last_time = last ? 1 : 0;
  EventOutcome outcome = send(extra);
  if (seen) *seen = extra;
  return outcome;
}

PF_Err EffectPanel::drawAll() {
  PF_Err first = PF_Err_NONE;
  for (const auto& entry : layout_) {
    PF_Err err = draw(entry.first).err;
    if (!first) first = err;
  }
  return first;
}

void EffectPanel::repaintInvalidated(size_t from) {
  std::vector<PF_Rect> asked(invalidated().begin() + static_cast<long>(from), invalidated().end());
  for (const PF_Rect& r : asked) {
    for (const auto& [index, rect] : layout_) {
      const bool overlaps =
          r.left < rect.right && rect.left < r.right && r.top < rect.bottom && rect.top < r.bottom;
      if (overlaps) draw(index);
    }
  }
}

PF_Err EffectPanel::press(PF_ParamIndex index, PF_Point down, const std::vector<PF_Point>& moves,
                          PF_Point up) {
  size_t seen = invalidated().size();
  EventOutcome outcome = click(index, down);
  repaintInvalidated(seen);
  if (outcome.err || !outcome.send_drag) return outcome.err;
  for (const PF_Point& p : moves) {
    seen = invalidated().size();
    outcome = drag(index, p, false);
    repaintInvalidated(seen);
    if (outcome.err) return outcome.err;
    if (!outcome.send_drag) return PF_Err_NONE;  // the effect stopped asking for drags
  }
  seen = invalidated().size();
  outcome = drag(index, up, true);
  repaintInvalidated(seen);
  return outcome.err;
}

}  // namespace mf::host
