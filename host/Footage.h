// Footage and solid layers of a scene as the host's source of layer pixels.
//
// Footage is read with OpenImageIO, values as stored: no colour conversion and no change of
// alpha association (a position pass must keep its values); 8 and 16-bit files give 0 to 1. A
// source is one image, used for every frame, or a numbered sequence: "beauty.####.exr" (the run
// of # is the zero-padded width) or "beauty.%04d.exr" ("%d" for no padding). A sequence starts
// at its layer's start, as footage does in a compositor: the lowest-numbered file on disk (or the
// file numbered "first_frame") is the layer's first frame, whatever number the renderer began at.
// "channels": "P" picks a channel set of a multi-layer file by name: P.R/G/B, else P.X/Y/Z, else
// P.x/y/z (a part named P may also hold them unprefixed), alpha from P.A or else A of the same
// part, else 1. Without "channels" the channels are R, G, B (a single Y channel gives grey) and A
// when present.
//
// A solid is the composition's size (or its own "width" and "height") in one "color":
// [r, g, b] or [r, g, b, a], each from 0 to 1 like light colours (alpha 1 when not given).
//
// Decoded images are cached, the most recently used first, up to a byte budget.
#pragma once

#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/Frame.h"
#include "host/FramePattern.h"
#include "host/Scene.h"

namespace mf::host {

// Reads an image file's channels into RGBA floats. channel_set empty: R, G, B (or Y), A.
// Throws LayerError naming the file.
LayerImage ReadFootageImage(const std::filesystem::path& file, const std::string& channel_set);

class FootageSource final : public LayerSource {
 public:
  // Throws SceneError naming the file and key of a footage or solid layer written wrongly.
  explicit FootageSource(const Scene& scene, int64_t cache_bytes = int64_t{1} << 30);

  std::shared_ptr<const LayerImage> image(int layer, int frame) override;

  // Frames decoded from files so far (cache misses); tests see the cache work through it.
  int64_t decodes() const { return decodes_; }

 private:
  struct LayerEntry {
    std::string name;
    enum class Kind { kNone, kFootage, kSolid } kind = Kind::kNone;
    FramePattern pattern;
    std::string channels;
    int start_frame = 0;            // composition frame of the layer's first frame
    std::optional<int> first_file;  // file number shown at start_frame; absent: none on disk
    float color[4] = {0, 0, 0, 1};
    int width = 0, height = 0;
  };
  std::shared_ptr<const LayerImage> cached(const std::string& key);
  std::shared_ptr<const LayerImage> footage(const LayerEntry& entry, int frame);
  void remember(const std::string& key, std::shared_ptr<const LayerImage> image);

  std::vector<LayerEntry> layers_;
  int64_t cache_budget_;
  int64_t cache_bytes_ = 0;
  int64_t decodes_ = 0;
  // Most recently used at the front.
  std::list<std::pair<std::string, std::shared_ptr<const LayerImage>>> lru_;
  std::map<std::string, decltype(lru_)::iterator> index_;
};

}  // namespace mf::host
