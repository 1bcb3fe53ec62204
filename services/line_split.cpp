#include "services/line_split.h"

#include <cstring>

TextLine LineAt(std::string_view text, size_t at, LineEnds ends) {
  // The line ends at the first LF, or at a CR before it; memchr finds both
  // quickly.
  const char* const begin = text.data() + at;
  const char* const end = text.data() + text.size();
  const size_t rest = text.size() - at;
  const char* lf = static_cast<const char*>(std::memchr(begin, '\n', rest));
  const char* stop = lf != nullptr ? lf : end;
  if (ends == LineEnds::kAny) {
    const char* cr = static_cast<const char*>(
        std::memchr(begin, '\r', static_cast<size_t>(stop - begin)));
    if (cr != nullptr) {
      stop = cr;
    }
  }
  size_t end_length = 0;
  if (stop != end) {
    end_length = *stop == '\r' && stop + 1 < end && stop[1] == '\n' ? 2 : 1;
  }
  return {std::string_view(begin, static_cast<size_t>(stop - begin)),
          std::string_view(stop, end_length)};
}

std::vector<std::string_view> SplitLines(std::string_view text, LineEnds ends) {
  std::vector<std::string_view> lines;
  for (size_t at = 0; at < text.size();) {
    const TextLine line = LineAt(text, at, ends);
    lines.push_back(line.text);
    at += line.length();
  }
  return lines;
}

std::vector<std::string_view> SplitLinesWithEnds(std::string_view text,
                                                 LineEnds ends) {
  std::vector<std::string_view> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t length = LineAt(text, at, ends).length();
    lines.push_back(text.substr(at, length));
    at += length;
  }
  return lines;
}

size_t TrailingLineEnd(std::string_view line) {
  if (line.ends_with('\n')) {
    return line.size() >= 2 && line[line.size() - 2] == '\r' ? 2 : 1;
  }
  return line.ends_with('\r') ? 1 : 0;
}
