#include "pack/json/list_width.h"

#include <algorithm>

namespace {

void AppendLittleEndian(uint64_t value, uint8_t width, std::string* out) {
  for (uint8_t i = 0; i < width; ++i) {
    out->push_back(static_cast<char>(value & 0xFF));
    value >>= 8;
  }
}

}  // namespace

uint8_t NaturalWidth(const std::vector<std::string>& items) {
  uint8_t width = WidthOf(items.size());
  for (const std::string& item : items) {
    width = std::max(width, WidthOf(item.size()));
  }
  return width;
}

uint8_t NaturalWidth(const ListView& view) {
  uint8_t width = WidthOf(view.Count());
  for (uint64_t i = 0; i < view.Count(); ++i) {
    width = std::max(width, WidthOf(view.Item(i).size()));
  }
  return width;
}

bool WidthHolds(uint8_t width, const std::vector<std::string>& items) {
  return (width == 1 || width == 2 || width == 4 || width == 8) &&
         width >= NaturalWidth(items);
}

std::string EncodeList(const std::vector<std::string>& items, uint8_t width) {
  uint64_t size = 1 + (items.size() + 1) * width;
  for (const std::string& item : items) {
    size += item.size();
  }
  std::string out;
  out.reserve(size);
  out.push_back(static_cast<char>(width));
  AppendLittleEndian(items.size(), width, &out);
  for (const std::string& item : items) {
    AppendLittleEndian(item.size(), width, &out);
  }
  for (const std::string& item : items) {
    out += item;
  }
  return out;
}

std::string EncodeList(const std::vector<std::string>& items) {
  return EncodeList(items, NaturalWidth(items));
}

std::vector<std::string> ListItems(const ListView& view) {
  std::vector<std::string> items;
  items.reserve(view.Count());
  for (uint64_t i = 0; i < view.Count(); ++i) {
    items.emplace_back(view.Item(i));
  }
  return items;
}
