#include "cli/SharedStorage.h"

#include <sys/vfs.h>

#include <utility>

namespace mf::cli {

namespace {

// Magic numbers from the kernel's file-system headers.
constexpr std::pair<unsigned long, const char*> kLocal[] = {
    {0xEF53, "ext4"},        {0x58465342, "xfs"},  {0x9123683E, "btrfs"}, {0x01021994, "tmpfs"},
    {0x794C7630, "overlay"}, {0xF2F52010, "f2fs"}, {0x2FC12FC1, "zfs"},   {0x858458F6, "ramfs"},
    {0x4D44, "vfat"},        {0x5346544E, "ntfs"}, {0x2011BAB0, "exfat"}, {0x73717368, "squashfs"},
};

}  // namespace

std::optional<std::string> LocalFileSystem(const std::filesystem::path& path) {
  // An output folder may not exist yet: its nearest existing parent decides.
  std::filesystem::path p = std::filesystem::absolute(path);
  std::error_code ec;
  while (!std::filesystem::exists(p, ec) && p.has_parent_path() && p != p.parent_path())
    p = p.parent_path();
  struct statfs fs {};
  if (::statfs(p.c_str(), &fs) != 0) return std::nullopt;
  for (const auto& [magic, name] : kLocal)
    if (static_cast<unsigned long>(fs.f_type) == magic) return std::string(name);
  return std::nullopt;
}

}  // namespace mf::cli
