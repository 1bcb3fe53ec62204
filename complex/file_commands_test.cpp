#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/complex_runs.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

// A program run inside a fresh scratch directory holding `before`; "<DIR>"
// in the program and the output stands for that directory.
struct FileCase {
  std::string what;
  FileTree before = {};
  Items program;
  FileTree after = {};
  Items output = {};
  uint8_t run_flags = 1;
};

std::string WithDirectory(std::string text, const std::string& directory) {
  for (size_t at; (at = text.find("<DIR>")) != std::string::npos;) {
    text.replace(at, 5, directory);
  }
  return text;
}

void ExpectFileCases(const std::vector<FileCase>& cases) {
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir(ScratchDir::Enter::kYes);
    MakeTree(dir.path(), c.before);
    Items program = c.program;
    Items output = c.output;
    for (Items* items : {&program, &output}) {
      for (std::string& item : *items) {
        item = WithDirectory(item, dir.path());
      }
    }
    const ComplexResult result = RunComplexProgram(program);
    EXPECT_EQ(result.output, output);
    EXPECT_EQ(result.run_flags, c.run_flags);
    EXPECT_EQ(TreeContents(dir.path()), c.after);
  }
}

TEST(FileCommands, CreateAndChangeDirectories) {
  ExpectFileCases({
      {.what = "missing parents are created; the bit is left alone",
       .before = {{"a/", ""}},
       .program = {"RETURN FALSE", "CREATEDIRECTORY a/b/c/"},
       .after = {{"a/", ""}, {"a/b/", ""}, {"a/b/c/", ""}},
       .run_flags = 0},
      {.what = "stored paths and the buffer; \\ counts as /",
       .program = {R"(CREATEDIRECTORY+ \x\y)", "BUFFERSET p\\q",
                   "CREATEDIRECTORY", "CREATEDIRECTORY "},
       .after = {{"x/", ""}, {"x/y/", ""}, {"p/", ""}, {"p/q/", ""}}},
      {.what = "an existing directory or a file in the way fails",
       .before = {{"a/", ""}, {"f", ""}},
       .program = {"CREATEDIRECTORY a/", "RETURN TRUE", "CREATEDIRECTORY f/x"},
       .after = {{"a/", ""}, {"f", ""}},
       .run_flags = 0},
      {.what = "relative paths count from the new working directory",
       .before = {{"sub/f", "1"}},
       .program = {"CHANGEWORKINGDIRECTORY sub", "CREATEDIRECTORY x",
                   "COPYFILES f", "x/", "IFEXECUTECOMMAND pwd", "MESSAGE",
                   "CHANGEWORKINGDIRECTORY+ |x", "CREATEDIRECTORY y"},
       .after = {{"sub/", ""},
                 {"sub/f", "1"},
                 {"sub/x/", ""},
                 {"sub/x/f", "1"},
                 {"sub/x/y/", ""}},
       .output = {"<DIR>/sub\n"}},
      {.what = "a missing directory or a file fails and keeps the old one",
       .before = {{"f", ""}},
       .program = {"CHANGEWORKINGDIRECTORY missing", "CHANGEWORKINGDIRECTORY f",
                   "CHANGEWORKINGDIRECTORY ", "CREATEDIRECTORY y"},
       .after = {{"f", ""}, {"y/", ""}},
       .run_flags = 0},
      {.what = "a stored path that converts to nothing does nothing",
       .before = {{"sub/", ""}},
       .program = {"CHANGEWORKINGDIRECTORY sub", "CHANGEWORKINGDIRECTORY+ /",
                   "CHANGEWORKINGDIRECTORY+ \\", "CREATEDIRECTORY y"},
       .after = {{"sub/", ""}, {"sub/y/", ""}}},
  });
}

TEST(FileCommands, CopyAndMoveByMask) {
  const FileTree src = {{"src/", ""},        {"src/a.txt", "a"},
                        {"src/.h.txt", "h"}, {"src/ab.txt", "ab"},
                        {"src/b.log", "b"},  {"src/d.txt/", ""}};
  FileTree copied = src;
  copied.insert({{"dst/", ""},
                 {"dst/a.txt", "a"},
                 {"dst/.h.txt", "h"},
                 {"dst/ab.txt", "ab"}});
  ExpectFileCases({
      {.what = "every matching file, hidden ones too, into a new directory",
       .before = src,
       .program = {"RETURN FALSE", "COPYFILES src/*.txt", "dst/"},
       .after = copied},
      {.what = "moving with \"?\"; stored paths; a file target",
       .before = {{"s/a.txt", "a"}, {"s/ab.txt", "ab"}},
       .program = {"MOVEFILES+ |s|?.txt", "|dst|", "BUFFERSET s/ab*",
                   "COPYFILES", "one.txt"},
       .after = {{"s/", ""},
                 {"s/ab.txt", "ab"},
                 {"dst/", ""},
                 {"dst/a.txt", "a"},
                 {"one.txt", "ab"}}},
      {.what = "\"//\" stands for the first subdirectory, in both paths",
       .before = {{"base/readme", ""},
                  {"base/v1/lib/x.so", "x"},
                  {"out/only/", ""}},
       .program = {"COPYFILES base//lib/*.so", "out//"},
       .after = {{"base/", ""},
                 {"base/readme", ""},
                 {"base/v1/", ""},
                 {"base/v1/lib/", ""},
                 {"base/v1/lib/x.so", "x"},
                 {"out/", ""},
                 {"out/only/", ""},
                 {"out/only/x.so", "x"}}},
      {.what = "only directories match: nothing to copy, success",
       .before = {{"s/d/", ""}},
       .program = {"RETURN FALSE", "COPYFILES s/*", "dst/"},
       .after = {{"s/", ""}, {"s/d/", ""}}},
      {.what = "nothing matches, no \"//\" directory, a source directory: "
               "failures; the target line never runs",
       .before = {{"base/f", ""}},
       .program = {"COPYFILES src/*.c", "HALT", "RETURN TRUE",
                   "COPYFILES base//lib/*", "HALT", "RETURN TRUE",
                   "MOVEFILES base/", "HALT"},
       .after = {{"base/", ""}, {"base/f", ""}},
       .run_flags = 0},
      {.what = "no target line fails; an empty source does nothing",
       .program = {"COPYFILES ", "HALT", "COPYFILES x"},
       .run_flags = 0},
      {.what = "a file copied or moved onto itself stays, however spelt",
       .before = {{"d/a", "a"}, {"l", "-> d/a"}},
       .program = {"COPYFILES d/a", "d/../d/a", "MOVEFILES d/*", "./d/",
                   "MOVEFILES d/a", "l"},
       .after = {{"d/", ""}, {"d/a", "a"}, {"l", "-> d/a"}}},
  });
}

TEST(FileCommands, DeleteAndListTrees) {
  const FileTree chain = {{"t/a/f", "f"}, {"keep", "k"}};
  ExpectFileCases({
      {.what = "a listed tree goes, deepest entries first",
       .before = chain,
       .program = {"GETSUBDIRECTORIESANDFILES t", "MESSAGE",
                   "DELETEFILESANDDIRECTORIES"},
       .after = {{"keep", "k"}},
       .output = {"t/\nt/a/\nt/a/f\n"}},
      {.what = "directories only; the working directory; a missing one",
       .before = chain,
       .program = {"GETSUBDIRECTORIES t/", "MESSAGE",
                   "CHANGEWORKINGDIRECTORY t", "GETSUBDIRECTORIES  ", "MESSAGE",
                   "GETSUBDIRECTORIES none", "MESSAGE"},
       .after = {{"keep", "k"}, {"t/", ""}, {"t/a/", ""}, {"t/a/f", "f"}},
       .output = {"t/\nt/a/\n", "<DIR>/t/\n<DIR>/t/a/\n", ""}},
      {.what = "links are listed and deleted as links, never followed",
       .before = {{"c/up", "-> .."}, {"t/out", "-> ../out"}, {"out/o", "o"}},
       .program = {"GETSUBDIRECTORIESANDFILES c", "MESSAGE",
                   "DELETEFILESANDDIRECTORIES", "GETSUBDIRECTORIESANDFILES t",
                   "DELETEFILESANDDIRECTORIES"},
       .after = {{"out/", ""}, {"out/o", "o"}},
       .output = {"c/\nc/up\n"}},
      {.what = "trimmed lines, stored paths; missing and mistyped paths are "
               "skipped",
       .before = {{"f", ""}, {"d/g", ""}, {"e/", ""}, {"l", "-> f"}},
       .program = {"BUFFERSET |f", "BUFFEREPILOGUETEXTLINESEPARATOR",
                   "BUFFEREPILOGUE  |d| ", "DELETEFILESANDDIRECTORIES+",
                   "BUFFERSET l", "BUFFEREPILOGUETEXTLINESEPARATOR",
                   "BUFFEREPILOGUE e", "DELETEFILESANDDIRECTORIES",
                   "DELETEFILESANDDIRECTORIES missing/"},
       .after = {{"e/", ""}}},
  });
}

TEST(FileCommands, PathsWithANulByteAreRefused) {
  // The system would see each path cut at the NUL byte.
  const FileTree tree = {{"keep", "k"}, {"d/f", "f"}, {"t/", ""}};
  ExpectFileCases({
      {.what = "nothing is deleted, created, copied or entered",
       .before = tree,
       .program = {"DELETEFILESANDDIRECTORIES keep\0x"s,
                   "DELETEFILESANDDIRECTORIES d\0x/"s,
                   "DELETEFILESANDDIRECTORIES+ /d/f\0x"s,
                   "CREATEDIRECTORY t/n\0x"s, "COPYFILES keep\0x"s, "t/",
                   "MOVEFILES keep", "t/\0x"s, "MOVEFILES d/*", "keep\0x/"s,
                   "CHANGEWORKINGDIRECTORY d\0x"s, "CREATEDIRECTORY made",
                   "GETSUBDIRECTORIESANDFILES d\0x"s, "MESSAGE"},
       .after =
           {{"keep", "k"}, {"d/", ""}, {"d/f", "f"}, {"t/", ""}, {"made/", ""}},
       .output = {""},
       .run_flags = 0},
  });
}

TEST(FileCommands, DeletingRefusesTheRootAndGoesOn) {
  // Inside a chroot of the scratch directory "/" is the scratch directory,
  // so a fault here could only empty that.
  ScratchDir dir;
  MakeTree(dir.path(), {{"canary", "alive"}, {"x", ""}});
  const ProgramResult child = RunInChild([&] {
    if (::chroot(dir.path().c_str()) != 0 || ::chdir("/") != 0) {
      ::_exit(2);
    }
    const ComplexResult result =
        RunComplexProgram({"BUFFERSET /", "BUFFEREPILOGUETEXTLINESEPARATOR",
                           "BUFFEREPILOGUE x", "DELETEFILESANDDIRECTORIES"});
    return std::to_string(result.run_flags);
  });
  if (child.exit_code == 2) {
    GTEST_SKIP() << "chroot needs root";
  }
  EXPECT_EQ(child.out, "0");
  EXPECT_EQ(TreeContents(dir.path()), (FileTree{{"canary", "alive"}}));
}

TEST(FileCommands, PermissionsAndExtensions) {
  ExpectFileCases({
      {.what = "tests follow links",
       .before = {{"f", ""}, {"d/", ""}, {"lf", "-> f"}, {"gone", "-> none"}},
       .program = {"IFFILEEXISTS lf", "MESSAGE file", "IFDIRECTORYEXISTS d",
                   "MESSAGE directory", "IFNOTFILEEXISTS d", "MESSAGE no file",
                   "IFNOTDIRECTORYEXISTS f", "MESSAGE no directory",
                   "BUFFERSET gone", "IFFILEEXISTS", "MESSAGE never"},
       .after = {{"f", ""}, {"d/", ""}, {"lf", "-> f"}, {"gone", "-> none"}},
       .output = {"file", "directory", "no file", "no directory"}},
      {.what = "the extension is empty here: only a missing file fails",
       .before = {{"f", ""}},
       .program = {"APPENDEXECUTABLEEXTENSIONTOFILE f",
                   "APPENDEXECUTABLEEXTENSIONTOFILE+ |f",
                   "APPENDEXECUTABLEEXTENSIONTOFILE", "IFRETURNTRUE",
                   "MESSAGE ok", "APPENDEXECUTABLEEXTENSIONTOFILE g"},
       .after = {{"f", ""}},
       .output = {"ok"},
       .run_flags = 0},
      {.what = "EXTRACTDIRECTORY",
       .program = {"EXTRACTDIRECTORY a/b\\c.txt", "MESSAGE", "BUFFERSET c",
                   "EXTRACTDIRECTORY", "MESSAGE"},
       .output = {"a/b\\", ""}},
  });

  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile("run.sh", "", 0640);
  WriteFile("tool", "t", 0751);
  const ComplexResult result = RunComplexProgram(
      {"TRYTOASSUREEXECUTEPERMISSIONS run.sh",
       "TRYTOASSUREEXECUTEPERMISSIONS missing", "MOVEFILES tool", "bin/"});
  EXPECT_EQ(result.run_flags, 1);
  EXPECT_EQ(FileMode("run.sh"), 0755u);
  EXPECT_EQ(FileMode("bin/tool"), 0751u);
  EXPECT_FALSE(Exists("tool"));
}

TEST(FileCommands, StoreFileByMaskPicksByEachCriterion) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  // Name, size and time each put another file first.
  MakeTree(dir.path(), {{"logs/a.log", "aaa"},
                        {"logs/b.log", "b"},
                        {"logs/c.log", "cc"},
                        {"logs/x.txt", "xxxxxx"},
                        {"logs/z.log/", ""}});
  const std::pair<const char*, time_t> kTimes[] = {
      {"a.log", 2000}, {"b.log", 3000}, {"c.log", 1000}};
  for (const auto& [name, seconds] : kTimes) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(
        ::utimensat(AT_FDCWD, (std::string("logs/") + name).c_str(), times, 0),
        0);
  }
  std::vector<ProgramCase> cases;
  const std::pair<const char*, const char*> kPicks[] = {
      {"N", "c"}, {"n", "a"}, {"S", "a"}, {"s", "b"}, {"T", "b"}, {"t", "c"}};
  for (const auto& [criterion, file] : kPicks) {
    cases.push_back(
        {.what = criterion,
         .program = {"RETURN FALSE",
                     std::string("BUFFERSTOREFILEBYMASK ") + criterion, "logs",
                     "*.log", "MESSAGE"},
         .output = {std::string("logs/") + file + ".log"}});
  }
  cases.push_back(
      {.what = "stored directory, mask with its own directory",
       .program = {"BUFFERSTOREFILEBYMASK+ N", "|.", "logs/*.txt", "MESSAGE"},
       .output = {"./logs/x.txt"}});
  cases.push_back(
      {.what = "nothing found empties the buffer; the operand "
               "lines never run",
       .program = {"BUFFERSET kept", "BUFFERSTOREFILEBYMASK T", "logs/",
                   "*.none", "MESSAGE", "BUFFERSET kept",
                   "BUFFERSTOREFILEBYMASK T", "missing", "*", "MESSAGE"},
       .output = {"", ""},
       .run_flags = 0});
  cases.push_back(
      {.what = "another criterion or a missing line keeps it",
       .program = {"BUFFERSET kept", "BUFFERSTOREFILEBYMASK NN", "logs", "HALT",
                   "MESSAGE", "BUFFERSTOREFILEBYMASK N", "logs"},
       .output = {"kept"},
       .run_flags = 0});
  ExpectCases(cases);
}

TEST(ExecutionCommands, OutputLandsInTheBuffer) {
  const std::string fails = " sh -c 'echo out; exit 3'";
  ExpectCases({
      {.what = "without \"+\" any end holds",
       .program = {"IFEXECUTECOMMAND" + fails, "MESSAGE",
                   "IFNOTEXECUTECOMMAND true", "MESSAGE never"},
       .output = {"out\n"}},
      {.what = "with \"+\" only status 0 holds; the output is kept",
       .program = {"IFEXECUTECOMMAND+" + fails, "MESSAGE never", "MESSAGE",
                   "IFNOTEXECUTECOMMAND+ sh -c 'echo x; kill $$'", "MESSAGE",
                   "IFEXECUTECOMMAND+ true", "MESSAGE zero"},
       .output = {"out\n", "x\n", "zero"}},
      {.what = "a program that cannot start does not hold, buffer empty",
       .program = {"BUFFERSET kept", "IFEXECUTECOMMAND no-such-program-qrl",
                   "MESSAGE never", "MESSAGE"},
       .output = {""}},
      {.what = "alone, the buffer is the command line",
       .program = {"BUFFERSET echo 'a  b'", "IFEXECUTECOMMAND+", "MESSAGE"},
       .output = {"a  b\n"}},
  });
}

}  // namespace
