#include "engine/symbols.h"

#include <string>

#include "services/string_utils.h"

namespace {

std::string Entry(char state, std::string_view name) {
  std::string entry(1, state);
  entry += name;
  return entry;
}

// Removes the first entry equal to `entry`, ignoring case; true when one was.
bool RemoveSymbol(std::string_view entry, LineList* symbols) {
  const int64_t index = IndexOfItem(entry, *symbols, CaseSensitive::kNo);
  if (index < 0) {
    return false;
  }
  symbols->Delete(static_cast<size_t>(index));
  return true;
}

void ApplyEdit(std::string_view edit, LineList* symbols) {
  const char op = edit[0];
  const std::string_view name = edit.substr(1);
  const std::string defined = Entry('+', name);
  const std::string forced = Entry('*', name);
  const std::string forbidden = Entry('/', name);
  switch (op) {
    case '%':
      if (!RemoveSymbol(defined, symbols) && !RemoveSymbol(forced, symbols)) {
        RemoveSymbol(forbidden, symbols);
      }
      break;
    case '+':
      if (!HasSymbol(*symbols, forced) && !HasSymbol(*symbols, forbidden) &&
          !HasSymbol(*symbols, defined)) {
        symbols->Add(std::string(edit));
      }
      break;
    case '-':
      if (!HasSymbol(*symbols, forced) && !HasSymbol(*symbols, forbidden)) {
        RemoveSymbol(defined, symbols);
      }
      break;
    case '*':
      if (HasSymbol(*symbols, forced) || RemoveSymbol(forbidden, symbols)) {
        break;
      }
      RemoveSymbol(defined, symbols);
      symbols->Add(std::string(edit));
      break;
    case '/':
      if (HasSymbol(*symbols, forbidden) || RemoveSymbol(forced, symbols)) {
        break;
      }
      RemoveSymbol(defined, symbols);
      symbols->Add(std::string(edit));
      break;
    default:
      break;
  }
}

}  // namespace

bool IsActionName(std::string_view entry) {
  return entry == kActionApply || entry == kActionReverse;
}

bool HasSymbol(const LineList& symbols, std::string_view entry) {
  return IndexOfItem(entry, symbols, CaseSensitive::kNo) >= 0;
}

void AddActionName(std::string_view action, LineList* symbols) {
  if (!HasSymbol(*symbols, action)) {
    symbols->Add(std::string(action));
  }
}

void UpdateSymbols(std::string_view edits, LineList* symbols) {
  LineList entries;
  SplitByCharacter(edits, &entries, 0, ',');
  for (const std::string& edit : entries) {
    if (edit.size() >= 2) {
      ApplyEdit(edit, symbols);
    }
  }
}

bool ActionSelected(std::string_view requirements, const LineList& symbols) {
  LineList entries;
  SplitByCharacter(requirements, &entries, 0, ',');
  bool selected = true;
  for (const std::string& entry : entries) {
    if (IsActionName(entry)) {
      if (HasSymbol(symbols, entry)) {
        return true;
      }
      selected = false;
    }
  }
  return selected;
}

bool GlobalRequirementsMet(std::string_view requirements,
                           const LineList& symbols) {
  LineList entries;
  SplitByCharacter(requirements, &entries, 0, ',');
  for (const std::string& entry : entries) {
    if (entry.empty() || IsActionName(entry)) {
      continue;
    }
    const std::string_view name = std::string_view(entry).substr(1);
    const bool present = HasSymbol(symbols, Entry('+', name)) ||
                         HasSymbol(symbols, Entry('*', name));
    if ((entry[0] == '+' && !present) || (entry[0] == '-' && present)) {
      return false;
    }
  }
  return true;
}

bool AllSymbolsPresent(std::string_view text, const LineList& symbols) {
  LineList entries;
  SplitByCharacter(text, &entries, 0, ',');
  for (const std::string& entry : entries) {
    if (!IsActionName(entry) && !HasSymbol(symbols, entry)) {
      return false;
    }
  }
  return true;
}
