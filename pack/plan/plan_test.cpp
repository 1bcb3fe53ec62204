// The plan's contract: for packages whose levels it can simulate, what
// qrlconsole prints, its exit code and the files it changes are what the
// plan predicted, and the plan itself leaves the tree exactly as it was.
// Random trees and packages are planned in this process and then run with
// the real qrlconsole on the same tree; then the same for reverse.
#include "pack/plan/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "services/line_split.h"
#include "services/string_utils.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

std::vector<std::string> OutputLines(const std::string& out) {
  const std::vector<std::string_view> lines =
      SplitLines(out, LineEnds::kLfOnly);
  return std::vector<std::string>(lines.begin(), lines.end());
}

// The tree below `root` (TreeContents' form) after the plan's changes.
// Paths in the plan count from the working directory, the scratch
// directory, in which the tree is "tree".
FileTree Predicted(FileTree tree, const Plan& plan) {
  for (const PlannedFile& file : plan.files) {
    if (!file.path.starts_with("tree/")) {
      ADD_FAILURE() << "a change outside the tree: " << file.path;
      continue;
    }
    const std::string relative = file.path.substr(5);
    if (file.directory) {
      if (file.change == PlannedChange::kCreate) {
        tree[relative + "/"] = "";
      } else {
        tree.erase(relative + "/");
      }
    } else if (file.has_after) {
      tree[relative] = file.after;
    } else {
      tree.erase(relative);
    }
  }
  return tree;
}

class RandomPackages {
 public:
  explicit RandomPackages(unsigned seed) : random_(seed) {}

  FileTree Tree() {
    FileTree tree;
    for (const std::string name : {"a.txt", "b.txt", "sub/c.txt"}) {
      std::string content;
      const int lines = Pick(1, 9);
      for (int i = 0; i < lines; ++i) {
        content += Word() + (Pick(0, 9) == 0 ? "\r\n" : "\n");
      }
      if (Pick(0, 5) == 0) {
        content.pop_back();  // no final line end
      }
      tree[name] = content;
    }
    tree_ = tree;
    return tree;
  }

  // A package of levels whose kinds a plan simulates. `inner` is the name
  // of the nested package a Package level runs.
  std::string Package(const std::string& inner) {
    std::vector<LevelSpec> levels;
    const int count = Pick(1, 7);
    for (int n = 1; n <= count; ++n) {
      LevelSpec level;
      switch (Pick(0, 9)) {
        case 0:
          level = CreationRemovalLevel(
              {Pick(0, 1) ? "+/{ROOT}made/" : "-/{ROOT}sub/",
               Pick(0, 1) ? "+/{ROOT}empty.txt" : "-/{ROOT}b.txt"});
          break;
        case 1:
          level.kind = "3";  // FileExport
          level.entries.push_back({"/", "{ROOT}" + File(), "0", Lines(), ""});
          level.code = {"0"};
          break;
        case 2:
          level.kind = "1";  // Requirement
          level.entries.push_back({"/", "{ROOT}" + File(), "0", Lines(), ""});
          level.requirements = Pick(0, 1) ? "ACTION_APPLY" : "";
          level.code = {"0"};
          break;
        case 3:
          level.kind = "6";  // Package, from a file or carried inline
          level.code = Pick(0, 1) ? std::vector<std::string>{"0", inner}
                                  : std::vector<std::string>{
                                        "1", PackageData({Normal(), Normal()})};
          break;
        case 4:
          level.kind = "2";  // Complex
          level.code = {"0", Program()};
          break;
        default:
          level = Normal();
          break;
      }
      level.number = std::to_string(n);
      level.presentation = "level " + std::to_string(n);
      level.severity = std::to_string(Pick(0, 3));
      levels.push_back(level);
    }
    return PackageData(levels);
  }

  // Mostly a block of the file as the tree holds it, so that levels find
  // their code; sometimes lines that may be anywhere or nowhere, no lines
  // at all, or no new code.
  LevelSpec Normal() {
    LevelSpec level;
    level.presentation = "change";
    const std::string file = File();
    level.entries.push_back({"/", "{ROOT}" + file, "0", Lines(), ""});
    const std::vector<std::string> lines = OutputLines(tree_[file]);
    if (!lines.empty() && Pick(0, 2) > 0) {
      const int first = Pick(0, static_cast<int>(lines.size()) - 1);
      const int last =
          std::min(static_cast<int>(lines.size()) - 1, first + Pick(0, 2));
      std::vector<std::string>& block = level.entries[0].lines;
      block.clear();
      for (int i = first; i <= last; ++i) {
        std::string line = lines[static_cast<size_t>(i)];
        if (line.ends_with('\r')) {
          line.pop_back();
        }
        block.push_back(line);
      }
    }
    if (Pick(0, 9) == 0) {
      level.entries[0].lines.clear();  // obsolete code that is never found
    }
    level.code = {"0"};
    if (Pick(0, 4) > 0) {  // else no new code: the block is taken out
      for (const std::string& line : Lines()) {
        level.code.push_back(line);
      }
    }
    return level;
  }

 private:
  int Pick(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
  }
  std::string Word() {
    static const char* const kWords[] = {"alpha", "beta", "Beta",  " gamma",
                                         "delta", "",     "eps  ", "zeta"};
    return kWords[Pick(0, 7)];
  }
  std::string File() {
    static const char* const kFiles[] = {"a.txt", "b.txt", "sub/c.txt",
                                         "new.txt"};
    return kFiles[Pick(0, 3)];
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    const int count = Pick(1, 3);
    for (int i = 0; i < count; ++i) {
      lines.push_back(Word());
    }
    return lines;
  }
  std::string Program() {
    switch (Pick(0, 4)) {
      case 0:
        return "COPYFILES {ROOT}a.txt\n{ROOT}copy/";
      case 1:
        return "IFFILEEXISTS {ROOT}b.txt\nMESSAGE b is there\n"
               "IFNOTFILEEXISTS {ROOT}b.txt\nMESSAGE b is gone";
      case 2:
        return "DELETEFILESANDDIRECTORIES {ROOT}sub/";
      case 3:
        return "CREATEDIRECTORY {ROOT}made/deeper";
      default:
        return "FILETOBUFFER {ROOT}a.txt\nMESSAGE";
    }
  }

  std::mt19937 random_;
  FileTree tree_;
};

void CheckAction(const std::string& action, const std::string& package,
                 const std::string& root, const std::string& tree,
                 unsigned seed) {
  SCOPED_TRACE(action + ", seed " + std::to_string(seed));
  const FileTree before = TreeContents(tree);
  const auto untouched = TreeSnapshot(tree);
  Plan plan;
  std::string why;
  const int code = MakePlan({package, action, root}, &plan, &why);
  ASSERT_LE(code, 1) << why;
  ASSERT_FALSE(plan.uncertain);
  EXPECT_EQ(TreeSnapshot(tree), untouched) << "the plan changed the tree";

  const ProgramResult real = RunConsole({package, action, root});
  std::vector<std::string> printed = OutputLines(real.out);
  ASSERT_FALSE(printed.empty());
  printed.erase(printed.begin());  // the banner
  EXPECT_EQ(plan.would_print, printed);
  EXPECT_EQ(plan.would_say, OutputLines(real.err));
  EXPECT_EQ(plan.exit_code, real.exit_code);
  EXPECT_EQ(TreeContents(tree), Predicted(before, plan));
}

TEST(Plan, PredictsWhatTheConsolePrintsAndChanges) {
  for (unsigned seed = 0; seed < 120; ++seed) {
    ScratchDir scratch(ScratchDir::Enter::kYes);
    RandomPackages random(seed);
    const std::string tree = scratch.Path("tree");
    MakeTree(tree, random.Tree());
    const std::string inner = scratch.Path("inner.qrl");
    WriteFile(inner, PackageData({random.Normal()}));
    const std::string package = scratch.Path("p.qrl");
    WriteFile(package, random.Package(inner));
    const std::string root = "MACRO{ROOT}=" + tree + "/";
    CheckAction("apply", package, root, tree, seed);
    CheckAction("reverse", package, root, tree, seed);
    if (testing::Test::HasFailure()) {
      break;  // one seed's story is enough to read
    }
  }
}

}  // namespace
