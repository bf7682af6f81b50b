// The effect panel as a person works in it: changing a control (the host tells the effect about
// supervised controls, then asks it to bring the panel up to date), and the custom controls the
// effect draws itself, with their click, drag and draw events. The panel's pixels are kept in a
// PanelSurface; the custom controls are laid out one below the other at their registered sizes.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "AE_EffectUI.h"
#include "host/Drawbot.h"
#include "host/Host.h"

namespace mf::host {

// Everything the panel and its custom controls need from the host: the drawing suites, the
// repaint call and expressions on checked-out controls. Idempotent; call once per host.
void InstallPanelServices(Host& host);

// Sets a control the way a person does in the panel: edit changes the value in params[]; then a
// supervised control is reported with PF_Cmd_USER_CHANGED_PARAM. The panel catches up at its next
// refresh, not here. Returns the effect's error.
PF_Err ChangeParam(EffectInstance& instance, PF_ParamIndex index,
                   const std::function<void(PF_ParamDef&)>& edit);

// The panel refreshes: PF_Cmd_UPDATE_PARAMS_UI brings it up to date with every change since the
// last refresh at once. The real host sends the update when it redraws the panel (the guide's
// "Parameter supervision" section), which may follow several changes or none, so an effect
// that updates only what the last change touched shows a stale panel here too.
PF_Err RefreshPanel(EffectInstance& instance);

// What one event gave back.
struct EventOutcome {
  PF_Err err = PF_Err_NONE;
  PF_EventOutFlags out_flags = 0;
  bool send_drag = false;
};

class EffectPanel {
 public:
  // The panel of one instance: its custom controls (those registered with PF_PUI_CONTROL), each
  // at its registered width and height, kMargin from the left and below the previous one.
  EffectPanel(Host& host, EffectInstance& instance);

  static constexpr int kMargin = 8;
  static constexpr uint8_t kBackground[4] = {52, 52, 52, 255};

  // The control area of a custom control, in panel coordinates; empty for other controls.
  PF_Rect controlFrame(PF_ParamIndex index) const;
  std::vector<PF_ParamIndex> customControls() const;

  PanelSurface& surface() { return surface_; }
  // Rectangles the effect asked to repaint, oldest first.
  const std::vector<PF_Rect>& invalidated() const { return context_->invalidated(); }

  // Single events. The extra block the effect saw is handed back in *extra when asked for.
  EventOutcome draw(PF_ParamIndex index, PF_EffectArea area = PF_EA_CONTROL,
                    PF_EventInFlags in_flags = PF_EI_NONE, PF_EventExtra* extra = nullptr);
  EventOutcome click(PF_ParamIndex index, PF_Point where, PF_EventExtra* extra = nullptr);
  EventOutcome drag(PF_ParamIndex index, PF_Point where, bool last, PF_EventExtra* extra = nullptr);

  // Draws every custom control, as the host paints the panel.
  PF_Err drawAll();
  // A whole press: the click, then a drag for each point while the effect asks for drags, the
  // release at `up` being the last. Controls the effect asks to repaint are drawn again after
  // each event, as the host does. Returns the first error.
  PF_Err press(PF_ParamIndex index, PF_Point down, const std::vector<PF_Point>& moves, PF_Point up);

 private:
  EventOutcome send(PF_EventExtra& extra);
  PF_EventExtra makeEvent(PF_EventType type, PF_ParamIndex index, PF_EffectArea area);
  void repaintInvalidated(size_t from);

  Host& host_;
  EffectInstance& instance_;
  std::vector<std::pair<PF_ParamIndex, PF_Rect>> layout_;
  PanelSurface surface_;
  std::unique_ptr<DrawContext> context_;
  A_u_long clock_ = 0;
};

}  // namespace mf::host
