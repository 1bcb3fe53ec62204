#include "fastmemlist/fastmemlist.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "services/file_services.h"
#include "services/line_list.h"

namespace {

char* WriteLittleEndian(char* at, uint64_t value, uint8_t width) {
  for (uint8_t i = 0; i < width; ++i) {
    *at++ = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
  return at;
}

}  // namespace

void TFASTMEMLIST::Clear() {
  // Release the memory, not only the content: a cleared list owns nothing.
  std::vector<Entry>().swap(table_);
  std::string().swap(buffer_);
}

uint64_t TFASTMEMLIST::AppendToBuffer(const void* data, uint64_t length) {
  const uint64_t offset = buffer_.size();
  buffer_.append(static_cast<const char*>(data), length);
  return offset;
}

void TFASTMEMLIST::Add(std::string_view s) { AddBytes(s.data(), s.size()); }

void TFASTMEMLIST::AddBytes(const void* data, uint64_t length) {
  const uint64_t offset = AppendToBuffer(data, length);
  table_.push_back({offset, length});
}

void TFASTMEMLIST::AddByte(uint8_t byte) { AddBytes(&byte, 1); }

void TFASTMEMLIST::AddEmpty() { table_.push_back({buffer_.size(), 0}); }

void TFASTMEMLIST::Insert(uint64_t index, std::string_view s) {
  const uint64_t offset = AppendToBuffer(s.data(), s.size());
  table_.insert(table_.begin() + static_cast<std::ptrdiff_t>(index),
                {offset, s.size()});
}

void TFASTMEMLIST::InsertEmpty(uint64_t index) {
  table_.insert(table_.begin() + static_cast<std::ptrdiff_t>(index),
                {buffer_.size(), 0});
}

void TFASTMEMLIST::Delete(uint64_t index) {
  table_.erase(table_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TFASTMEMLIST::DeleteRange(uint64_t index, uint64_t n) {
  const auto first = table_.begin() + static_cast<std::ptrdiff_t>(index);
  table_.erase(first, first + static_cast<std::ptrdiff_t>(n));
}

std::string TFASTMEMLIST::Get(uint64_t index) const {
  return std::string(View(index));
}

std::string_view TFASTMEMLIST::View(uint64_t index) const {
  const Entry& entry = table_[index];
  return std::string_view(buffer_.data() + entry.offset, entry.length);
}

void TFASTMEMLIST::Put(uint64_t index, std::string_view s) {
  PutBytes(index, s.size(), s.data());
}

void TFASTMEMLIST::PutBytes(uint64_t index, uint64_t length, const void* data) {
  Entry& entry = table_[index];
  if (length <= entry.length) {
    // memmove: the new bytes may come from this very buffer.
    if (length > 0) {
      std::memmove(buffer_.data() + entry.offset, data, length);
    }
    entry.length = length;
    return;
  }
  // std::string::append copes with bytes that come from the buffer itself.
  const char* bytes = static_cast<const char*>(data);
  table_[index] = {AppendToBuffer(bytes, length), length};
}

void TFASTMEMLIST::PutList(uint64_t index, const TFASTMEMLIST& other) {
  std::string block;
  other.SaveToBuffer(&block, Presized::kNo);
  PutBytes(index, block.size(), block.data());
}

const char* TFASTMEMLIST::ItemData(uint64_t index) const {
  return buffer_.data() + table_[index].offset;
}

uint64_t TFASTMEMLIST::ItemLength(uint64_t index) const {
  return table_[index].length;
}

void TFASTMEMLIST::Exchange(uint64_t a, uint64_t b) {
  std::swap(table_[a], table_[b]);
}

void TFASTMEMLIST::Move(uint64_t from, uint64_t to) {
  // The same order as swapping with a neighbour |to - from| times.
  const auto at = [this](uint64_t i) {
    return table_.begin() + static_cast<std::ptrdiff_t>(i);
  };
  if (to < from) {
    std::rotate(at(to), at(from), at(from + 1));
  } else if (to > from) {
    std::rotate(at(from), at(from + 1), at(to + 1));
  }
}

bool TFASTMEMLIST::Find(std::string_view s, uint64_t* index) const {
  for (uint64_t i = 0; i < table_.size(); ++i) {
    if (table_[i].length == s.size() && View(i) == s) {
      *index = i;
      return true;
    }
  }
  *index = table_.size();
  return false;
}

bool TFASTMEMLIST::ItemStartsWith(uint64_t index,
                                  std::string_view prefix) const {
  return View(index).starts_with(prefix);
}

void TFASTMEMLIST::AppendList(const TFASTMEMLIST& other) {
  if (&other == this) {
    const TFASTMEMLIST copy = other;
    AppendList(copy);
    return;
  }
  const uint64_t base = buffer_.size();
  buffer_.append(other.buffer_);
  table_.reserve(table_.size() + other.table_.size());
  for (const Entry& entry : other.table_) {
    table_.push_back({entry.offset + base, entry.length});
  }
}

void TFASTMEMLIST::AddStrings(const LineList& lines) {
  for (const std::string& line : lines) {
    Add(line);
  }
}

void TFASTMEMLIST::GetStrings(LineList* lines) const {
  for (uint64_t i = 0; i < table_.size(); ++i) {
    lines->Add(Get(i));
  }
}

uint8_t TFASTMEMLIST::ListWidth() const {
  uint8_t width = WidthOf(table_.size());
  for (const Entry& entry : table_) {
    width = std::max(width, WidthOf(entry.length));
  }
  return width;
}

uint64_t TFASTMEMLIST::EncodedSize() const {
  uint64_t payload = 0;
  for (const Entry& entry : table_) {
    payload += entry.length;
  }
  return (table_.size() + 1) * ListWidth() + 1 + payload;
}

uint64_t TFASTMEMLIST::SaveToBuffer(std::string* block,
                                    Presized presized) const {
  const uint64_t size = EncodedSize();
  if (presized == Presized::kNo) {
    block->resize(size);
  }
  const uint8_t width = ListWidth();
  char* at = block->data();
  *at++ = static_cast<char>(width);
  at = WriteLittleEndian(at, table_.size(), width);
  for (const Entry& entry : table_) {
    at = WriteLittleEndian(at, entry.length, width);
  }
  for (const Entry& entry : table_) {
    if (entry.length > 0) {
      std::memcpy(at, buffer_.data() + entry.offset, entry.length);
      at += entry.length;
    }
  }
  return size;
}

std::string TFASTMEMLIST::SaveToString() const {
  std::string block(EncodedSize(), '\0');
  SaveToBuffer(&block, Presized::kYes);
  return block;
}

bool TFASTMEMLIST::LoadFromData(std::string_view data, DecodeError* err) {
  ListView view;
  if (!view.Parse(data, err)) {
    Clear();
    return false;
  }
  buffer_.assign(data.substr(view.PayloadStart()));
  table_ = view.TakeItems();
  return true;
}

bool TFASTMEMLIST::LoadFromData(std::string&& data, DecodeError* err) {
  ListView view;
  if (!view.Parse(data, err)) {
    Clear();
    return false;
  }
  // The items already stand back to back at the end of the data: the
  // header goes, and the rest is the buffer, without a second copy.
  table_ = view.TakeItems();
  data.erase(0, view.PayloadStart());
  buffer_ = std::move(data);
  return true;
}

bool TFASTMEMLIST::LoadFromFile(const std::string& file_name,
                                std::string* err) {
  std::string data;
  std::string read_error;
  if (!ReadWholeFile(file_name, &data, &read_error)) {
    if (err != nullptr) {
      *err = read_error;
    }
    return false;
  }
  ListView view;
  DecodeError error;
  if (!view.Parse(data, &error)) {
    if (err != nullptr) {
      *err = error.Text();
    }
    // A fault in the width or the count leaves the list as it was; a fault
    // further in, among the lengths or the items, leaves it empty.
    if (error.offset > 1) {
      Clear();
    }
    return false;
  }
  // The items already stand back to back at the end of the file's bytes:
  // drop the header and keep the rest as the buffer, without a second copy.
  table_ = view.TakeItems();
  data.erase(0, view.PayloadStart());
  buffer_ = std::move(data);
  return true;
}

bool TFASTMEMLIST::SaveToFile(const std::string& file_name) const {
  return StringToFile(file_name, SaveToString());
}

namespace {

bool DecodeData(std::string_view data, TFASTMEMLIST* list) {
  return !data.empty() && list->LoadFromData(data);
}

}  // namespace

uint64_t DataCount(std::string_view data) {
  ListView view;
  return view.Parse(data) ? view.Count() : 0;
}

std::string DataItem(std::string_view data, uint64_t index) {
  ListView view;
  if (!view.Parse(data) || index >= view.Count()) {
    return std::string();
  }
  return std::string(view.Item(index));
}

void DataToStrings(std::string_view data, LineList* lines) {
  ListView view;
  if (view.Parse(data)) {
    for (uint64_t i = 0; i < view.Count(); ++i) {
      lines->Add(std::string(view.Item(i)));
    }
  }
}

std::string DataAddStrings(std::string_view data, const LineList& lines) {
  TFASTMEMLIST list;
  DecodeData(data, &list);
  list.AddStrings(lines);
  return list.SaveToString();
}

std::string DataAddList(std::string_view data, const TFASTMEMLIST& other) {
  TFASTMEMLIST list;
  DecodeData(data, &list);
  list.AppendList(other);
  return list.SaveToString();
}
