#include "ElfSection.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace mf::platform {
namespace {

template <typename T>
bool ReadAt(const std::vector<uint8_t>& file, uint64_t offset, T& out) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, file.data() + offset, sizeof(T));
  return true;
}

bool InFile(const std::vector<uint8_t>& file, uint64_t offset, uint64_t size) {
  return offset <= file.size() && size <= file.size() - offset;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadElfSection(const std::string& path, std::string_view name) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  Elf64_Ehdr header;
  if (!ReadAt(file, 0, header)) return std::nullopt;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_ident[EI_DATA] != ELFDATA2LSB || header.e_shentsize != sizeof(Elf64_Shdr))
    return std::nullopt;
  if (header.e_shstrndx >= header.e_shnum) return std::nullopt;

  auto section = [&](uint16_t index, Elf64_Shdr& out) {
    return ReadAt(file, header.e_shoff + uint64_t{index} * sizeof(Elf64_Shdr), out);
  };
  Elf64_Shdr names;
  if (!section(header.e_shstrndx, names) || !InFile(file, names.sh_offset, names.sh_size))
    return std::nullopt;

  for (uint16_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr shdr;
    if (!section(i, shdr)) return std::nullopt;
    if (shdr.sh_name >= names.sh_size) continue;
    const char* candidate =
        reinterpret_cast<const char*>(file.data() + names.sh_offset + shdr.sh_name);
    size_t max_length = names.sh_size - shdr.sh_name;
    if (strnlen(candidate, max_length) != name.size() ||
        std::memcmp(candidate, name.data(), name.size()) != 0)
      continue;
    if (shdr.sh_type == SHT_NOBITS) return std::vector<uint8_t>(shdr.sh_size, 0);
    if (!InFile(file, shdr.sh_offset, shdr.sh_size)) return std::nullopt;
    return std::vector<uint8_t>(
        file.begin() + static_cast<ptrdiff_t>(shdr.sh_offset),
        file.begin() + static_cast<ptrdiff_t>(shdr.sh_offset + shdr.sh_size));
  }
  return std::nullopt;
}

}  // namespace mf::platform
