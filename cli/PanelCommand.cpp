// `motefield panel`: the effect panel as the host holds it after the effect brought it up to date
// (groups, labels, values, greyed controls, slider ranges), and a picture of the two controls the
// effect draws itself.
#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/PanelCommands.h"
#include "cli/SceneInstance.h"
#include "host/Composition.h"
#include "host/Expressions.h"
#include "host/PanelEvents.h"
#include "host/Text.h"
#include "params/ParamIndex.h"

namespace mf::cli {
namespace {

std::string Number(double v) {
  if (v >= 3.4e38) return "max";
  if (v <= -3.4e38) return "-max";
  std::ostringstream s;
  s << v;
  return s.str();
}

std::string PopupItem(const PF_ParamDef& p, int value) {
  const std::string items = p.u.pd.u.namesptr ? host::GbkToUtf8(p.u.pd.u.namesptr) : "";
  size_t start = 0;
  for (int n = 1; n < value && start != std::string::npos; ++n) {
    start = items.find('|', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos) return "";
  return items.substr(start, items.find('|', start) - start);
}

std::string ValueOf(const PF_ParamDef& p, const host::Scene& scene, bool keyed) {
  switch (p.param_type) {
    case PF_Param_CHECKBOX:
      return p.u.bd.value ? "on" : "off";
    case PF_Param_POPUP:
      return std::to_string(p.u.pd.value) + " (" + PopupItem(p, p.u.pd.value) + ")";
    case PF_Param_FLOAT_SLIDER:
      return Number(p.u.fs_d.value) + (keyed ? " (keyframed)" : "");
    case PF_Param_ANGLE:
      return Number(p.u.ad.value / 65536.0) + "°" + (keyed ? " (keyframed)" : "");
    case PF_Param_COLOR: {
      char b[48];
      std::snprintf(b, sizeof b, "rgb(%d,%d,%d)", p.u.cd.value.red, p.u.cd.value.green,
                    p.u.cd.value.blue);
      return b;
    }
    case PF_Param_LAYER: {
      const auto chosen = reinterpret_cast<intptr_t>(p.u.ld.reserved0);
      if (chosen <= 0 || chosen > static_cast<intptr_t>(scene.layers.size())) return "none";
      return "\"" + scene.layers[chosen - 1].name + "\"";
    }
    case PF_Param_NO_DATA:
      return (p.ui_flags & PF_PUI_CONTROL) ? "[drawn by the effect, " + std::to_string(p.ui_width) +
                                                 " x " + std::to_string(p.ui_height) + "]"
                                           : "";
    default:
      return "";
  }
}

// Pads by display columns, so Chinese labels (two columns a character) line up.
std::string Pad(const std::string& utf8, int width) {
  int columns = 0;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = utf8[i];
    const int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    columns += len >= 3 ? 2 : 1;
    i += len;
  }
  return utf8 + std::string(columns < width ? width - columns : 1, ' ');
}

// Written beside the target and renamed over it: never a half-written picture.
bool WritePicture(const host::PanelSurface& surface, const std::string& path) {
  const std::filesystem::path target(path);
  std::filesystem::path temp = target;
  temp.replace_filename(target.stem().string() + ".partial" + target.extension().string());
  auto writer = OIIO::ImageOutput::create(temp.string());
  if (!writer) {
    std::cerr << "motefield: " << path << ": cannot write pictures of this kind ("
              << OIIO::geterror() << ")\n";
    return false;
  }
  OIIO::ImageSpec spec(surface.width, surface.height, 4, OIIO::TypeDesc::UINT8);
  bool ok = writer->open(temp.string(), spec) &&
            writer->write_image(OIIO::TypeDesc::UINT8, surface.rgba.data());
  ok = writer->close() && ok;
  std::error_code ec;
  if (ok) std::filesystem::rename(temp, target, ec);
  if (!ok || ec) {
    std::cerr << "motefield: " << path << ": cannot write here"
              << (ec                           ? ": " + ec.message()
                  : writer->geterror().empty() ? ""
                                               : ": " + writer->geterror())
              << "\n";
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace

int RunPanel(const CommonOptions& common, const std::string& scene_path, const std::string& picture,
             std::ostream& out) {
  host::Host host(MakeHostOptions(common));
  ShowMessagesOnStderr(host);
  host::InstallPanelServices(host);
  SceneEffect effect;
  if (int status = SetUpSceneEffect(host, scene_path, &effect)) return status;
  host::EffectInstance& instance = *effect.instance;
  if (PF_Err err = instance.send(PF_Cmd_UPDATE_PARAMS_UI)) {
    std::cerr << "motefield: the effect could not bring its panel up to date (error " << err
              << ")\n";
    return 1;
  }

  out << "Motefield on layer \"" << effect.scene.layers[effect.layer].name << "\" of " << scene_path
      << "\n";
  int depth = 0;
  for (size_t i = 1; i < instance.params.size(); ++i) {
    const PF_ParamDef& value = instance.params[i];
    const PF_ParamDef& shown = instance.panel[i];  // labels, greying and ranges as last sent
    const PF_ParamIndex index = static_cast<PF_ParamIndex>(i);
    if (value.param_type == PF_Param_GROUP_END) {
      depth = std::max(0, depth - 1);
      continue;
    }
    const std::string label =
        host::GbkToUtf8(std::string(shown.name, strnlen(shown.name, sizeof(shown.name))));
    const char* id = ParamIdentifier(index);
    std::ostringstream line;
    line << (i < 10 ? "  " : i < 100 ? " " : "") << i << "  " << std::string(depth * 2, ' ');
    if (value.param_type == PF_Param_GROUP_START) {
      out << line.str() << "▸ " << label << "  (" << (id ? id : "") << ")\n";
      ++depth;
      continue;
    }
    line << Pad(id ? id : "?", 30 - depth * 2) << Pad(label, 20)
         << ValueOf(value, effect.scene, instance.keyframes.count(index) > 0);
    if (value.param_type == PF_Param_FLOAT_SLIDER) {
      line << "  slider " << Number(shown.u.fs_d.slider_min) << " to "
           << Number(shown.u.fs_d.slider_max);
    }
    if (shown.ui_flags & PF_PUI_DISABLED) line << "  [disabled]";
    auto e = instance.expressions.find(index);
    if (e != instance.expressions.end() && e->second.enabled) {
      std::string text = host::GbkToUtf8(e->second.text);
      while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
      host::ExpressionResult r = host::EvaluateExpression(host.composition(), text, 0.0);
      line << "  expression " << text << " = "
           << (r.value ? Number(*r.value) + " at 0 s" : "? (" + r.problem + ")");
    }
    out << line.str() << "\n";
  }

  if (!picture.empty()) {
    host::EffectPanel panel(host, instance);
    if (PF_Err err = panel.drawAll()) {
      std::cerr << "motefield: the effect could not draw its controls (error " << err << ")\n";
      return 1;
    }
    if (!WritePicture(panel.surface(), picture)) return 1;
    std::cerr << "wrote " << picture << " (" << panel.surface().width << " x "
              << panel.surface().height << ")\n";
  }
  return 0;
}

}  // namespace mf::cli
