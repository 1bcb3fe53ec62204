// The check that every path passes before the program hands it to the
// system. The system reads a path only up to its first NUL byte, so a path
// that holds one (from a package, a macro, a backup record or a program)
// would make it act on another, shorter path than the one named.
#ifndef QRL_SERVICES_SYSTEM_PATH_H_
#define QRL_SERVICES_SYSTEM_PATH_H_

#include <string>
#include <string_view>

// True when the system can be handed `path`. Otherwise false, and the
// reason (naming the path) goes to *err, or, without `err`, to the
// diagnostics channel.
bool UsablePath(std::string_view path, std::string* err = nullptr);

// The absolute path that `path` names on the system's own disk, with every
// link resolved and no "." or ".." left; empty when there is none (nothing
// stands there, a loop of links, a NUL byte).
std::string ResolvedSystemPath(const std::string& path);

#endif  // QRL_SERVICES_SYSTEM_PATH_H_
