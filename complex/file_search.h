// How the file commands of the complex language find their files: wildcard
// patterns, the "//" any-directory marker and the choice of one file by a
// criterion. Reads directories and file attributes; never changes a file.
#ifndef QRL_COMPLEX_FILE_SEARCH_H_
#define QRL_COMPLEX_FILE_SEARCH_H_

#include <string>
#include <string_view>
#include <vector>

#include "services/file_system.h"

// Whether the name matches the pattern: "*" stands for any run of bytes,
// "?" for any one byte, every other byte for itself. A leading "." needs
// no special match.
bool MatchesWildcards(std::string_view pattern, std::string_view name);

struct PatternEntry {
  std::string name;
  // Where a link leads; the link itself when it leads nowhere.
  FileInfo info;

  bool is_directory() const { return info.type == FileType::kDirectory; }
};

// The entries of the pattern's directory (up to its last "/"; the working
// directory when it has none) whose names match its last component, in the
// order the system lists them; "." and ".." never. False when the
// directory cannot be listed.
bool ListPattern(const std::string& pattern,
                 std::vector<PatternEntry>* entries);

// Replaces every "//" of the path by "/", the name of the first directory
// listed at that place, "/". False, leaving the rest of the path as it is,
// at the first place that cannot be listed or holds no directory.
bool ResolveAnyDirectory(std::string* path);

// Whether the text is one of the criterion bytes of FindFileByMask.
bool IsFileCriterion(std::string_view text);

// The file (not directory) of the directory that matches the mask and is
// chosen by the criterion: "N" greatest name, "n" smallest, "S" largest
// size, "s" smallest, "T" latest modification time, "t" earliest; on a tie
// the first listed. Its path is the directory with a "/" and the mask's
// directory part, then its name; empty when the directory does not exist
// or nothing matches.
std::string FindFileByMask(const std::string& directory, std::string_view mask,
                           char criterion);

#endif  // QRL_COMPLEX_FILE_SEARCH_H_
