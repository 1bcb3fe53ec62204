#include "pack/author/tree_change.h"

#include "services/line_split.h"

TextLines SplitTextLines(std::string_view text) {
  return {SplitLines(text, LineEnds::kLfOnly),
          text.empty() || text.back() == '\n'};
}

std::string JoinTextLines(const std::vector<std::string_view>& lines,
                          bool final_eol) {
  size_t size = lines.size();
  for (const std::string_view line : lines) {
    size += line.size();
  }
  std::string text;
  text.reserve(size);
  for (size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || final_eol) {
      text += '\n';
    }
  }
  return text;
}

std::string DirectoryOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? std::string_view()
                                                     : path.substr(0, slash));
}

std::vector<std::string> ParentDirectories(std::string_view path) {
  std::vector<std::string> parents;
  for (size_t slash = path.find('/'); slash != std::string_view::npos;
       slash = path.find('/', slash + 1)) {
    if (slash > 0) {
      parents.emplace_back(path.substr(0, slash));
    }
  }
  return parents;
}
