// What a Normal level finds of its own blocks when the block it looks for
// stands nowhere: whether its new code stands already, and why the framed
// code that reverse looks for is missing, in the words that plan's report
// and a stopped apply share. Reads the text; changes nothing.
#ifndef QRL_ENGINE_MISSING_BLOCK_H_
#define QRL_ENGINE_MISSING_BLOCK_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/driver_state.h"
#include "engine/normal_level.h"
#include "services/editable_text.h"

// The lines of a serialized list, as a block to look for; none when the
// data is not a list.
std::vector<std::string> BlockLines(std::string_view data);

// Where (from 0) the level's framed new code stands in the text, or -1.
// Also -1 for new code without lines, and for new code whose lines are the
// obsolete code's once blanks at the ends and letter case are left out: it
// stands wherever the obsolete code does, which tells nothing.
int64_t NewCodeAt(EditableText& text, const NormalLevelParts& parts);

// The reason of a level whose obsolete code is gone while its new code
// stands at line `new_at` (from 0).
std::string AlreadyAppliedReason(int64_t new_at);

// Why the framed new code that reversing the level looks for stands
// nowhere: whether the level's markers stand there, framing other code,
// and where the file drifted from the framed code.
std::string MissingFramedCodeReason(const LevelCall& call, EditableText& text,
                                    const std::vector<std::string>& framed);

#endif  // QRL_ENGINE_MISSING_BLOCK_H_
