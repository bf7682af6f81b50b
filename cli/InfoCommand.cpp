// `motefield info`: the About text and the controls as the host received them from the plug-in.
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "cli/Commands.h"
#include "cli/ControlNames.h"
#include "host/Text.h"
#include "params/ParamIndex.h"

namespace mf::cli {
namespace {

const char* TypeName(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER:
      return "layer";
    case PF_Param_ANGLE:
      return "angle";
    case PF_Param_CHECKBOX:
      return "checkbox";
    case PF_Param_COLOR:
      return "color";
    case PF_Param_POPUP:
      return "popup";
    case PF_Param_NO_DATA:
      return "custom";
    case PF_Param_FLOAT_SLIDER:
      return "slider";
    case PF_Param_GROUP_START:
      return "group";
    case PF_Param_GROUP_END:
      return "group end";
    default:
      return "?";
  }
}

std::string Num(double v) {
  if (v >= 3.4e38) return "max";
  if (v <= -3.4e38) return "-max";
  std::ostringstream s;
  s << v;
  return s.str();
}

std::string DefaultOf(const PF_ParamDef& p) {
  switch (p.param_type) {
    case PF_Param_CHECKBOX:
      return p.u.bd.dephault ? "on" : "off";
    case PF_Param_POPUP: {
      // "3 (name)": the item text of the default, from the popup string the host was given.
      std::string items = p.u.pd.u.namesptr ? p.u.pd.u.namesptr : "";
      int n = 1;
      size_t start = 0;
      while (n < p.u.pd.dephault && start != std::string::npos) {
        start = items.find('|', start);
        if (start != std::string::npos) ++start;
        ++n;
      }
      std::string item =
          start == std::string::npos ? "" : items.substr(start, items.find('|', start) - start);
      return std::to_string(p.u.pd.dephault) + " (" + host::GbkToUtf8(item) + ")";
    }
    case PF_Param_FLOAT_SLIDER:
      return Num(p.u.fs_d.dephault);
    case PF_Param_ANGLE:
      return Num(p.u.ad.dephault / 65536.0) + "°";
    case PF_Param_COLOR: {
      char b[48];
      std::snprintf(b, sizeof b, "rgb(%d,%d,%d)", p.u.cd.dephault.red, p.u.cd.dephault.green,
                    p.u.cd.dephault.blue);
      return b;
    }
    case PF_Param_LAYER:
      return "none";
    default:
      return "";
  }
}

std::string FlagsOf(const PF_ParamDef& p) {
  std::string f;
  auto add = [&](bool on, const char* name) {
    if (!on) return;
    if (!f.empty()) f += ",";
    f += name;
  };
  add(p.flags & PF_ParamFlag_SUPERVISE, "supervise");
  add(p.flags & PF_ParamFlag_COLLAPSE_TWIRLY, "collapsed");
  add(p.flags & PF_ParamFlag_CANNOT_TIME_VARY, "static");
  add(p.flags & PF_ParamFlag_CANNOT_INTERP, "no-interp");
  add(p.ui_flags & PF_PUI_DISABLED, "disabled");
  if (p.ui_flags & PF_PUI_CONTROL) {
    add(true, ("custom " + std::to_string(p.ui_width) + "x" + std::to_string(p.ui_height)).c_str());
  }
  return f;
}

// Pads by display columns, so Chinese names (two columns each) line up.
std::string Pad(const std::string& utf8, int width) {
  int columns = 0;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = utf8[i];
    int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    columns += len >= 3 ? 2 : 1;
    i += len;
  }
  return utf8 + std::string(columns < width ? width - columns : 1, ' ');
}

// Every popup's values with both of their names; a scene may give any of the three.
void PrintPopupChoices(const std::vector<PF_ParamDef>& params, std::ostream& out) {
  out << "\nPopup choices (a scene may give the number, the menu's text or the English name):\n";
  for (size_t i = 0; i < params.size(); ++i) {
    const std::vector<PopupChoice> choices = PopupChoices(params[i], static_cast<int>(i));
    if (choices.empty()) continue;
    out << "\n" << ParamIdentifier(static_cast<int>(i)) << "\n";
    for (const PopupChoice& c : choices) {
      out << "  " << std::right << std::setw(2) << c.value << "  " << std::left;
      if (c.menu.empty())
        out << "(separator)\n";
      else
        out << Pad(c.menu, 18) << c.english << "\n";
    }
  }
}

}  // namespace

int RunInfo(const CommonOptions& common, std::ostream& out) {
  host::Host host(MakeHostOptions(common));
  ShowMessagesOnStderr(host);
  if (PF_Err err = host.globalSetup()) {
    std::cerr << "motefield: the plug-in refused to start (error " << err << ")\n";
    return 1;
  }
  std::string about;
  host.about(&about);
  for (char& c : about)
    if (c == '\r') c = '\n';
  out << about << "\n\n";
  if (PF_Err err = host.registerEffect()) {
    std::cerr << "motefield: the plug-in could not register its controls (error " << err << ")";
    if (!host.lastReturnMessage().empty()) std::cerr << ": " << host.lastReturnMessage();
    std::cerr << "\n";
    return 1;
  }
  const auto& params = host.registeredParams();
  out << params.size() << " parameters (index 0 is the layer the effect is applied to)";
  if (!host.optionsButtonName().empty())
    out << "; options button \"" << host::GbkToUtf8(host.optionsButtonName()) << "\"";
  out << "\n\n";
  out << std::left << std::setw(6) << "index" << std::setw(30) << "identifier" << Pad("name", 22)
      << std::setw(10) << "type" << std::setw(16) << "default" << std::setw(20) << "valid"
      << std::setw(16) << "slider"
      << "flags\n";
  for (size_t i = 0; i < params.size(); ++i) {
    const PF_ParamDef& p = params[i];
    const char* id = ParamIdentifier(static_cast<int>(i));
    std::string valid, slider;
    if (p.param_type == PF_Param_FLOAT_SLIDER) {
      valid = Num(p.u.fs_d.valid_min) + " to " + Num(p.u.fs_d.valid_max);
      slider = Num(p.u.fs_d.slider_min) + " to " + Num(p.u.fs_d.slider_max);
    } else if (p.param_type == PF_Param_POPUP) {
      valid = "1 to " + std::to_string(p.u.pd.num_choices);
    }
    std::string name = i == 0 ? "(input layer)" : host::GbkToUtf8(p.name);
    out << std::left << std::setw(6) << i << std::setw(30) << (id ? id : "?") << Pad(name, 22)
        << std::setw(10) << TypeName(p.param_type) << Pad(DefaultOf(p), 16) << std::setw(20)
        << valid << std::setw(16) << slider << FlagsOf(p) << "\n";
  }
  PrintPopupChoices(params, out);
  return 0;
}

}  // namespace mf::cli
