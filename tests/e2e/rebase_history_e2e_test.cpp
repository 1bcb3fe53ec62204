// This project's history replayed through qrlpack rebase: a commit X is the
// local change (its package made by from-diff on X's parent), carried to
// the commit K steps later with X reverted; the truth is that later
// commit's tree. Rebase, without and with --base, is counted against
// `git apply --3way` of X's diff on the same cases. A carried case gives the
// truth, a conflict carries nothing, and a wrong case is one where the tool
// exits 0, the change applies cleanly and the tree is not the truth. A
// sample runs here (a smaller one under the sanitizers); with
// QRL_REBASE_REPLAY=all every commit is a case (scripts/rebase_replay.sh).
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/history_replay.h"
#include "tests/test_util.h"

namespace {

struct Tally {
  size_t carried = 0;
  size_t conflicts = 0;
  size_t wrong = 0;
  size_t failed = 0;  // exit 0, but the result does not apply
};

struct Row {
  size_t k = 0;
  size_t cases = 0;
  size_t too_late = 0;   // X has fewer than K commits after it
  size_t no_revert = 0;  // X's revert does not apply to it
  size_t refused = 0;    // X cannot become a package (a mode change)
  size_t not_kept = 0;   // later commits undid part of X
  Tally rebase;
  Tally based;
  Tally git;
};

class Replay {
 public:
  Replay() : repo_(Quoted(SourcePath(""))) {}

  bool Load() {
    const ProgramResult listing = Shell(
        "git -C " + repo_ + " rev-list --topo-order --reverse --parents HEAD");
    if (listing.exit_code != 0 || listing.out.empty()) {
      return false;
    }
    empty_tree_ = Shell("git -C " + repo_ + " hash-object -t tree /dev/null")
                      .out.substr(0, 40);
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);) {
      std::vector<std::string> ids;
      std::istringstream words(line);
      for (std::string id; words >> id;) {
        ids.push_back(id);
      }
      commits_.push_back(ids[0]);
      parents_.push_back(ids.size() > 1 ? ids[1] : empty_tree_);
      merges_.push_back(ids.size() > 2);
    }
    objects_ = Shell("git -C " + repo_ +
                     " rev-parse --path-format=absolute --git-common-dir")
                   .out;
    objects_ = objects_.substr(0, objects_.find('\n')) + "/objects";
    return true;
  }

  size_t size() const { return commits_.size(); }

  // The cases of one K, every `step`-th commit.
  Row Run(size_t k, size_t step) {
    Row row;
    row.k = k;
    for (size_t x = 0; x + k < commits_.size(); x += step) {
      if (merges_[x]) {
        continue;
      }
      // The commits after X: those that hold it, oldest first.
      const ProgramResult after =
          Shell("git -C " + repo_ +
                " rev-list --topo-order --reverse --ancestry-path " +
                commits_[x] + "..HEAD");
      std::istringstream lines(after.out);
      std::string later;
      for (size_t n = 0; n < k && std::getline(lines, later);) {
        n += later.empty() ? 0 : 1;
        later = n == k ? later : std::string();
      }
      if (later.empty()) {
        ++row.too_late;
        continue;
      }
      SCOPED_TRACE(commits_[x] + " carried to " + later);
      Case(x, later, &row);
    }
    return row;
  }

 private:
  std::string Path(const std::string& name) const { return dir_.Path(name); }

  void Extract(const std::string& id, const std::string& into) {
    std::string why;
    ASSERT_TRUE(ExtractCommit(repo_, id, empty_tree_, Path(into), &why)) << why;
  }

  // The outcome of a tool on the case: its exit code, and the tree its
  // result leaves in `result`.
  void Count(int exit_code, bool applied, const char* tool, Tally* tally) {
    if (exit_code == 1) {
      ++tally->conflicts;
      std::cout << "[ conflict ] " << tool << ": " << case_ << "\n";
    } else if (exit_code != 0 || !applied) {
      ++tally->failed;
      std::cout << "[ failed   ] " << tool << ": " << case_ << "\n";
    } else if (TreeWithModes(Path("result")) == TreeWithModes(Path("truth"))) {
      ++tally->carried;
    } else {
      ++tally->wrong;
      std::cout << "[ wrong    ] " << tool << ": " << case_ << "\n";
    }
  }

  void Rebase(bool with_base, Tally* tally) {
    std::filesystem::remove(Path("r.qrl"));
    std::vector<std::string> args = {"rebase",    Path("c.qrl"), "--onto",
                                     Path("new"), "-o",          Path("r.qrl")};
    if (with_base) {
      args.insert(args.end(), {"--base", Path("old")});
    }
    const ProgramResult run = RunPack(args);
    bool applied = true;
    if (run.exit_code == 0) {
      std::filesystem::remove_all(Path("result"));
      EXPECT_EQ(Shell("cp -a new result", dir_.path()).exit_code, 0);
      if (Exists(Path("r.qrl"))) {
        const ProgramResult apply = RunConsole(
            {Path("r.qrl"), "apply", "MACRO{ROOT}=" + Path("result") + "/"});
        applied = apply.exit_code == 0 && apply.out == BannerLine();
      }
    }
    Count(run.exit_code, applied, with_base ? "rebase --base" : "rebase",
          tally);
    EXPECT_TRUE(run.exit_code == 0 || run.exit_code == 1) << run.err;
  }

  // Copies the tree `from` to `to` as the one commit of a repository that
  // borrows this project's objects, and applies X's diff there with
  // `git apply` and `options`; the repository goes again afterwards.
  int GitApply(const std::string& from, const std::string& to,
               const std::string& options) {
    std::filesystem::remove_all(Path(to));
    const std::string commands =
        "cp -a " + from + " " + to + " && cd " + to +
        " && git init -q && echo " + Quoted(objects_) +
        " > .git/objects/info/alternates && git add -A && git -c "
        "user.name=replay -c user.email=replay@localhost commit -q "
        "--allow-empty -m tree";
    EXPECT_EQ(Shell(commands, dir_.path()).exit_code, 0);
    const ProgramResult run =
        Shell("git apply " + options + " ../g.diff", Path(to));
    std::filesystem::remove_all(Path(to + "/.git"));
    return run.exit_code;
  }

  // Per file, the lines a diff of two trees adds and removes.
  std::string LinesChanged(const std::string& from, const std::string& to) {
    std::string stat =
        Shell("git diff --no-index --no-renames --numstat " + from + " " + to,
              dir_.path())
            .out;
    const std::string prefix = "{" + from + " => " + to + "}/";
    for (size_t at = stat.find(prefix); at != std::string::npos;
         at = stat.find(prefix, at)) {
      stat.erase(at, prefix.size());
    }
    return stat;
  }

  void Case(size_t x, const std::string& later, Row* row) {
    const std::string& commit = commits_[x];
    const std::string& parent = parents_[x];
    case_ = commit.substr(0, 7) + " carried to " + later.substr(0, 7);
    Extract(parent, "old");
    Extract(commit, "x");
    Extract(later, "truth");
    const std::string diff = "git -C " + repo_ +
                             " diff --no-renames --no-ext-diff --no-textconv "
                             "--no-color --src-prefix=a/ --dst-prefix=b/ " +
                             parent + " " + commit;
    ASSERT_EQ(
        Shell(diff + " > c.diff && " + diff + " --binary --full-index > g.diff",
              dir_.path())
            .exit_code,
        0);
    std::filesystem::remove(Path("c.qrl"));
    ProgramResult made = RunPack({"from-diff", "--tree", Path("old"), "-o",
                                  Path("c.qrl"), Path("c.diff")});
    if (made.exit_code == 1 &&
        made.err.find("binary change") != std::string::npos) {
      made =
          RunPack({"from-trees", Path("old"), Path("x"), "-o", Path("c.qrl")});
    }
    if (made.exit_code != 0) {
      EXPECT_NE(made.err.find("mode"), std::string::npos) << made.err;
      ++row->refused;
      return;
    }
    // X reverted as git reverts: a three-way merge without conflicts.
    if (GitApply("truth", "new", "-R --3way") != 0) {
      ++row->no_revert;
      return;
    }
    // The truth holds X's change only where the revert took out as many
    // lines of each file as X put in and took out.
    if (LinesChanged("old", "x") != LinesChanged("new", "truth")) {
      ++row->not_kept;
      return;
    }
    ++row->cases;
    Rebase(false, &row->rebase);
    Rebase(true, &row->based);
    Count(GitApply("new", "result", "--3way") == 0 ? 0 : 1, true,
          "git apply --3way", &row->git);
  }

  std::string repo_;
  std::string empty_tree_;
  std::string objects_;
  std::vector<std::string> commits_;
  std::vector<std::string> parents_;
  std::vector<bool> merges_;
  std::string case_;  // the case that runs, for the log
  ScratchDir dir_;
};

void Print(const Row& row, size_t longest) {
  std::cout << "[ replay   ] K=" << row.k
            << (row.k == longest && row.k < 200
                    ? " (the history is too short for K=200)"
                    : "")
            << ": " << row.cases << " cases; skipped: " << row.no_revert
            << " reverts that do not apply, " << row.refused
            << " refused by from-diff, " << row.not_kept
            << " whose change later commits undid in part, " << row.too_late
            << " with fewer than K commits after them\n";
  const auto line = [](const char* name, const Tally& tally) {
    std::cout << "[ replay   ]   " << name << " carried " << tally.carried
              << ", conflicts " << tally.conflicts << ", wrong " << tally.wrong
              << ", failed " << tally.failed << "\n";
  };
  line("rebase:          ", row.rebase);
  line("rebase --base:   ", row.based);
  line("git apply --3way:", row.git);
}

TEST(RebaseHistory, CarriesWhatGitApply3WayCarriesAndNothingWrong) {
  const MemoryBackedScratch memory;
  Replay replay;
  if (!replay.Load()) {
    GTEST_SKIP() << "no git history here";
  }
  const char* all = std::getenv("QRL_REBASE_REPLAY");
  const bool every = all != nullptr && std::string(all) == "all";
#ifdef QRL_SANITIZED
  constexpr size_t kSample = 3;
#else
  constexpr size_t kSample = 10;
#endif
  // K = 10, 50 and 200; a history too short for 200 gets half its length
  // instead: the commits far enough back are few, and the first ones, which
  // later commits rewrote, hardly ever revert.
  const size_t longest =
      std::min<size_t>(200, std::max<size_t>(60, replay.size() / 2 / 10 * 10));
  for (size_t k : {size_t{10}, size_t{50}, longest}) {
    if (k >= replay.size()) {
      continue;
    }
    const size_t step =
        every ? 1 : std::max<size_t>(1, (replay.size() - k) / kSample);
    const Row row = replay.Run(k, step);
    Print(row, longest);
    for (const Tally* tally : {&row.rebase, &row.based}) {
      EXPECT_EQ(tally->wrong, 0u) << "K=" << k;
      EXPECT_EQ(tally->failed, 0u) << "K=" << k;
    }
    if (every) {
      EXPECT_GE(row.rebase.carried, row.git.carried) << "K=" << k;
      EXPECT_GE(row.based.carried, row.git.carried) << "K=" << k;
    }
  }
}

}  // namespace
