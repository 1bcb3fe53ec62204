#include "pack/author/verify_package.h"

#include <unistd.h>

#include <set>

#include "complex/program_level.h"
#include "engine/apply.h"
#include "engine/level_observer.h"
#include "engine/reverse.h"
#include "engine/run_context.h"
#include "fastmemlist/fastmemlist.h"
#include "pack/author/change_levels.h"
#include "pack/author/level_failures.h"
#include "package/package.h"
#include "services/external_tool.h"
#include "services/failure.h"
#include "services/file_services.h"
#include "services/overlay_file_system.h"
#include "services/posix_file_system.h"

namespace {

// The tree a package is verified on: a directory that the system does not
// have, made in an overlay of the file system. Everything the engine does
// to it stays in memory, which costs far less than thousands of short-lived
// files on a disk, and nothing is left behind.
class ScratchTree {
 public:
  ScratchTree() : overlay_(&SystemFileSystem()) {
    const std::string base = "/.qrlpack-verify-" + std::to_string(::getpid());
    for (int n = 0; n < 1000 && root_.empty(); ++n) {
      const std::string name = base + "-" + std::to_string(n);
      if (!SystemFileSystem().Stat(name, FollowLinks::kNo).exists() &&
          overlay_.MakeDirectory(name)) {
        root_ = name + "/";
      }
    }
    // Whatever lands outside the tree is a fault of the package.
    overlay_.WatchChanges([this](const std::string& path) {
      if (outside_.empty() && !(path + "/").starts_with(root_)) {
        outside_ = path;
      }
    });
  }

  bool ok() const { return !root_.empty(); }
  // The first path changed outside the tree, or "".
  const std::string& outside() const { return outside_; }
  const std::string& root() const { return root_; }
  FileSystem* files() { return &overlay_; }
  std::string Path(const std::string& relative) const {
    return root_ + relative;
  }

 private:
  OverlayFileSystem overlay_;
  std::string root_;
  std::string outside_;
};

bool IsExecutable(const std::string& path) {
  return (PathInfo(path, FollowLinks::kYes).mode & 0111) != 0;
}

bool Fill(const ScratchTree& tree, const TreeState& state,
          VerifyFailure* failure) {
  for (const std::string& directory : state.directories) {
    if (!MakeDirectoryPath(tree.Path(directory))) {
      failure->detail = "cannot make the scratch directory " + directory;
      return false;
    }
  }
  for (const auto& [path, content] : state.files) {
    const std::string file = tree.Path(path);
    const std::string parent = ExtractPathPart(file);
    if (!MakeDirectoryPath(parent) || !StringToFile(file, content) ||
        !CurrentFileSystem().SetMode(
            file, state.executables.contains(path) ? 0755 : 0644)) {
      failure->detail = "cannot write the scratch copy of " + path;
      return false;
    }
  }
  return true;
}

size_t FirstDifferentLine(std::string_view a, std::string_view b) {
  size_t line = 1;
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common && a[i] == b[i]; ++i) {
    if (a[i] == '\n') {
      ++line;
    }
  }
  return line;
}

// Compares the scratch tree with `expected` on every path of `paths` and
// `directories`.
bool Matches(const ScratchTree& tree, const TreeState& expected,
             const std::set<std::string>& paths,
             const std::set<std::string>& directories, VerifyFailure* failure) {
  for (const std::string& path : paths) {
    const std::string file = tree.Path(path);
    const auto wanted = expected.files.find(path);
    failure->path = path;
    if (wanted == expected.files.end()) {
      if (PathExists(file)) {
        failure->detail = "the file is there, but should not be";
        return false;
      }
      continue;
    }
    std::string content;
    if (!FileExists(file) || !FileToString(file, &content)) {
      failure->detail = "the file is missing";
      return false;
    }
    if (content != wanted->second) {
      failure->line = FirstDifferentLine(content, wanted->second);
      failure->detail = "the content differs from line " +
                        std::to_string(failure->line) + " on";
      return false;
    }
    if (IsExecutable(file) != expected.executables.contains(path)) {
      failure->detail = "the execute bit differs";
      return false;
    }
  }
  for (const std::string& directory : directories) {
    failure->path = directory + "/";
    const bool there = DirectoryExists(tree.Path(directory));
    if (there != expected.directories.contains(directory)) {
      failure->detail = there ? "the directory is there, but should not be"
                              : "the directory is missing";
      return false;
    }
  }
  failure->path.clear();
  return true;
}

// Runs one action on the scratch tree. The engine's report lines name the
// scratch tree; they are given relative to it.
bool Run(const TFASTMEMLIST& levels, const TSETTINGSBLOCK& loaded,
         const ScratchTree& tree, bool apply, ToolsInCheck tools,
         VerifyFailure* failure) {
  TSETTINGSBLOCK settings = loaded;
  TFASTMEMLIST macros;
  macros.Add(kRootMacro);
  macros.Add(tree.root());
  settings.macros = macros.SaveToString();
  LineList output;
  uint8_t status = 0;
  LevelFailures failures;
  RunContext context;
  context.observer = &failures;
  // The package's Complex levels run as they would.
  context.complex_levels = RunProgramLevel;
  const ScopedRun in_force(context);
  try {
    if (apply) {
      status = ApplyLevels(levels, &settings, &output, true);
    } else {
      ReverseLevels(levels, &settings, &output, true);
    }
  } catch (const Failure& error) {
    failure->detail = error.what();
    return false;
  }
  if (!tree.outside().empty()) {
    failure->detail = "it changes " + tree.outside() + ", outside the tree";
    return false;
  }
  if (tools == ToolsInCheck::kDone ? !failures.failed()
                                   : status == 0 && output.Empty()) {
    return true;
  }
  std::string line = tools == ToolsInCheck::kDone ? failures.first()
                     : output.Empty()             ? "a level failed"
                                                  : output.Get(0);
  for (size_t at = line.find(tree.root()); at != std::string::npos;
       at = line.find(tree.root())) {
    line.replace(at, tree.root().size(), "");
  }
  failure->detail = "qrlconsole would print \"" + line + "\"";
  return false;
}

}  // namespace

bool VerifyPackage(std::string_view package, const TreeState& before,
                   const TreeState& after, VerifyFailure* failure,
                   ToolsInCheck tools) {
  *failure = VerifyFailure();
  failure->action = "apply";
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  DecodeError error;
  if (!LoadPackageFromData(package, &levels, &settings, &error)) {
    failure->detail = "the package does not load: " + error.Text();
    return false;
  }
  ScratchTree tree;
  if (!tree.ok()) {
    failure->detail = "cannot make a scratch directory in memory";
    return false;
  }
  RunContext context;
  context.files = tree.files();
  // A package made from a change runs no tools; should one try, it fails
  // instead of running. Nothing is ever started.
  context.tools = [tools](const ExternalToolRequest&) {
    ExternalToolResult result;
    if (tools == ToolsInCheck::kDone) {
      result.started = true;
      result.wait_status = 0;
    }
    return result;
  };
  const ScopedRun in_memory(context);
  std::set<std::string> paths;
  std::set<std::string> directories;
  for (const TreeState* state : {&before, &after}) {
    for (const auto& [path, content] : state->files) {
      paths.insert(path);
    }
    directories.insert(state->directories.begin(), state->directories.end());
  }
  if (!Fill(tree, before, failure) ||
      !Run(levels, settings, tree, true, tools, failure) ||
      !Matches(tree, after, paths, directories, failure)) {
    return false;
  }
  failure->action = "reverse";
  return Run(levels, settings, tree, false, tools, failure) &&
         Matches(tree, before, paths, directories, failure);
}
