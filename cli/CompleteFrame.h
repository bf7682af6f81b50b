// Whether a rendered frame's file is already there in full. Frames are written under a temporary
// name and renamed when whole, so a file under its own name was complete when written; reading
// every pixel back still catches one damaged or cut short since (a failed copy, a full disk on a
// file server).
#pragma once

#include <filesystem>

namespace mf::cli {

// True when the file exists and an image reader decodes all of its pixels.
bool IsCompleteImage(const std::filesystem::path& file);

}  // namespace mf::cli
