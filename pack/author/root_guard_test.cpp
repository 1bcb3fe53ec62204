#include "pack/author/root_guard.h"

#include <string>
#include <vector>

#include "complex/program_level.h"
#include "engine/apply.h"
#include "engine/reverse.h"
#include "fastmemlist/list_view.h"
#include "gtest/gtest.h"
#include "package/level_record.h"
#include "tests/test_util.h"

namespace {

std::string NumberOf(std::string_view record) {
  ListView level;
  level.Parse(record);
  return std::string(level.ItemOrEmpty(kLevelNumber));
}

// A level of that number that reports that it ran.
std::string Ran(int64_t number) {
  LevelFields level = NewLevel(number, kKindComplex, "ran");
  level.code = {"MESSAGE ran " + std::to_string(number)};
  return LevelRecordData(level);
}

TEST(PutRootGuard, GuardsTheFirstAndTheLastLevelNumberOnce) {
  TFASTMEMLIST levels;
  levels.Add(Ran(7));
  levels.Add(Ran(5));
  levels.Add(Ran(9));
  levels.Add(Ran(9));
  const RootGuardPaths paths{{"m.c"}, {}, {}};
  PutRootGuard(paths, &levels);
  const TFASTMEMLIST once = levels;
  PutRootGuard(paths, &levels);  // the old guard makes way for the new
  EXPECT_EQ(levels.SaveToString(), once.SaveToString());
  std::string shape;
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    shape += (IsRootGuardLevel(levels.View(i)) ? "G" : "L") +
             NumberOf(levels.View(i)) + " ";
  }
  EXPECT_EQ(shape, "G5 G5 L7 L5 G9 G9 L9 L9 ");
  EXPECT_FALSE(IsRootGuardLevel(Ran(1)));
  EXPECT_FALSE(IsRootGuardLevel("no record"));
}

// The guard run by the engine on trees, as each action finds them: it stops
// the run before level 2 with one line, or lets it through.
TEST(RootGuard, LetsItsOwnTreeThroughAndStopsOnAnyOther) {
  InstallProgramLevel();
  TFASTMEMLIST levels;
  levels.Add(Ran(2));
  PutRootGuard(RootGuardPaths{{"m.c"}, {"d.c"}, {"sub/n.c"}}, &levels);
  struct Case {
    bool apply;
    FileTree tree;
    std::string root;  // "" for none, "=" for the tree without its "/"
    std::string line;  // the first line printed
  };
  const std::string lacks = "this tree lacks ";
  const std::vector<Case> cases = {
      {true, {{"m.c", ""}, {"d.c", ""}}, "/", "ran 2"},
      {true, {{"m.c", ""}}, "/", lacks + "d.c, which the package deletes"},
      {true, {{"d.c", ""}}, "/", lacks + "m.c, which the package changes"},
      {true,
       {{"m.c", ""}, {"d.c", ""}, {"sub/n.c", ""}},
       "/",
       "this tree has sub/n.c, which the package creates"},
      {true, {{"m.c", ""}, {"d.c", ""}}, "=", "ROOT must end with /"},
      {true, {}, "", "ROOT is not given (MACRO{ROOT}=/path/to/tree/)"},
      {true, {}, "/missing/", "ROOT is not a directory"},
      {false, {{"m.c", ""}, {"sub/n.c", ""}}, "/", "ran 2"},
      {false,
       {{"m.c", ""}},
       "/",
       lacks + "sub/n.c, which the package creates and reverse removes"},
      {false,
       {{"m.c", ""}, {"sub/n.c", ""}, {"d.c", ""}},
       "/",
       "this tree has d.c, which the package deletes and reverse brings "
       "back"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    MakeTree(dir.Path("t"), c.tree);
    TSETTINGSBLOCK settings;
    if (!c.root.empty()) {
      TFASTMEMLIST macros;
      macros.Add("{ROOT}");
      macros.Add(c.root == "="   ? dir.Path("t")
                 : c.root == "/" ? dir.Path("t") + "/"
                                 : c.root);
      settings.macros = macros.SaveToString();
    }
    LineList output;
    uint8_t status = 0;
    if (c.apply) {
      status = ApplyLevels(levels, &settings, &output, true);
    } else {
      ReverseLevels(levels, &settings, &output, true);
    }
    const std::string expected =
        c.line == "ran 2"
            ? c.line
            : std::string(c.apply ? "ERROR! " : "") +
                  "COMPLEX ACTIONS FAILED FOR LEVEL 2 PROCESS WITH "
                  "PRESENTATION: " +
                  c.line;
    ASSERT_EQ(output.Count(), 1u) << c.line;
    EXPECT_EQ(output.Get(0), expected);
    EXPECT_EQ(status, c.line == "ran 2" || !c.apply ? 0 : 3) << c.line;
  }
}

}  // namespace
