// Where temporary files go and how a free temporary file name is found;
// and the names of the temporary files that a replacement writes beside
// its target. Reads the environment and looks at the file system; creates
// nothing.
#ifndef QRL_SERVICES_TEMPORARY_NAMES_H_
#define QRL_SERVICES_TEMPORARY_NAMES_H_

#include <string>
#include <string_view>

// The value of TEMP, else TMP, else TMPDIR (the first that is set and not
// empty), else "/tmp/"; always ending in "/".
std::string TemporaryDirectory();

// The first of directory + "TMP00000.tmp", "TMP00001.tmp", ... (at least
// five digits) that names nothing at all, not even a dangling link. "/" is
// added to a directory that lacks it; an empty directory means
// TemporaryDirectory().
std::string TemporaryFileName(std::string_view directory);

// A name for the next content of a file, to stand beside it: ".qrl-tmp-"
// and six letters or digits, of fixed length so that a target name of the
// longest allowed length still leaves room for its temporary sibling. The
// letters come from a generator seeded once per process.
std::string ReplacementTemporaryName();

// Whether `name` (a name within a directory) has exactly the form that
// ReplacementTemporaryName gives.
bool IsReplacementTemporaryName(std::string_view name);

#endif  // QRL_SERVICES_TEMPORARY_NAMES_H_
