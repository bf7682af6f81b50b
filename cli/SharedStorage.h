// Whether a path lies on a disk of this machine only, which other nodes of a cluster cannot read.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mf::cli {

// The file system's name (ext4, tmpfs, ...) when the path is on a known local one; absent for
// network and cluster file systems and for ones not recognised.
std::optional<std::string> LocalFileSystem(const std::filesystem::path& path);

}  // namespace mf::cli
