// Copying and moving files for the complex language's COPYFILES and
// MOVEFILES. A target is always replaced atomically, so a failed copy
// leaves the file that was there before; a file is never copied onto
// itself.
#ifndef QRL_COMPLEX_FILE_COPY_H_
#define QRL_COMPLEX_FILE_COPY_H_

#include <string>

enum class Transfer { kCopy, kMove };

// Makes the target hold the source's bytes and permission bits, creating
// the target's missing directories; with Transfer::kMove the source goes
// afterwards. The source must be a regular file (links followed). A target
// that is the source itself (the same file, however the paths are spelt)
// is left alone, and the source stays even when moving: true.
bool CopyOneFile(const std::string& source, const std::string& target,
                 Transfer transfer);

// Copies or moves the files (never directories) that the source pattern
// matches, after resolving the "//" markers of both paths. A target that
// ends in "/" is a directory that receives every file under its own name,
// stopping at the first failure; any other target receives the first file
// listed. False when the source is empty or ends in "/", the target is
// empty, or nothing matches; true when only directories match.
bool CopyByMask(std::string source, std::string target, Transfer transfer);

#endif  // QRL_COMPLEX_FILE_COPY_H_
