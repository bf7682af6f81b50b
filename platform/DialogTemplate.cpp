#include "DialogTemplate.h"

#include "TextEncoding.h"
#include "Win32.h"

namespace mf::platform {
namespace {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }

  uint8_t u8() {
    if (!need(1)) return 0;
    return data_[pos_++];
  }
  uint16_t u16() {
    if (!need(2)) return 0;
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t u32() {
    uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
  }
  std::u16string string() {
    std::u16string s;
    while (ok_) {
      char16_t c = u16();
      if (c == 0) break;
      s.push_back(c);
    }
    return s;
  }
  // 0x0000: empty; 0xFFFF: an ordinal follows; anything else starts a string.
  TemplateField field() {
    TemplateField f;
    if (!need(2)) return f;
    uint16_t first = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    if (first == 0x0000) {
      pos_ += 2;
    } else if (first == 0xFFFF) {
      pos_ += 2;
      f.ordinal = u16();
    } else {
      f.text = string();
    }
    return f;
  }
  std::vector<uint8_t> bytes(size_t n) {
    if (!need(n)) return {};
    std::vector<uint8_t> v(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return v;
  }
  void alignDword() {
    size_t aligned = (pos_ + 3) & ~static_cast<size_t>(3);
    // The last item may end the resource without its padding.
    pos_ = aligned <= size_ ? aligned : size_;
  }

 private:
  bool need(size_t n) {
    if (!ok_ || n > size_ - pos_) {
      ok_ = false;
      return false;
    }
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c;
}

}  // namespace

std::string DialogItemTemplate::className() const {
  if (window_class.ordinal) {
    switch (*window_class.ordinal) {
      case 0x80:
        return "button";
      case 0x81:
        return "edit";
      case 0x82:
        return "static";
      case 0x83:
        return "listbox";
      case 0x84:
        return "scrollbar";
      case 0x85:
        return "combobox";
      default:
        return "#" + std::to_string(*window_class.ordinal);
    }
  }
  std::u16string lower;
  for (char16_t c : window_class.text) lower.push_back(Lower(c));
  return Utf16ToUtf8(lower);
}

std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size) {
  if (data == nullptr) return std::nullopt;
  Reader r(data, size);
  DialogTemplate t;
  const uint16_t version = r.u16();
  const uint16_t signature = r.u16();
  uint16_t count = 0;
  if (version == 1 && signature == 0xFFFF) {
    t.extended = true;
    t.help_id = r.u32();
    t.ex_style = r.u32();
    t.style = r.u32();
  } else {
    r = Reader(data, size);
    t.style = r.u32();
    t.ex_style = r.u32();
  }
  count = r.u16();
  t.x = static_cast<int16_t>(r.u16());
  t.y = static_cast<int16_t>(r.u16());
  t.cx = static_cast<int16_t>(r.u16());
  t.cy = static_cast<int16_t>(r.u16());
  t.menu = r.field();
  t.window_class = r.field();
  t.title = r.string();
  if (t.style & DS_SETFONT) {
    t.point_size = r.u16();
    if (t.extended) {
      t.weight = r.u16();
      t.italic = r.u8();
      t.charset = r.u8();
    }
    t.typeface = r.string();
  }
  if (!r.ok()) return std::nullopt;

  for (uint16_t i = 0; i < count; ++i) {
    r.alignDword();
    DialogItemTemplate item;
    if (t.extended) {
      item.help_id = r.u32();
      item.ex_style = r.u32();
      item.style = r.u32();
    } else {
      item.style = r.u32();
      item.ex_style = r.u32();
    }
    item.x = static_cast<int16_t>(r.u16());
    item.y = static_cast<int16_t>(r.u16());
    item.cx = static_cast<int16_t>(r.u16());
    item.cy = static_cast<int16_t>(r.u16());
    item.id = t.extended ? static_cast<int32_t>(r.u32()) : static_cast<int16_t>(r.u16());
    item.window_class = r.field();
    item.title = r.field();
    const uint16_t extra = r.u16();
    item.creation_data = r.bytes(extra);
    if (!r.ok()) return std::nullopt;
    t.items.push_back(std::move(item));
  }
  return t;
}

}  // namespace mf::platform
