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

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  const size_t n = text.size();
  while (start < n) {
    size_t end = start;
    while (end < n && text[end] != '\n' && text[end] != '\r') {
      ++end;
    }
    lines.push_back(text.substr(start, end - start));
    if (end < n && text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return lines;
}
