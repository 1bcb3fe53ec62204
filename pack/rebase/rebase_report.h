// The report of qrlpack rebase: one line per level (its verdict, the file
// and line in NEW, how its block was found, and for a conflict why and the
// three sides), then a summary and what to do next; or the same as one
// JSON document (its names are documented in docs/rebase-format.md).
#ifndef QRL_PACK_REBASE_REBASE_REPORT_H_
#define QRL_PACK_REBASE_REBASE_REPORT_H_

#include <ostream>

#include "pack/rebase/rebase.h"

void WriteRebaseText(const RebaseOptions& options, const RebaseOutcome& outcome,
                     int exit_code, std::ostream& out);
void WriteRebaseJson(const RebaseOptions& options, const RebaseOutcome& outcome,
                     int exit_code, std::ostream& out);

#endif  // QRL_PACK_REBASE_REBASE_REPORT_H_
