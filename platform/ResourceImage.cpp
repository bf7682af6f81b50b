#include "ResourceImage.h"

#include <cstring>

namespace mf::platform {
namespace {

uint16_t ReadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

size_t AlignUp4(size_t n) {
  return (n + 3) & ~static_cast<size_t>(3);
}

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c;
}

// A type or name field inside a header that ends at `end`; advances `pos`.
std::optional<ResourceId> ReadId(const uint8_t* base, size_t& pos, size_t end) {
  if (pos + 2 > end) return std::nullopt;
  if (ReadU16(base + pos) == 0xFFFF) {
    if (pos + 4 > end) return std::nullopt;
    uint16_t number = ReadU16(base + pos + 2);
    pos += 4;
    return ResourceId(number);
  }
  std::u16string name;
  for (;;) {
    if (pos + 2 > end) return std::nullopt;
    char16_t c = ReadU16(base + pos);
    pos += 2;
    if (c == 0) break;
    name.push_back(c);
  }
  return ResourceId(std::move(name));
}

bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

}  // namespace

std::optional<ResourceId> ResourceId::FromA(LPCSTR id) {
  if (IS_INTRESOURCE(id)) return ResourceId(static_cast<uint16_t>(reinterpret_cast<uintptr_t>(id)));
  if (id[0] == '#') {
    uint32_t value = 0;
    const char* p = id + 1;
    if (*p == '\0') return std::nullopt;
    for (; *p; ++p) {
      if (*p < '0' || *p > '9') return std::nullopt;
      value = value * 10 + static_cast<uint32_t>(*p - '0');
      if (value > 0xFFFF) return std::nullopt;
    }
    return ResourceId(static_cast<uint16_t>(value));
  }
  std::u16string name;
  for (const char* p = id; *p; ++p) name.push_back(static_cast<unsigned char>(*p));
  return ResourceId(std::move(name));
}

bool ResourceId::operator==(const ResourceId& other) const {
  if (isNumber() || other.isNumber()) return number_ == other.number_;
  if (name_.size() != other.name_.size()) return false;
  for (size_t i = 0; i < name_.size(); ++i)
    if (AsciiUpper(name_[i]) != AsciiUpper(other.name_[i])) return false;
  return true;
}

std::optional<ResourceImage> ResourceImage::Parse(const uint8_t* data, size_t size) {
  if (data == nullptr && size != 0) return std::nullopt;
  ResourceImage image;
  size_t pos = 0;
  while (pos < size) {
    if (size - pos < 8) {
      if (AllZero(data + pos, size - pos)) break;
      return std::nullopt;
    }
    const uint32_t data_size = ReadU32(data + pos);
    const uint32_t header_size = ReadU32(data + pos + 4);
    if (data_size == 0 && header_size == 0 && AllZero(data + pos, size - pos)) break;
    if (header_size < 8 || header_size > size - pos) return std::nullopt;
    const size_t header_end = pos + header_size;
    size_t field = pos + 8;
    auto type = ReadId(data, field, header_end);
    if (!type) return std::nullopt;
    auto name = ReadId(data, field, header_end);
    if (!name) return std::nullopt;
    field = AlignUp4(field - pos) + pos;
    if (field + 16 > header_end) return std::nullopt;
    if (data_size > size - header_end) return std::nullopt;

    ResourceEntry entry{*type, *name};
    entry.data_version = ReadU32(data + field);
    entry.memory_flags = ReadU16(data + field + 4);
    entry.language = ReadU16(data + field + 6);
    entry.version = ReadU32(data + field + 8);
    entry.characteristics = ReadU32(data + field + 12);
    entry.header = data + pos;
    entry.data = data + header_end;
    entry.size = data_size;
    // The file starts with an empty entry of type 0 that only marks the format.
    if (!(entry.type.isNumber() && entry.type.number() == 0 && data_size == 0))
      image.entries_.push_back(std::move(entry));
    pos = header_end + data_size;
    pos = pos + ((4 - (pos & 3)) & 3);
  }
  return image;
}

const ResourceEntry* ResourceImage::find(const ResourceId& type, const ResourceId& name,
                                         std::optional<uint16_t> language) const {
  for (const ResourceEntry& entry : entries_) {
    if (entry.type == type && entry.name == name && (!language || entry.language == *language))
      return &entry;
  }
  return nullptr;
}

std::optional<ResourceEntry> FindModuleResource(HINSTANCE module, const ResourceId& type,
                                                const ResourceId& name) {
  const ModuleImage* image = FromInstance(module);
  if (image == nullptr) return std::nullopt;
  auto resources = ResourceImage::Parse(*image);
  if (!resources) return std::nullopt;
  const ResourceEntry* entry = resources->find(type, name);
  if (entry == nullptr) return std::nullopt;
  return *entry;
}

}  // namespace mf::platform

// A resource handle is the address of the entry's header in the module image; its data is found
// again from the header, which FindResourceA has already checked.
MF_PLATFORM_API HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  using mf::platform::ResourceId;
  if (lpName == nullptr || lpType == nullptr) return nullptr;
  auto name = ResourceId::FromA(lpName);
  auto type = ResourceId::FromA(lpType);
  if (!name || !type) return nullptr;
  auto entry = mf::platform::FindModuleResource(hModule, *type, *name);
  if (!entry) return nullptr;
  return reinterpret_cast<HRSRC>(const_cast<uint8_t*>(entry->header));
}

MF_PLATFORM_API HGLOBAL LoadResource(HMODULE, HRSRC hResInfo) {
  if (hResInfo == nullptr) return nullptr;
  const uint8_t* header = reinterpret_cast<const uint8_t*>(hResInfo);
  uint32_t header_size;
  std::memcpy(&header_size, header + 4, 4);
  return const_cast<uint8_t*>(header + header_size);
}

MF_PLATFORM_API LPVOID LockResource(HGLOBAL hResData) {
  return hResData;
}

MF_PLATFORM_API DWORD SizeofResource(HMODULE, HRSRC hResInfo) {
  if (hResInfo == nullptr) return 0;
  uint32_t data_size;
  std::memcpy(&data_size, hResInfo, 4);
  return data_size;
}
