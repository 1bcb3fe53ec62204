// Decoding of the serialized list form (the layout is described in
// fastmemlist.h). ListView checks serialized data once and then gives its
// items as views into that data, without copying them; TFASTMEMLIST builds
// its load on it. Nothing here trusts the data: every count and length is
// checked against the bytes at hand before it is used or allocated for.
#ifndef QRL_FASTMEMLIST_LIST_VIEW_H_
#define QRL_FASTMEMLIST_LIST_VIEW_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Where and why serialized data stops making sense.
struct DecodeError {
  uint64_t offset = 0;  // byte offset in the data
  std::string what;

  // "at byte <offset>: <what>"
  std::string Text() const;
};

// One item: its offset from the first item byte, and its length.
struct ListItemSpan {
  uint64_t offset;
  uint64_t length;
};

class ListView {
 public:
  // Accepts exactly one serialized list: a width of 1, 2, 4 or 8, lengths
  // that stay inside the data, and no byte after the last item. On failure
  // the view is empty and *err (when given) says where and why.
  bool Parse(std::string_view data, DecodeError* err = nullptr);

  uint64_t Count() const { return items_.size(); }
  std::string_view Item(uint64_t index) const {
    const ListItemSpan& span = items_[index];
    return data_.substr(payload_start_ + span.offset, span.length);
  }
  // The item, or an empty text when the list has no such item.
  std::string_view ItemOrEmpty(uint64_t index) const {
    return index < Count() ? Item(index) : std::string_view();
  }
  // Offset of the item's first byte within the parsed data.
  uint64_t ItemOffset(uint64_t index) const {
    return payload_start_ + items_[index].offset;
  }
  uint8_t Width() const { return width_; }
  uint64_t PayloadStart() const { return payload_start_; }

  // Hands the item table over (for a list that takes the data's bytes).
  std::vector<ListItemSpan> TakeItems() { return std::move(items_); }

 private:
  std::string_view data_;
  uint8_t width_ = 0;
  uint64_t payload_start_ = 0;
  std::vector<ListItemSpan> items_;
};

// Whether `data` begins as every serialized list does, with a width byte
// of 1, 2, 4 or 8; data that does not is no list at all, not a damaged one.
bool StartsAsList(std::string_view data);

// The smallest integer width (1, 2, 4 or 8) that holds `value`.
uint8_t WidthOf(uint64_t value);

#endif  // QRL_FASTMEMLIST_LIST_VIEW_H_
