// REVERSE: undoes the levels of a package, from the highest level number to
// the lowest. Every failure is reported at once and the run goes on.
#ifndef QRL_ENGINE_REVERSE_H_
#define QRL_ENGINE_REVERSE_H_

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

// The counterpart of ApplyLevels, with the same arguments; it has no
// status. A level number that is not an integer raises Failure.
void ReverseLevels(const TFASTMEMLIST& levels, TSETTINGSBLOCK* settings,
                   LineList* output, bool convert, int depth = 0);
// The same with the caller's list moved in, which spares a copy of it.
void ReverseLevels(TFASTMEMLIST&& levels, TSETTINGSBLOCK* settings,
                   LineList* output, bool convert, int depth = 0);

#endif  // QRL_ENGINE_REVERSE_H_
