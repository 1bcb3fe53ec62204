#include "complex/file_copy.h"

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
  const FileInfo from = PathInfo(source, FollowLinks::kYes);
  if (from.type != FileType::kRegular) {
    return false;
  }
  const FileInfo to = PathInfo(target, FollowLinks::kYes);
  if (to.exists() && to.device == from.device && to.inode == from.inode) {
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
  return transfer == Transfer::kCopy || DeleteFile(source);
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
