#include "host/Preferences.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/Text.h"

namespace mf::host {

namespace fs = std::filesystem;

std::string PreferenceStore::DefaultPath() {
  if (const char* p = std::getenv("MOTEFIELD_PREFS"); p && *p) return p;
  fs::path base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = fs::path(h) / ".config";
  } else {
    base = fs::temp_directory_path();
  }
  return (base / "motefield" / "preferences.json").string();
}

PreferenceStore::PreferenceStore(std::string path)
    : path_(path.empty() ? DefaultPath() : std::move(path)) {
  reload();
}

void PreferenceStore::reload() {
  sections_.clear();
  problem_.clear();
  std::ifstream in(path_);
  if (!in) return;
  try {
    nlohmann::json doc = nlohmann::json::parse(in);
    for (auto& [section, keys] : doc.items()) {
      if (!keys.is_object()) continue;
      for (auto& [key, value] : keys.items()) {
        if (value.is_string())
          sections_[Utf8ToGbk(section)][Utf8ToGbk(key)] = Utf8ToGbk(value.get<std::string>());
      }
    }
  } catch (const std::exception& e) {
    problem_ = "preferences file " + path_ + " is not valid JSON and was ignored: " + e.what();
  }
}

std::optional<std::string> PreferenceStore::get(const std::string& section,
                                                const std::string& key) const {
  auto s = sections_.find(section);
  if (s == sections_.end()) return std::nullopt;
  auto k = s->second.find(key);
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

bool PreferenceStore::set(const std::string& section, const std::string& key,
                          const std::string& value) {
  sections_[section][key] = value;
  return save();
}

bool PreferenceStore::erase(const std::string& section, const std::string& key) {
  auto s = sections_.find(section);
  if (s == sections_.end() || !s->second.erase(key)) return true;
  return save();
}

bool PreferenceStore::save() {
  nlohmann::json doc = nlohmann::json::object();
  for (const auto& [section, keys] : sections_) {
    nlohmann::json& js = doc[GbkToUtf8(section)];
    js = nlohmann::json::object();
    for (const auto& [key, value] : keys) js[GbkToUtf8(key)] = GbkToUtf8(value);
  }
  std::error_code ec;
  fs::path target(path_);
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  // Written beside the target and renamed over it, so a crash never leaves half a file.
  fs::path temp = target;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out || !(out << doc.dump(2) << '\n')) {
      problem_ = "cannot write preferences file " + temp.string();
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) {
    problem_ = "cannot write preferences file " + path_ + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace mf::host
