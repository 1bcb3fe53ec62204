// EXECUTECHECKS: validates a loaded package without applying it and
// appends one warning line per finding to the output list. Never changes
// the package, never touches the file system, never prints, never stops
// early; a package without findings adds no line at all.
#ifndef QRL_CHECKS_CONSISTENCY_CHECKS_H_
#define QRL_CHECKS_CONSISTENCY_CHECKS_H_

#include <string_view>

#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

// Runs the six checks in this order: the macro list of the settings, the
// contents of Package, External and FileDirectoryCreationRemoval levels,
// the form of the settings' symbols, declared against required symbols,
// required against declared symbols, duplicate requirement codes.
void ExecuteChecks(const TFASTMEMLIST& levels, const TSETTINGSBLOCK& settings,
                   LineList* output);

// Empty and duplicate macro names. Every later name equal byte for byte
// gives one line, so a name written three times gives three.
void CheckMacroList(std::string_view macro_data, LineList* output);

// The code of Package, External and FileDirectoryCreationRemoval levels.
void CheckLevelContents(const TFASTMEMLIST& levels, LineList* output);

#endif  // QRL_CHECKS_CONSISTENCY_CHECKS_H_
