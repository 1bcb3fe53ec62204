#include "checks/symbol_checks.h"

#include <string>
#include <unordered_set>

#include "engine/symbols.h"
#include "fastmemlist/list_view.h"
#include "package/level_record.h"
#include "services/string_utils.h"

namespace {

// The comma-separated items of the given record items of every level, last
// level first.
LineList CollectSymbols(const TFASTMEMLIST& levels,
                        std::initializer_list<LevelItem> items) {
  LineList collected;
  LineList pieces;
  for (uint64_t i = levels.Count(); i-- > 0;) {
    ListView level;
    level.Parse(levels.View(i));
    for (LevelItem item : items) {
      SplitByCharacter(level.ItemOrEmpty(item), &pieces, 0, ',');
      for (std::string& piece : pieces.lines()) {
        collected.Add(std::move(piece));
      }
    }
  }
  return collected;
}

void RemoveEmptyAndDuplicates(LineList* symbols) {
  RemoveEmptyLines(symbols);
  RemoveDuplicateLines(symbols, CaseSensitive::kNo);
}

// The entries upper-cased, for look-ups that ignore case.
std::unordered_set<std::string> FoldedSet(const LineList& entries) {
  std::unordered_set<std::string> folded;
  folded.reserve(entries.Count());
  for (const std::string& entry : entries) {
    folded.insert(UpperCase(entry));
  }
  return folded;
}

}  // namespace

void CheckSettingsSymbols(std::string_view symbols, LineList* output) {
  LineList pieces;
  SplitByCharacter(symbols, &pieces, 0, ',');
  for (const std::string& symbol : pieces) {
    const std::string quoted = "\"" + symbol + "\"";
    if (TrimmedView(symbol).size() != symbol.size()) {
      output->Add("WARNING! Unpleasant practice detected at " + quoted +
                  " symbol. Use of spaces at begin/end of a symbol is higly "
                  "discouraged.");
    }
    if (symbol.size() < 2) {
      output->Add("WARNING! Found " + quoted +
                  " symbol with less than 2 characters.");
    } else if (std::string_view("%*+-/").find(symbol[0]) ==
               std::string_view::npos) {
      output->Add("WARNING! Found " + quoted +
                  " symbol that starts with a character different than "
                  "\"%\", \"+\", \"-\", \"*\" or \"/\".");
    }
  }
}

LineList DeclaredSymbols(const TFASTMEMLIST& levels) {
  LineList declared =
      CollectSymbols(levels, {kSuccessSymbols, kFailureSymbols});
  RemoveEmptyAndDuplicates(&declared);
  return declared;
}

LineList RequiredSymbols(const TFASTMEMLIST& levels) {
  LineList required = CollectSymbols(levels, {kRequirements});
  for (std::string& entry : required.lines()) {
    if (!entry.empty() && (entry[0] == '+' || entry[0] == '-')) {
      entry.erase(0, 1);
    }
  }
  // Cleaning once, after the signs are gone, keeps the same entries in the
  // same order as cleaning before and after.
  RemoveEmptyAndDuplicates(&required);
  return required;
}

void CheckDeclaredAgainstRequired(const LineList& declared,
                                  const LineList& required, LineList* output) {
  const std::unordered_set<std::string> folded_required = FoldedSet(required);
  for (const std::string& entry : declared) {
    if (entry[0] != '+' && entry[0] != '*') {
      continue;
    }
    if (!folded_required.contains(UpperCase(entry.substr(1)))) {
      output->Add("WARNING! Declared symbol \"" + entry +
                  "\" can't be found within required symbols.");
    }
  }
}

void CheckRequiredAgainstDeclared(const LineList& declared,
                                  const LineList& required, LineList* output) {
  const std::unordered_set<std::string> folded_declared = FoldedSet(declared);
  for (const std::string& entry : required) {
    const std::string folded = UpperCase(entry);
    if (IsActionName(entry) || folded_declared.contains("+" + folded) ||
        folded_declared.contains("*" + folded)) {
      continue;
    }
    output->Add("WARNING! Required symbol \"" + entry +
                "\" can't be found within declared symbols.");
  }
}
