#include "pack/author/change_levels.h"

#include <deque>
#include <map>
#include <optional>
#include <set>

#include "engine/normal_level.h"
#include "pack/author/level_anchor.h"
#include "pack/author/level_writer.h"
#include "pack/author/marker_places.h"
#include "pack/author/root_guard.h"
#include "pack/author/whole_file_levels.h"
#include "package/package.h"
#include "package/settings_block.h"
#include "services/line_list.h"
#include "services/string_utils.h"

namespace {

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
// back its bytes exactly, so that it must be carried whole. A level whose
// markers would stand where a comment line changes the file's meaning
// stays unframed.
class NormalLevelMaker {
 public:
  NormalLevelMaker(const FileChange& change, int64_t base, MarkerStyle markers,
                   const std::optional<CommentSyntax>& syntax,
                   const TSETTINGSBLOCK& settings)
      : change_(change),
        base_(base),
        markers_(markers),
        syntax_(syntax),
        settings_(settings) {}

  bool Make(std::vector<LevelFields>* levels, FileLevels* info);
  // Why Make refused.
  const std::string& why() const { return why_; }
  // The numbers of the levels left unframed, and why, one line each.
  const std::set<int64_t>& unframed() const { return unframed_; }
  const std::vector<std::string>& notes() const { return notes_; }

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

  // Why markers around `code`, put in place of state_[first, past), would
  // change the file's meaning; empty when they would not.
  std::string WhyUnframed(size_t first, size_t past, const LineList& code);

  const FileChange& change_;
  int64_t base_;
  MarkerStyle markers_;
  const std::optional<CommentSyntax>& syntax_;
  const TSETTINGSBLOCK& settings_;
  const TSETTINGSBLOCK unframed_settings_;
  TextLines new_text_;
  std::vector<std::string_view> state_;  // the file as apply leaves it so far
  std::deque<LineList> frames_;          // the framed code `state_` shows
  int64_t shift_ = 0;  // where old line x stands now: x + shift_
  // scan_[i]: the scanner after state_'s lines before i.
  std::vector<MarkerPlaces> scan_;
  std::set<int64_t> unframed_;
  std::vector<std::string> notes_;
  std::string why_;
};

std::string NormalLevelMaker::WhyUnframed(size_t first, size_t past,
                                          const LineList& code) {
  if (scan_.empty()) {
    scan_.emplace_back(markers_, change_.path);
  }
  while (scan_.size() <= first) {
    MarkerPlaces next = scan_.back();
    next.Feed(state_[scan_.size() - 1]);
    scan_.push_back(std::move(next));
  }
  const std::string_view* after_code =
      past < state_.size() ? &state_[past] : nullptr;
  const std::string_view head =
      code.Empty() ? std::string_view() : std::string_view(code.Get(0));
  std::string why =
      scan_[first].WhyNotBefore(code.Empty() ? after_code : &head);
  if (!why.empty()) {
    return why;
  }
  MarkerPlaces at_end = scan_[first];
  for (const std::string& line : code) {
    at_end.Feed(line);
  }
  return at_end.WhyNotBefore(after_code);
}

bool NormalLevelMaker::TryHunk(const LineHunk& hunk, const LineHunk& last,
                               size_t above, size_t below, bool* names_root,
                               std::vector<LevelFields>* levels) {
  const HunkLabel label = LabelOf(change_.path, hunk, last);
  const int64_t number = base_ + hunk.number;
  LineChange change;
  change.start = Now(hunk.old_start);
  change.end = change.start + hunk.old_count;
  change.put.assign(
      new_text_.lines.begin() + static_cast<std::ptrdiff_t>(hunk.new_start),
      new_text_.lines.begin() +
          static_cast<std::ptrdiff_t>(hunk.new_start + hunk.new_count));
  const size_t first = change.start - above;
  const size_t past = change.end + below;
  LineList comments;
  std::string label_text;
  std::string unframed_because;
  AnchoredChange anchored;
  const bool holds = AnchorWithContext(
      state_, change, above, below,
      [&](LineList* code) {
        comments.Clear();
        label_text = label.label;
        unframed_because =
            syntax_.has_value() ? WhyUnframed(first, past, *code) : "";
        if (syntax_.has_value() && unframed_because.empty()) {
          comments.Add(MarkerLine(*syntax_, "BEGIN", label.label));
          label_text = MarkerLine(*syntax_, "END", label.label);
        }
        WrapCode(unframed_because.empty() ? settings_ : unframed_settings_,
                 comments, label_text, std::to_string(number), code);
      },
      &anchored);
  if (NamesRoot(anchored.obsolete) || NamesRoot(anchored.code)) {
    *names_root = true;
    return false;
  }
  if (!holds) {
    return false;
  }
  frames_.push_back(std::move(anchored.framed));
  if (scan_.size() > first + 1) {
    scan_.erase(scan_.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                scan_.end());
  }
  if (!unframed_because.empty()) {
    unframed_.insert(number);
    notes_.push_back(change_.path + ", " + label.numbers +
                     ": left without markers, which would stand " +
                     unframed_because);
  }
  std::vector<std::string_view> next(state_.begin(), state_.begin() + first);
  next.insert(next.end(), frames_.back().begin(), frames_.back().end());
  next.insert(next.end(), state_.begin() + past, state_.end());
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
  entry.lines = std::move(anchored.obsolete.lines());
  level.entries.push_back(std::move(entry));
  level.code = std::move(anchored.code.lines());
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
    for (;;) {
      const size_t start = Now(hunk.old_start);
      const size_t limit =
          i + 1 < hunks.size() ? Now(hunks[i + 1].old_start) : state_.size();
      ContextGrowth growth({start, start + hunk.old_count, {}}, 0, limit);
      bool anchored = false;
      do {
        bool names_root = false;
        anchored = TryHunk(hunk, last, growth.above(), growth.below(),
                           &names_root, &made);
        if (names_root) {
          why_ = "its text names " + std::string(kRootMacro);
          return false;  // macro expansion would change the text
        }
      } while (!anchored && growth.Grow());
      if (anchored) {
        break;
      }
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
    }
    info->hunks.push_back(hunk);
  }
  info->applied = JoinTextLines(state_, true);
  levels->insert(levels->end(), std::make_move_iterator(made.begin()),
                 std::make_move_iterator(made.end()));
  return true;
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
// A program that removes each of the directories, in order, that is empty.
LevelFields RemoveWhenEmpty(int64_t number, std::string presentation,
                            std::string_view requirements,
                            const std::vector<std::string>& directories) {
  LevelFields remove = NewLevel(number, kKindComplex, std::move(presentation));
  remove.requirements = requirements;
  for (const std::string& directory : directories) {
    const std::string path = Rooted(directory) + "/";
    remove.code.push_back("GETSUBDIRECTORIESANDFILES " + path);
    remove.code.push_back("IFBUFFERTEXTLINESCOUNT = 1");
    remove.code.push_back("DELETEFILESANDDIRECTORIES " + path);
  }
  return remove;
}

void RemovedDirectoryLevels(int64_t number,
                            const std::vector<std::string>& directories,
                            std::vector<LevelFields>* levels) {
  levels->push_back(RemoveWhenEmpty(number,
                                    "Directories left empty, when they are",
                                    kApplyOnly, directories));
  LevelFields restore =
      DirectoryLevel(number, "Directories left empty", '-', directories);
  restore.requirements = kReverseOnly;
  levels->push_back(std::move(restore));
}

// Directories that the change makes: apply makes them with their parents;
// reverse removes each again, deepest first, only when it is empty, so
// that files put there since stay.
void NewDirectoryLevels(const ChangeSet& changes,
                        std::vector<LevelFields>* levels) {
  LevelFields make =
      DirectoryLevel(0, "New directories", '+', changes.created_directories);
  make.requirements = kApplyOnly;
  levels->push_back(std::move(make));
  std::set<std::string> made(changes.created_directories.begin(),
                             changes.created_directories.end());
  for (const std::string& directory : changes.after.directories) {
    if (!changes.before.directories.contains(directory)) {
      made.insert(directory);
    }
  }
  levels->push_back(
      RemoveWhenEmpty(0, "New directories, when they are empty", kReverseOnly,
                      std::vector<std::string>(made.rbegin(), made.rend())));
}

// A level that carries `level` in a package of its own, whose settings
// write no markers.
LevelFields WithoutMarkers(LevelFields level, const TSETTINGSBLOCK& unframed) {
  LevelFields package = NewLevel(level.number, kKindPackage,
                                 level.presentation + " (without markers)");
  package.code_type = kTypeBinary;
  TFASTMEMLIST list;
  list.Add(LevelRecordData(level));
  package.code = {PackageToData(list, unframed)};
  return package;
}

// The records of `levels` as a level list.
TFASTMEMLIST LevelList(const std::vector<LevelFields>& levels) {
  TFASTMEMLIST list;
  for (const LevelFields& level : levels) {
    list.Add(LevelRecordData(level));
  }
  return list;
}

// Where the levels of each change start. Change k of a diff is numbered
// from (k + 1) * stride, so a level's number says which file and hunk it
// comes from; in a series, patch p's changes count from p * patch_stride,
// so that each patch keeps a range of its own.
struct LevelNumbering {
  std::vector<int64_t> bases;  // of each change
  int64_t last = 0;            // past every change: removed directories
};

bool NumberLevels(const ChangeSet& changes, LevelNumbering* numbering) {
  size_t most_hunks = 0;
  std::map<size_t, int64_t> per_patch;  // changes of each patch
  for (const FileChange& change : changes.files) {
    most_hunks = std::max(most_hunks, change.hunks.size());
    ++per_patch[change.patches.empty() ? 0 : change.patches.back()];
  }
  int64_t stride = 1000;
  while (stride <= static_cast<int64_t>(most_hunks) + 2) {
    stride *= 10;
  }
  int64_t most_changes = 0;
  for (const auto& [patch, count] : per_patch) {
    most_changes = std::max(most_changes, count);
  }
  int64_t patch_stride = 10 * stride;
  while (patch_stride <= (most_changes + 1) * stride &&
         patch_stride <= INT32_MAX) {
    patch_stride *= 10;
  }
  std::map<size_t, int64_t> placed;
  for (const FileChange& change : changes.files) {
    const size_t patch = change.patches.empty() ? 0 : change.patches.back();
    numbering->bases.push_back(static_cast<int64_t>(patch) * patch_stride +
                               (++placed[patch]) * stride);
  }
  const size_t last_patch = per_patch.empty() ? 0 : per_patch.rbegin()->first;
  numbering->last = static_cast<int64_t>(last_patch) * patch_stride +
                    (placed[last_patch] + 1) * stride;
  return numbering->last <= INT32_MAX;
}

// The files the root guard checks: whether each was there before the
// first change of it and is there after the last.
RootGuardPaths GuardedPaths(const ChangeSet& changes) {
  std::vector<std::string> order;
  std::map<std::string, std::pair<bool, bool>> there;
  for (const FileChange& change : changes.files) {
    const auto [at, added] = there.emplace(
        change.path, std::make_pair(change.before.has_value(), false));
    if (added) {
      order.push_back(change.path);
    }
    at->second.second = change.after.has_value();
  }
  RootGuardPaths paths;
  for (const std::string& path : order) {
    const auto [before, after] = there[path];
    if (before && after) {
      paths.modified.push_back(path);
    } else if (before) {
      paths.deleted.push_back(path);
    } else if (after) {
      paths.created.push_back(path);
    }
  }
  return paths;
}

// What the package says about itself.
std::string UserInformation(const ChangeSet& changes) {
  constexpr std::string_view kRun =
      "Run it with MACRO{ROOT}=/path/to/tree/ (with the final /).";
  if (changes.series.empty()) {
    return "Made by qrlpack from a change of " +
           std::to_string(changes.files.size()) + " files. " +
           std::string(kRun);
  }
  std::string text = "Made by qrlpack from a series of " +
                     std::to_string(changes.series.size()) + " patches:\n";
  for (const std::string& subject : changes.series) {
    text += subject + "\n";
  }
  return text + std::string(kRun);
}

// The subjects of the patches a change comes from, before its levels'
// presentations.
std::string SeriesTitle(const ChangeSet& changes, const FileChange& change) {
  std::string title;
  for (const size_t patch : change.patches) {
    if (patch >= 1 && patch <= changes.series.size()) {
      title += (title.empty() ? "" : " + ") + changes.series[patch - 1];
    }
  }
  return title.empty() ? title : title + ": ";
}

}  // namespace

bool BuildChangePackage(const ChangeSet& changes, MarkerStyle markers,
                        std::string* package, TreeState* applied,
                        std::vector<FileLevels>* files,
                        std::vector<std::string>* notes, std::string* err) {
  LevelNumbering numbering;
  if (!NumberLevels(changes, &numbering)) {
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
    NewDirectoryLevels(changes, &levels);
  }
  for (size_t k = 0; k < changes.files.size(); ++k) {
    const FileChange& change = changes.files[k];
    const int64_t base = numbering.bases[k];
    const size_t first_level = levels.size();
    if (change.before.has_value() && change.after.has_value() &&
        *change.before == *change.after) {
      continue;  // the change leaves its bytes as they were
    }
    FileLevels info;
    info.path = change.path;
    WholeFile whole;
    whole.path = change.path;
    whole.before = change.before.value_or("");
    whole.after = change.after.value_or("");
    if (!change.before.has_value() && change.after.has_value()) {
      whole.change = WholeFileChange::kCreated;
      whole.executable = change.make_executable;
      AddWholeFileLevels(whole, base, &levels);
    } else if (change.before.has_value() && !change.after.has_value()) {
      whole.change = WholeFileChange::kRemoved;
      whole.executable = changes.before.executables.contains(change.path);
      AddWholeFileLevels(whole, base, &levels);
    } else if (change.before.has_value()) {
      const std::optional<CommentSyntax> syntax =
          CommentSyntaxFor(markers, change.path);
      const bool nested = markers != MarkerStyle::kNone && !syntax.has_value();
      std::vector<LevelFields> normal;
      NormalLevelMaker maker(change, base, markers, syntax,
                             nested ? unframed_settings : framed_settings);
      if (maker.Make(&normal, &info)) {
        applied->files[change.path] = info.applied;
        notes->insert(notes->end(), maker.notes().begin(), maker.notes().end());
        for (LevelFields& level : normal) {
          if (maker.unframed().contains(level.number)) {
            level = WithoutMarkers(std::move(level), unframed_settings);
          }
        }
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
        whole.reason = maker.why();
        AddWholeFileLevels(whole, base, &levels);
      }
    }
    const std::string title = SeriesTitle(changes, change);
    for (size_t i = first_level; i < levels.size(); ++i) {
      levels[i].presentation = title + levels[i].presentation;
    }
    if (info.applied.empty() && change.after.has_value()) {
      info.applied = *change.after;
    }
    files->push_back(std::move(info));
  }
  if (!changes.removed_directories.empty()) {
    RemovedDirectoryLevels(numbering.last, changes.removed_directories,
                           &levels);
  }
  if (levels.empty()) {
    *err = "the change is empty: nothing to put into a package";
    return false;
  }
  TSETTINGSBLOCK settings = framed_settings;
  settings.user_information = UserInformation(changes);
  TFASTMEMLIST list = LevelList(levels);
  PutRootGuard(GuardedPaths(changes), &list);
  *package = PackageToData(list, settings);
  return true;
}
