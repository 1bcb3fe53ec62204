#include "complex/file_copy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "complex/file_search.h"
#include "services/file_services.h"
#include "services/path_parts.h"
#include "services/system_path.h"

bool CopyOneFile(const std::string& source, const std::string& target,
                 Transfer transfer) {
  if (!UsablePath(source) || !UsablePath(target)) {
    return false;
  }
  // Reading a device or a pipe to its end could take forever.
  struct stat from;
  if (::stat(source.c_str(), &from) != 0 || !S_ISREG(from.st_mode)) {
    return false;
  }
  struct stat to;
  if (::stat(target.c_str(), &to) == 0 && to.st_dev == from.st_dev &&
      to.st_ino == from.st_ino) {
    return true;
  }
  const std::string directory = SystemDirectoryPart(target);
  std::string content;
  if ((!directory.empty() && !MakeDirectoryPath(directory)) ||
      !FileToString(source, &content) || !StringToFile(target, content)) {
    return false;
  }
  // The bits are a courtesy: the bytes are what the copy promises.
  CopyPermissions(source, target);
  return transfer == Transfer::kCopy || ::unlink(source.c_str()) == 0;
}

bool CopyByMask(std::string source, std::string target, Transfer transfer) {
  // A marker that cannot be resolved stays and reads as one "/".
  ResolveAnyDirectory(&source);
  ResolveAnyDirectory(&target);
  if (source.empty() || target.empty() || source.back() == '/') {
    return false;
  }
  std::vector<PatternEntry> entries;
  if (!ListPattern(source, &entries) || entries.empty()) {
    return false;
  }
  const std::string directory = SystemDirectoryPart(source);
  for (const PatternEntry& entry : entries) {
    if (entry.is_directory()) {
      continue;
    }
    if (target.back() != '/') {
      return CopyOneFile(directory + entry.name, target, transfer);
    }
    if (!CopyOneFile(directory + entry.name, target + entry.name, transfer)) {
      return false;
    }
  }
  return true;
}
