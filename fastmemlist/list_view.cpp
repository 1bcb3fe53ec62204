#include "fastmemlist/list_view.h"

namespace {

bool IsValidWidth(uint8_t width) {
  return width == 1 || width == 2 || width == 4 || width == 8;
}

uint64_t ReadLittleEndian(const char* at, uint8_t width) {
  uint64_t value = 0;
  for (uint8_t i = width; i > 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(at[i - 1]);
  }
  return value;
}

bool Fail(DecodeError* err, uint64_t offset, std::string what) {
  if (err != nullptr) {
    err->offset = offset;
    err->what = std::move(what);
  }
  return false;
}

}  // namespace

bool StartsAsList(std::string_view data) {
  return !data.empty() && IsValidWidth(static_cast<uint8_t>(data[0]));
}

std::string DecodeError::Text() const {
  return "at byte " + std::to_string(offset) + ": " + what;
}

uint8_t WidthOf(uint64_t value) {
  if (value <= 0xFF) {
    return 1;
  }
  if (value <= 0xFFFF) {
    return 2;
  }
  if (value <= 0xFFFFFFFF) {
    return 4;
  }
  return 8;
}

bool ListView::Parse(std::string_view data, DecodeError* err) {
  data_ = std::string_view();
  width_ = 0;
  payload_start_ = 0;
  items_.clear();
  if (data.empty()) {
    return Fail(err, 0, "no width byte");
  }
  const uint8_t width = static_cast<uint8_t>(data[0]);
  if (!IsValidWidth(width)) {
    return Fail(err, 0,
                "width " + std::to_string(width) + " is not 1, 2, 4 or 8");
  }
  const uint64_t size = data.size();
  const uint64_t after_count = 1u + width;
  if (size < after_count) {
    return Fail(err, 1, "the data ends inside the item count");
  }
  const uint64_t count = ReadLittleEndian(data.data() + 1, width);
  // The length table must fit in the data before anything is allocated.
  if (count > (size - after_count) / width) {
    return Fail(err, 1,
                "the lengths of " + std::to_string(count) +
                    " items run past the end of the data");
  }
  const uint64_t payload_start = after_count + count * width;
  const uint64_t payload_size = size - payload_start;
  std::vector<ListItemSpan> items(count);
  uint64_t used = 0;
  const char* at = data.data() + after_count;
  for (uint64_t i = 0; i < count; ++i, at += width) {
    const uint64_t length = ReadLittleEndian(at, width);
    if (length > payload_size - used) {
      return Fail(err, after_count + i * width,
                  "item " + std::to_string(i) + " of length " +
                      std::to_string(length) +
                      " runs past the end of the data");
    }
    items[i] = {used, length};
    used += length;
  }
  if (used != payload_size) {
    return Fail(
        err, payload_start + used,
        std::to_string(payload_size - used) + " bytes follow the last item");
  }
  data_ = data;
  width_ = width;
  payload_start_ = payload_start;
  items_ = std::move(items);
  return true;
}
