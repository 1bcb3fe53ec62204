// The rules that every FileSystem applies alike, so that the system's own
// and the overlay cannot drift apart: which paths are refused, how a
// replacement finds the file it replaces, what mode new files and
// directories get, and when an opened file still counts as what was read.
#ifndef QRL_SERVICES_FILE_SYSTEM_RULES_H_
#define QRL_SERVICES_FILE_SYSTEM_RULES_H_

#include <sys/types.h>

#include <string>
#include <string_view>

#include "services/file_system.h"
#include "services/path_parts.h"

// The system reads a path only up to its first NUL byte, so a path holding
// one would name another, shorter path: every call refuses it (EINVAL). The
// silent form of UsablePath (services/system_path.h), for calls that report
// an errno value.
inline bool HoldsNul(std::string_view path) {
  return path.find('\0') != std::string_view::npos;
}

// The process's umask, read once: the program never changes it.
mode_t ProcessUmask();

// Finds the file that a replacement of `name` replaces: follows the chain
// of symbolic links, as `file_system` shows them, to the name that the data
// finally lives at. *info describes what stands there (never a link; kNone
// when nothing does). False, with the reason, for an empty name or one
// with a NUL byte, when a name cannot be examined or the chain does not
// end, and when a directory, device, pipe or socket stands there: replacing
// one would destroy it, and writing into a pipe could wait forever.
bool ResolveReplacementTarget(FileSystem& file_system, const std::string& name,
                              std::string* resolved, FileInfo* info,
                              std::string* err);

// Whether an opened file is still what was read (`read`): `at_name` is what
// its name leads to now (links followed), `now` what the opened file is
// now. False, with *err, when the name leads elsewhere or the file's size
// or modification time moved.
bool StillWhatWasRead(const FileInfo& read, const FileInfo& now,
                      const FileInfo& at_name, std::string* err);

#endif  // QRL_SERVICES_FILE_SYSTEM_RULES_H_
