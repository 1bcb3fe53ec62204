// The file and directory commands: test, create, copy, move and delete
// files and directories, list trees into the buffer, pick a file by mask,
// change the working directory. Relative paths count from the working
// directory; the "+" rows take stored paths. None of them writes a report
// line.
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "complex/command_table.h"
#include "complex/file_copy.h"
#include "complex/file_search.h"
#include "engine/separators.h"
#include "services/failure.h"
#include "services/file_services.h"
#include "services/posix_error.h"
#include "services/system_path.h"
#include "services/working_directory.h"

namespace {

// How a row reads its path operands: as written, or as stored paths whose
// first byte names their separator.
enum class Paths { kAsWritten, kStored };

template <Paths paths>
std::string PathOperand(std::string_view text) {
  return paths == Paths::kStored ? StoredPathToPath(text) : std::string(text);
}

Step AssureExecute(ComplexRun&, std::string_view file) {
  AssureExecutePermissions(std::string(file));
  return Step::Next();
}

Step ExtractDirectory(ComplexRun& run, std::string_view path) {
  run.buffer = ExtractPathPart(path);
  return Step::Next();
}

// With the empty executable extension of this system an existing file
// stays as it is.
template <Paths paths>
Step AppendExecutableExtension(ComplexRun& run, std::string_view argument) {
  if (argument.empty()) {
    return Step::Next();
  }
  const std::string file = PathOperand<paths>(argument);
  const std::string extension = DefaultExecutableExtension();
  if (!FileExists(file) ||
      (!extension.empty() && !RenamePath(file, file + extension))) {
    return Fail(run);
  }
  return Step::Next();
}

// The change lasts for the rest of the run and beyond. A directory that
// exists but cannot be entered ends the action: what follows would work in
// the wrong place. A stored path that converts to nothing is an empty
// argument, as for the other "+" rows.
template <Paths paths>
Step ChangeWorkingDirectory(ComplexRun& run, std::string_view argument) {
  const std::string directory = PathOperand<paths>(argument);
  if (directory.empty()) {
    return Step::Next();
  }
  if (!DirectoryExists(directory)) {
    return Fail(run);
  }
  if (int error = 0; !EnterDirectory(directory, &error)) {
    throw Failure(PosixError("cannot enter directory " + directory, error));
  }
  return Step::Next();
}

// Creates every missing directory on the path; "\" counts as "/". True
// at once for an empty path.
bool CreateDirectories(std::string directory) {
  if (LastCharacter(directory) == '/') {
    directory.pop_back();
  }
  std::replace(directory.begin(), directory.end(), '\\', '/');
  return directory.empty() || MakeDirectoryPath(directory);
}

// An existing directory is a failure.
template <Paths paths>
Step CreateDirectory(ComplexRun& run, std::string_view argument) {
  if (argument.empty()) {
    return Step::Next();
  }
  const std::string directory = PathOperand<paths>(argument);
  if (DirectoryExists(directory) || !CreateDirectories(directory)) {
    return Fail(run);
  }
  return Step::Next();
}

// The source pattern is the argument, the target the next line. The
// outcome sets or clears the success bit; an empty source does nothing.
template <Paths paths, Transfer transfer>
Step CopyFiles(ComplexRun& run, std::string_view source) {
  if (!source.empty()) {
    const std::optional<std::string_view> target = OperandLine(run, 1);
    ReportSuccess(run, target.has_value() &&
                           CopyByMask(PathOperand<paths>(source),
                                      PathOperand<paths>(*target), transfer));
  }
  return PastOperands(1);
}

// A path that ends in "/" names a directory tree, any other a file; a
// link is deleted as a link. Nothing there is nothing to do.
bool DeletePath(const std::string& path) {
  if (!UsablePath(path)) {
    return false;
  }
  if (path.back() == '/') {
    return !DirectoryExists(path) || DeleteDirectoryTree(path);
  }
  const FileType type = PathInfo(path, FollowLinks::kNo).type;
  return type == FileType::kNone || type == FileType::kDirectory ||
         DeleteFile(path);
}

// One path per line, trimmed, the last line first: a breadth-first tree
// listing loses its deepest entries before their parents. A failure does
// not stop the lines after it.
template <Paths paths>
Step DeleteFilesAndDirectories(ComplexRun& run, std::string_view argument) {
  const LineList lines = TextLines(argument);
  bool deleted = true;
  for (size_t i = lines.Count(); i-- > 0;) {
    const std::string path = PathOperand<paths>(Trim(lines.Get(i)));
    if (!path.empty() && !DeletePath(path)) {
      deleted = false;
    }
  }
  return deleted ? Step::Next() : Fail(run);
}

// The buffer receives the breadth-first listing of the directory (the
// working directory for a blank argument), or nothing when it fails.
template <IncludeFiles include_files>
Step GetSubdirectories(ComplexRun& run, std::string_view argument) {
  const std::string root = TrimmedView(argument).empty()
                               ? WorkingDirectoryPath()
                               : std::string(argument);
  LineList listing;
  run.buffer =
      ListDirectoryTree(root, include_files, &listing) ? listing.Text() : "";
  return Step::Next();
}

// The criterion is the argument, the directory and the mask the next two
// lines, which never run. Without them or with another criterion the
// buffer stays; otherwise it receives the file found, which alone sets the
// success bit.
template <Paths paths>
Step StoreFileByMask(ComplexRun& run, std::string_view criterion) {
  Fail(run);
  const std::optional<std::string_view> directory = OperandLine(run, 1);
  const std::optional<std::string_view> mask = OperandLine(run, 2);
  if (directory.has_value() && mask.has_value() && IsFileCriterion(criterion)) {
    run.buffer =
        FindFileByMask(PathOperand<paths>(*directory), *mask, criterion[0]);
    ReportSuccess(run, !run.buffer.empty());
  }
  return PastOperands(2);
}

// Links are followed.
std::optional<bool> FileThere(ComplexRun&, std::string_view path) {
  return FileExists(std::string(path));
}

std::optional<bool> DirectoryThere(ComplexRun&, std::string_view path) {
  return DirectoryExists(std::string(path));
}

constexpr Paths kAsWritten = Paths::kAsWritten;
constexpr Paths kStored = Paths::kStored;

constexpr ComplexCommand kRows[] = {
    {"TRYTOASSUREEXECUTEPERMISSIONS", AssureExecute, kBufferDefault},
    {"EXTRACTDIRECTORY", ExtractDirectory, kBufferDefault},
    {"APPENDEXECUTABLEEXTENSIONTOFILE", AppendExecutableExtension<kAsWritten>,
     kNoDefault},
    {"APPENDEXECUTABLEEXTENSIONTOFILE+", AppendExecutableExtension<kStored>,
     kNoDefault},
    {"CHANGEWORKINGDIRECTORY", ChangeWorkingDirectory<kAsWritten>,
     kBufferDefault},
    {"CHANGEWORKINGDIRECTORY+", ChangeWorkingDirectory<kStored>,
     kBufferDefault},
    {"CREATEDIRECTORY", CreateDirectory<kAsWritten>, kBufferDefault},
    {"CREATEDIRECTORY+", CreateDirectory<kStored>, kBufferDefault},
    {"COPYFILES", CopyFiles<kAsWritten, Transfer::kCopy>, kBufferDefault},
    {"COPYFILES+", CopyFiles<kStored, Transfer::kCopy>, kBufferDefault},
    {"MOVEFILES", CopyFiles<kAsWritten, Transfer::kMove>, kBufferDefault},
    {"MOVEFILES+", CopyFiles<kStored, Transfer::kMove>, kBufferDefault},
    {"DELETEFILESANDDIRECTORIES", DeleteFilesAndDirectories<kAsWritten>,
     kBufferDefault},
    {"DELETEFILESANDDIRECTORIES+", DeleteFilesAndDirectories<kStored>,
     kBufferDefault},
    {"GETSUBDIRECTORIES", GetSubdirectories<IncludeFiles::kNo>, kBufferDefault},
    {"GETSUBDIRECTORIESANDFILES", GetSubdirectories<IncludeFiles::kYes>,
     kBufferDefault},
    {"BUFFERSTOREFILEBYMASK", StoreFileByMask<kAsWritten>, kNoDefault},
    {"BUFFERSTOREFILEBYMASK+", StoreFileByMask<kStored>, kNoDefault},

    {"IFFILEEXISTS", If<FileThere>, kBufferDefault},
    {"IFNOTFILEEXISTS", IfNot<FileThere>, kBufferDefault},
    {"IFDIRECTORYEXISTS", If<DirectoryThere>, kBufferDefault},
    {"IFNOTDIRECTORYEXISTS", IfNot<DirectoryThere>, kBufferDefault},
};

}  // namespace

std::span<const ComplexCommand> FileCommands() { return kRows; }
