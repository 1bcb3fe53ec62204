// Where temporary files go and how a free temporary file name is found.
// Reads the environment and looks at the file system; creates nothing.
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

#endif  // QRL_SERVICES_TEMPORARY_NAMES_H_
