// An ordered list of text lines: the program's general in-memory list of
// byte strings, and its whole-text form. Setting the text splits it at LF,
// CR or CR LF; reading it writes LF after every line, the last one included.
#ifndef QRL_SERVICES_LINE_LIST_H_
#define QRL_SERVICES_LINE_LIST_H_

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "services/line_split.h"

class LineList {
 public:
  LineList() = default;
  LineList(std::initializer_list<std::string> lines) : lines_(lines) {}
  explicit LineList(std::vector<std::string> lines)
      : lines_(std::move(lines)) {}

  // Indexes are not checked: callers pass 0 <= i < Count() (Insert: <=).
  size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  const std::string& Get(size_t i) const { return lines_[i]; }
  std::string& At(size_t i) { return lines_[i]; }
  void Put(size_t i, std::string line) { lines_[i] = std::move(line); }
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Insert(size_t i, std::string line);
  void Delete(size_t i);
  void Clear() { lines_.clear(); }

  // Every line followed by LF; an empty list gives an empty text.
  std::string Text() const;
  // Replaces the content by the lines of `text`. A final line end does not
  // start another line, so "a\n" and "a" both give one line.
  void SetText(std::string_view text);

  const std::vector<std::string>& lines() const { return lines_; }
  std::vector<std::string>& lines() { return lines_; }
  auto begin() const { return lines_.begin(); }
  auto end() const { return lines_.end(); }

  bool operator==(const LineList&) const = default;

 private:
  std::vector<std::string> lines_;
};

#endif  // QRL_SERVICES_LINE_LIST_H_
