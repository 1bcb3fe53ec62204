#include "pack/rebase/rebase.h"

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/author/change_package.h"
#include "pack/author/from_trees.h"
#include "pack/author/verify_package.h"
#include "tests/generated_edits.h"
#include "tests/test_util.h"

namespace {

std::string Joined(const Text& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

// One file of a generated tree: its base, the local changes made to it,
// and the release's version of it.
struct TreeFile {
  std::string path;
  GeneratedFile base;
  std::vector<LocalChange> changes;
  GeneratedFile edited;
  bool removed = false;  // by the release
  UpstreamEdit edit = UpstreamEdit::kCount;
};

// The file with its changes applied by identity to `onto`, skipping the
// first one when the release made it already.
std::optional<GeneratedFile> Changed(const TreeFile& file,
                                     const GeneratedFile& onto,
                                     bool first_done) {
  std::optional<GeneratedFile> result = onto;
  for (size_t i = first_done ? 1 : 0; i < file.changes.size() && result; ++i) {
    result = ApplyByIdentity(file.base, *result, file.changes[i]);
  }
  return result;
}

// A tree of three files, each changed in up to two places far apart (at
// least one change in all), and a release that edits each file once or
// removes it.
std::vector<TreeFile> MakeFiles(EditGenerator& gen) {
  std::vector<TreeFile> files;
  for (const char* path : {"a.c", "b.c", "sub/c.c"}) {
    TreeFile file{path, gen.MakeFile(30 + gen.Below(40)), {}, {}};
    const size_t half = file.base.size() / 2;
    for (size_t part = 0, count = gen.Below(3); part < count; ++part) {
      LocalChange change = gen.MakeChange(half - 8);
      change.start += part * half;
      change.end += part * half;
      file.changes.push_back(std::move(change));
    }
    files.push_back(std::move(file));
  }
  if (files[0].changes.empty() && files[1].changes.empty() &&
      files[2].changes.empty()) {
    files[0].changes.push_back(gen.MakeChange(20));
  }
  for (TreeFile& file : files) {
    file.edited = file.base;
    if (gen.Below(12) == 0) {
      file.removed = true;
      continue;
    }
    const LocalChange aimed =
        file.changes.empty() ? LocalChange{5, 6, {}} : file.changes.front();
    file.edit = gen.PickEdit();
    gen.Apply(file.edit, aimed.start > 3 ? aimed.start - 3 : 0,
              std::min(file.base.size(), aimed.end + 3), file.base, aimed,
              &file.edited);
  }
  return files;
}

// Generated trees, local changes made into packages by the authoring code,
// and releases that edit them: a rebase that carries gives a package that
// turns the release into the truth (and back), and a tree without a truth
// is a conflict.
TEST(Rebase, CarriedPackagesGiveTheTruthAndUnclearTreesConflict) {
#ifdef QRL_SANITIZED
  constexpr int kCases = 12;
#else
  constexpr int kCases = 80;
#endif
  EditGenerator gen(1919);
  std::map<std::string, size_t> counts;
  for (int n = 0; n < kCases; ++n) {
    SCOPED_TRACE(testing::Message() << "case " << n);
    const std::vector<TreeFile> files = MakeFiles(gen);
    ChangeSet changes;
    TreeState release;
    TreeState truth;
    bool defined = true;
    for (const TreeFile& file : files) {
      const std::string before = Joined(Texts(file.base));
      const std::string after = Joined(Texts(*Changed(file, file.base, false)));
      if (before != after) {
        FileChange change;
        change.path = file.path;
        change.before = before;
        change.after = after;
        change.hunks = LineHunks(SplitTextLines(before), SplitTextLines(after));
        changes.files.push_back(std::move(change));
        changes.before.files[file.path] = before;
        changes.after.files[file.path] = after;
      }
      if (file.removed) {
        defined = defined && before == after;
        continue;
      }
      release.files[file.path] = Joined(Texts(file.edited));
      const bool done = file.edit == UpstreamEdit::kSameChange;
      const std::optional<GeneratedFile> changed =
          Changed(file, file.edited, done);
      defined = defined && changed.has_value();
      if (changed.has_value()) {
        truth.files[file.path] = Joined(Texts(*changed));
      }
    }
    changes.before.directories = changes.after.directories = {"sub"};
    release.directories = truth.directories = {"sub"};
    std::string package;
    std::string err;
    ASSERT_TRUE(MakeChangePackage(changes, MarkerStyle::kNone, &package, &err))
        << err;
    ScratchDir dir;
    WriteFile(dir.Path("p.qrl"), package);
    for (const TreeFile& file : files) {
      WriteFile(dir.Path("old/" + file.path), Joined(Texts(file.base)));
    }
    for (const auto& [path, content] : release.files) {
      WriteFile(dir.Path("new/" + path), content);
    }
    ::MakeTree(dir.Path("new"), {{"sub/", ""}});
    for (const bool with_base : {false, true}) {
      SCOPED_TRACE(with_base ? "with base" : "without base");
      RebaseOptions options{dir.Path("p.qrl"), dir.Path("new"),
                            with_base ? dir.Path("old") : "",
                            dir.Path("out.qrl"), ""};
      RebaseOutcome outcome;
      std::string why;
      const int code = Rebase(options, &outcome, &why);
      ASSERT_NE(code, kRebaseUnreadable) << why;
      if (code == kRebaseConflicts) {
        EXPECT_GT(outcome.conflicts, 0u) << outcome.check_failure;
        ++counts[defined ? "conflicts" : "conflicts without a truth"];
        continue;
      }
      EXPECT_TRUE(defined) << "carried a tree without a truth";
      ++counts["carried"];
      if (outcome.nothing_left) {
        EXPECT_EQ(release.files, truth.files);
        continue;
      }
      VerifyFailure failure;
      EXPECT_TRUE(VerifyPackage(ReadFile(dir.Path("out.qrl")), release, truth,
                                &failure))
          << failure.path << ": after " << failure.action << ", "
          << failure.detail;
    }
  }
  for (const auto& [name, count] : counts) {
    std::cout << "[ rebased  ] " << name << ": " << count << "\n";
  }
}

}  // namespace
