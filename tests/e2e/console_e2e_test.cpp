// End-to-end tests of the console client: the real binary in a scratch
// directory, its standard output compared byte for byte, its exit code and
// the files it leaves.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "qrlconsole [filename] [[action] [macros] [symbols]]\n"
    "\n"
    "action: apply, reverse, executechecks, showuserinfo, createbackup, "
    "restorebackup\n"
    "macros: must start with \"MACRO\"\n"
    "symbols: must start with \"SYMBOL\"\n"
    "\n"
    "Examples:\n"
    "1. To show quorl user informations\n"
    "qrlconsole quorlfile.qrl showuserinfo\n"
    "\n"
    "2. To apply quorl using a macro and symbol +VANILLAIDE\n"
    "qrlconsole quorlfile.qrl apply "
    "MACRO{MACRO_RAD_DIRECTORY}=/home/user/lazarus/ SYMBOL+VANILLAIDE\n"
    "\n"
    "3. To reverse quorl using a macro\n"
    "qrlconsole quorlfile.qrl reverse "
    "MACRO{MACRO_RAD_DIRECTORY}=/home/user/lazarus/\n"
    "\n"
    "4. To create backup using a macro \n"
    "qrlconsole quorlfile.qrl createbackup "
    "MACRO{MACRO_RAD_DIRECTORY}=/home/user/lazarus/\n"
    "\n"
    "5. To restore backup \n"
    "qrlconsole backupfile.qrl.backup restorebackup\n"
    "\n"
    "6. To load parameters from text file \n"
    "qrlconsole paramteres.txt\n";

// A one-level package whose user information is
// "Adds the menu entry.\tVersion 2 ".
const char kUserInformationFixture[] =
    "tests/e2e/fixtures/user_information.json";

class ConsoleEndToEnd : public ::testing::Test {
 protected:
  // Builds the description (a fixture name or JSON text) as q.qrl.
  void WritePackage(const std::string& fixture_or_json) {
    const std::string description = fixture_or_json.starts_with("{")
                                        ? fixture_or_json
                                        : SourcePath(fixture_or_json);
    BuildPackageFromJson(description, dir_.Path("q.qrl"));
  }

  ScratchDir dir_;
};

TEST_F(ConsoleEndToEnd, NoArgumentPrintsBannerAndUsage) {
  const ProgramResult result = RunConsole({});
  EXPECT_EQ(result.out, BannerLine() + kUsage);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(ConsoleEndToEnd, ShowUserInfoPrintsTheStoredTextInAnyLetterCase) {
  WritePackage(kUserInformationFixture);
  for (const char* action : {"showuserinfo", "ShowUserInfo", "SHOWUSERINFO"}) {
    const ProgramResult result =
        RunConsole({"q.qrl", action, "MACRO{X}=1", "SYMBOL+S"}, dir_.path());
    EXPECT_EQ(result.out, BannerLine() + "Adds the menu entry.\tVersion 2 \n");
    EXPECT_EQ(result.exit_code, 0);
  }
  // Nothing is written beside the package.
  EXPECT_EQ(DirectoryEntries(dir_.path()), std::vector<std::string>{"q.qrl"});

  WritePackage(R"({"levels": [{"kind": "Requirement"}]})");
  const ProgramResult empty =
      RunConsole({"q.qrl", "showuserinfo"}, dir_.path());
  EXPECT_EQ(empty.out, BannerLine() + "\n");
}

TEST_F(ConsoleEndToEnd, ParameterFileStandsForTheArguments) {
  WritePackage(kUserInformationFixture);
  WriteFile(dir_.Path("params.txt"),
            "\xEF\xBB\xBFq.qrl\n# comment\n\n   \nshowuserinfo\nMACRO{X}=1\n");
  const ProgramResult result = RunConsole({"params.txt"}, dir_.path());
  EXPECT_EQ(result.out, BannerLine() + "Adds the menu entry.\tVersion 2 \n");
  EXPECT_EQ(result.exit_code, 0);

  // Fewer than two surviving lines: the usage text.
  WriteFile(dir_.Path("short.txt"), "q.qrl\n#showuserinfo\n");
  const ProgramResult short_file = RunConsole({"short.txt"}, dir_.path());
  EXPECT_EQ(short_file.out, BannerLine() + kUsage);
  EXPECT_EQ(short_file.exit_code, 0);
}

TEST_F(ConsoleEndToEnd, UnreadableParameterFileExitsWithThree) {
  const ProgramResult result = RunConsole({"missing.txt"}, dir_.path());
  EXPECT_EQ(result.out,
            BannerLine() +
                "An error occured trying to load a text file filled with "
                "parameters.\n");
  EXPECT_EQ(result.err,
            "qrlconsole: cannot read parameter file 'missing.txt': cannot "
            "open: No such file or directory\n");
  EXPECT_EQ(result.exit_code, 3);
}

TEST_F(ConsoleEndToEnd, PackageThatCannotBeLoadedExitsWithThree) {
  WriteFile(dir_.Path("short.qrl"), std::string("\x01\x02\x00\x00", 4));
  WriteFile(
      dir_.Path("lower.qrl"),
      Serialize({"level", "settings", "quorling control system 20230101"}));
  struct Case {
    std::string file;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"missing.qrl",
       "qrlconsole: cannot load package 'missing.qrl': cannot open: No such "
       "file or directory\n"},
      {"short.qrl",
       "qrlconsole: cannot load package 'short.qrl': at byte 1: a package "
       "holds at least one level, its settings and its trailer, but this "
       "list holds 2 items\n"},
      {"lower.qrl",
       "qrlconsole: cannot load package 'lower.qrl': at byte 18: the last "
       "item is not the trailer \"QUORLING CONTROL SYSTEM 20230101\"\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = RunConsole({c.file, "apply"}, dir_.path());
    EXPECT_EQ(result.out, BannerLine()) << c.file;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exit_code, 3) << c.file;
  }
}

TEST_F(ConsoleEndToEnd, UnknownActionIsAUsageError) {
  WritePackage(kUserInformationFixture);
  WriteFile(dir_.Path("params.txt"), "q.qrl\naply\n");
  // The package is not even read: a missing one gives the same answer.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"q.qrl", "aply", "MACRO{X}=1"},
        std::vector<std::string>{"params.txt"},
        std::vector<std::string>{"missing.qrl", "aply"}}) {
    const ProgramResult result = RunConsole(args, dir_.path());
    EXPECT_EQ(result.out, BannerLine() + kUsage);
    EXPECT_EQ(result.err, "qrlconsole: unknown action 'aply'\n");
    EXPECT_EQ(result.exit_code, 2);
  }
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"params.txt", "q.qrl"}));
}

TEST_F(ConsoleEndToEnd, LoneHelpAndVersionOptionsUnlessAFileHasTheirName) {
  for (const char* option : {"--help", "-h"}) {
    const ProgramResult result = RunConsole({option}, dir_.path());
    EXPECT_EQ(result.out, BannerLine() + kUsage) << option;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exit_code, 0);
  }
  const ProgramResult version = RunConsole({"--version"}, dir_.path());
  EXPECT_EQ(version.out, "qrlconsole 1.0.0 20230101\n");
  EXPECT_EQ(version.err, "");
  EXPECT_EQ(version.exit_code, 0);

  // A file of that name is a parameter file, as any other single argument.
  WritePackage(kUserInformationFixture);
  for (const char* option : {"--help", "--version"}) {
    WriteFile(dir_.Path(option), "q.qrl\nshowuserinfo\n");
    const ProgramResult result = RunConsole({option}, dir_.path());
    EXPECT_EQ(result.out, BannerLine() + "Adds the menu entry.\tVersion 2 \n")
        << option;
    EXPECT_EQ(result.exit_code, 0);
  }
  // Beside other arguments the options are a file name and an action.
  const ProgramResult not_alone =
      RunConsole({"--help", "showuserinfo"}, dir_.path());
  EXPECT_EQ(not_alone.out, BannerLine());
  EXPECT_EQ(not_alone.exit_code, 3);
}

TEST_F(ConsoleEndToEnd, PackageWithoutActionIsAUsageError) {
  WritePackage(kUserInformationFixture);
  const std::string package = ReadFile(dir_.Path("q.qrl"));
  const ProgramResult result = RunConsole({"q.qrl"}, dir_.path());
  EXPECT_EQ(result.out, BannerLine() + kUsage);
  EXPECT_EQ(result.err,
            "qrlconsole: an action is missing: 'q.qrl' is a package, not a "
            "parameter file\n");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(DirectoryEntries(dir_.path()), std::vector<std::string>{"q.qrl"});
  EXPECT_EQ(ReadFile(dir_.Path("q.qrl")), package);
}

}  // namespace
