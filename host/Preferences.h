// The host's application preferences: sections of string keys and values, kept in a file so a
// person's choices survive a restart.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace mf::host {

class PreferenceStore {
 public:
  // An empty path means the default: $MOTEFIELD_PREFS, else the user's configuration folder
  // ($XDG_CONFIG_HOME or ~/.config)/motefield/preferences.json.
  explicit PreferenceStore(std::string path = {});

  static std::string DefaultPath();
  const std::string& path() const { return path_; }

  // Values are the plug-in's 8-bit text.
  std::optional<std::string> get(const std::string& section, const std::string& key) const;
  bool set(const std::string& section, const std::string& key, const std::string& value);
  bool erase(const std::string& section, const std::string& key);
  // Re-reads the file; a missing file is an empty store.
  void reload();
  // The last problem reading or writing the file, in plain words; empty when none.
  const std::string& problem() const { return problem_; }

 private:
  bool save();

  std::string path_;
  std::map<std::string, std::map<std::string, std::string>> sections_;
  std::string problem_;
};

}  // namespace mf::host
