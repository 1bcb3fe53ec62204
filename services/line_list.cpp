#include "services/line_list.h"

#include <cstring>

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
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  while (at < end) {
    // The line ends at the first CR or LF; memchr finds both quickly.
    const size_t rest = static_cast<size_t>(end - at);
    const char* lf = static_cast<const char*>(std::memchr(at, '\n', rest));
    const char* stop = lf != nullptr ? lf : end;
    const char* cr = static_cast<const char*>(
        std::memchr(at, '\r', static_cast<size_t>(stop - at)));
    if (cr != nullptr) {
      stop = cr;
    }
    lines.emplace_back(at, static_cast<size_t>(stop - at));
    if (stop == end) {
      break;
    }
    // CR LF is one line end.
    at = stop + (*stop == '\r' && stop + 1 < end && stop[1] == '\n' ? 2 : 1);
  }
  return lines;
}
