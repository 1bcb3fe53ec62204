// File and directory services: the program's own thin layer over the
// current file system (services/file_system.h), the system's own unless a
// dry run put an overlay in its place. Every service reports its outcome
// through its result and never prints; callers word their own report
// lines. Paths are byte strings; the separator appended here is "/", and
// splitting a path treats both "/" and "\" as separators.
#ifndef QRL_SERVICES_FILE_SERVICES_H_
#define QRL_SERVICES_FILE_SERVICES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "services/file_system.h"
#include "services/file_system_rules.h"
#include "services/line_list.h"

enum class IncludeFiles { kNo, kYes };

// Every service here that takes a path refuses one that holds a NUL byte
// (UsablePath, services/system_path.h): it fails and touches nothing.

// The deepest tree that the listing and the deletion take: the root and
// 1023 levels of directories below it. A deeper tree fails the listing,
// and the deletion then deletes nothing.
inline constexpr size_t kMaxTreeDepth = 1024;

// Appends the entries of `directory` (empty, or ending in "/"; empty is
// the working directory) in the system's order, without "." and "..".
DirectoryRead ReadDirectory(const std::string& directory,
                            std::vector<DirectoryEntry>* entries);

// Reads the whole of a plain file, without waiting on it: a missing or
// unreadable file, a directory, a pipe or a device gives false and an empty
// `out`, and *err (when given) says why; an empty file gives true and an
// empty `out`.
bool ReadFile(const std::string& file_name, std::string* out, std::string* err);
bool FileToString(const std::string& file_name, std::string* out);
// Reads a file the user names up to its end: a plain file, or, on the
// system's own file system, a pipe as it comes (see FileSystem::ReadToEnd).
// False with *err saying why ("cannot open: ..." or "cannot read: ...").
bool ReadWholeFile(const std::string& file_name, std::string* out,
                   std::string* err);

// Replaces the file's content atomically: the bytes go to a temporary file
// beside the target, which is then renamed over it. An existing target
// keeps its permission bits (and, where allowed, its owner); a target that
// is a symbolic link is followed, so the file it points to is replaced and
// the link stays. On any failure the old file is untouched, no temporary
// file is left, and *err (when given) says why.
bool StringToFile(const std::string& file_name, std::string_view content,
                  std::string* err = nullptr);

// Creates the missing directories of the name's path part, then makes an
// empty file stand at the name (an existing file is emptied).
bool CreateEmptyFile(const std::string& file_name);

// Breadth-first listing: the root with "/" appended, then its entries level
// by level; directories end in "/", files (only with IncludeFiles::kYes) do
// not. Symbolic links are never followed: a link is listed as a file. False
// when the root is not a directory (list empty), when a directory could
// not be listed (the walk goes on), or when the tree is deeper than
// kMaxTreeDepth (the walk stops there).
bool ListDirectoryTree(const std::string& root, IncludeFiles include_files,
                       LineList* list);

// What stands at the path; kNone also for a path that holds a NUL byte.
FileInfo PathInfo(const std::string& path, FollowLinks follow);

// Renames, as the system does: an existing target that is not a directory
// is replaced.
bool RenamePath(const std::string& from, const std::string& to);

// Makes `directory` the working directory; false, with the errno value in
// *error, when it cannot.
bool EnterDirectory(const std::string& directory, int* error);

// Removes a name that is not a directory; a link loses only itself. False,
// with the errno value in *error (when given), when it cannot.
bool DeleteFile(const std::string& path, int* error = nullptr);

// Deletes every entry of the directory that is not a directory (links
// included), without entering subdirectories. An unlistable directory
// counts as done. Stops with false at the first entry it cannot delete.
bool DeleteFilesInDirectory(const std::string& directory);

// Deletes the tree, deepest directories first and the root last. Never
// follows a link: a link inside the tree is removed as a link, and a root
// that is itself a link loses only the link. False when the root is "/"
// itself or the listing fails (nothing is deleted in either case) or a file
// cannot be deleted. A directory that cannot be removed once emptied raises
// Failure.
bool DeleteDirectoryTree(const std::string& root);

// The deepest existing directory on the way up from `path`, ending in "/";
// empty when there is none.
std::string NearestExistingDirectory(std::string_view path);

// The part up to and including the last "/" or "\"; empty when none.
std::string ExtractPathPart(std::string_view path);

// The last byte, or 0 for an empty string.
char LastCharacter(std::string_view text);

// Gives the target the source's mode bits; false when either is missing.
bool CopyPermissions(const std::string& source, const std::string& target);

// Adds the bits 0755 to the file's mode (sets 0755 when it cannot be read).
bool AssureExecutePermissions(const std::string& file_name);

std::string DefaultExecutableExtension();
std::string DefaultScriptExtension();
std::string DefaultLibraryExtension();

// Existence tests; they follow links, as the system's stat does.
bool PathExists(const std::string& path);
bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);  // exists and is not a directory
// A plain file: neither a directory nor a pipe, socket or device, whose
// reading could wait or never end.
bool RegularFileExists(const std::string& path);

// Creates the directory and every missing parent; true when it exists
// afterwards.
bool MakeDirectoryPath(const std::string& path);

#endif  // QRL_SERVICES_FILE_SERVICES_H_
