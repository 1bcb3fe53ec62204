#include "tests/history_replay.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

ProgramResult Shell(const std::string& command, const std::string& cwd) {
  return RunProgram({"/bin/sh", "-c", command}, cwd);
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

std::map<std::string, std::string> TreeWithModes(const std::string& root) {
  std::map<std::string, std::string> tree = TreeContents(root);
  std::map<std::string, std::string> with_modes;
  for (const auto& [path, content] : tree) {
    const bool executable =
        !path.ends_with('/') && (FileMode(root + "/" + path) & 0111) != 0;
    with_modes[path + (executable ? " x" : "")] = content;
  }
  return with_modes;
}

bool ExtractCommit(const std::string& repo, const std::string& id,
                   const std::string& empty_tree, const std::string& into,
                   std::string* err) {
  std::error_code error;
  std::filesystem::remove_all(into, error);
  if (!std::filesystem::create_directories(into, error)) {
    *err = "cannot make " + into;
    return false;
  }
  if (id == empty_tree) {
    return true;
  }
  const ProgramResult run = Shell("git -C " + repo + " archive " + id +
                                  " | tar -x -C " + Quoted(into));
  *err = run.err;
  return run.exit_code == 0;
}

MemoryBackedScratch::MemoryBackedScratch() {
  if (std::getenv("TMPDIR") == nullptr &&
      ::access("/dev/shm", W_OK | X_OK) == 0) {
    ::setenv("TMPDIR", "/dev/shm", 1);
    set_ = true;
  }
}

MemoryBackedScratch::~MemoryBackedScratch() {
  if (set_) {
    ::unsetenv("TMPDIR");
  }
}
