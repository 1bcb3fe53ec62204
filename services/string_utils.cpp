#include "services/string_utils.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

char UpperByte(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Walks the items of a separated text in order, calling `visit` with each
// one until it returns false. Follows the splitting rules: an empty text has
// no items, and a separator that ends the text is followed by an empty item.
// An empty separator is never found, so the whole text is one item.
template <typename Visit>
void ForEachItem(std::string_view text, std::string_view separator,
                 Visit visit) {
  if (text.empty()) {
    return;
  }
  if (separator.empty()) {
    visit(text);
    return;
  }
  size_t start = 0;
  while (true) {
    const size_t found = text.find(separator, start);
    if (found == std::string_view::npos) {
      visit(text.substr(start));
      return;
    }
    if (!visit(text.substr(start, found - start))) {
      return;
    }
    start = found + separator.size();
    if (start == text.size()) {
      visit(std::string_view());
      return;
    }
  }
}

void Split(std::string_view text, LineList* list, size_t limit,
           std::string_view separator) {
  list->Clear();
  ForEachItem(text, separator, [&](std::string_view item) {
    list->Add(std::string(item));
    return list->Count() != limit;
  });
}

std::string Join(const LineList& list, std::string_view separator) {
  if (list.Empty()) {
    return std::string();
  }
  size_t size = separator.size() * (list.Count() - 1);
  for (const std::string& item : list) {
    size += item.size();
  }
  std::string text;
  text.reserve(size);
  for (size_t i = 0; i < list.Count(); ++i) {
    if (i > 0) {
      text += separator;
    }
    text += list.Get(i);
  }
  return text;
}

// Whether `item` starts with `prefix`, ignoring case.
bool HasPrefixIgnoringCase(std::string_view item, std::string_view prefix) {
  return item.size() >= prefix.size() &&
         EqualsIgnoringCase(item.substr(0, prefix.size()), prefix);
}

bool Equals(std::string_view a, std::string_view b, CaseSensitive sensitive) {
  return sensitive == CaseSensitive::kYes ? a == b : EqualsIgnoringCase(a, b);
}

void RemoveItems(LineList* list, std::string_view value,
                 CaseSensitive sensitive) {
  std::erase_if(list->lines(), [&](const std::string& item) {
    return Equals(item, value, sensitive);
  });
}

}  // namespace

size_t Utf8SequenceLength(std::string_view bytes, size_t at) {
  const auto byte = [&](size_t i) {
    return static_cast<unsigned char>(bytes[i]);
  };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    return 1;
  }
  size_t length = 0;
  // The range of the second byte narrows for E0, ED, F0 and F4: that is
  // what rules out overlong forms, surrogates and values past U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) {
    return 0;
  }
  if (byte(at + 1) < low || byte(at + 1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    c = UpperByte(c);
  }
  return upper;
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

std::string_view TrimmedView(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) {
    ++begin;
  }
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) {
    --end;
  }
  return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) {
  return std::string(TrimmedView(text));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return UpperByte(x) == UpperByte(y);
  });
}

bool FindBytes(const void* pattern, const void* text, uint64_t pattern_length,
               uint64_t text_length, uint64_t* position) {
  if (pattern_length == 0) {
    return true;
  }
  if (text_length < pattern_length) {
    return false;
  }
  const std::string_view needle(static_cast<const char*>(pattern),
                                pattern_length);
  const std::string_view haystack(static_cast<const char*>(text), text_length);
  const size_t found = haystack.find(needle);
  if (found == std::string_view::npos) {
    return false;
  }
  *position = found;
  return true;
}

// A start before position 1 counts as 1. An empty search string is never
// found, as in ReplaceAll.
size_t FindNext(std::string_view search, std::string_view text, size_t start,
                CaseSensitive sensitive) {
  start = std::max<size_t>(start, 1);
  if (search.empty() || start > text.size()) {
    return 0;
  }
  const std::string_view rest = text.substr(start - 1);
  size_t found;
  if (sensitive == CaseSensitive::kYes) {
    found = rest.find(search);
  } else {
    found = std::string_view(UpperCase(rest)).find(UpperCase(search));
  }
  return found == std::string_view::npos ? 0 : found + start;
}

// The result is built in one pass over the original text. Resuming the
// search right after each replacement in the growing result is the same as
// resuming right after each occurrence in the original, so every match is
// looked up in the original (upper-cased once when case is ignored; upper-
// casing keeps the offsets).
bool ReplaceAll(std::string* text, std::string_view search,
                std::string_view replacement, CaseSensitive sensitive) {
  if (search.empty() || search == replacement) {
    return false;
  }
  std::string folded_text;
  std::string folded_search;
  std::string_view haystack = *text;
  std::string_view needle = search;
  if (sensitive == CaseSensitive::kNo) {
    folded_text = UpperCase(*text);
    folded_search = UpperCase(search);
    haystack = folded_text;
    needle = folded_search;
  }
  size_t found = haystack.find(needle);
  if (found == std::string_view::npos) {
    return false;
  }
  std::string result;
  result.reserve(text->size());
  size_t copied = 0;
  while (found != std::string_view::npos) {
    result.append(*text, copied, found - copied);
    result += replacement;
    copied = found + needle.size();
    found = haystack.find(needle, copied);
  }
  result.append(*text, copied);
  *text = std::move(result);
  return true;
}

bool ReplaceAllInList(std::string_view search, std::string_view replacement,
                      LineList* list, CaseSensitive sensitive) {
  bool replaced = false;
  for (std::string& item : list->lines()) {
    if (ReplaceAll(&item, search, replacement, sensitive)) {
      replaced = true;
    }
  }
  return replaced;
}

void SplitByCharacter(std::string_view text, LineList* list, size_t limit,
                      char separator) {
  Split(text, list, limit, std::string_view(&separator, 1));
}

// A separator that ends the text gives an empty last item only when it is
// cut as a separator: with "::", the text "a:::" gives "a" and ":".
void SplitByString(std::string_view text, LineList* list, size_t limit,
                   std::string_view separator) {
  Split(text, list, limit, separator);
}

std::string JoinWithCharacter(const LineList& list, char separator) {
  return Join(list, std::string_view(&separator, 1));
}

std::string JoinWithString(const LineList& list, std::string_view separator) {
  return Join(list, separator);
}

int64_t IndexOfItem(std::string_view value, const LineList& list,
                    CaseSensitive sensitive) {
  for (size_t i = 0; i < list.Count(); ++i) {
    if (Equals(list.Get(i), value, sensitive)) {
      return static_cast<int64_t>(i);
    }
  }
  return -1;
}

bool TextContainsItem(std::string_view value, std::string_view text,
                      char separator, CaseSensitive sensitive) {
  bool found = false;
  ForEachItem(text, std::string_view(&separator, 1),
              [&](std::string_view item) {
                found = Equals(item, value, sensitive);
                return !found;
              });
  return found;
}

std::string FindItemWithPrefix(std::string_view prefix, std::string_view text,
                               char separator) {
  std::string result;
  ForEachItem(text, std::string_view(&separator, 1),
              [&](std::string_view item) {
                if (HasPrefixIgnoringCase(item, prefix)) {
                  result = item;
                  return false;
                }
                return true;
              });
  return result;
}

void AppendWithSeparator(std::string_view item, char separator,
                         std::string* text) {
  if (text->empty()) {
    *text = item;
  } else if (!item.empty()) {
    *text += separator;
    *text += item;
  }
}

void RemoveItemFromSeparatedText(std::string* text, std::string_view separator,
                                 std::string_view value,
                                 CaseSensitive sensitive) {
  LineList items;
  SplitByString(*text, &items, 0, separator);
  RemoveItems(&items, value, sensitive);
  *text = JoinWithString(items, separator);
}

void RemoveEmptyLines(LineList* list) {
  std::erase_if(list->lines(),
                [](const std::string& item) { return item.empty(); });
}

// An item survives when no earlier item equals it, so one forward pass over a
// set of the values seen so far gives the result.
void RemoveDuplicateLines(LineList* list, CaseSensitive sensitive) {
  std::vector<std::string>& lines = list->lines();
  std::vector<std::string> folded;
  if (sensitive == CaseSensitive::kNo) {
    folded.reserve(lines.size());
    for (const std::string& line : lines) {
      folded.push_back(UpperCase(line));
    }
  }
  const std::vector<std::string>& keys =
      sensitive == CaseSensitive::kNo ? folded : lines;
  std::unordered_set<std::string_view> seen;
  seen.reserve(keys.size());
  std::vector<bool> keep(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    keep[i] = seen.insert(keys[i]).second;
  }
  size_t kept = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (keep[i]) {
      if (kept != i) {
        lines[kept] = std::move(lines[i]);
      }
      ++kept;
    }
  }
  lines.resize(kept);
}

void InsertList(const LineList& source, LineList* target, int64_t index) {
  const int64_t count = static_cast<int64_t>(target->Count());
  const int64_t at = std::clamp<int64_t>(index, 0, count);
  std::vector<std::string>& lines = target->lines();
  if (&source == target) {
    const std::vector<std::string> copy = source.lines();
    lines.insert(lines.begin() + at, copy.begin(), copy.end());
  } else {
    lines.insert(lines.begin() + at, source.begin(), source.end());
  }
}
