// Macro expansion over the texts of a level record. A macro list holds
// name, value, name, value ...; names are written as they appear in level
// texts, braces included, and earlier pairs are replaced first.
#ifndef QRL_ENGINE_MACROS_H_
#define QRL_ENGINE_MACROS_H_

#include <cstdint>
#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "services/string_utils.h"

enum class LookIn { kNames, kValues };

// Index of the first name (or value) equal to `text`, or -1. Without case
// sensitivity the stored item is upper-cased and compared with `text` as
// given, so callers pass an upper-case text. An empty text matches the
// first empty item.
int64_t FindMacro(const TFASTMEMLIST& macros, std::string_view text,
                  LookIn look_in, CaseSensitive sensitive);

// Replaces `name` by `value` in one item of the record (`item` >= 0) or in
// all of them (-1), reaching into the comment lines, the file entries
// (separator, path and text content) and the code. True when anything was
// replaced; an empty name replaces nothing. The package carried inside a
// Package level is left alone: it is a serialized package whose lengths a
// replacement would break, and its own levels are expanded when it runs.
// So are the OUTPUTMACRO items of an External level's options line: they
// name the macro that receives the tool's output.
bool ReplaceMacroInLevel(TFASTMEMLIST* level, std::string_view name,
                         std::string_view value, int64_t item,
                         CaseSensitive sensitive);

enum class Expansion {
  kComplete,
  kCutSelfReference,  // a value brings back its own name
  kCutTooLarge,       // the record grew too large, with no name coming back
};

// Replaces every macro of the list in every text of the record, pass after
// pass, until a pass replaces nothing, so values that hold other macro
// names are expanded too, in any order. A macro that brings back its own
// name, directly or through others, would never stop: the expansion is cut
// after a bounded number of passes or when the record grows too large, and
// the record is then as the last pass left it. The size bound can also cut
// an expansion whose values are merely large; the result tells the two
// apart (a long macro list whose names cannot be checked counts as a
// self-reference).
Expansion ExpandMacros(TFASTMEMLIST* level, const TFASTMEMLIST& macros,
                       CaseSensitive sensitive);

// Replaces each macro once, in list order, in every level of a list of
// serialized records (`level_index` -1) or in one of them; a name that a
// value brings in is replaced only when its own macro comes later. True
// when a record changed.
bool ExpandMacrosOnce(TFASTMEMLIST* levels, const TFASTMEMLIST& macros,
                      int64_t level_index, CaseSensitive sensitive);

#endif  // QRL_ENGINE_MACROS_H_
