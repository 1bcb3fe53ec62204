// The unified diff of a planned change, in the form "patch -p0" applies
// from the working directory: git's headers (which tell patch that an empty
// file is made or removed), names quoted as git quotes them when they hold
// anything but plain printable bytes. Writes text only.
#ifndef QRL_PACK_PLAN_PLAN_DIFF_H_
#define QRL_PACK_PLAN_PLAN_DIFF_H_

#include <string>
#include <string_view>

#include "pack/plan/plan.h"

// The name as a diff header writes it: as it is, or in double quotes with
// C escapes ("a\nb", "t\303\244st") when it holds a control byte, a byte
// above 127, a space, a double quote or a backslash.
std::string DiffName(std::string_view name);

// Why "patch -p0" cannot take the name (an absolute path, a ".."
// component, nothing at all), or "" when it can.
std::string NamePatchRefuses(std::string_view name);

// Whether the file's change shows in a diff: a file whose content, or
// whether it exists, changes.
bool ShowsInDiff(const PlannedFile& file);

// Why no diff of the plan can be written for patch, naming the first file
// that patch cannot take, or "" when one can.
std::string PlanDiffRefusal(const Plan& plan);

// The diff of one file (not a directory), with three lines of context;
// "Binary files ... differ" for content with a NUL byte.
std::string FileDiff(const PlannedFile& file);

#endif  // QRL_PACK_PLAN_PLAN_DIFF_H_
