// "Did you mean": the known name nearest a mistyped one, for messages about names a person wrote
// (commands, options, scene keys, control identifiers).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mf::host {

// The candidate closest to word by edits (case ignored), when it is close enough to be a slip.
std::optional<std::string> NearestName(const std::string& word,
                                       const std::vector<std::string>& candidates);

// " (did you mean \"X\"?)", or empty when nothing is near.
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace mf::host
