#include "engine/driver_state.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "engine/macros.h"
#include "engine/run_limits.h"
#include "engine/separators.h"
#include "engine/symbols.h"
#include "package/level_record.h"
#include "services/failure.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kIgnoreMacrosOption = "IGNOREMACROS";

bool IgnoresMacros(std::string_view options) {
  return TextContainsItem(kIgnoreMacrosOption, options, ',',
                          CaseSensitive::kNo);
}

}  // namespace

DriverState::DriverState(TFASTMEMLIST level_list,
                         const TSETTINGSBLOCK& settings_block,
                         LineList* output_list, bool convert_separators,
                         Direction run_direction, int nesting_depth)
    : levels(std::move(level_list)),
      output(output_list),
      settings(settings_block),
      convert(convert_separators),
      direction(run_direction),
      depth(nesting_depth) {
  if (!settings.macros.empty()) {
    macros.LoadFromData(settings.macros);
  }
  UpdateSymbols(settings.symbols, &symbols);
  AddActionName(ActionName(), &symbols);
}

std::string_view DriverState::ActionName() const {
  return direction == Direction::kApply ? kActionApply : kActionReverse;
}

void DriverState::Finish(TSETTINGSBLOCK* settings_block) {
  files.Flush();
  settings_block->macros = macros.SaveToString();
  settings_block->symbols = JoinWithCharacter(symbols, ',');
}

const TFASTMEMLIST& DriverState::PrepareAndKeep(uint64_t index) {
  const auto kept = prepared_.find(index);
  if (kept != prepared_.end()) {
    return kept->second;
  }
  TFASTMEMLIST level;
  Prepare(index, &level);
  return prepared_.emplace(index, std::move(level)).first->second;
}

void DriverState::Prepare(uint64_t index, TFASTMEMLIST* level) {
  const auto kept = prepared_.find(index);
  if (kept != prepared_.end()) {
    *level = std::move(kept->second);
    prepared_.erase(kept);
    return;
  }
  level->LoadFromData(levels.View(index));
  const Expansion expansion =
      IgnoresMacros(level->View(kOptions))
          ? Expansion::kComplete
          : ExpandMacros(level, macros, CaseSensitive::kYes);
  if (expansion != Expansion::kComplete &&
      expansion_cut_reported_.insert(index).second) {
    output->Add("MACRO EXPANSION CUT FOR LEVEL " + level->Get(kLevelNumber) +
                " PROCESS WITH PRESENTATION: " + level->Get(kPresentation) +
                (expansion == Expansion::kCutSelfReference
                     ? " (A MACRO VALUE BRINGS BACK ITS OWN NAME)"
                     : " (THE EXPANDED LEVEL GROWS TOO LARGE)"));
  }
  if (convert) {
    ConvertSeparators(level, "", "/");
  }
}

bool DriverState::Selected(const TFASTMEMLIST& level,
                           const std::string& number) const {
  return level.View(kLevelNumber) == number &&
         ActionSelected(level.View(kRequirements), symbols);
}

std::vector<std::string> DriverState::NumberNames() const {
  std::vector<std::string> names;
  for (uint64_t k = 0; k + 1 < macros.Count(); k += 2) {
    const std::string_view name = macros.View(k);
    if (!name.empty() && std::all_of(name.begin(), name.end(), [this](char c) {
          return number_bytes_.test(static_cast<uint8_t>(c));
        })) {
      names.emplace_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

void DriverState::BuildCandidateIndex() {
  by_number_.clear();
  variable_.clear();
  number_bytes_.reset();
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    ListView record;
    if (record.Parse(levels.View(i)) && record.Count() > kLevelNumber) {
      for (char c : record.Item(kLevelNumber)) {
        number_bytes_.set(static_cast<uint8_t>(c));
      }
    }
  }
  number_names_ = NumberNames();
  // Only a name made of bytes that occur in number texts can stand in one.
  const std::vector<std::string>& names = number_names_;
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    ListView record;
    if (!record.Parse(levels.View(i)) || record.Count() < kLevelItemCount) {
      variable_.push_back(i);  // let preparation deal with it
      continue;
    }
    // Expansion can change the number text only by replacing a name that
    // stands in it before the expansion starts.
    const std::string_view number = record.Item(kLevelNumber);
    const bool may_change =
        !IgnoresMacros(record.Item(kOptions)) &&
        std::any_of(names.begin(), names.end(), [&](std::string_view name) {
          return number.find(name) != std::string_view::npos;
        });
    if (may_change) {
      variable_.push_back(i);
    } else {
      by_number_[std::string(number)].push_back(i);
    }
  }
  indexed_count_ = levels.Count();
  index_valid_ = true;
  index_checked_ = true;
}

uint64_t DriverState::NextCandidate(uint64_t from, const std::string& number) {
  if (index_valid_ && !index_checked_) {
    index_valid_ = NumberNames() == number_names_;
    index_checked_ = true;
  }
  if (!index_valid_ || indexed_count_ != levels.Count()) {
    BuildCandidateIndex();
  }
  uint64_t next = levels.Count();
  const auto first_at_or_after = [&](const std::vector<uint64_t>& indexes) {
    const auto it = std::lower_bound(indexes.begin(), indexes.end(), from);
    if (it != indexes.end()) {
      next = std::min(next, *it);
    }
  };
  const auto fixed = by_number_.find(number);
  if (fixed != by_number_.end()) {
    first_at_or_after(fixed->second);
  }
  first_at_or_after(variable_);
  return next;
}

uint64_t DriverState::NextAfterVisit(uint64_t index,
                                     const std::string& number) {
  CheckOutputLimit(*output);
  CheckMacroLimit(&macros);
  if ((run_flags & kRunRestart) != 0) {
    if (++restarts_ > CurrentRunLimits().restarts) {
      throw RunLimitExceeded("level number " + number + " was restarted " +
                             std::to_string(CurrentRunLimits().restarts) +
                             " times");
    }
    run_flags = kRunSuccess;
    return NextCandidate(0, number);
  }
  if ((run_flags & kRunFinish) != 0) {
    run_flags = kRunSuccess;
    return levels.Count();
  }
  return NextCandidate(index + 1, number);
}

int32_t LevelInteger(std::string_view text, std::string_view what,
                     uint64_t position) {
  std::string_view digits = text;
  if (!digits.empty() && digits[0] == '+') {
    digits.remove_prefix(1);
  }
  int32_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || error != std::errc() || stop != end ||
      (text[0] == '+' && digits[0] == '-')) {
    throw Failure("level record " + std::to_string(position + 1) + ": the " +
                  std::string(what) + " \"" + std::string(text) +
                  "\" is not an integer");
  }
  return value;
}

uint8_t LevelSeverity(const LevelView& level, uint64_t position) {
  return static_cast<uint8_t>(
      LevelInteger(level.severity, "severity", position) & 0xFF);
}

std::vector<std::string> LevelNumbers(const TFASTMEMLIST& levels) {
  std::vector<int32_t> numbers;
  numbers.reserve(levels.Count());
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    ListView record;
    record.Parse(levels.View(i));
    const std::string_view text =
        record.Count() > kLevelNumber ? record.Item(kLevelNumber) : "";
    numbers.push_back(LevelInteger(text, "level number", i));
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  std::vector<std::string> texts;
  texts.reserve(numbers.size());
  for (int32_t number : numbers) {
    texts.push_back(std::to_string(number));
  }
  return texts;
}

std::string LevelMessage(std::string_view text, const LevelCall& call) {
  std::string message(text);
  message += call.number;
  message += " PROCESS WITH PRESENTATION: ";
  message += call.view.presentation;
  return message;
}
