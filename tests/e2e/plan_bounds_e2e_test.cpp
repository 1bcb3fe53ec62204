// End-to-end tests of what qrlpack plan shows about where a package writes
// and of the diff it writes: a change that lands outside the tree of the
// root macro (an absolute path, "..", a link, a path a program builds while
// it runs) is a warning and exit code 1, and the file list marks it; the
// diff names every file so that patch -p0 takes it, and patch then gives
// what qrlconsole gives, whatever bytes the names hold.
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The files of a tree, without its directories: patch makes and removes
// directories only as files need them.
FileTree FilesOf(const std::string& root) {
  FileTree files;
  for (const auto& [path, content] : TreeContents(root)) {
    if (!path.ends_with('/')) {
      files[path] = content;
    }
  }
  return files;
}

// The diff part of plan's report for people: what follows the file list.
std::string DiffPart(const std::string& report) {
  const std::string list = "Files it would change:\n";
  size_t at = report.find(list);
  if (at == std::string::npos) {
    return std::string();
  }
  at += list.size();
  while (report.compare(at, 4, "    ") == 0) {
    at = report.find('\n', at) + 1;
  }
  return report.substr(at);
}

class PlanBoundsEndToEnd : public ::testing::Test {
 protected:
  PlanBoundsEndToEnd()
      : dir_(ScratchDir::Enter::kYes),
        real_(std::filesystem::canonical(dir_.path()).string()) {}

  std::string Path(const std::string& name) const { return dir_.Path(name); }

  // Plans the package with {ROOT} the tree "tree", from the scratch
  // directory.
  ProgramResult Plan(const std::string& package,
                     std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"plan", package, "apply",
                                     "MACRO{ROOT}=" + Path("tree") + "/"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunPack(args, dir_.path());
  }

  // Patches a copy of the tree as it is now with `diff` (-p0, from a
  // directory holding the copy as "tree") and applies the package to the
  // tree; both must give the same files.
  void ExpectPatchGivesWhatTheConsoleGives(const std::string& package,
                                           const std::string& diff) {
    std::filesystem::remove_all(Path("patched"));
    std::filesystem::create_directories(Path("patched"));
    std::filesystem::copy(Path("tree"), Path("patched/tree"),
                          std::filesystem::copy_options::recursive);
    WriteFile(Path("plan.diff"), diff);
    const ProgramResult patched =
        RunProgram({"/usr/bin/patch", "-p0", "-s", "--no-backup-if-mismatch",
                    "-i", Path("plan.diff")},
                   Path("patched"));
    EXPECT_EQ(patched.exit_code, 0) << patched.out << patched.err << diff;
    const ProgramResult console = RunConsole(
        {package, "apply", "MACRO{ROOT}=" + Path("tree") + "/"}, dir_.path());
    EXPECT_EQ(console.exit_code, 0) << console.out;
    EXPECT_EQ(FilesOf(Path("patched/tree")), FilesOf(Path("tree"))) << diff;
  }

  ScratchDir dir_;
  std::string real_;  // the scratch directory, links resolved
};

// Each package changes one thing outside the tree, each in its own way.
TEST_F(PlanBoundsEndToEnd, WarnsAndFailsWhenAChangeLeavesTheTree) {
  MakeTree(Path("tree"), {{"in.txt", "in\n"}, {"dirlink", "-> ../outside"}});
  MakeTree(Path("outside"), {{"o.txt", "o\n"}});
  struct Case {
    const char* name;
    std::string levels;
    std::string changed;  // relative to the scratch directory
  };
  const std::vector<Case> cases = {
      {"an absolute path",
       R"({"number": 1, "kind": "FileDirectoryCreationRemoval",
           "code": ["+/)" +
           real_ + R"(/outside/abs.txt"]})",
       "outside/abs.txt"},
      {"a path that climbs out with ..",
       R"({"number": 1, "kind": "FileDirectoryCreationRemoval",
           "code": ["+/{ROOT}../up.txt"]})",
       "up.txt"},
      {"a link in the tree",
       R"({"number": 1, "kind": "FileExport",
           "entries": [{"path": "{ROOT}dirlink/o.txt", "lines": ["x"]}]})",
       "outside/o.txt"},
      {"a path a program builds while it runs",
       R"({"number": 1, "kind": "Complex",
           "code": ["BUFFERSET {ROOT}", "BUFFEREPILOGUE ../built",
                    "CREATEDIRECTORY"]})",
       "built"},
      {"a macro a program makes while the run goes on",
       R"({"number": 1, "kind": "Complex",
           "code": ["MACROFIRSTADDEMPTY", "MACROFIRSTSETNAME {OUT}",
                    "MACROFIRSTSETVALUE )" +
           real_ + R"(/outside/"]},
          {"number": 2, "kind": "FileDirectoryCreationRemoval",
           "code": ["+/{OUT}made.txt"]})",
       "outside/made.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BuildPackageFromJson(R"({"levels": [)" + c.levels + "]}", Path("p.qrl"));
    const auto untouched = TreeSnapshot(dir_.path());
    const ProgramResult plan = Plan("p.qrl");
    EXPECT_EQ(plan.exit_code, 1);
    EXPECT_TRUE(Contains(plan.out, "warning: changes \"" + real_ + "/" +
                                       c.changed +
                                       "\", outside the tree of {ROOT} (\"" +
                                       real_ + "/tree\")"))
        << plan.out;
    EXPECT_TRUE(Contains(plan.out, " " + c.changed +
                                       (c.changed == "built" ? "/" : "") +
                                       " (outside the tree)\n"))
        << plan.out;
    const ProgramResult json = Plan("p.qrl", {"--json"});
    EXPECT_TRUE(Contains(json.out, "\"outside\": true")) << json.out;
    EXPECT_EQ(TreeSnapshot(dir_.path()), untouched);
  }
  // Inside the tree nothing is outside.
  BuildPackageFromJson(R"({"levels": [
      {"number": 1, "kind": "FileDirectoryCreationRemoval",
       "code": ["+/{ROOT}made/", "+/{ROOT}made/../in2.txt"]}]})",
                       Path("p.qrl"));
  const ProgramResult inside = Plan("p.qrl", {"--json"});
  EXPECT_EQ(inside.exit_code, 0) << inside.out;
  EXPECT_FALSE(Contains(inside.out, "\"outside\": true")) << inside.out;
}

// Names with a newline, a space, quotes and bytes above 127 are quoted as
// git quotes them; an empty file made or removed gets git's headers; patch
// -p0 then does what qrlconsole does. A name patch refuses means no diff.
TEST_F(PlanBoundsEndToEnd, DiffQuotesNamesAndTakesEmptyFiles) {
  const FileTree tree = {{"s p", "one\ntwo\n"}, {"gone", ""}};
  MakeTree(Path("tree"), tree);
  WriteFile(Path("p.qrl"),
            PackageData({
                [] {
                  LevelSpec level;
                  level.kind = "3";  // FileExport
                  level.entries.push_back(
                      {"/", "{ROOT}a\nb\"\xc3\xa4", "0", {"x"}, ""});
                  level.code = {"0"};
                  return level;
                }(),
                [] {
                  LevelSpec level;
                  level.entries.push_back({"/", "{ROOT}s p", "0", {"two"}, ""});
                  level.code = {"0", "2"};
                  return level;
                }(),
                CreationRemovalLevel({"+/{ROOT}e", "-/{ROOT}gone"}),
            }));
  const ProgramResult plan = Plan("p.qrl", {"--diff"});
  EXPECT_EQ(plan.exit_code, 0) << plan.out << plan.err;
  const std::string diff = DiffPart(plan.out);
  EXPECT_EQ(
      diff,
      "diff --git \"tree/a\\nb\\\"\\303\\244\" \"tree/a\\nb\\\"\\303\\244\"\n"
      "new file mode 100644\n"
      "--- /dev/null\n"
      "+++ \"tree/a\\nb\\\"\\303\\244\"\n"
      "@@ -0,0 +1,1 @@\n"
      "+x\n"
      "diff --git tree/e tree/e\n"
      "new file mode 100644\n"
      "index 0000000..e69de29\n"
      "diff --git tree/gone tree/gone\n"
      "deleted file mode 100644\n"
      "index e69de29..0000000\n"
      "diff --git \"tree/s p\" \"tree/s p\"\n"
      "--- \"tree/s p\"\n"
      "+++ \"tree/s p\"\n"
      "@@ -1,2 +1,2 @@\n"
      " one\n"
      "-two\n"
      "+2\n");
  ExpectPatchGivesWhatTheConsoleGives("p.qrl", diff);

  // From a directory that does not hold the tree the names are absolute,
  // which patch refuses: no diff, and exit code 1.
  std::filesystem::remove_all(Path("tree"));
  MakeTree(Path("tree"), tree);
  std::filesystem::create_directories(Path("elsewhere"));
  const ProgramResult away =
      RunPack({"plan", Path("p.qrl"), "apply",
               "MACRO{ROOT}=" + Path("tree") + "/", "--diff"},
              Path("elsewhere"));
  EXPECT_EQ(away.exit_code, 1);
  EXPECT_FALSE(Contains(away.out, "+++ ")) << away.out;
  EXPECT_TRUE(Contains(away.err, "qrlpack: plan: no diff written: \"" + real_ +
                                     "/tree/a\\nb\\\"\\303\\244\" is "
                                     "an absolute name, which patch refuses"))
      << away.err;
}

// Random names, random levels: plan's diff through patch -p0 gives the
// files qrlconsole gives.
TEST_F(PlanBoundsEndToEnd, DiffThroughPatchEqualsTheConsoleOnRandomNames) {
#ifdef QRL_SANITIZED
  constexpr unsigned kSeeds = 12;
#else
  constexpr unsigned kSeeds = 60;
#endif
  for (unsigned seed = 0; seed < kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pick = [&random](int low, int high) {
      return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::set<std::string> used;
    const auto name = [&]() {
      static const std::string kBytes =
          std::string("ab \t\n\"\\-.~*?$'`#:;=\x01\x7f\x80\xc3\xa4\xff", 25);
      for (;;) {
        std::string made;
        const int length = pick(1, 6);
        for (int i = 0; i < length; ++i) {
          made += kBytes[static_cast<size_t>(
              pick(0, static_cast<int>(kBytes.size()) - 1))];
        }
        if (made != "." && made != ".." && used.insert(made).second) {
          return made;
        }
      }
    };
    std::filesystem::remove_all(Path("tree"));
    const std::string sub = name();
    FileTree tree;
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
      const std::string file = (i % 2 == 0 ? "" : sub + "/") + name();
      tree[file] = i == 3 ? "" : "l1\nl2\nl3\n";
      files.push_back(file);
    }
    MakeTree(Path("tree"), tree);
    std::vector<LevelSpec> levels;
    for (const std::string& file : files) {
      switch (pick(0, 3)) {
        case 0: {
          LevelSpec level;  // Normal: one line changes
          level.entries.push_back({"/",
                                   "{ROOT}" + file,
                                   "0",
                                   {"l" + std::to_string(pick(1, 3))},
                                   ""});
          level.code = {"0", "changed"};
          levels.push_back(level);
          break;
        }
        case 1:
          levels.push_back(CreationRemovalLevel({"-/{ROOT}" + file}));
          break;
        default:
          break;
      }
      LevelSpec made;  // FileExport of a new file, empty or not
      made.kind = "3";
      made.entries.push_back(
          {"/", "{ROOT}" + (pick(0, 1) ? sub + "/" : "") + name(), "0",
           pick(0, 2) == 0 ? std::vector<std::string>{}
                           : std::vector<std::string>{"n"},
           ""});
      made.code = {"0"};
      levels.push_back(made);
    }
    levels.push_back(CreationRemovalLevel({"+/{ROOT}" + name()}));
    WriteFile(Path("p.qrl"), PackageData(levels));
    const ProgramResult plan = Plan("p.qrl", {"--diff"});
    ASSERT_LE(plan.exit_code, 1) << plan.err;
    EXPECT_EQ(plan.err, "");
    ExpectPatchGivesWhatTheConsoleGives("p.qrl", DiffPart(plan.out));
    if (HasFailure()) {
      break;  // one seed's story is enough to read
    }
  }
}

}  // namespace
