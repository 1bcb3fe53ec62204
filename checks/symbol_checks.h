// The symbol checks of EXECUTECHECKS: the form of the settings' symbols,
// and whether the symbols that levels declare (success and failure edit
// lists) and the symbols that they require (requirements) meet. Appends
// warning lines; never changes anything else.
#ifndef QRL_CHECKS_SYMBOL_CHECKS_H_
#define QRL_CHECKS_SYMBOL_CHECKS_H_

#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "services/line_list.h"

// Each piece of the comma-separated text, empty pieces included: outer
// blanks, fewer than 2 characters, an unknown state character.
void CheckSettingsSymbols(std::string_view symbols, LineList* output);

// The success and failure symbols of every level, last level first, in
// that order per level; without empty entries and later duplicates
// (ignoring case). Entries keep their operation character.
LineList DeclaredSymbols(const TFASTMEMLIST& levels);

// The requirements of every level, last level first, each without one
// leading "+" or "-"; without empty entries and later duplicates (ignoring
// case).
LineList RequiredSymbols(const TFASTMEMLIST& levels);

// A declared "+X" or "*X" that no level requires, and a required X that no
// level declares as "+X" or "*X" (ignoring case). The two action names
// need no declaration when written exactly so.
void CheckDeclaredAgainstRequired(const LineList& declared,
                                  const LineList& required, LineList* output);
void CheckRequiredAgainstDeclared(const LineList& declared,
                                  const LineList& required, LineList* output);

#endif  // QRL_CHECKS_SYMBOL_CHECKS_H_
