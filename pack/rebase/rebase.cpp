#include "pack/rebase/rebase.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "engine/driver_state.h"
#include "engine/normal_level.h"
#include "pack/author/change_levels.h"
#include "pack/author/root_guard.h"
#include "pack/author/tree_change.h"
#include "pack/author/verify_package.h"
#include "pack/author/whole_file_levels.h"
#include "pack/rebase/release_run.h"
#include "pack/rebase/whole_file_carry.h"
#include "pack/rebase/worktree.h"
#include "package/level_record.h"
#include "package/package.h"
#include "services/failure.h"
#include "services/file_services.h"
#include "services/string_utils.h"
#include "services/system_path.h"

namespace {

std::string_view StageName(LocateStage stage) {
  switch (stage) {
    case LocateStage::kExact:
      return "as it was";
    case LocateStage::kTrimmed:
      return "with context dropped";
    case LocateStage::kAligned:
      return "by alignment";
    case LocateStage::kBase:
      return "through the base";
  }
  return "";
}

// The directory a tree names, made absolute with its links resolved, with
// the final "/".
bool TreeRoot(const std::string& tree, std::string* root, std::string* err) {
  *root = ResolvedSystemPath(tree);
  if (root->empty() || !DirectoryExists(*root)) {
    *err = tree + ": not a directory";
    return false;
  }
  if (!root->ends_with('/')) {
    *root += '/';
  }
  return true;
}

// The levels in the order apply runs them: by level number, a number's
// requirement levels first, then the rest in package order.
std::vector<uint64_t> RunOrder(const TFASTMEMLIST& levels) {
  struct Key {
    int32_t number;
    bool requirement;
    uint64_t index;
  };
  std::vector<Key> keys;
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    TFASTMEMLIST level;
    level.LoadFromData(levels.View(i));
    keys.push_back({LevelInteger(level.View(kLevelNumber), "level number", i),
                    level.View(kKindCode) == kKindRequirement, i});
  }
  std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    return a.number != b.number ? a.number < b.number
                                : a.requirement && !b.requirement;
  });
  std::vector<uint64_t> order;
  for (const Key& key : keys) {
    order.push_back(key.index);
  }
  return order;
}

LineList ListItems(std::string_view data) {
  LineList lines;
  DataToStrings(data, &lines);
  return lines;
}

// The record with new obsolete code and new code, everything else kept.
std::string RewrittenRecord(std::string_view record, const LineList& obsolete,
                            const LineList& code) {
  TFASTMEMLIST level;
  level.LoadFromData(record);
  TFASTMEMLIST entry;
  GetFileEntry(level, 0, &entry);
  entry.Put(kEntryType, kTypeText);
  entry.Put(kEntryContent, DataAddStrings("", obsolete));
  PutFileEntry(&level, entry, 0);
  TFASTMEMLIST items;
  items.Add(kTypeText);
  items.AddStrings(code);
  level.Put(kCode, items.SaveToString());
  return level.SaveToString();
}

// The name of a defined macro that stands in one of the texts, if any: the
// engine would replace it.
std::optional<std::string> MacroNamed(
    const TSETTINGSBLOCK& settings, const std::vector<const LineList*>& texts) {
  TFASTMEMLIST macros;
  macros.LoadFromData(settings.macros);
  for (uint64_t k = 0; k < macros.Count(); k += 2) {
    const std::string_view name = macros.View(k);
    for (const LineList* lines : texts) {
      for (const std::string& line : *lines) {
        if (!name.empty() && line.find(name) != std::string::npos) {
          return std::string(name);
        }
      }
    }
  }
  return std::nullopt;
}

std::string JoinedLines(const std::vector<std::string_view>& lines) {
  std::string text;
  for (std::string_view line : lines) {
    text.append(line);
    text += '\n';
  }
  return text;
}

class Carrier {
 public:
  Carrier(const TFASTMEMLIST& levels, const TSETTINGSBLOCK& settings,
          const std::string& onto_root, const std::string& base_root)
      : levels_(levels),
        onto_(onto_root, settings),
        whole_files_(FindWholeFileLevels(levels)) {
    if (!base_root.empty()) {
      base_.emplace(base_root, settings);
    }
    for (size_t k = 0; k < whole_files_.size(); ++k) {
      for (uint64_t index : whole_files_[k].records) {
        whole_file_of_[index] = k;
      }
    }
  }

  void CarryAll(RebaseOutcome* outcome) {
    std::vector<size_t> guard_reports;
    TFASTMEMLIST guard;
    for (uint64_t index : RunOrder(levels_)) {
      const std::string_view record = levels_.View(index);
      RebasedLevel report;
      if (IsRootGuardLevel(record)) {
        // Made anew at the end, for what the carried package changes.
        guard.Add(record);
        Describe(record, &report);
        guard_reports.push_back(outcome->levels.size());
      } else if (const auto file = whole_file_of_.find(index);
                 file != whole_file_of_.end()) {
        CarryWholeFile(file->second, record, &report);
      } else {
        Carry(record, &report);
      }
      if (base_.has_value() && !IsRootGuardLevel(record)) {
        std::string ignored;
        base_->Run(record, &ignored);
      }
      if (report.verdict == Verdict::kConflict) {
        ++outcome->conflicts;
        // As it will stand, in some form, once resolved.
        unresolved_.emplace_back(carried_.Count(), std::string(record));
      }
      outcome->levels.push_back(std::move(report));
    }
    if (guard.Count() > 0) {
      RenewGuard(guard, guard_reports, outcome);
    }
  }

  const TFASTMEMLIST& carried() const { return carried_; }
  ReleaseRun& onto() { return onto_; }

 private:
  void RenewGuard(const TFASTMEMLIST& guard, const std::vector<size_t>& reports,
                  RebaseOutcome* outcome);
  // The level's number, kind and presentation in the report.
  void Describe(std::string_view record, RebasedLevel* report) const;
  void Carry(std::string_view record, RebasedLevel* report);
  // The levels of a file carried whole are decided together, at the first
  // of them; the others repeat the verdict.
  void CarryWholeFile(size_t k, std::string_view record, RebasedLevel* report);
  void CarryNormal(std::string_view record, const TFASTMEMLIST& prepared,
                   const std::string& file, RebasedLevel* report);
  // Puts the record into the carried package and runs it on NEW.
  void Keep(std::string_view record, RebasedLevel* report);
  void Conflict(RebasedLevel* report, std::string reason) {
    report->verdict = Verdict::kConflict;
    report->reason = std::move(reason);
  }

  const TFASTMEMLIST& levels_;
  ReleaseRun onto_;
  std::optional<ReleaseRun> base_;
  TFASTMEMLIST carried_;
  std::vector<FoundWholeFile> whole_files_;
  std::map<uint64_t, size_t> whole_file_of_;  // record -> its whole file
  std::map<size_t, RebasedLevel> whole_file_verdicts_;
  RootGuardPaths guarded_;  // what the carried package changes
  // The records of the conflicts, with the place they take in carried_.
  std::vector<std::pair<uint64_t, std::string>> unresolved_;
};

void AddPath(std::vector<std::string>* paths, const std::string& path) {
  if (std::find(paths->begin(), paths->end(), path) == paths->end()) {
    paths->push_back(path);
  }
}

// The root guard made anew for what the carried package changes (with the
// conflicts' levels in their places, as they will stand once resolved); a
// level of it that is the package's own is unchanged.
void Carrier::RenewGuard(const TFASTMEMLIST& guard,
                         const std::vector<size_t>& reports,
                         RebaseOutcome* outcome) {
  TFASTMEMLIST guarded;
  size_t next = 0;
  for (uint64_t i = 0; i <= carried_.Count(); ++i) {
    for (; next < unresolved_.size() && unresolved_[next].first == i; ++next) {
      guarded.Add(unresolved_[next].second);
    }
    if (i < carried_.Count()) {
      guarded.Add(carried_.View(i));
    }
  }
  PutRootGuard(guarded_, &guarded);
  std::set<std::string> made;
  for (uint64_t i = 0; i < guarded.Count(); ++i) {
    if (IsRootGuardLevel(guarded.View(i))) {
      made.emplace(guarded.View(i));
    }
  }
  for (size_t k = 0; k < reports.size(); ++k) {
    RebasedLevel& report = outcome->levels[reports[k]];
    if (made.contains(std::string(guard.View(k)))) {
      report.verdict = Verdict::kUnchanged;
    } else {
      report.verdict = Verdict::kReanchored;
      report.reason =
          "the root guard, made anew for the files the carried package "
          "changes";
    }
  }
  if (carried_.Count() > 0 && unresolved_.empty()) {
    carried_ = std::move(guarded);
  }
}

void Carrier::Describe(std::string_view record, RebasedLevel* report) const {
  const TFASTMEMLIST prepared = onto_.Prepared(record);
  const std::string_view code = prepared.View(kKindCode);
  const std::string_view kind = KindName(code);
  report->kind = std::string(kind.empty() ? code : kind);
  report->number = prepared.Get(kLevelNumber);
  // As the package holds it: its macros would name NEW.
  report->presentation = DataItem(record, kPresentation);
}

// The contents a whole file's levels carry, as the carry decides them.
WholeFileChangeOf ChangeOf(const WholeFile& file) {
  const WholeFileKind kind =
      file.change == WholeFileChange::kCreated   ? WholeFileKind::kCreated
      : file.change == WholeFileChange::kRemoved ? WholeFileKind::kRemoved
                                                 : WholeFileKind::kReplaced;
  return {kind, file.before, file.after, file.executable};
}

void Carrier::CarryWholeFile(size_t k, std::string_view record,
                             RebasedLevel* report) {
  Describe(record, report);
  const FoundWholeFile& found = whole_files_[k];
  const std::string& path = found.file.path;
  report->file = path;
  if (const auto decided = whole_file_verdicts_.find(k);
      decided != whole_file_verdicts_.end()) {
    report->verdict = decided->second.verdict;
    report->reason = decided->second.reason;
    return;
  }
  ReleaseFile onto;
  onto.exists = onto_.Read(path, &onto.content);
  onto.executable =
      onto.exists && (onto_.Stat(path, FollowLinks::kYes).mode & 0111) != 0;
  const WholeFileCarry carry = ::CarryWholeFile(ChangeOf(found.file), onto);
  report->verdict = carry.verdict;
  std::vector<std::string> records;
  if (carry.verdict == Verdict::kUnchanged) {
    for (uint64_t index : found.records) {
      records.emplace_back(levels_.View(index));
    }
  } else if (carry.verdict == Verdict::kReanchored ||
             carry.verdict == Verdict::kMerged) {
    // The levels made anew for the carried contents, with the package's
    // presentations, severities and symbols where they line up.
    WholeFile carried = found.file;
    carried.before = carry.carried.before;
    carried.after = carry.carried.after;
    carried.executable = carry.carried.executable;
    int64_t base = INT64_MAX;
    for (uint64_t index : found.records) {
      base = std::min<int64_t>(
          base, LevelInteger(DataItem(levels_.View(index), kLevelNumber),
                             "level number", index));
    }
    base -= found.file.change == WholeFileChange::kReplaced ? 1 : 0;
    std::vector<LevelFields> fields;
    AddWholeFileLevels(carried, base, &fields);
    for (size_t i = 0; i < fields.size(); ++i) {
      TFASTMEMLIST level;
      level.LoadFromData(LevelRecordData(fields[i]));
      if (fields.size() == found.records.size()) {
        TFASTMEMLIST original;
        original.LoadFromData(levels_.View(found.records[i]));
        for (LevelItem item : {kPresentation, kSeverity, kSuccessSymbols,
                               kFailureSymbols, kLabel, kCommentLines}) {
          level.Put(item, original.View(item));
        }
      }
      records.push_back(level.SaveToString());
    }
  } else if (carry.verdict == Verdict::kConflict) {
    report->reason = carry.reason;
    report->has_sides = true;
    report->sides = carry.sides;
    onto_.Write(path, carry.marked);
  }
  for (const std::string& carried : records) {
    std::string message;
    if (!onto_.Run(carried, &message)) {
      report->verdict = Verdict::kConflict;
      report->reason =
          "the carried levels of the file do not apply: " + message;
      records.clear();
      break;
    }
  }
  for (const std::string& carried : records) {
    carried_.Add(carried);
  }
  if (!records.empty() || report->verdict == Verdict::kConflict) {
    AddPath(found.file.change == WholeFileChange::kCreated ? &guarded_.created
            : found.file.change == WholeFileChange::kRemoved
                ? &guarded_.deleted
                : &guarded_.modified,
            path);
  }
  RebasedLevel decided;
  decided.verdict = report->verdict;
  decided.reason = report->reason;
  whole_file_verdicts_[k] = decided;
}

void Carrier::Carry(std::string_view record, RebasedLevel* report) {
  Describe(record, report);
  const TFASTMEMLIST prepared = onto_.Prepared(record);
  const std::string_view code = prepared.View(kKindCode);
  // A Normal level of text under {ROOT} that apply runs is analysed.
  std::string file;
  if (code == kKindNormal && FileEntryCount(prepared) > 0 &&
      onto_.Selected(record)) {
    TFASTMEMLIST entry;
    GetFileEntry(prepared, 0, &entry);
    const std::string path = entry.Get(kEntryPath);
    const bool text = entry.View(kEntryType) == kTypeText &&
                      DataItem(prepared.View(kCode), 0) == kTypeText;
    if (text && path.starts_with(onto_.root()) &&
        path.size() > onto_.root().size()) {
      file = path.substr(onto_.root().size());
    }
  }
  if (file.empty()) {
    Keep(record, report);
  } else {
    CarryNormal(record, prepared, file, report);
  }
}

void Carrier::Keep(std::string_view record, RebasedLevel* report) {
  report->verdict = Verdict::kKept;
  std::string message;
  if (!onto_.Run(record, &message)) {
    Conflict(report, "kept, not analysed, it fails on NEW: " + message);
    return;
  }
  carried_.Add(record);
}

void Carrier::CarryNormal(std::string_view record, const TFASTMEMLIST& prepared,
                          const std::string& file, RebasedLevel* report) {
  report->file = file;
  std::string content;
  if (!onto_.Read(file, &content)) {
    Conflict(report, "NEW has no file " + file);
    return;
  }
  if (content.find('\r') != std::string::npos ||
      (!content.empty() && content.back() != '\n')) {
    Conflict(report, "the file has " +
                         std::string(content.find('\r') != std::string::npos
                                         ? "CR line ends"
                                         : "no line end at its end") +
                         " in NEW, which a Normal level would rewrite");
    return;
  }
  const std::vector<std::string_view> lines = SplitLines(content);
  TFASTMEMLIST entry;
  GetFileEntry(prepared, 0, &entry);
  const LineList obsolete = ListItems(entry.View(kEntryContent));
  LineList code = ListItems(prepared.View(kCode));
  code.lines().erase(code.lines().begin());
  const LineList comments = ListItems(prepared.View(kCommentLines));
  const std::string label = prepared.Get(kLabel);
  const std::string number = std::to_string(
      LevelInteger(prepared.View(kLevelNumber), "level number", 0));
  const TSETTINGSBLOCK& settings = onto_.settings();
  NormalCarryInput input{lines,
                         {ViewsOf(obsolete.lines()), ViewsOf(code.lines())},
                         [&](LineList* framed) {
                           WrapCode(settings, comments, label, number, framed);
                         },
                         nullptr};
  // Where apply met the block in the old release.
  std::string old_content;
  std::vector<std::string_view> old_lines;
  BaseFile base;
  if (base_.has_value() && base_->Read(file, &old_content)) {
    old_lines = SplitLines(old_content);
    const std::vector<size_t> places =
        EnginePlaces(old_lines, input.block.obsolete, 1);
    if (!places.empty()) {
      base = {old_lines, places[0]};
      input.base = &base;
    }
  }
  const NormalCarry carry = CarryNormalLevel(input);
  report->verdict = carry.verdict;
  report->line = carry.line + 1;
  if (carry.verdict == Verdict::kReanchored ||
      carry.verdict == Verdict::kMerged) {
    report->found = StageName(carry.stage);
  }
  if (carry.verdict == Verdict::kConflict) {
    report->reason = carry.reason;
    report->has_sides = true;
    report->sides = carry.sides;
    // NEW shows the conflict in its file, for the work tree.
    std::vector<std::string_view> marked(
        lines.begin(),
        lines.begin() + static_cast<ptrdiff_t>(carry.mark_first));
    marked.insert(marked.end(), carry.marked.begin(), carry.marked.end());
    marked.insert(marked.end(),
                  lines.begin() + static_cast<ptrdiff_t>(carry.mark_past),
                  lines.end());
    onto_.Write(file, JoinedLines(marked));
    AddPath(&guarded_.modified, file);  // the resolved package changes it
    return;
  }
  if (carry.verdict == Verdict::kAlreadyThere) {
    return;
  }
  std::string carried(record);
  if (carry.verdict != Verdict::kUnchanged) {
    // The level's texts must be what apply uses: no macro may stand in
    // them, neither in the package's nor in NEW's lines.
    TFASTMEMLIST raw;
    raw.LoadFromData(record);
    TFASTMEMLIST raw_entry;
    GetFileEntry(raw, 0, &raw_entry);
    const LineList raw_obsolete = ListItems(raw_entry.View(kEntryContent));
    const LineList raw_code = ListItems(raw.View(kCode));
    if (const std::optional<std::string> name =
            MacroNamed(settings, {&raw_obsolete, &raw_code,
                                  &carry.level.obsolete, &carry.level.code})) {
      report->has_sides = false;
      Conflict(report, "its lines or NEW's hold the macro name " + *name +
                           ", which apply would replace");
      return;
    }
    carried = RewrittenRecord(record, carry.level.obsolete, carry.level.code);
  }
  std::string message;
  if (!onto_.Run(carried, &message)) {
    Conflict(report, "the carried level does not apply: " + message);
    return;
  }
  carried_.Add(carried);
  AddPath(&guarded_.modified, file);
}

// The files the carried package changes, before and after, as the check of
// from-diff compares them.
void ChangedStates(ReleaseRun& onto, TreeState* before, TreeState* after) {
  const std::string& root = onto.root();
  std::set<std::string> paths;
  for (const OverlayChange& change : onto.Changes()) {
    const std::string& path = change.path;
    switch (change.kind) {
      case OverlayChange::Kind::kDirectoryCreated:
        after->directories.insert(path);
        continue;
      case OverlayChange::Kind::kDirectoryRemoved:
        before->directories.insert(path);
        continue;
      default:
        paths.insert(path);
        break;
    }
  }
  for (const std::string& path : paths) {
    std::string content;
    if (FileExists(root + path) && FileToString(root + path, &content)) {
      before->files[path] = content;
      if ((PathInfo(root + path, FollowLinks::kYes).mode & 0111) != 0) {
        before->executables.insert(path);
      }
    }
    if (onto.Read(path, &content)) {
      after->files[path] = content;
      if ((onto.Stat(path, FollowLinks::kYes).mode & 0111) != 0) {
        after->executables.insert(path);
      }
    }
    for (const std::string& directory : ParentDirectories(path)) {
      if (DirectoryExists(root + directory)) {
        before->directories.insert(directory);
      }
      if (onto.Stat(directory, FollowLinks::kYes).type ==
          FileType::kDirectory) {
        after->directories.insert(directory);
      }
    }
  }
}

}  // namespace

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kUnchanged:
      return "unchanged";
    case Verdict::kReanchored:
      return "re-anchored";
    case Verdict::kMerged:
      return "merged";
    case Verdict::kAlreadyThere:
      return "already in the release";
    case Verdict::kConflict:
      return "conflict";
    case Verdict::kKept:
      return "kept, not analysed";
  }
  return "";
}

int Rebase(const RebaseOptions& options, RebaseOutcome* outcome,
           std::string* err) {
  *outcome = RebaseOutcome();
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  std::string cause;
  if (!LoadPackage(options.package, &levels, &settings, &cause)) {
    *err = "cannot load package '" + options.package + "': " + cause;
    return kRebaseUnreadable;
  }
  std::string onto_root;
  std::string base_root;
  if (!TreeRoot(options.onto, &onto_root, err) ||
      (!options.base.empty() && !TreeRoot(options.base, &base_root, err))) {
    return kRebaseUnreadable;
  }
  Carrier carrier(levels, settings, onto_root, base_root);
  try {
    carrier.CarryAll(outcome);
  } catch (const Failure& failure) {
    *err = options.package + ": " + failure.what();
    return kRebaseUnreadable;
  }
  if (!options.worktree.empty()) {
    if (!WriteWorktree(onto_root, carrier.onto().Changes(), options.worktree,
                       err)) {
      return kRebaseUnreadable;
    }
    outcome->worktree_written = true;
  }
  if (outcome->conflicts > 0) {
    return kRebaseConflicts;
  }
  if (carrier.carried().Count() == 0) {
    outcome->nothing_left = true;
    return kRebaseCarried;
  }
  const std::string package = PackageToData(carrier.carried(), settings);
  TreeState before;
  TreeState after;
  ChangedStates(carrier.onto(), &before, &after);
  VerifyFailure failure;
  if (!VerifyPackage(package, before, after, &failure, ToolsInCheck::kDone)) {
    outcome->check_failure =
        (failure.path.empty() ? "the package" : failure.path) + ": after " +
        failure.action + ", " + failure.detail;
    return kRebaseConflicts;
  }
  if (!options.output.empty()) {
    if (!StringToFile(options.output, package, &cause)) {
      *err = options.output + ": " + cause;
      return kRebaseUnreadable;
    }
    outcome->written = true;
  }
  return kRebaseCarried;
}
