// Checks a package against the change it was made for: applied to the
// files before, it must leave exactly the files after; reversed then, it
// must give the files before back, byte for byte. The package runs on the
// engine itself, with MACRO{ROOT} naming the tree, so what is checked is
// what qrlconsole does.
#ifndef QRL_PACK_AUTHOR_VERIFY_PACKAGE_H_
#define QRL_PACK_AUTHOR_VERIFY_PACKAGE_H_

#include <string>
#include <string_view>

#include "pack/author/tree_change.h"

// Where a package went wrong.
struct VerifyFailure {
  std::string action;  // "apply" or "reverse"
  std::string path;    // the file or directory that is wrong; empty for none
  std::string detail;  // what is wrong, or what the engine reported
  size_t line = 0;     // the first line that differs, from 1; 0 for none
};

// How strict the check is about what is not a change of files. A package
// made from a change runs no tool or command and prints nothing: a tool
// fails, and a report line fails the check. A package carried to a new
// release may keep levels of every kind: a tool counts as done without
// output, as a dry run assumes, and only levels that fail count.
enum class ToolsInCheck { kFail, kDone };

// True when `package` turns `before` into `after` and back. Every path named
// in either state is compared: content, execute bit, and whether it is
// there at all.
bool VerifyPackage(std::string_view package, const TreeState& before,
                   const TreeState& after, VerifyFailure* failure,
                   ToolsInCheck tools = ToolsInCheck::kFail);

#endif  // QRL_PACK_AUTHOR_VERIFY_PACKAGE_H_
