#include "pack/author/verify_package.h"

#include <functional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/author/change_package.h"
#include "pack/author/from_trees.h"
#include "tests/test_util.h"

namespace {

// The change from OLD to NEW: f changes a line, d/n is new.
struct Made {
  ChangeSet changes;
  std::string package;
};

Made MakeSample() {
  ScratchDir dir;
  MakeTree(dir.Path("old"), {{"f", "a\nb\nc\n"}});
  MakeTree(dir.Path("new"), {{"f", "a\nB\nc\n"}, {"d/", ""}, {"d/n", "n\n"}});
  Made made;
  std::vector<std::string> errors;
  EXPECT_TRUE(ChangeFromTrees(dir.Path("old"), dir.Path("new"), &made.changes,
                              &errors));
  std::string err;
  EXPECT_TRUE(
      MakeChangePackage(made.changes, MarkerStyle::kNone, &made.package, &err))
      << err;
  return made;
}

TEST(VerifyPackage, NamesWhatDiffersFromTheTreeExpected) {
  const Made made = MakeSample();
  VerifyFailure failure;
  ASSERT_TRUE(VerifyPackage(made.package, made.changes.before,
                            made.changes.after, &failure))
      << failure.detail;
  struct Case {
    std::string name;
    std::function<void(TreeState* before, TreeState* after)> damage;
    VerifyFailure expected;
  };
  const std::vector<Case> cases = {
      {"content",
       [](TreeState*, TreeState* after) { after->files["f"] = "a\nX\nc\n"; },
       {"apply", "f", "the content differs from line 2", 2}},
      {"file not made",
       [](TreeState*, TreeState* after) { after->files["g"] = "g\n"; },
       {"apply", "g", "the file is missing", 0}},
      {"file left",
       [](TreeState* before, TreeState*) { before->files["x"] = "x\n"; },
       {"apply", "x", "the file is there, but should not be", 0}},
      {"execute bit",
       [](TreeState*, TreeState* after) { after->executables.insert("f"); },
       {"apply", "f", "the execute bit differs", 0}},
      {"directory left",
       [](TreeState* before, TreeState*) { before->directories.insert("e"); },
       {"apply", "e/", "the directory is there, but should not be", 0}},
  };
  for (const Case& c : cases) {
    TreeState before = made.changes.before;
    TreeState after = made.changes.after;
    c.damage(&before, &after);
    EXPECT_FALSE(VerifyPackage(made.package, before, after, &failure))
        << c.name;
    EXPECT_EQ(failure.action, c.expected.action) << c.name;
    EXPECT_EQ(failure.path, c.expected.path) << c.name;
    EXPECT_EQ(failure.detail.substr(0, c.expected.detail.size()),
              c.expected.detail)
        << c.name << ": " << failure.detail;
    EXPECT_EQ(failure.line, c.expected.line) << c.name;
  }
}

TEST(VerifyPackage, ADamagedPackageDoesNotLoad) {
  const Made made = MakeSample();
  VerifyFailure failure;
  EXPECT_FALSE(VerifyPackage(made.package.substr(0, made.package.size() / 2),
                             made.changes.before, made.changes.after,
                             &failure));
  EXPECT_EQ(failure.action, "apply");
  EXPECT_TRUE(failure.detail.starts_with("the package does not load: "))
      << failure.detail;
}

}  // namespace
