#include "pack/author/whole_file_levels.h"

#include <map>

#include "fastmemlist/list_view.h"
#include "package/level_record.h"
#include "services/line_split.h"

namespace {

// The first line of every program here: "# QRL FILE <ROLE> <path>".
constexpr std::string_view kTag = "# QRL FILE ";
constexpr std::string_view kCheck = "CHECK";      // replaced, apply
constexpr std::string_view kRestore = "RESTORE";  // replaced or removed
constexpr std::string_view kAbsent = "ABSENT";    // created, apply
constexpr std::string_view kRemove = "REMOVE";    // created, reverse
constexpr std::string_view kExecutable = "EXECUTABLE";
constexpr std::string_view kCompare = "IFNOTMACROFIRSTVALUEIS ";

std::string TagLine(std::string_view role, std::string_view path) {
  return std::string(kTag) + std::string(role) + " " + std::string(path);
}

EntryFields BinaryEntry(std::string_view path, std::string_view bytes) {
  EntryFields entry;
  entry.path = Rooted(path);
  entry.bytes = std::string(bytes);
  return entry;
}

// What a comparing program does where the file is as expected.
enum class Then { kNothing, kWrite, kRemove };

// A program that fails, leaving the file as it is, unless the file at
// `path` holds exactly `expected`; then it writes `content` or removes the
// file, as `then` says. The level ignores macros, so the bytes stay as they
// are; the program reads {ROOT} by name.
LevelFields CompareLevel(int64_t number, std::string presentation,
                         std::string_view role, std::string_view path,
                         std::string_view expected, Then then,
                         std::string_view content,
                         std::string_view requirements) {
  const std::string name(path);
  LevelFields level = NewLevel(number, kKindComplex, std::move(presentation));
  level.requirements = requirements;
  level.options = "IGNOREMACROS";
  level.code = {
      TagLine(role, path),
      "BUFFERSETFROMMACRO " + std::string(kRootMacro),
      "BUFFEREPILOGUE " + name,
      "MACROFIRSTADDEMPTY",
      "MACROFIRSTSETNAME",
      "MACROFIRSTIMPORT",
      std::string(kCompare) + std::string(expected),
      "GOTO #CHANGED",
  };
  if (then == Then::kWrite) {
    level.code.push_back("MACROFIRSTSETVALUE " + std::string(content));
    level.code.push_back("MACROFIRSTEXPORT");
  } else if (then == Then::kRemove) {
    level.code.push_back("DELETEFILESANDDIRECTORIES");  // the buffer's path
  }
  const std::string as = requirements == kReverseOnly
                             ? "as the package left it"
                             : "as the package expects";
  const std::vector<std::string> rest = {
      "MACROFIRSTDELETE",
      "GOTO #END",
      "#CHANGED",
      "MACROFIRSTDELETE",
      "MESSAGE " + name + " is not " + as + "; it stays as it is.",
      "RETURN FALSE",
      "#END"};
  level.code.insert(level.code.end(), rest.begin(), rest.end());
  return level;
}

LevelFields ExecutableLevel(int64_t number, std::string presentation,
                            std::string_view path,
                            std::string_view requirements) {
  LevelFields level = NewLevel(number, kKindComplex, std::move(presentation));
  level.requirements = requirements;
  level.code = {TagLine(kExecutable, path),
                "TRYTOASSUREEXECUTEPERMISSIONS " + Rooted(path)};
  return level;
}

void ReplacedLevels(const WholeFile& file, int64_t base,
                    std::vector<LevelFields>* levels) {
  const std::string& path = file.path;
  const std::string why = file.reason.empty() ? "" : " (" + file.reason + ")";
  levels->push_back(
      CompareLevel(base + 1, path + ": the whole file as it was, exactly" + why,
                   kCheck, path, file.before, Then::kNothing, "", kApplyOnly));
  LevelFields write = NewLevel(base + 1, kKindFileExport,
                               path + ": the whole file as changed" + why);
  write.requirements = kApplyOnly;
  write.entries = {BinaryEntry(path, file.after),
                   BinaryEntry(path, file.before)};
  levels->push_back(std::move(write));
  levels->push_back(CompareLevel(
      base + 1, path + ": the whole file as it was" + why, kRestore, path,
      file.after, Then::kWrite, file.before, kReverseOnly));
}

void CreatedLevels(const WholeFile& file, int64_t base,
                   std::vector<LevelFields>* levels) {
  const std::string& path = file.path;
  // A later release may have a file of that name: it is not replaced.
  LevelFields absent =
      NewLevel(base, kKindComplex, path + ": new file, not there yet");
  absent.requirements = kApplyOnly;
  absent.code = {TagLine(kAbsent, path),
                 "IFNOTFILEEXISTS " + Rooted(path),
                 "GOTO #END",
                 "MESSAGE " + path + " is there already; it stays as it is.",
                 "RETURN FALSE",
                 "#END"};
  levels->push_back(std::move(absent));
  LevelFields create =
      NewLevel(base, kKindFileDirectoryCreationRemoval, path + ": new file");
  create.requirements = kApplyOnly;
  create.code = {"+/" + Rooted(path)};
  levels->push_back(std::move(create));
  // Reverse removes it only where it is as apply left it.
  levels->push_back(CompareLevel(base, path + ": the new file removed", kRemove,
                                 path, file.after, Then::kRemove, "",
                                 kReverseOnly));
  if (!file.after.empty()) {
    LevelFields write =
        NewLevel(base + 1, kKindFileExport, path + ": the new file's content");
    write.requirements = kApplyOnly;
    write.entries = {BinaryEntry(path, file.after)};
    levels->push_back(std::move(write));
  }
  if (file.executable) {
    levels->push_back(ExecutableLevel(
        base + 2, path + ": the new file is executable", path, kApplyOnly));
  }
}

void RemovedLevels(const WholeFile& file, int64_t base,
                   std::vector<LevelFields>* levels) {
  const std::string& path = file.path;
  // Reverse makes the file anew, empty, before its content comes back.
  levels->push_back(
      CompareLevel(base, path + ": the removed file's content back", kRestore,
                   path, "", Then::kWrite, file.before, kReverseOnly));
  if (file.executable) {
    levels->push_back(
        ExecutableLevel(base, path + ": the removed file is executable again",
                        path, kReverseOnly));
  }
  levels->push_back(
      CompareLevel(base + 1, path + ": the removed file, exactly as it was",
                   kCheck, path, file.before, Then::kNothing, "", kApplyOnly));
  LevelFields remove = NewLevel(base + 1, kKindFileDirectoryCreationRemoval,
                                path + ": removed file");
  remove.entries = {BinaryEntry(path, file.before)};
  remove.code = {"-/" + Rooted(path)};
  levels->push_back(std::move(remove));
}

// The path under {ROOT} of a stored path, or false.
bool Unrooted(std::string_view stored, std::string* path) {
  if (!stored.starts_with(kRootMacro) || stored.size() == kRootMacro.size()) {
    return false;
  }
  *path = std::string(stored.substr(kRootMacro.size()));
  return true;
}

// The code lines of a level (after the code type).
std::vector<std::string_view> CodeLines(const ListView& level) {
  std::vector<std::string_view> lines;
  ListView code;
  if (code.Parse(level.ItemOrEmpty(kCode))) {
    for (uint64_t i = 1; i < code.Count(); ++i) {
      lines.push_back(code.Item(i));
    }
  }
  return lines;
}

// The binary file entries of a level: their paths under {ROOT} and bytes;
// false when an entry is of another shape.
bool RootedEntries(const ListView& level,
                   std::vector<std::pair<std::string, std::string>>* entries) {
  ListView list;
  if (!list.Parse(level.ItemOrEmpty(kFileEntries))) {
    return false;
  }
  for (uint64_t i = 0; i < list.Count(); ++i) {
    ListView entry;
    std::string path;
    if (!entry.Parse(list.Item(i)) ||
        entry.ItemOrEmpty(kEntryType) != kTypeBinary ||
        !Unrooted(entry.ItemOrEmpty(kEntryPath), &path)) {
      return false;
    }
    entries->emplace_back(path, std::string(entry.ItemOrEmpty(kEntryContent)));
  }
  return true;
}

// The role and path of a tagged program.
bool TaggedProgram(const std::vector<std::string_view>& code, std::string* role,
                   std::string* path) {
  if (code.empty() || !code[0].starts_with(kTag)) {
    return false;
  }
  const std::string_view rest = code[0].substr(kTag.size());
  const size_t space = rest.find(' ');
  if (space == std::string_view::npos) {
    return false;
  }
  *role = std::string(rest.substr(0, space));
  *path = std::string(rest.substr(space + 1));
  return true;
}

}  // namespace

void AddWholeFileLevels(const WholeFile& file, int64_t base,
                        std::vector<LevelFields>* levels) {
  switch (file.change) {
    case WholeFileChange::kReplaced:
      ReplacedLevels(file, base, levels);
      break;
    case WholeFileChange::kCreated:
      CreatedLevels(file, base, levels);
      break;
    case WholeFileChange::kRemoved:
      RemovedLevels(file, base, levels);
      break;
  }
}

std::vector<FoundWholeFile> FindWholeFileLevels(const TFASTMEMLIST& levels) {
  std::vector<FoundWholeFile> found;
  std::map<std::string, size_t> by_path;
  const auto file_at = [&](const std::string& path) -> FoundWholeFile& {
    const auto [at, added] = by_path.emplace(path, found.size());
    if (added) {
      found.emplace_back();
      found.back().file.path = path;
    }
    return found[at->second];
  };
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    ListView level;
    if (!level.Parse(levels.View(i))) {
      continue;
    }
    const std::string_view kind = level.ItemOrEmpty(kKindCode);
    const std::vector<std::string_view> code = CodeLines(level);
    std::vector<std::pair<std::string, std::string>> entries;
    std::string role;
    std::string path;
    if (kind == kKindComplex && TaggedProgram(code, &role, &path)) {
      FoundWholeFile& file = file_at(path);
      file.records.push_back(i);
      file.file.executable = file.file.executable || role == kExecutable;
    } else if (kind == kKindFileExport &&
               level.ItemOrEmpty(kRequirements) == kApplyOnly &&
               RootedEntries(level, &entries) && !entries.empty() &&
               entries.size() <= 2 &&
               (entries.size() == 1 || entries[1].first == entries[0].first)) {
      FoundWholeFile& file = file_at(entries[0].first);
      file.records.push_back(i);
      file.file.after = entries[0].second;
      if (entries.size() == 2) {
        file.file.change = WholeFileChange::kReplaced;
        file.file.before = entries[1].second;
      }
    } else if (kind == kKindFileDirectoryCreationRemoval && code.size() == 1 &&
               code[0].size() > 2 && code[0][1] == '/' &&
               Unrooted(code[0].substr(2), &path) && !path.ends_with('/') &&
               (code[0][0] == '+' || code[0][0] == '-') &&
               RootedEntries(level, &entries)) {
      FoundWholeFile& file = file_at(path);
      file.records.push_back(i);
      if (code[0][0] == '+') {
        file.file.change = WholeFileChange::kCreated;
      } else if (entries.size() == 1 && entries[0].first == path) {
        file.file.change = WholeFileChange::kRemoved;
        file.file.before = entries[0].second;
      }
    }
  }
  return found;
}

bool WholeFileExpectation(std::string_view record, std::string* path,
                          std::string* expected) {
  ListView level;
  if (!level.Parse(record) || level.ItemOrEmpty(kKindCode) != kKindComplex) {
    return false;
  }
  const std::vector<std::string_view> code = CodeLines(level);
  std::string role;
  if (!TaggedProgram(code, &role, path) ||
      (role != kCheck && role != kRestore && role != kRemove)) {
    return false;
  }
  for (const std::string_view line : code) {
    if (line.starts_with(kCompare)) {
      *expected = std::string(line.substr(kCompare.size()));
      return true;
    }
  }
  return false;
}

std::string DescribeContentDifference(std::string_view content,
                                      std::string_view expected) {
  if (content == expected) {
    return std::string();
  }
  // Lines with their LF, so that a last line without one differs.
  const auto line_at = [](std::string_view text, size_t* at) {
    const size_t length = LineAt(text, *at, LineEnds::kLfOnly).length();
    *at += length;
    return text.substr(*at - length, length);
  };
  const auto shown = [](std::string_view line) {
    return line.ends_with('\n')
               ? "\"" + std::string(line.substr(0, line.size() - 1)) + "\""
               : "\"" + std::string(line) + "\" (no line end)";
  };
  size_t a = 0;
  size_t b = 0;
  size_t number = 1;
  for (;; ++number) {
    const std::string_view mine =
        a < content.size() ? line_at(content, &a) : "";
    const std::string_view theirs =
        b < expected.size() ? line_at(expected, &b) : "";
    if (mine == theirs) {
      continue;
    }
    std::string text =
        "the file differs from the content the package expects: ";
    if (mine.empty()) {
      return text + "it ends before line " + std::to_string(number) +
             ", where the package expects " + shown(theirs);
    }
    if (theirs.empty()) {
      return text + "line " + std::to_string(number) + " " + shown(mine) +
             " is more than the package expects";
    }
    return text + "line " + std::to_string(number) + " reads " + shown(mine) +
           ", the package expects " + shown(theirs);
  }
}
