// The symbol list and its edit language, and the tests that decide whether
// a level runs: action selection and global requirements over symbols.
//
// A symbol entry is a state character followed by the name: "+" defined,
// "*" forced defined, "/" forced undefined. The list also holds the name of
// the running action. Look-ups compare whole entries ignoring letter case.
#ifndef QRL_ENGINE_SYMBOLS_H_
#define QRL_ENGINE_SYMBOLS_H_

#include <string_view>

#include "services/line_list.h"

inline constexpr std::string_view kActionApply = "ACTION_APPLY";
inline constexpr std::string_view kActionReverse = "ACTION_REVERSE";

// True for the two action names, written exactly so.
bool IsActionName(std::string_view entry);

// Whether the list holds the entry, ignoring letter case.
bool HasSymbol(const LineList& symbols, std::string_view entry);

// Adds the action name when a look-up does not find it.
void AddActionName(std::string_view action, LineList* symbols);

// Applies a comma-separated edit list: "+X" defines X unless it is forced,
// "-X" undefines it unless forced, "*X" forces it defined (cancelling a
// forced undefine), "/X" forces it undefined (cancelling a forced define),
// "%X" clears whatever state it has. Other entries are ignored.
void UpdateSymbols(std::string_view edits, LineList* symbols);

// False only when the requirements name an action and the list holds none
// of the actions they name.
bool ActionSelected(std::string_view requirements, const LineList& symbols);

// Every "+X" requirement needs +X or *X; every "-X" needs neither. Action
// names, empty entries and other entries are not tested.
bool GlobalRequirementsMet(std::string_view requirements,
                           const LineList& symbols);

// Every entry but the action names, as written, must be in the list.
bool AllSymbolsPresent(std::string_view text, const LineList& symbols);

#endif  // QRL_ENGINE_SYMBOLS_H_
