#include "pack/plan/plan_observer.h"

#include <algorithm>
#include <cctype>

#include "engine/block_drift.h"
#include "engine/level_kinds.h"
#include "engine/macros.h"
#include "engine/missing_block.h"
#include "engine/normal_level.h"
#include "engine/target_files.h"
#include "pack/author/level_writer.h"
#include "pack/author/whole_file_levels.h"
#include "package/level_record.h"
#include "services/file_services.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kLeftOut =
    "its action names or symbols leave it out";

// The lines of a match that differ from the block byte for byte, which the
// level writes over with its own lines; the warning quotes the first.
int64_t LooseLines(EditableText& text, int64_t at,
                   const std::vector<std::string>& block,
                   std::vector<std::string>* warnings) {
  int64_t count = 0;
  for (size_t i = 0; i < block.size(); ++i) {
    const std::string_view line = text.Line(static_cast<uint64_t>(at) + i);
    if (line != block[i] && count++ == 0) {
      warnings->push_back(
          "matches only because blanks at the ends and letter case do "
          "not count: line " +
          LineNumberOf(at + static_cast<int64_t>(i)) + " reads " +
          QuotedLine(line) + ", the package has " + QuotedLine(block[i]));
    }
  }
  return count;
}

std::string OthersWarning(const BlockPlaces& places) {
  std::string lines;
  for (uint64_t other : places.others) {
    lines +=
        (lines.empty() ? "" : ", ") + LineNumberOf(static_cast<int64_t>(other));
  }
  return "also matches at line" +
         std::string(places.others.size() > 1 ? "s " : " ") + lines +
         "; the first place, line " + LineNumberOf(places.first) + ", is taken";
}

// Where a block was found: the line the level acts on, the other places
// it matches, and the tree lines a loose match writes over.
void NoteFoundPlace(EditableText& text, const BlockPlaces& places,
                    const std::vector<std::string>& block,
                    PlannedLevel* planned) {
  planned->line = places.first + 1;
  if (!places.others.empty()) {
    planned->warnings.push_back(OthersWarning(places));
  }
  if (!places.exact) {
    planned->rewrites =
        LooseLines(text, places.first, block, &planned->warnings);
  }
}

// A name of the form {WORD} left in a path: a macro that nothing defined.
std::vector<std::string> UndefinedMacros(std::string_view path) {
  std::vector<std::string> names;
  for (size_t open = path.find('{'); open != std::string_view::npos;
       open = path.find('{', open + 1)) {
    const size_t close = path.find('}', open + 1);
    if (close == std::string_view::npos) {
      break;
    }
    const std::string_view word = path.substr(open + 1, close - open - 1);
    const bool plain =
        !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        });
    if (plain) {
      names.emplace_back(path.substr(open, close - open + 1));
    }
  }
  return names;
}

// The paths a level names, as its items hold them: its file entries, and
// the lines of a creation and removal level without their mark and
// separator.
std::vector<std::string> LevelPaths(const LevelView& level) {
  std::vector<std::string> paths;
  for (const FileEntryView& entry : level.entries) {
    paths.emplace_back(entry.path);
  }
  for (const LevelTarget& target : LevelTargets(level)) {
    if (target.from_code && target.Acts()) {
      paths.emplace_back(target.path);
    }
  }
  return paths;
}

// Why a level that compares a whole file before it writes failed: where
// the file parts from the content the level expects. Empty for other
// levels.
std::string WholeFileReason(const LevelEvent& event) {
  std::string path;
  std::string expected;
  if (!WholeFileExpectation(event.call.state.levels.View(event.index), &path,
                            &expected)) {
    return std::string();
  }
  const TFASTMEMLIST& macros = event.call.state.macros;
  const int64_t root =
      FindMacro(macros, kRootMacro, LookIn::kNames, CaseSensitive::kYes);
  if (root < 0 || static_cast<uint64_t>(root) + 1 >= macros.Count()) {
    return std::string();
  }
  std::string content;
  const std::string file = macros.Get(static_cast<uint64_t>(root) + 1) + path;
  if (!FileToString(file, &content)) {
    return "the file " + QuotedLine(file) + " cannot be read";
  }
  return DescribeContentDifference(content, expected);
}

}  // namespace

PlannedLevel PlanObserver::Planned(const LevelCall& call) const {
  PlannedLevel planned;
  planned.depth = call.state.depth;
  planned.presentation = std::string(call.view.presentation);
  planned.number = call.number;
  const std::string_view code = call.view.kind_code;
  const std::string_view kind = KindName(code);
  planned.kind = std::string(kind.empty() ? code : kind);
  planned.uncertain = uncertain_;
  return planned;
}

void PlanObserver::LevelStarts(const LevelCall& call, uint64_t index) {
  PlannedLevel planned = Planned(call);
  Look look;
  if (bounds_ != nullptr) {
    bounds_->LevelStarts(levels_.size());
  }
  if (call.view.kind == LevelKind::kNormal) {
    LookAtNormalLevel(call, &planned, &look);
    if (bounds_ != nullptr && !planned.file.empty()) {
      bounds_->RewritesFile(levels_.size(), planned.file);
    }
  }
  CheckPaths(call, index, &planned);
  levels_.push_back(std::move(planned));
  open_.push_back(levels_.size() - 1);
  looks_.push_back(std::move(look));
}

void PlanObserver::LevelEnds(const LevelEvent& event) {
  if (event.result == LevelResult::kNotSelected) {
    PlannedLevel planned = Planned(event.call);
    planned.outcome = PlannedOutcome::kSkipped;
    planned.reason = std::string(kLeftOut);
    levels_.push_back(std::move(planned));
    return;
  }
  if (open_.empty()) {
    return;
  }
  if (bounds_ != nullptr) {
    bounds_->LevelEnds();
  }
  PlannedLevel& planned = levels_[open_.back()];
  const Look look = std::move(looks_.back());
  open_.pop_back();
  looks_.pop_back();
  if (planned.outcome == PlannedOutcome::kNotSimulated) {
    return;  // a tool ran in its place: whatever came back is assumed
  }
  const FailureWeight weight =
      WeighFailure(event.call.state.direction, event.severity);
  planned.failure = (event.result == LevelResult::kFailed ||
                     (event.result == LevelResult::kRequirementsNotMet &&
                      !event.message.empty())) &&
                    weight != FailureWeight::kNone;
  // The console stops after a failure that stops the run, or after a
  // program that halts; a stop inside a nested package stops its level.
  if (planned.failure && planned.depth == 0 && !stop_.has_value() &&
      (weight == FailureWeight::kStops ||
       (event.call.state.run_flags & kRunStop) != 0)) {
    stop_ = Stop{static_cast<size_t>(&planned - levels_.data()), event.index};
  }
  if (planned.rewrites > 0 && event.result != LevelResult::kDone) {
    planned.rewrites = 0;  // a level that does not run rewrites nothing
  }
  switch (event.result) {
    case LevelResult::kDone:
      planned.outcome = PlannedOutcome::kApplies;
      break;
    case LevelResult::kRequirementsNotMet:
      // A Normal level requires its own obsolete code: when that is what
      // is missing, the level fails for a reason the look can name.
      if (look.looked && !look.found && !look.reason.empty()) {
        DescribeMissingBlock(look, &planned);
        if (!planned.failure && planned.outcome == PlannedOutcome::kFails) {
          planned.outcome = PlannedOutcome::kSkipped;
        }
      } else {
        planned.outcome = PlannedOutcome::kSkipped;
        planned.reason = std::string(event.message);
      }
      break;
    case LevelResult::kFailed:
      if (look.looked && !look.found) {
        DescribeMissingBlock(look, &planned);
      } else {
        planned.outcome = PlannedOutcome::kFails;
        planned.reason = WholeFileReason(event);
        if (planned.reason.empty()) {
          planned.reason = std::string(event.message);
        }
      }
      break;
    case LevelResult::kNotSelected:
      break;
  }
}

void PlanObserver::DescribeMissingBlock(const Look& look,
                                        PlannedLevel* planned) {
  if (look.new_code_there) {
    planned->outcome = PlannedOutcome::kAlreadyApplied;
    planned->reason = AlreadyAppliedReason(planned->line - 1);
  } else {
    planned->outcome = PlannedOutcome::kFails;
    planned->reason = look.reason;
  }
}

void PlanObserver::ToolRequested() {
  uncertain_ = true;
  if (!open_.empty()) {
    PlannedLevel& planned = levels_[open_.back()];
    planned.outcome = PlannedOutcome::kNotSimulated;
    planned.reason =
        "runs a tool or command, which a plan never starts; "
        "assumed to succeed without output";
  }
}

void PlanObserver::LookAtNormalLevel(const LevelCall& call,
                                     PlannedLevel* planned, Look* look) {
  const NormalLevelParts parts = ReadNormalLevelParts(call);
  planned->file = parts.file;
  if (!parts.well_formed) {
    return;
  }
  HeldFile* file = call.state.files.Hold(parts.file);
  if (file == nullptr) {
    return;  // the level's own message says why
  }
  EditableText& text = file->text();
  look->looked = true;
  const bool apply = call.state.direction == Direction::kApply;
  if (apply && parts.old_type == kTypeText) {
    const std::vector<std::string> old_lines = BlockLines(parts.old_code);
    const BlockPlaces places = FindBlockPlaces(text, old_lines);
    look->found = places.first >= 0;
    const int64_t new_at = NewCodeAt(text, parts);
    look->new_code_there = new_at >= 0;
    if (look->found && look->new_code_there) {
      planned->warnings.push_back("its new code stands already at line " +
                                  LineNumberOf(new_at) +
                                  ": was the package applied before?");
    } else if (look->new_code_there) {
      planned->line = new_at + 1;
    }
    if (look->found) {
      NoteFoundPlace(text, places, old_lines, planned);
    } else {
      look->reason = DriftReason(text, old_lines, "obsolete code");
    }
    return;
  }
  if (!apply && parts.text_code && parts.old_type == kTypeText) {
    const std::vector<std::string> framed(parts.wrapped.begin(),
                                          parts.wrapped.end());
    const BlockPlaces places = FindBlockPlaces(text, framed);
    look->found = places.first >= 0;
    if (look->found) {
      NoteFoundPlace(text, places, framed, planned);
      return;
    }
    look->reason = MissingFramedCodeReason(call, text, framed);
  }
}

void PlanObserver::CheckPaths(const LevelCall& call, uint64_t index,
                              PlannedLevel* planned) {
  // As stored, before macros were expanded, and as the level runs.
  LevelView stored;
  DecodeLevel(call.state.levels.View(index), &stored);
  const std::vector<std::string> raw = LevelPaths(stored);
  const std::vector<std::string> expanded = LevelPaths(call.view);
  for (size_t i = 0; i < expanded.size(); ++i) {
    for (const std::string& name : UndefinedMacros(expanded[i])) {
      planned->warnings.push_back("the path " + QuotedLine(expanded[i]) +
                                  " uses the macro " + name +
                                  ", which nothing defines");
    }
    if (i >= raw.size()) {
      continue;
    }
    // The macro a path starts with names a tree the run may write in;
    // when its value names a directory, it needs its final "/".
    for (uint64_t k = 0; k + 1 < call.state.macros.Count(); k += 2) {
      const std::string_view name = call.state.macros.View(k);
      const std::string_view value = call.state.macros.View(k + 1);
      if (name.empty() || raw[i].compare(0, name.size(), name) != 0) {
        continue;
      }
      if (bounds_ != nullptr) {
        bounds_->UsesMacro(name);
      }
      const std::string_view rest =
          std::string_view(raw[i]).substr(name.size());
      if (!value.empty() && value[0] == '/' && value.back() != '/' &&
          !rest.empty() && rest[0] != '/' && rest[0] != '\\') {
        planned->warnings.push_back(
            "the macro " + std::string(name) + " = " + QuotedLine(value) +
            " has no final \"/\": the path " + QuotedLine(expanded[i]) +
            " lies beside that directory, not in it");
      }
      break;
    }
  }
}
