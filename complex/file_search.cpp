#include "complex/file_search.h"

#include <utility>

#include "services/file_services.h"
#include "services/path_parts.h"

namespace {

bool Later(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// Whether `entry` beats `candidate` by the criterion; ties keep the
// candidate.
bool Beats(const PatternEntry& entry, const PatternEntry& candidate,
           char criterion) {
  switch (criterion) {
    case 'N':
      return entry.name > candidate.name;
    case 'n':
      return entry.name < candidate.name;
    case 'S':
      return entry.info.size > candidate.info.size;
    case 's':
      return entry.info.size < candidate.info.size;
    case 'T':
      return Later(entry.info.modified, candidate.info.modified);
    case 't':
      return Later(candidate.info.modified, entry.info.modified);
    default:
      return false;
  }
}

}  // namespace

bool MatchesWildcards(std::string_view pattern, std::string_view name) {
  // Greedy, going back only to the last "*": each "*" lets the match
  // resume one byte further along the name.
  size_t p = 0;
  size_t n = 0;
  size_t star = std::string_view::npos;
  size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

bool ListPattern(const std::string& pattern,
                 std::vector<PatternEntry>* entries) {
  entries->clear();
  const std::string directory = SystemDirectoryPart(pattern);
  const std::string_view wildcards =
      std::string_view(pattern).substr(directory.size());
  std::vector<DirectoryEntry> listed;
  if (ReadDirectory(directory, &listed) != DirectoryRead::kOk) {
    return false;
  }
  for (DirectoryEntry& entry : listed) {
    if (!MatchesWildcards(wildcards, entry.name)) {
      continue;
    }
    PatternEntry match{std::move(entry.name), {}};
    const std::string path = directory + match.name;
    // An entry that vanished since the listing is left out.
    match.info = PathInfo(path, FollowLinks::kYes);
    if (!match.info.exists()) {
      match.info = PathInfo(path, FollowLinks::kNo);
    }
    if (match.info.exists()) {
      entries->push_back(std::move(match));
    }
  }
  return true;
}

bool ResolveAnyDirectory(std::string* path) {
  for (size_t marker; (marker = path->find("//")) != std::string::npos;) {
    std::vector<PatternEntry> entries;
    if (!ListPattern(path->substr(0, marker + 1) + "*", &entries)) {
      return false;
    }
    const PatternEntry* first = nullptr;
    for (const PatternEntry& entry : entries) {
      if (entry.is_directory()) {
        first = &entry;
        break;
      }
    }
    if (first == nullptr) {
      return false;
    }
    path->insert(marker + 1, first->name);
  }
  return true;
}

bool IsFileCriterion(std::string_view text) {
  return text.size() == 1 &&
         std::string_view("NnSsTt").find(text[0]) != std::string_view::npos;
}

std::string FindFileByMask(const std::string& directory, std::string_view mask,
                           char criterion) {
  if (directory.empty() || !DirectoryExists(directory)) {
    return std::string();
  }
  std::string pattern = directory;
  if (pattern.back() != '/') {
    pattern += '/';
  }
  pattern += mask;
  std::vector<PatternEntry> entries;
  ListPattern(pattern, &entries);
  const PatternEntry* candidate = nullptr;
  for (const PatternEntry& entry : entries) {
    if (!entry.is_directory() &&
        (candidate == nullptr || Beats(entry, *candidate, criterion))) {
      candidate = &entry;
    }
  }
  return candidate == nullptr ? std::string()
                              : SystemDirectoryPart(pattern) + candidate->name;
}
