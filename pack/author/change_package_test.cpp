#include "pack/author/change_package.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "pack/author/from_trees.h"
#include "pack/author/verify_package.h"
#include "pack/json/describe.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

// The levels but those of the root guard, which every package has.
Json WithoutGuard(const Json& levels) {
  Json kept = Json::array();
  for (const Json& level : levels) {
    const bool guard =
        level["kind"] == "Complex" && level["code"].is_array() &&
        !level["code"].empty() &&
        level["code"][0].get<std::string>().starts_with("# QRL ROOT GUARD");
    if (!guard) {
      kept.push_back(level);
    }
  }
  return kept;
}

// The package's levels, one "Kind" each (a nested package as "Package["
// its levels "]"), with the obsolete lines of Normal levels when
// `with_lines` says so.
std::string Levels(const Json& levels, bool with_lines) {
  std::string text;
  for (const Json& level : levels) {
    text += text.empty() ? "" : " ";
    text += level["kind"].get<std::string>();
    if (level.contains("code") && level["code"].is_object() &&
        level["code"].contains("package")) {
      text +=
          "[" + Levels(level["code"]["package"]["levels"], with_lines) + "]";
    }
    if (with_lines && level["kind"] == "Normal") {
      text += "(";
      for (const Json& line : level["entries"][0]["lines"]) {
        text += line.is_string() ? line.get<std::string>() : "?";
        text += "|";
      }
      text += ")";
    }
  }
  return text;
}

struct Made {
  bool ok = false;
  std::string err;
  Json description;
};

// The package that turns the tree `before` into `after`, from the trees.
Made MakeFromTrees(const FileTree& before, const FileTree& after,
                   MarkerStyle markers = MarkerStyle::kNone) {
  ScratchDir old_tree;
  ScratchDir new_tree;
  MakeTree(old_tree.path(), before);
  MakeTree(new_tree.path(), after);
  ChangeSet changes;
  std::vector<std::string> errors;
  Made made;
  if (!ChangeFromTrees(old_tree.path(), new_tree.path(), &changes, &errors)) {
    made.err = errors.empty() ? "?" : errors[0];
    return made;
  }
  std::string package;
  made.ok = MakeChangePackage(changes, markers, &package, &made.err);
  DecodeError error;
  if (made.ok) {
    EXPECT_TRUE(DescribePackage(package, &made.description, &error));
    made.description["levels"] = WithoutGuard(made.description["levels"]);
  }
  return made;
}

TEST(MakeChangePackage, GrowsContextUntilEachLevelIsTheFirstMatchBothWays) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
    std::string levels;  // kinds, with the obsolete lines of Normal levels
  };
  const std::vector<Case> cases = {
      {"the block stands earlier in the file: context below, then above",
       "p\nq\nr\ns\nt\nu\nv\nw\np\nq\nr\ns\nt\nu\nv\nw\nEND\n",
       "p\nq\nr\ns\nt\nu\nv\nw\np\nq\nr\nS\nt\nu\nv\nw\nEND\n",
       "Normal(w|p|q|r|s|t|u|v|w|)"},
      {"letter case and blanks do not tell places apart",
       "  Foo\nbar\n1\n2\n3\n4\n5\nfoo\nbar\nend\n",
       "  Foo\nbar\n1\n2\n3\n4\n5\nfoo\nBAZ\nend\n",
       "Normal(4|5|foo|bar|end|)"},
      {"repeated lines up to the file's start", "}\n}\n}\n}\n}\n}\n}\n}\n}\n",
       "}\n}\n}\n}\n};\n}\n}\n}\n}\n", "Normal(}|}|}|}|}|}|}|}|}|)"},
      {"two hunks whose new code is the same line stay apart in reverse",
       "one\nx\n2\n3\n4\n5\n6\n7\n8\n9\nx\nten\n",
       "one\nsame\n2\n3\n4\n5\n6\n7\n8\n9\nsame\nten\n",
       "Normal(one|x|2|3|4|) Normal(7|8|9|x|ten|)"},
      {"insert only, at the first and the last line",
       "a\nb\nc\nd\ne\nf\ng\nh\n", "new\na\nb\nc\nd\ne\nf\ng\nh\nlast\n",
       "Normal(a|b|c|) Normal(f|g|h|)"},
      {"delete only, first and last lines", "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n",
       "b\nc\nd\ne\nf\ng\nh\ni\n", "Normal(a|b|c|d|) Normal(g|h|i|j|)"},
      {"invalid UTF-8 bytes stay text (base64 in the description)",
       "ok\n\xff\xfe\n\x80 x\nz\n", "ok\n\xff\xfe!\n\x80 x\nz\n",
       "Normal(ok|?|?|z|)"},
      {"an empty file gets content: whole file", "", "a\n",
       "Complex FileExport Complex"},
      {"a file loses all its content: whole file", "a\n", "",
       "Complex FileExport Complex"},
      {"CR LF line ends: whole file", "a\r\nb\r\n", "a\r\nc\r\n",
       "Complex FileExport Complex"},
      {"CR line ends: whole file", "a\rb\r", "a\rc\r",
       "Complex FileExport Complex"},
      {"no final line end: whole file", "a\nb", "a\nc",
       "Complex FileExport Complex"},
      {"text that names the root macro: whole file", "x\nMACRO{ROOT}=/a/\ny\n",
       "x\nMACRO{ROOT}=/b/\ny\n", "Complex FileExport Complex"},
      {"binary content: whole file", std::string("a\0b\n", 4),
       std::string("a\0c\n", 4), "Complex FileExport Complex"},
  };
  for (const Case& c : cases) {
    const Made made =
        MakeFromTrees({{"f.txt", c.before}}, {{"f.txt", c.after}});
    ASSERT_TRUE(made.ok) << c.name << ": " << made.err;
    EXPECT_EQ(Levels(made.description["levels"], true), c.levels) << c.name;
  }
}

TEST(MakeChangePackage, NewAndRemovedFilesAndDirectories) {
  const Made made = MakeFromTrees(
      {{"keep.txt", "k\n"}, {"old/gone.txt", "bye\n"}, {"old/deep/g", "g\n"}},
      {{"keep.txt", "k\n"}, {"new/sub/hello.txt", "hi\n"}, {"new/empty", ""}});
  ASSERT_TRUE(made.ok) << made.err;
  EXPECT_EQ(Levels(made.description["levels"], false),
            "FileDirectoryCreationRemoval Complex "  // new/ and new/sub/
            "Complex FileDirectoryCreationRemoval Complex "  // new/empty
            "Complex FileDirectoryCreationRemoval Complex "
            "FileExport "  // new/sub/hello.txt
            "Complex Complex FileDirectoryCreationRemoval "  // old/deep/g
            "Complex Complex FileDirectoryCreationRemoval "  // old/gone.txt
            "Complex FileDirectoryCreationRemoval");         // old/deep/, old/
  EXPECT_EQ(made.description["levels"][0]["code"],
            Json::parse(R"(["+/{ROOT}new/", "+/{ROOT}new/sub/"])"));
  // Reverse removes them deepest first, each only when it is empty.
  EXPECT_EQ(made.description["levels"][1]["code"], Json::parse(R"([
                "GETSUBDIRECTORIESANDFILES {ROOT}new/sub/",
                "IFBUFFERTEXTLINESCOUNT = 1",
                "DELETEFILESANDDIRECTORIES {ROOT}new/sub/",
                "GETSUBDIRECTORIESANDFILES {ROOT}new/",
                "IFBUFFERTEXTLINESCOUNT = 1",
                "DELETEFILESANDDIRECTORIES {ROOT}new/"])"));
  const Json& levels = made.description["levels"];
  EXPECT_EQ(levels[levels.size() - 2]["code"], Json::parse(R"([
                "GETSUBDIRECTORIESANDFILES {ROOT}old/deep/",
                "IFBUFFERTEXTLINESCOUNT = 1",
                "DELETEFILESANDDIRECTORIES {ROOT}old/deep/",
                "GETSUBDIRECTORIESANDFILES {ROOT}old/",
                "IFBUFFERTEXTLINESCOUNT = 1",
                "DELETEFILESANDDIRECTORIES {ROOT}old/"])"));
  EXPECT_EQ(levels.back()["code"],
            Json::parse(R"(["-/{ROOT}old/deep/", "-/{ROOT}old/"])"));
  EXPECT_EQ(levels.back()["requirements"], "ACTION_REVERSE");
}

TEST(MakeChangePackage, MarkersFrameEachLevelInTheFilesCommentSyntax) {
  const Made made = MakeFromTrees(
      {{"a.c", "1\nx\n2\n3\n4\n5\n6\n7\n8\n9\nx\n"}, {"notes", "n\n"}},
      {{"a.c", "1\ny\n2\n3\n4\n5\n6\n7\n8\n9\ny\n"}, {"notes", "m\n"}},
      MarkerStyle::kAuto);
  ASSERT_TRUE(made.ok) << made.err;
  const Json& levels = made.description["levels"];
  // The file of unknown type keeps its levels unframed, in a package of
  // its own whose settings have no markers.
  EXPECT_EQ(Levels(levels, false), "Normal Normal Package[Normal]");
  EXPECT_EQ(levels[0]["comment_lines"],
            Json::parse(R"(["/* QRL BEGIN a.c#1 */"])"));
  EXPECT_EQ(levels[0]["label"], "/* QRL END a.c#1 */");
  EXPECT_EQ(levels[1]["label"], "/* QRL END a.c#2 */");
  EXPECT_EQ(levels[0]["number"], 1001);
  EXPECT_EQ(levels[1]["number"], 1002);
  EXPECT_EQ(levels[2]["number"], 2000);
  EXPECT_EQ(levels[0]["presentation"], "a.c, hunk #1 (@@ -1,5 +1,5 @@)");
}

// A level whose markers would stand inside a continued macro stays
// unframed, in a package of its own without markers, and says so.
TEST(MakeChangePackage, LeavesUnframedWhatAMarkerWouldBreak) {
  ScratchDir old_tree;
  ScratchDir new_tree;
  const std::string macro =
      "#define F \\\n  a \\\n  b \\\n  c \\\n  d \\\n  e \\\n  f \\\n  g\n";
  std::string changed = macro;
  changed.replace(changed.find("d"), 1, "D");
  MakeTree(old_tree.path(), {{"m.h", macro + "int x;\n"}});
  MakeTree(new_tree.path(), {{"m.h", changed + "int x;\n"}});
  ChangeSet changes;
  std::vector<std::string> errors;
  ASSERT_TRUE(
      ChangeFromTrees(old_tree.path(), new_tree.path(), &changes, &errors));
  std::string package;
  std::string err;
  std::vector<std::string> notes;
  ASSERT_TRUE(
      MakeChangePackage(changes, MarkerStyle::kAuto, &package, &err, &notes))
      << err;
  EXPECT_EQ(notes, std::vector<std::string>{
                       "m.h, hunk #1: left without markers, which would stand "
                       "after a line continued with a backslash"});
  Json description;
  DecodeError error;
  ASSERT_TRUE(DescribePackage(package, &description, &error));
  EXPECT_EQ(Levels(WithoutGuard(description["levels"]), false),
            "Package[Normal]");
}

TEST(MakeChangePackage, RefusesModeChangesAndLinks) {
  ScratchDir old_tree;
  ScratchDir new_tree;
  WriteFile(old_tree.Path("s.sh"), "x\n", 0644);
  WriteFile(new_tree.Path("s.sh"), "x\n", 0755);
  ChangeSet changes;
  std::vector<std::string> errors;
  EXPECT_FALSE(
      ChangeFromTrees(old_tree.path(), new_tree.path(), &changes, &errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0],
            "s.sh: the execute bit differs between the trees; a package "
            "cannot change a file's mode");
}

// Hunks that claim lines the texts do not hold (past either end, out of
// order) never make Normal levels: the file travels whole.
TEST(MakeChangePackage, HunksThatDoNotFitCarryTheFileWhole) {
  const std::string before = "a\nb\nc\n";
  const std::string after = "a\nB\nc\n";
  const auto hunk = [](size_t old_start, size_t old_count, size_t new_start,
                       size_t new_count) {
    LineHunk made;
    made.old_start = old_start;
    made.old_count = old_count;
    made.new_start = new_start;
    made.new_count = new_count;
    return made;
  };
  const std::vector<std::vector<LineHunk>> lying = {
      {hunk(1, 1, 1, 9)},                    // more new lines than there are
      {hunk(2, 5, 1, 1)},                    // more old lines than there are
      {hunk(1, 1, 1, 1), hunk(0, 1, 0, 1)},  // out of order
  };
  for (const std::vector<LineHunk>& hunks : lying) {
    ChangeSet changes;
    changes.files.push_back(
        FileChange{"f", before, after, false, hunks, "", {}});
    changes.before.files["f"] = before;
    changes.after.files["f"] = after;
    std::string package;
    std::string err;
    ASSERT_TRUE(MakeChangePackage(changes, MarkerStyle::kNone, &package, &err))
        << err;
    Json description;
    DecodeError error;
    ASSERT_TRUE(DescribePackage(package, &description, &error));
    const std::string levels =
        Levels(WithoutGuard(description["levels"]), false);
    EXPECT_NE(levels.find("FileExport"), std::string::npos) << levels;
    EXPECT_EQ(levels.find("Normal"), std::string::npos) << levels;
  }
}

TEST(VerifyPackage, NamesTheFileTheLineAndTheAction) {
  // A package made for one change, checked against another.
  ChangeSet changes;
  changes.files.push_back(
      FileChange{"f", "a\nb\n", "a\nc\n", false, {}, "", {}});
  changes.files[0].hunks =
      LineHunks(SplitTextLines("a\nb\n"), SplitTextLines("a\nc\n"));
  changes.before.files["f"] = "a\nb\n";
  changes.after.files["f"] = "a\nc\n";
  std::string package;
  std::string err;
  ASSERT_TRUE(MakeChangePackage(changes, MarkerStyle::kNone, &package, &err))
      << err;
  TreeState wrong = changes.after;
  wrong.files["f"] = "a\nd\n";
  VerifyFailure failure;
  EXPECT_FALSE(VerifyPackage(package, changes.before, wrong, &failure));
  EXPECT_EQ(failure.action, "apply");
  EXPECT_EQ(failure.path, "f");
  EXPECT_EQ(failure.line, 2u);
  // A tree where the obsolete code is missing: the engine's own message.
  TreeState drifted = changes.before;
  drifted.files["f"] = "x\ny\n";
  EXPECT_FALSE(VerifyPackage(package, drifted, changes.after, &failure));
  EXPECT_EQ(failure.detail,
            "qrlconsole would print \"ERROR! LOCAL REQUIREMENTS ARE NOT "
            "FULFILLED FOR LEVEL 1001 PROCESS WITH PRESENTATION: f, hunk #1 "
            "(@@ -1,2 +1,2 @@)\"");
  // A package that writes outside the tree it is checked on.
  const std::string climbing =
      PackageData({CreationRemovalLevel({"+/{ROOT}../climbed"})});
  EXPECT_FALSE(VerifyPackage(climbing, {}, {}, &failure));
  EXPECT_EQ(failure.detail, "it changes /climbed, outside the tree");
}

}  // namespace
