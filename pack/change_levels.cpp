#include "pack/change_levels.h"

#include <deque>
#include <optional>

#include "engine/normal_level.h"
#include "pack/level_writer.h"
#include "package/package.h"
#include "package/settings_block.h"
#include "services/line_list.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kApplyOnly = "ACTION_APPLY";
constexpr std::string_view kReverseOnly = "ACTION_REVERSE";

// Context beyond this many lines costs more than it is worth: the hunk is
// joined to the next one instead, or the file is carried whole.
constexpr size_t kMaxGrowth = 400;

std::string Rooted(std::string_view path) {
  return std::string(kRootMacro) + std::string(path);
}

LevelFields NewLevel(int64_t number, std::string_view kind,
                     std::string presentation) {
  LevelFields level;
  level.number = number;
  level.kind = kind;
  level.presentation = std::move(presentation);
  return level;
}

EntryFields BinaryEntry(std::string_view path, std::string_view bytes) {
  EntryFields entry;
  entry.path = Rooted(path);
  entry.bytes = std::string(bytes);
  return entry;
}

bool EndsWithLineFeedOnly(std::string_view text) {
  return text.find('\r') == std::string_view::npos &&
         (text.empty() || text.back() == '\n');
}

bool NamesRoot(const LineList& lines) {
  for (const std::string& line : lines) {
    if (line.find(kRootMacro) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// A Complex program that puts `content` into the file at `path` when the
// file holds exactly `expected`, and otherwise fails the level, leaving the
// file as it is. The level ignores macros, so the bytes stay as they are;
// the program reads {ROOT} by name.
std::vector<std::string> RestoreProgram(std::string_view path,
                                        std::string_view expected,
                                        std::string_view content) {
  const std::string name(path);
  return {
      "# Puts back what " + name +
          " held before the change, when it is as the change left it.",
      "BUFFERSETFROMMACRO " + std::string(kRootMacro),
      "BUFFEREPILOGUE " + name,
      "MACROFIRSTADDEMPTY",
      "MACROFIRSTSETNAME",
      "MACROFIRSTIMPORT",
      "IFNOTMACROFIRSTVALUEIS " + std::string(expected),
      "GOTO #CHANGED",
      "MACROFIRSTSETVALUE " + std::string(content),
      "MACROFIRSTEXPORT",
      "MACROFIRSTDELETE",
      "GOTO #END",
      "#CHANGED",
      "MACROFIRSTDELETE",
      "MESSAGE " + name + " is not as the package left it; it stays as it is.",
      "RETURN FALSE",
      "#END",
  };
}

// The reverse-only level that runs RestoreProgram.
LevelFields RestoreLevel(int64_t number, std::string presentation,
                         std::string_view path, std::string_view expected,
                         std::string_view content) {
  LevelFields level = NewLevel(number, kKindComplex, std::move(presentation));
  level.requirements = kReverseOnly;
  level.options = "IGNOREMACROS";
  level.code = RestoreProgram(path, expected, content);
  return level;
}

struct HunkLabel {
  std::string label;    // unique in the package: "src/a.c#2" or "#2-3"
  std::string numbers;  // "hunk #2" or "hunks #2-#3"
};

HunkLabel LabelOf(std::string_view path, const LineHunk& first,
                  const LineHunk& last) {
  HunkLabel label;
  label.label = std::string(path) + "#" + std::to_string(first.number);
  label.numbers = "hunk #" + std::to_string(first.number);
  if (last.number != first.number) {
    label.label += "-" + std::to_string(last.number);
    label.numbers = "hunks #" + std::to_string(first.number) + "-#" +
                    std::to_string(last.number);
  }
  return label;
}

// Whether the hunks stand in order, each within both texts.
bool HunksFit(const std::vector<LineHunk>& hunks, size_t old_lines,
              size_t new_lines) {
  size_t old_end = 0;
  size_t new_end = 0;
  for (const LineHunk& hunk : hunks) {
    if (hunk.old_start < old_end || hunk.new_start < new_end ||
        hunk.old_start > old_lines || hunk.new_start > new_lines ||
        hunk.old_count > old_lines - hunk.old_start ||
        hunk.new_count > new_lines - hunk.new_start) {
      return false;
    }
    old_end = hunk.old_start + hunk.old_count;
    new_end = hunk.new_start + hunk.new_count;
  }
  return true;
}

// Makes the Normal levels of one changed file; false when they cannot give
// back its bytes exactly, so that it must be carried whole.
class NormalLevelMaker {
 public:
  NormalLevelMaker(const FileChange& change, int64_t base,
                   const std::optional<CommentSyntax>& syntax,
                   const TSETTINGSBLOCK& settings)
      : change_(change), base_(base), syntax_(syntax), settings_(settings) {}

  bool Make(std::vector<LevelFields>* levels, FileLevels* info);
  // Why Make refused.
  const std::string& why() const { return why_; }

 private:
  // Tries the hunk with `above` and `below` lines of context; true when
  // its levels are the first matches both ways, then `state_` is updated.
  bool TryHunk(const LineHunk& hunk, const LineHunk& last, size_t above,
               size_t below, bool* names_root,
               std::vector<LevelFields>* levels);

  // Where line x of the file before stands in `state_`.
  size_t Now(size_t x) const {
    return static_cast<size_t>(static_cast<int64_t>(x) + shift_);
  }

  const FileChange& change_;
  int64_t base_;
  const std::optional<CommentSyntax>& syntax_;
  const TSETTINGSBLOCK& settings_;
  TextLines new_text_;
  std::vector<std::string_view> state_;  // the file as apply leaves it so far
  std::deque<LineList> frames_;          // the framed code `state_` shows
  int64_t shift_ = 0;  // where old line x stands now: x + shift_
  std::string why_;
};

bool NormalLevelMaker::TryHunk(const LineHunk& hunk, const LineHunk& last,
                               size_t above, size_t below, bool* names_root,
                               std::vector<LevelFields>* levels) {
  const size_t start = Now(hunk.old_start);
  const size_t end = start + hunk.old_count;
  const size_t first = start - above;
  const size_t past = end + below;
  LineList obsolete;
  for (size_t i = first; i < past; ++i) {
    obsolete.Add(std::string(state_[i]));
  }
  LineList code;
  for (size_t i = first; i < start; ++i) {
    code.Add(std::string(state_[i]));
  }
  for (size_t i = 0; i < hunk.new_count; ++i) {
    code.Add(std::string(new_text_.lines[hunk.new_start + i]));
  }
  for (size_t i = end; i < past; ++i) {
    code.Add(std::string(state_[i]));
  }
  if (NamesRoot(obsolete) || NamesRoot(code)) {
    *names_root = true;
    return false;
  }
  if (obsolete.Empty() ||
      FindLineBlock(state_, obsolete) != static_cast<int64_t>(first)) {
    return false;
  }
  const HunkLabel label = LabelOf(change_.path, hunk, last);
  const int64_t number = base_ + hunk.number;
  LineList comments;
  std::string label_text = label.label;
  if (syntax_.has_value()) {
    comments.Add(MarkerLine(*syntax_, "BEGIN", label.label));
    label_text = MarkerLine(*syntax_, "END", label.label);
  }
  LineList framed = code;
  WrapCode(settings_, comments, label_text, std::to_string(number), &framed);
  if (framed.Empty()) {
    return false;
  }
  // Reverse must find the framed code first where apply put it.
  std::vector<std::string_view> next(state_.begin(), state_.begin() + first);
  next.insert(next.end(), framed.begin(), framed.end());
  next.insert(next.end(), state_.begin() + past, state_.end());
  if (FindLineBlock(next, framed) != static_cast<int64_t>(first)) {
    return false;
  }
  frames_.push_back(std::move(framed));
  // `next` viewed the local copy; point it at the kept one.
  std::copy(frames_.back().begin(), frames_.back().end(), next.begin() + first);
  shift_ += static_cast<int64_t>(frames_.back().Count()) -
            static_cast<int64_t>(past - first);
  state_ = std::move(next);

  std::string presentation = change_.path + ", " + label.numbers + " (" +
                             hunk.name.substr(hunk.name.find('(') + 1);
  if (!hunk.heading.empty()) {
    presentation += " " + hunk.heading;
  }
  LevelFields level = NewLevel(number, kKindNormal, std::move(presentation));
  level.label = std::move(label_text);
  level.comment_lines = std::move(comments.lines());
  EntryFields entry;
  entry.path = Rooted(change_.path);
  entry.type = kTypeText;
  entry.lines = std::move(obsolete.lines());
  level.entries.push_back(std::move(entry));
  level.code = std::move(code.lines());
  levels->push_back(std::move(level));
  return true;
}

bool NormalLevelMaker::Make(std::vector<LevelFields>* levels,
                            FileLevels* info) {
  const std::string& before = *change_.before;
  const std::string& after = *change_.after;
  if (change_.hunks.empty()) {
    why_ = change_.whole_file_reason;
    return false;
  }
  if (before.empty() || after.empty()) {
    why_ = "an empty file";
    return false;
  }
  if (!EndsWithLineFeedOnly(before) || !EndsWithLineFeedOnly(after)) {
    why_ = before.find('\r') != std::string::npos ||
                   after.find('\r') != std::string::npos
               ? "CR line ends"
               : "no line end at the end";
    return false;
  }
  state_ = SplitTextLines(before).lines;
  new_text_ = SplitTextLines(after);
  if (!HunksFit(change_.hunks, state_.size(), new_text_.lines.size())) {
    // A diff's hunks may count a last line that the bytes do not hold (an
    // empty one without its line end).
    why_ = "its hunks do not fit its lines";
    return false;
  }
  std::vector<LineHunk> hunks = change_.hunks;
  std::vector<LevelFields> made;
  for (size_t i = 0; i < hunks.size(); ++i) {
    LineHunk& hunk = hunks[i];
    LineHunk last = hunk;
    size_t above = 0;
    size_t below = 0;
    bool downward = true;
    for (;;) {
      bool names_root = false;
      if (TryHunk(hunk, last, above, below, &names_root, &made)) {
        break;
      }
      if (names_root) {
        why_ = "its text names " + std::string(kRootMacro);
        return false;  // macro expansion would change the text
      }
      const size_t start = Now(hunk.old_start);
      const size_t first = start - above;
      const size_t past = start + hunk.old_count + below;
      const size_t limit =
          i + 1 < hunks.size() ? Now(hunks[i + 1].old_start) : state_.size();
      const bool can_down = past < limit;
      const bool can_up = first > 0;
      if ((!can_down && !can_up) || above + below >= kMaxGrowth) {
        if (i + 1 == hunks.size()) {
          why_ = "no context makes its levels the first matches";
          return false;
        }
        // One level for both hunks and the lines between them.
        const LineHunk& next = hunks[i + 1];
        hunk.old_count = next.old_start + next.old_count - hunk.old_start;
        hunk.new_count = next.new_start + next.new_count - hunk.new_start;
        last = next;
        hunks.erase(hunks.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        above = below = 0;
        continue;
      }
      if ((downward && can_down) || !can_up) {
        ++below;
      } else {
        ++above;
      }
      downward = !downward;
    }
    info->hunks.push_back(hunk);
  }
  info->applied = JoinTextLines(state_, true);
  levels->insert(levels->end(), std::make_move_iterator(made.begin()),
                 std::make_move_iterator(made.end()));
  return true;
}

// The levels that put a whole file in place under apply and the content
// it had back under reverse, each only when the file is as expected.
void WholeFileLevels(const FileChange& change, int64_t base,
                     std::string_view reason,
                     std::vector<LevelFields>* levels) {
  const std::string& path = change.path;
  const std::string why =
      reason.empty() ? std::string() : " (" + std::string(reason) + ")";
  LevelFields write = NewLevel(base + 1, kKindFileExport,
                               path + ": the whole file as changed" + why);
  write.requirements = kApplyOnly;
  write.entries = {BinaryEntry(path, *change.after),
                   BinaryEntry(path, *change.before)};
  levels->push_back(std::move(write));
  levels->push_back(RestoreLevel(base + 1,
                                 path + ": the whole file as it was" + why,
                                 path, *change.after, *change.before));
}

void NewFileLevels(const FileChange& change, int64_t base,
                   std::vector<LevelFields>* levels) {
  const std::string& path = change.path;
  // A later release may have a file of that name: it is not replaced.
  LevelFields guard =
      NewLevel(base, kKindComplex, path + ": new file, not there yet");
  guard.requirements = kApplyOnly;
  guard.code = {"IFNOTFILEEXISTS " + Rooted(path), "GOTO #END",
                "MESSAGE " + path + " is there already; it stays as it is.",
                "RETURN FALSE", "#END"};
  levels->push_back(std::move(guard));
  LevelFields create =
      NewLevel(base, kKindFileDirectoryCreationRemoval, path + ": new file");
  create.code = {"+/" + Rooted(path)};
  levels->push_back(std::move(create));
  if (!change.after->empty()) {
    LevelFields write =
        NewLevel(base + 1, kKindFileExport, path + ": the new file's content");
    write.requirements = kApplyOnly;
    write.entries = {BinaryEntry(path, *change.after)};
    levels->push_back(std::move(write));
  }
  if (change.make_executable) {
    LevelFields executable =
        NewLevel(base + 2, kKindComplex, path + ": the new file is executable");
    executable.requirements = kApplyOnly;
    executable.code = {"TRYTOASSUREEXECUTEPERMISSIONS " + Rooted(path)};
    levels->push_back(std::move(executable));
  }
}

void RemovedFileLevels(const FileChange& change, int64_t base,
                       std::vector<LevelFields>* levels) {
  const std::string& path = change.path;
  levels->push_back(RestoreLevel(base,
                                 path + ": the removed file's content back",
                                 path, "", *change.before));
  LevelFields remove = NewLevel(base + 1, kKindFileDirectoryCreationRemoval,
                                path + ": removed file");
  remove.entries = {BinaryEntry(path, *change.before)};
  remove.code = {"-/" + Rooted(path)};
  levels->push_back(std::move(remove));
}

LevelFields DirectoryLevel(int64_t number, std::string presentation, char op,
                           const std::vector<std::string>& directories) {
  LevelFields level = NewLevel(number, kKindFileDirectoryCreationRemoval,
                               std::move(presentation));
  for (const std::string& directory : directories) {
    level.code.push_back(std::string(1, op) + "/" + Rooted(directory) + "/");
  }
  return level;
}

// Directories that the change leaves empty, deepest first. Apply removes
// each only when it is empty, so files that a later release added there
// stay; reverse makes them again.
void RemovedDirectoryLevels(int64_t number,
                            const std::vector<std::string>& directories,
                            std::vector<LevelFields>* levels) {
  LevelFields remove =
      NewLevel(number, kKindComplex, "Directories left empty, when they are");
  remove.requirements = kApplyOnly;
  for (const std::string& directory : directories) {
    const std::string path = Rooted(directory) + "/";
    remove.code.push_back("GETSUBDIRECTORIESANDFILES " + path);
    remove.code.push_back("IFBUFFERTEXTLINESCOUNT = 1");
    remove.code.push_back("DELETEFILESANDDIRECTORIES " + path);
  }
  levels->push_back(std::move(remove));
  LevelFields restore =
      DirectoryLevel(number, "Directories left empty", '-', directories);
  restore.requirements = kReverseOnly;
  levels->push_back(std::move(restore));
}

// The records of `levels` as a level list.
TFASTMEMLIST LevelList(const std::vector<LevelFields>& levels) {
  TFASTMEMLIST list;
  for (const LevelFields& level : levels) {
    list.Add(LevelRecordData(level));
  }
  return list;
}

}  // namespace

bool BuildChangePackage(const ChangeSet& changes, MarkerStyle markers,
                        std::string* package, TreeState* applied,
                        std::vector<FileLevels>* files, std::string* err) {
  size_t most_hunks = 0;
  for (const FileChange& change : changes.files) {
    most_hunks = std::max(most_hunks, change.hunks.size());
  }
  // File k's levels are numbered from k * stride, so a level's number says
  // which file and which hunk it comes from.
  int64_t stride = 1000;
  while (stride <= static_cast<int64_t>(most_hunks) + 2) {
    stride *= 10;
  }
  if ((static_cast<int64_t>(changes.files.size()) + 1) * stride > INT32_MAX) {
    *err = "too many files and hunks for the level numbers of one package";
    return false;
  }
  TSETTINGSBLOCK framed_settings;
  const TSETTINGSBLOCK unframed_settings;
  if (markers != MarkerStyle::kNone) {
    // The comment lines hold the begin marker, the label the end marker,
    // so every level brings its own comment syntax.
    framed_settings.comment_block.position = kMarkerBefore;
    framed_settings.label_marker.position = kMarkerAfter;
  }
  *applied = changes.after;
  files->clear();
  std::vector<LevelFields> levels;
  if (!changes.created_directories.empty()) {
    levels.push_back(
        DirectoryLevel(0, "New directories", '+', changes.created_directories));
  }
  for (size_t k = 0; k < changes.files.size(); ++k) {
    const FileChange& change = changes.files[k];
    const int64_t base = static_cast<int64_t>(k + 1) * stride;
    if (change.before.has_value() && change.after.has_value() &&
        *change.before == *change.after) {
      continue;  // the change leaves its bytes as they were
    }
    FileLevels info;
    info.path = change.path;
    if (!change.before.has_value() && change.after.has_value()) {
      NewFileLevels(change, base, &levels);
    } else if (change.before.has_value() && !change.after.has_value()) {
      RemovedFileLevels(change, base, &levels);
    } else if (change.before.has_value()) {
      const std::optional<CommentSyntax> syntax =
          CommentSyntaxFor(markers, change.path);
      const bool nested = markers != MarkerStyle::kNone && !syntax.has_value();
      std::vector<LevelFields> normal;
      NormalLevelMaker maker(change, base, syntax,
                             nested ? unframed_settings : framed_settings);
      if (maker.Make(&normal, &info)) {
        applied->files[change.path] = info.applied;
        if (nested) {
          // Levels without markers need settings without them.
          LevelFields level =
              NewLevel(base, kKindPackage,
                       change.path +
                           ": levels without markers (no comment "
                           "syntax known for this file)");
          level.code_type = kTypeBinary;
          level.code = {PackageToData(LevelList(normal), unframed_settings)};
          levels.push_back(std::move(level));
        } else {
          levels.insert(levels.end(), std::make_move_iterator(normal.begin()),
                        std::make_move_iterator(normal.end()));
        }
      } else {
        info = FileLevels{change.path, {}, true, *change.after};
        WholeFileLevels(change, base, maker.why(), &levels);
      }
    }
    if (info.applied.empty() && change.after.has_value()) {
      info.applied = *change.after;
    }
    files->push_back(std::move(info));
  }
  if (!changes.removed_directories.empty()) {
    RemovedDirectoryLevels(
        (static_cast<int64_t>(changes.files.size()) + 1) * stride,
        changes.removed_directories, &levels);
  }
  if (levels.empty()) {
    *err = "the change is empty: nothing to put into a package";
    return false;
  }
  TSETTINGSBLOCK settings = framed_settings;
  settings.user_information =
      "Made by qrlpack from a change of " +
      std::to_string(changes.files.size()) +
      " files. Run it with MACRO{ROOT}=/path/to/tree/ (with the final /).";
  *package = PackageToData(LevelList(levels), settings);
  return true;
}
