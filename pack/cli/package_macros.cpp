#include "pack/cli/package_macros.h"

#include <algorithm>
#include <string_view>

#include "fastmemlist/list_view.h"
#include "package/level_record.h"

namespace {

// A word the shell takes as it is, with its braces.
bool PlainWord(std::string_view name) {
  return !name.empty() &&
         name.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
             "_{}.+-/:@%,") == std::string_view::npos;
}

// Every {WORD} in a path, WORD made of letters, digits and "_".
void AddPathMacros(std::string_view path, std::vector<std::string>* names) {
  for (size_t open = path.find('{'); open != std::string_view::npos;
       open = path.find('{', open + 1)) {
    const size_t close = path.find_first_not_of(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_",
        open + 1);
    if (close != std::string_view::npos && close > open + 1 &&
        path[close] == '}') {
      names->emplace_back(path.substr(open, close - open + 1));
    }
  }
}

}  // namespace

std::vector<std::string> PackageMacroNames(const TFASTMEMLIST& levels,
                                           const TSETTINGSBLOCK& settings) {
  std::vector<std::string> names;
  ListView macros;
  if (macros.Parse(settings.macros)) {
    for (uint64_t k = 0; k < macros.Count(); k += 2) {
      names.emplace_back(macros.Item(k));
    }
  }
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    ListView record;
    ListView entries;
    if (!record.Parse(levels.View(i)) || record.Count() <= kFileEntries ||
        !entries.Parse(record.Item(kFileEntries))) {
      continue;
    }
    for (uint64_t j = 0; j < entries.Count(); ++j) {
      ListView entry;
      if (entry.Parse(entries.Item(j)) && entry.Count() > kEntryPath) {
        AddPathMacros(entry.Item(kEntryPath), &names);
      }
    }
  }
  std::erase_if(names,
                [](const std::string& name) { return !PlainWord(name); });
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}
