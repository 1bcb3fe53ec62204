// TFASTMEMLIST: an ordered list of byte strings whose bytes all live in one
// shared buffer, addressed through a table of (offset, length) entries, and
// its serialized form, the one storage format of packages, level records,
// settings blocks, macro lists and backup files.
//
// Serialized form (integers little-endian, unsigned, all of width W):
//   byte 0            W, the integer width: 1, 2, 4 or 8
//   W bytes           count
//   W bytes x count   the lengths of items 0 .. count - 1
//   sum of lengths    the bytes of the items, back to back
// W is the smallest width that holds the count and every length. The form
// ends after the last item; decoding rejects anything else.
#ifndef QRL_FASTMEMLIST_FASTMEMLIST_H_
#define QRL_FASTMEMLIST_FASTMEMLIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fastmemlist/list_view.h"

class LineList;

// Whether the block handed to SaveToBuffer already has EncodedSize() bytes.
enum class Presized { kNo, kYes };

class TFASTMEMLIST {
 public:
  TFASTMEMLIST() = default;
  TFASTMEMLIST(const TFASTMEMLIST&) = default;
  TFASTMEMLIST& operator=(const TFASTMEMLIST&) = default;
  TFASTMEMLIST(TFASTMEMLIST&&) noexcept = default;
  TFASTMEMLIST& operator=(TFASTMEMLIST&&) noexcept = default;
  virtual ~TFASTMEMLIST() = default;

  uint64_t Count() const { return table_.size(); }
  // Size of the buffer: live bytes and the dead space that deletions and
  // replacements leave behind until the next Clear or load.
  uint64_t UsedLength() const { return buffer_.size(); }

  // No operation checks its index: callers pass 0 <= index < Count(), and
  // 0 <= index <= Count() for Insert and InsertEmpty.
  void Clear();
  void Add(std::string_view s);
  void AddBytes(const void* data, uint64_t length);
  void AddByte(uint8_t byte);
  void AddEmpty();
  void Insert(uint64_t index, std::string_view s);
  void InsertEmpty(uint64_t index);
  void Delete(uint64_t index);
  void DeleteRange(uint64_t index, uint64_t n);
  std::string Get(uint64_t index) const;
  // The item's bytes without a copy, valid until the list next changes.
  std::string_view View(uint64_t index) const;
  // A shorter or equal replacement overwrites the item in place; a longer
  // one is appended to the buffer and the old bytes become dead space.
  void Put(uint64_t index, std::string_view s);
  void PutBytes(uint64_t index, uint64_t length, const void* data);
  void PutList(uint64_t index, const TFASTMEMLIST& other);
  const char* ItemData(uint64_t index) const;
  uint64_t ItemLength(uint64_t index) const;
  void Exchange(uint64_t a, uint64_t b);
  void Move(uint64_t from, uint64_t to);
  // The first item equal to `s`; when none, false and *index == Count().
  bool Find(std::string_view s, uint64_t* index) const;
  bool ItemStartsWith(uint64_t index, std::string_view prefix) const;
  // Copies the other list's whole buffer, dead space included.
  void AppendList(const TFASTMEMLIST& other);
  void AddStrings(const LineList& lines);
  // Appends every item, as a line, to `lines`.
  void GetStrings(LineList* lines) const;

  uint8_t ListWidth() const;
  uint64_t EncodedSize() const;
  // Writes the serialized form at the start of `block` and returns its size.
  // Without Presized::kYes the block is resized to fit first.
  uint64_t SaveToBuffer(std::string* block, Presized presized) const;
  std::string SaveToString() const;

  // Replaces the content by decoding `data`. Malformed data (a width that is
  // not 1, 2, 4 or 8, a count or a length that runs past the data, bytes
  // after the last item) leaves the list empty and returns false, with the
  // byte offset and the fault in *err when it is given.
  bool LoadFromData(std::string_view data, DecodeError* err = nullptr);
  // The same, keeping the data's own bytes as the buffer instead of a copy.
  bool LoadFromData(std::string&& data, DecodeError* err = nullptr);
  // Reads a serialized form from a file. A file that cannot be opened, or
  // whose header is already unusable, leaves the list untouched; a fault
  // further in leaves it empty.
  bool LoadFromFile(const std::string& file_name, std::string* err = nullptr);
  // Writes the serialized form; an existing file is replaced atomically.
  bool SaveToFile(const std::string& file_name) const;

 private:
  using Entry = ListItemSpan;

  // Appends bytes to the buffer and returns their offset. The buffer grows
  // geometrically, so appending is amortised constant time (the item table
  // and the buffer keep spare capacity instead of being resized to the
  // exact size on every change).
  uint64_t AppendToBuffer(const void* data, uint64_t length);

  std::vector<Entry> table_;
  std::string buffer_;
};

// Functions on serialized data. DataCount and DataItem give 0 and an empty
// string for data that does not decode.
uint64_t DataCount(std::string_view data);
std::string DataItem(std::string_view data, uint64_t index);
// Appends every item to `lines`; empty data appends nothing.
void DataToStrings(std::string_view data, LineList* lines);
// The serialized form of the data's items followed by the lines (or by the
// other list's items); empty data counts as an empty list.
std::string DataAddStrings(std::string_view data, const LineList& lines);
std::string DataAddList(std::string_view data, const TFASTMEMLIST& other);

#endif  // QRL_FASTMEMLIST_FASTMEMLIST_H_
