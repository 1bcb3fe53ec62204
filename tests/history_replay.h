// Helpers of the end-to-end tests that replay this project's own history:
// shell commands, trees of commits taken out of the repository, trees
// compared with their execute bits, and scratch space in memory.
#ifndef QRL_TESTS_HISTORY_REPLAY_H_
#define QRL_TESTS_HISTORY_REPLAY_H_

#include <map>
#include <string>

#include "tests/test_util.h"

// Runs a command line with /bin/sh, in `cwd` when it is not empty.
ProgramResult Shell(const std::string& command, const std::string& cwd = "");

// `text` quoted for the shell.
std::string Quoted(const std::string& text);

// The tree's files with their content, and " x" after the name of each
// file with an execute bit.
std::map<std::string, std::string> TreeWithModes(const std::string& root);

// Makes `into` an empty directory and writes the tree of commit `id` of
// the repository `repo` (a quoted path) into it; nothing for the empty
// tree `empty_tree`. False with the reason when git fails.
bool ExtractCommit(const std::string& repo, const std::string& id,
                   const std::string& empty_tree, const std::string& into,
                   std::string* err);

// While it lives, scratch directories go to memory-backed /dev/shm when
// no temporary directory is set: a replay makes and removes tens of
// thousands of files, which a shared disk makes slow.
class MemoryBackedScratch {
 public:
  MemoryBackedScratch();
  ~MemoryBackedScratch();
  MemoryBackedScratch(const MemoryBackedScratch&) = delete;
  MemoryBackedScratch& operator=(const MemoryBackedScratch&) = delete;

 private:
  bool set_ = false;
};

#endif  // QRL_TESTS_HISTORY_REPLAY_H_
