#include "PropertyList.h"

#include <cstring>

namespace mf::platform {
namespace {

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A little-endian four-character code back in reading order.
std::string Code(const uint8_t* p) {
  return {static_cast<char>(p[3]), static_cast<char>(p[2]), static_cast<char>(p[1]),
          static_cast<char>(p[0])};
}

}  // namespace

std::optional<PropertyList> PropertyList::Parse(const uint8_t* data, size_t size) {
  if (data == nullptr || size < 10) return std::nullopt;
  if (data[0] != 1 || data[1] != 0) return std::nullopt;
  const uint32_t count = ReadU32(data + 6);
  PropertyList list;
  size_t pos = 10;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - pos < 16) return std::nullopt;
    Property p;
    p.vendor = Code(data + pos);
    p.key = Code(data + pos + 4);
    p.id = ReadU32(data + pos + 8);
    const uint32_t length = ReadU32(data + pos + 12);
    pos += 16;
    // Lengths that leave out the padding still occupy a whole multiple of 4 bytes.
    const size_t stored = (static_cast<size_t>(length) + 3) & ~static_cast<size_t>(3);
    if (stored > size - pos) return std::nullopt;
    p.data.assign(data + pos, data + pos + length);
    pos += stored;
    list.properties_.push_back(std::move(p));
  }
  return list;
}

const Property* PropertyList::find(std::string_view key) const {
  for (const Property& p : properties_)
    if (p.key == key) return &p;
  return nullptr;
}

std::optional<std::string> PropertyList::pascalString(std::string_view key) const {
  const Property* p = find(key);
  if (!p || p->data.empty() || p->data[0] + size_t{1} > p->data.size()) return std::nullopt;
  return std::string(p->data.begin() + 1, p->data.begin() + 1 + p->data[0]);
}

std::optional<std::string> PropertyList::cString(std::string_view key) const {
  const Property* p = find(key);
  if (!p || p->data.empty()) return std::nullopt;  // memchr must not see an empty vector's null
  const void* end = std::memchr(p->data.data(), 0, p->data.size());
  if (!end) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(p->data.data()),
                     static_cast<const uint8_t*>(end) - p->data.data());
}

std::optional<std::string> PropertyList::code(std::string_view key) const {
  const Property* p = find(key);
  if (!p || p->data.size() < 4) return std::nullopt;
  return Code(p->data.data());
}

std::optional<uint32_t> PropertyList::u32(std::string_view key) const {
  const Property* p = find(key);
  if (!p || p->data.size() < 4) return std::nullopt;
  return ReadU32(p->data.data());
}

}  // namespace mf::platform
