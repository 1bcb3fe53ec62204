// APPLY: runs the levels of a package forward, in ascending order of level
// number, and turns every failed level into an outcome weighted by its
// severity.
#ifndef QRL_ENGINE_APPLY_H_
#define QRL_ENGINE_APPLY_H_

#include <cstdint>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

// Runs the level records of `levels` (never changed) with the macros and
// symbols of `settings`, which receive the final macros and symbols at the
// end. Appends warning and error lines to `output`. Returns the highest
// severity among the failed levels, 0 when none failed. `convert` rewrites
// the stored separators of every level to "/"; `depth` counts the nested
// packages around this run. A level number or severity that is not an
// integer raises Failure; the settings then keep their macros and symbols.
uint8_t ApplyLevels(const TFASTMEMLIST& levels, TSETTINGSBLOCK* settings,
                    LineList* output, bool convert, int depth = 0);
// The same with the caller's list moved in, which spares a copy of it.
uint8_t ApplyLevels(TFASTMEMLIST&& levels, TSETTINGSBLOCK* settings,
                    LineList* output, bool convert, int depth = 0);

#endif  // QRL_ENGINE_APPLY_H_
