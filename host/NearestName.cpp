#include "host/NearestName.h"

#include <algorithm>
#include <cctype>

namespace mf::host {
namespace {

std::string Folded(const std::string& s) {
  std::string out;
  for (char c : s) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Insertions, deletions, substitutions and swaps of neighbours.
size_t Edits(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

std::optional<std::string> NearestName(const std::string& word,
                                       const std::vector<std::string>& candidates) {
  const std::string w = Folded(word);
  if (w.empty() || w.size() > 64) return std::nullopt;
  // A third of the word may be wrong, at least two letters: "rendr", "PIXEL_SIZ", "bitdepth".
  const size_t allowed = std::max<size_t>(2, w.size() / 3);
  std::optional<std::string> best;
  size_t best_edits = allowed + 1;
  for (const std::string& c : candidates) {
    if (c.size() > 64) continue;
    const size_t e = Edits(w, Folded(c));
    if (e < best_edits) {
      best_edits = e;
      best = c;
    }
  }
  return best;
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates) {
  auto near = NearestName(word, candidates);
  return near ? " (did you mean \"" + *near + "\"?)" : "";
}

}  // namespace mf::host
