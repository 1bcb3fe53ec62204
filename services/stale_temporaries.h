// The temporary files that an interrupted run left beside the files it was
// replacing. A replacement writes the new content into a temporary file
// (its naming is in services/temporary_names.h) and holds an exclusive
// flock on it while it does, so a run that is killed meanwhile leaves the
// file behind and its lock goes with the process. Such leftovers are
// removed by the next run that creates a temporary file in the same
// directory: plain files of exactly that naming that no process holds and
// that nobody has written for a minute. Nothing else is ever touched, and
// no link is followed.
#ifndef QRL_SERVICES_STALE_TEMPORARIES_H_
#define QRL_SERVICES_STALE_TEMPORARIES_H_

#include <string>

// How long a temporary file must have gone unwritten to count as left
// behind.
constexpr int kStaleTemporarySeconds = 60;

// Removes the leftovers in `directory` ("" for the working directory; a
// directory that cannot be opened is passed over).
void RemoveStaleTemporaries(const std::string& directory);

// The same, once per directory and process: later calls for a directory
// swept already (by any name that leads to it) do nothing, and so do later
// calls with a name given before, which are not even looked up.
void RemoveStaleTemporariesOnce(const std::string& directory);

#endif  // QRL_SERVICES_STALE_TEMPORARIES_H_
