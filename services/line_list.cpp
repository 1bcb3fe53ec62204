#include "services/line_list.h"

void LineList::Insert(size_t i, std::string line) {
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(i),
                std::move(line));
}

void LineList::Delete(size_t i) {
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::string LineList::Text() const {
  size_t size = 0;
  for (const std::string& line : lines_) {
    size += line.size() + 1;
  }
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines_) {
    text += line;
    text += '\n';
  }
  return text;
}

void LineList::SetText(std::string_view text) {
  const std::vector<std::string_view> lines = SplitLines(text);
  lines_.clear();
  lines_.reserve(lines.size());
  for (std::string_view line : lines) {
    lines_.emplace_back(line);
  }
}
