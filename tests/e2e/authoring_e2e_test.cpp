// End-to-end tests of qrlpack from-diff and from-trees: packages made from
// real diffs are applied and reversed by qrlconsole, and the trees are
// compared byte for byte with what patch and git give. The whole history of
// this project is replayed commit by commit (a sample of it under the
// sanitizers).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/history_replay.h"
#include "tests/test_util.h"

namespace {

std::string Root(const std::string& tree) {
  return "MACRO{ROOT}=" + tree + "/";
}

// Applies the package to `tree`, expecting a clean run.
void Apply(const std::string& package, const std::string& tree,
           const std::string& action) {
  const ProgramResult run = RunConsole({package, action, Root(tree)});
  EXPECT_EQ(run.out, BannerLine()) << action;
  EXPECT_EQ(run.exit_code, 0) << action;
}

class AuthoringEndToEnd : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Path(name); }
  ScratchDir dir_;
};

// Each case is a change from the tree `before` to `after`; the diff of the
// two trees that "diff -ruN" and "git diff" write is made into a package,
// which must give what patch gives and take it back.
TEST_F(AuthoringEndToEnd, PackagesFromDiffsDoWhatPatchDoesAndUndoIt) {
  struct Case {
    const char* name;
    FileTree before;
    FileTree after;
  };
  const std::vector<Case> cases = {
      {"repeated lines and a block that matches earlier",
       {{"r.c", "}\n}\n}\n}\n}\n}\n}\n}\nx\n}\n}\n}\n}\n}\n}\n}\n}\n"},
        {"e.txt", "a\nb\nc\nd\na\nb\nc\nd\na\nb\nc\nd\n"}},
       {{"r.c", "}\n}\n}\n}\n}\n}\n}\n}\nx\n}\n}\n}\n}\n};\n}\n}\n}\n"},
        {"e.txt", "a\nb\nc\nd\na\nb\nC\nd\na\nb\nc\nd\n"}}},
      {"insert only, delete only, first and last lines",
       {{"i.txt", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n"},
        {"d.txt", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n"}},
       {{"i.txt", "0\n1\n2\n3\n4\n5\n5a\n6\n7\n8\n9\n10\n11\n12\n13\n"},
        {"d.txt", "2\n3\n4\n5\n7\n8\n9\n10\n11\n"}}},
      {"empty files, CR LF, CR, no final line end",
       {{"empty.txt", ""},
        {"full.txt", "gone\n"},
        {"crlf.txt", "a\r\nb\r\n"},
        {"cr.txt", "a\rb\r"},
        {"eol.txt", "a\nb"},
        {"add-eol.txt", "a\nb"}},
       {{"empty.txt", "now\n"},
        {"full.txt", ""},
        {"crlf.txt", "a\r\nc\r\n"},
        {"cr.txt", "a\rc\r"},
        {"eol.txt", "a\nc"},
        {"add-eol.txt", "a\nb\n"}}},
      {"unicode, invalid UTF-8, a zero byte-free line, the root macro",
       {{"u.txt", "gr\xc3\xbc\xc3\x9f\n\xff\xfe\n\x80x\nMACRO{ROOT}\n"}},
       {{"u.txt", "gr\xc3\xbc\xc3\x9f!\n\xff\xfe\n\x80y\nMACRO{ROOT}/\n"}}},
      {"new files in new directories, removed files and the directories "
       "they empty",
       {{"keep/k.txt", "k\n"},
        {"old/deep/o.txt", "o\n"},
        {"keep/x.txt", "x\n"},
        {"keep/gone-empty", ""}},
       {{"keep/k.txt", "k\n"},
        {"new/sub/n.txt", "n\n"},
        {"keep/y.txt", "y\n"},
        {"keep/new-empty", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool git : {false, true}) {
      SCOPED_TRACE(git ? "git diff" : "diff -ruN");
      ScratchDir work;
      MakeTree(work.Path("a"), c.before);
      MakeTree(work.Path("b"), c.after);
      const ProgramResult diff =
          Shell(git ? "git diff --no-index --no-renames --src-prefix=x/ "
                      "--dst-prefix=y/ a b"
                    : "diff -ruN a b",
                work.path());
      ASSERT_EQ(diff.exit_code, 1) << diff.err;
      WriteFile(work.Path("c.diff"), diff.out);
      const std::string strip = git ? "-p2" : "-p1";
      MakeTree(work.Path("t"), c.before);
      MakeTree(work.Path("p"), c.before);
      const ProgramResult made =
          RunPack({"from-diff", strip, "--tree", "t", "-o", "c.qrl", "c.diff"},
                  work.path());
      ASSERT_EQ(made.exit_code, 0) << made.err;
      const ProgramResult patched =
          Shell("patch -s " + strip + " < ../c.diff", work.Path("p"));
      ASSERT_EQ(patched.exit_code, 0) << patched.out << patched.err;
      Apply(work.Path("c.qrl"), work.Path("t"), "apply");
      EXPECT_EQ(TreeWithModes(work.Path("t")), TreeWithModes(work.Path("p")));
      Apply(work.Path("c.qrl"), work.Path("t"), "reverse");
      EXPECT_EQ(TreeWithModes(work.Path("t")), TreeWithModes(work.Path("a")));
    }
  }
}

TEST_F(AuthoringEndToEnd, RefusesWhatItCannotCarryAndWritesNothing) {
  MakeTree(Path("t"), {{"a.txt", "one\ntwo\n"}});
  struct Case {
    std::string diff;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"--- a/a.txt\n+++ b/a.txt\n@@ -1,2 +1,2 @@\n one\n-three\n+four\n",
       "qrlpack: a.txt: hunk #1 (@@ -1,2 +1,2 @@) FAILED at 1 (the diff's "
       "lines are not there, nor near it)\n"},
      {"Binary files a/i.png and b/i.png differ\n",
       "qrlpack: diff line 1: Binary files a/i.png and b/i.png differ: binary "
       "change: a diff cannot carry it; make the package with qrlpack "
       "from-trees OLD NEW instead\n"},
      {"--- a/b.txt\n+++ b/b.txt\n@@ -1 +1 @@\n-x\n+y\n",
       "qrlpack: diff line 1: b.txt: can't find this file in t\n"},
      {"--- a/a.txt\t1970-01-01 00:00:00.000000000 +0000\n+++ b/a.txt\n"
       "@@ -0,0 +1 @@\n+new\n",
       "qrlpack: diff line 1: a.txt: the diff creates this file, but t "
       "already has it\n"},
      {"--- a/../x\n+++ b/../x\n@@ -1 +1 @@\n-x\n+y\n",
       "qrlpack: diff line 1: a/../x: cannot take 1 leading components (-p) "
       "from this name and keep a path inside the tree\n"},
  };
  for (const Case& c : cases) {
    WriteFile(Path("c.diff"), c.diff);
    const ProgramResult made = RunPack(
        {"from-diff", "--tree", "t", "-o", "c.qrl", "c.diff"}, dir_.path());
    EXPECT_EQ(made.err, c.err + "qrlpack: no package written\n");
    EXPECT_EQ(made.exit_code, 1);
    EXPECT_FALSE(Exists(Path("c.qrl")));
  }
  const ProgramResult usage =
      RunPack({"from-diff", "--markers", "fancy"}, dir_.path());
  EXPECT_EQ(usage.err,
            "qrlpack: from-diff: unknown marker style 'fancy'; expected none, "
            "auto, c, hash, dash, semicolon or xml\n"
            "Try 'qrlpack from-diff --help'.\n");
  EXPECT_EQ(usage.exit_code, 2);
}

// A series from git format-patch that changes one file in two commits,
// with its mail headers, diffstat and signatures.
TEST_F(AuthoringEndToEnd, TakesAFormatPatchSeries) {
  const std::string git =
      "git -c user.name=A -c user.email=a@example.org -c init.defaultBranch=m ";
  const std::string commands =
      git +
      "init -q r && cd r && printf '1\\n2\\n3\\n4\\n5\\n6\\n7\\n8\\n9\\n' > f "
      "&& " +
      git + "add f && " + git + "commit -qm one && cp -r ../r ../before && " +
      "sed -i 's/^2$/two/' f && " + git + "commit -qam two && " +
      "sed -i 's/^9$/nine/; s/^two$/TWO/' f && printf 'n\\n' > n && " + git +
      "add n && " + git + "commit -qam three && " + git +
      "format-patch -q --stdout HEAD~2 > ../series.patch";
  const ProgramResult made_repo = Shell(commands, dir_.path());
  ASSERT_EQ(made_repo.exit_code, 0) << made_repo.err;
  // The diff comes on standard input.
  const ProgramResult made =
      Shell(std::string(QRLPACK_BIN) +
                " from-diff --tree before -o s.qrl - < series.patch",
            dir_.path());
  ASSERT_EQ(made.exit_code, 0) << made.err;
  Apply(Path("s.qrl"), Path("before"), "apply");
  EXPECT_EQ(ReadFile(Path("before/f")), "1\nTWO\n3\n4\n5\n6\n7\n8\nnine\n");
  EXPECT_EQ(ReadFile(Path("before/n")), "n\n");
  Apply(Path("s.qrl"), Path("before"), "reverse");
  EXPECT_EQ(ReadFile(Path("before/f")), "1\n2\n3\n4\n5\n6\n7\n8\n9\n");
  EXPECT_FALSE(Exists(Path("before/n")));
}

// A file that the change creates but a later release already has stays as
// that release has it: the root guard stops apply before anything runs.
TEST_F(AuthoringEndToEnd, NeverReplacesAFileItWouldCreate) {
  MakeTree(Path("a"), {{"k", "k\n"}});
  MakeTree(Path("b"), {{"k", "k\n"}, {"n", "mine\n"}});
  ASSERT_EQ(Shell("diff -ruN a b > c.diff", dir_.path()).exit_code, 1);
  ASSERT_EQ(RunPack({"from-diff", "--tree", "a", "-o", "c.qrl", "c.diff"},
                    dir_.path())
                .exit_code,
            0);
  MakeTree(Path("later"), {{"k", "k\n"}, {"n", "theirs\n"}});
  const ProgramResult run =
      RunConsole({Path("c.qrl"), "apply", Root(Path("later"))});
  EXPECT_EQ(run.out, BannerLine() +
                         "ERROR! COMPLEX ACTIONS FAILED FOR LEVEL 1000 "
                         "PROCESS WITH PRESENTATION: this tree has n, which "
                         "the package creates\n");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(ReadFile(Path("later/n")), "theirs\n");
}

// A directory that the change empties is removed only when it is empty:
// what a later release added there stays.
TEST_F(AuthoringEndToEnd, KeepsADirectoryThatALaterReleaseFilled) {
  MakeTree(Path("a"), {{"old/o.txt", "o\n"}, {"k", "k\n"}});
  MakeTree(Path("b"), {{"k", "k\n"}});
  ASSERT_EQ(Shell("diff -ruN a b > c.diff", dir_.path()).exit_code, 1);
  const ProgramResult made = RunPack(
      {"from-diff", "--tree", "a", "-o", "c.qrl", "c.diff"}, dir_.path());
  ASSERT_EQ(made.exit_code, 0) << made.err;
  MakeTree(Path("later"),
           {{"old/o.txt", "o\n"}, {"old/added.txt", "+\n"}, {"k", "k\n"}});
  Apply(Path("c.qrl"), Path("later"), "apply");
  EXPECT_EQ(TreeContents(Path("later")),
            (FileTree{{"k", "k\n"}, {"old/", ""}, {"old/added.txt", "+\n"}}));
  Apply(Path("c.qrl"), Path("later"), "reverse");
  EXPECT_EQ(TreeContents(Path("later")), (FileTree{{"k", "k\n"},
                                                   {"old/", ""},
                                                   {"old/added.txt", "+\n"},
                                                   {"old/o.txt", "o\n"}}));
}

// The workflow of the README's "Carrying your changes to a new release",
// with its commands.
TEST_F(AuthoringEndToEnd, CarriesChangesToTheNextReleaseAsTheReadmeShows) {
  const std::string release =
      ReadFile(SourcePath("examples/tree/src/greeting.c"));
  MakeTree(Path("tree-1.0"), {{"src/greeting.c", release}});
  MakeTree(Path("mine"), {{"src/greeting.c", release}});
  // The edit: a second greeting, and a new file.
  std::string edited = release;
  edited.replace(edited.find("    printf(\"Hello\\n\");\n"), 0,
                 "    printf(\"Hi there\\n\");\n");
  WriteFile(Path("mine/src/greeting.c"), edited);
  WriteFile(Path("mine/src/NOTES"), "Greets twice.\n");
  ASSERT_EQ(Shell("diff -ruN tree-1.0 mine > mine.diff", dir_.path()).exit_code,
            1);
  const ProgramResult made = RunPack(
      {"from-diff", "--tree", "tree-1.0", "-o", "mine.qrl", "mine.diff"},
      dir_.path());
  ASSERT_EQ(made.exit_code, 0) << made.err;
  // The next release moved the code down; the package still applies.
  MakeTree(Path("tree-1.1"),
           {{"src/greeting.c", "/* Release 1.1 */\n" + release}});
  Apply(Path("mine.qrl"), Path("tree-1.1"), "apply");
  EXPECT_EQ(ReadFile(Path("tree-1.1/src/greeting.c")),
            "/* Release 1.1 */\n" + edited);
  EXPECT_EQ(ReadFile(Path("tree-1.1/src/NOTES")), "Greets twice.\n");
  // A release that changed the lines the change needs: with a backup
  // first, the failed apply names the file and the hunk, and restoring
  // the backup undoes the levels that ran before it.
  std::string changed = release;
  changed.replace(changed.find("Hello"), 5, "Howdy");
  MakeTree(Path("tree-1.2"), {{"src/greeting.c", changed}});
  const ProgramResult backup =
      RunConsole({Path("mine.qrl"), "createbackup", Root(Path("tree-1.2"))});
  EXPECT_EQ(backup.exit_code, 0) << backup.out;
  const ProgramResult failed =
      RunConsole({Path("mine.qrl"), "apply", Root(Path("tree-1.2"))});
  EXPECT_EQ(failed.out,
            BannerLine() +
                "ERROR! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 2001 "
                "PROCESS WITH PRESENTATION: src/greeting.c, hunk #1 (@@ "
                "-4,6 +4,7 @@)\n");
  EXPECT_EQ(failed.exit_code, 3);
  EXPECT_NE(ReadFile(SourcePath("README.md"))
                .find(failed.out.substr(BannerLine().size())),
            std::string::npos)
      << "the README shows this failure";
  EXPECT_TRUE(Exists(Path("tree-1.2/src/NOTES")));  // level 1000 ran
  const ProgramResult restored =
      RunConsole({Path("mine.qrl.backup"), "restorebackup"});
  EXPECT_EQ(restored.exit_code, 0) << restored.out;
  EXPECT_EQ(TreeContents(Path("tree-1.2")),
            (FileTree{{"src/", ""}, {"src/greeting.c", changed}}));
  // A tree without the file: the root guard's line, as the README shows.
  MakeTree(Path("elsewhere"), {{"src/other.c", "\n"}});
  const ProgramResult guarded =
      RunConsole({Path("mine.qrl"), "apply", Root(Path("elsewhere"))});
  EXPECT_EQ(guarded.exit_code, 3);
  EXPECT_NE(ReadFile(SourcePath("README.md"))
                .find(guarded.out.substr(BannerLine().size())),
            std::string::npos)
      << "the README shows this stop: " << guarded.out;
}

// The files a commit modifies, adds and deletes, as git names them.
struct CommitFiles {
  std::vector<std::string> modified, added, deleted;
};

CommitFiles FilesOf(const std::string& repo, const std::string& parent,
                    const std::string& commit) {
  CommitFiles files;
  std::istringstream lines(Shell("git -C " + repo +
                                 " diff --no-renames --name-status " + parent +
                                 " " + commit)
                               .out);
  for (std::string line; std::getline(lines, line);) {
    const std::string path = line.substr(line.find('\t') + 1);
    (line[0] == 'A'   ? files.added
     : line[0] == 'D' ? files.deleted
                      : files.modified)
        .push_back(path);
  }
  return files;
}

// Whether the root guard must refuse `tree` under the action: a file the
// action needs is missing, or one it would create is there.
bool GuardRefuses(const CommitFiles& files, const std::string& tree,
                  bool apply) {
  const auto there = [&](const std::string& path) {
    return std::filesystem::is_regular_file(tree + "/" + path);
  };
  bool refuses = false;
  for (const std::string& path : files.modified) {
    refuses = refuses || !there(path);
  }
  for (const std::string& path : files.added) {
    refuses = refuses || there(path) == apply;
  }
  for (const std::string& path : files.deleted) {
    refuses = refuses || there(path) != apply;
  }
  return refuses;
}

// Runs the package on the tree of another commit, whose guard must refuse
// it: one line naming the fault, exit code 3 under apply and createbackup,
// no backup written, and the tree as it was (`as_it_was`).
void ExpectGuardStops(const std::string& package, const std::string& tree,
                      const std::map<std::string, std::string>& as_it_was,
                      const std::string& action) {
  const ProgramResult run = RunConsole({package, action, Root(tree)});
  const std::string line =
      run.out.substr(std::min(run.out.size(), BannerLine().size()));
  const std::string prefix = action == "reverse" ? "" : "ERROR! ";
  EXPECT_TRUE(line.starts_with(prefix + "COMPLEX ACTIONS FAILED FOR LEVEL "))
      << action << ": " << run.out;
  EXPECT_NE(line.find(" PROCESS WITH PRESENTATION: this tree "),
            std::string::npos)
      << action << ": " << run.out;
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << run.out;
  EXPECT_EQ(run.exit_code, action == "reverse" ? 0 : 3) << action;
  EXPECT_FALSE(Exists(package + ".backup"));
  EXPECT_EQ(TreeWithModes(tree), as_it_was) << action;
}

// Every commit of this project's history: its parent's tree, the commit's
// diff made into a package, backed up, applied and reversed. The package's
// root guard lets its own tree through and stops it on the tree of a
// commit far away wherever the files there say it must.
TEST(AuthoringHistory, EveryCommitOfThisProjectReplays) {
  const std::string repo = Quoted(SourcePath(""));
  const ProgramResult listing = Shell(
      "git -C " + repo + " rev-list --no-merges --reverse --parents HEAD");
  if (listing.exit_code != 0 || listing.out.empty()) {
    GTEST_SKIP() << "no git history here";
  }
  const std::string empty_tree =
      Shell("git -C " + repo + " hash-object -t tree /dev/null")
          .out.substr(0, 40);
  std::vector<std::pair<std::string, std::string>> commits;  // commit, parent
  std::istringstream lines(listing.out);
  for (std::string line; std::getline(lines, line);) {
    const size_t space = line.find(' ');
    commits.emplace_back(line.substr(0, 40), space == std::string::npos
                                                 ? empty_tree
                                                 : line.substr(space + 1, 40));
  }
#ifdef QRL_SANITIZED
  // Under the sanitizers every run is slow: a spread of eight commits.
  const size_t step = std::max<size_t>(1, commits.size() / 8);
#else
  const size_t step = 1;
#endif
  size_t replayed = 0;
  size_t from_trees = 0;
  size_t mode_changes = 0;
  size_t guard_stops = 0;
  // The trees stay from one commit to the next: in a line of commits the
  // tree after one is the tree before the next.
  const MemoryBackedScratch memory;
  ScratchDir dir;
  std::string previous;
  const auto extract = [&](const std::string& id, const std::string& into) {
    std::string why;
    ASSERT_TRUE(ExtractCommit(repo, id, empty_tree, dir.Path(into), &why))
        << why;
  };
  // Far away: the last commit's tree for the first half of the history,
  // the first commit's for the second half.
  extract(commits.back().first, "far-last");
  extract(commits.front().first, "far-first");
  const std::map<std::string, std::map<std::string, std::string>> far_trees = {
      {"far-last", TreeWithModes(dir.Path("far-last"))},
      {"far-first", TreeWithModes(dir.Path("far-first"))}};
  for (size_t k = 0; k < commits.size(); k += step) {
    const auto& [commit, parent] = commits[k];
    SCOPED_TRACE(commit);
    if (parent == previous) {
      std::filesystem::remove_all(dir.Path("old"));
      std::filesystem::rename(dir.Path("new"), dir.Path("old"));
    } else {
      extract(parent, "old");
    }
    extract(commit, "new");
    previous = commit;
    std::filesystem::remove_all(dir.Path("work"));
    ASSERT_EQ(Shell("cp -a old work", dir.path()).exit_code, 0);
    std::filesystem::remove(dir.Path("c.qrl"));
    const ProgramResult diff =
        Shell("git -C " + repo +
              " diff --no-renames --no-ext-diff --no-textconv --no-color "
              "--src-prefix=a/ --dst-prefix=b/ " +
              parent + " " + commit + " > " + Quoted(dir.Path("c.diff")));
    ASSERT_EQ(diff.exit_code, 0) << diff.err;
    ProgramResult made = RunPack({"from-diff", "--tree", dir.Path("old"), "-o",
                                  dir.Path("c.qrl"), dir.Path("c.diff")});
    if (made.exit_code == 1 &&
        made.err.find("binary change") != std::string::npos) {
      // The diff cannot carry it; the trees can.
      EXPECT_FALSE(Exists(dir.Path("c.qrl")));
      made = RunPack({"from-trees", dir.Path("old"), dir.Path("new"), "-o",
                      dir.Path("c.qrl")});
      ++from_trees;
    }
    if (made.exit_code == 1 &&
        made.err.find("cannot change a file's mode") != std::string::npos) {
      ++mode_changes;  // refused, as it must be
      continue;
    }
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const ProgramResult backup =
        RunConsole({dir.Path("c.qrl"), "createbackup", Root(dir.Path("work"))});
    EXPECT_EQ(backup.exit_code, 0) << backup.out;
    std::filesystem::remove(dir.Path("c.qrl.backup"));
    Apply(dir.Path("c.qrl"), dir.Path("work"), "apply");
    EXPECT_EQ(TreeWithModes(dir.Path("work")), TreeWithModes(dir.Path("new")));
    Apply(dir.Path("c.qrl"), dir.Path("work"), "reverse");
    EXPECT_EQ(TreeWithModes(dir.Path("work")), TreeWithModes(dir.Path("old")));
    const std::string far = 2 * k < commits.size() ? "far-last" : "far-first";
    const CommitFiles files = FilesOf(repo, parent, commit);
    for (const std::string action : {"createbackup", "apply", "reverse"}) {
      if (GuardRefuses(files, dir.Path(far), action != "reverse")) {
        ExpectGuardStops(dir.Path("c.qrl"), dir.Path(far), far_trees.at(far),
                         action);
        ++guard_stops;
      }
    }
    ++replayed;
  }
  std::cout << "[ replayed ] " << replayed << " of " << commits.size()
            << " commits, " << from_trees
            << " of them from the trees (binary changes); " << mode_changes
            << " refused for a mode change; " << guard_stops
            << " runs on a far tree stopped by the root guard\n";
  EXPECT_GT(replayed, 0u);
}

}  // namespace
