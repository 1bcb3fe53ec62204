// End-to-end tests of the levels that run tools and nested packages and
// write whole files: the real binary in a scratch directory, with shell
// scripts written by the test and packages built from JSON descriptions by
// the real qrlpack. {DIR} is the scratch directory, given on the command
// line.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

class ToolsAndPackagesEndToEnd : public ::testing::Test {
 protected:
  void Build(const std::string& fixture, const std::string& package) {
    BuildPackageFromJson(SourcePath("tests/e2e/fixtures/" + fixture),
                         dir_.Path(package));
  }

  ProgramResult Run(const std::string& package, const std::string& action,
                    std::vector<std::string> more = {}) {
    std::vector<std::string> args = {package, action,
                                     "MACRO{DIR}=" + dir_.path() + "/"};
    args.insert(args.end(), more.begin(), more.end());
    return RunConsole(args, dir_.path());
  }

  ScratchDir dir_;
};

TEST_F(ToolsAndPackagesEndToEnd, ToolsCaptureIntoMacrosAndFailuresAreReported) {
  // The version script is not executable until the level makes it so.
  WriteFile(dir_.Path("version.sh"), "#!/bin/sh\nprintf 1.2\nexit 1\n", 0644);
  // 100 KiB on standard error first: a tool that filled an unread pipe
  // would block there.
  WriteFile(dir_.Path("loud.sh"),
            "#!/bin/sh\n"
            "head -c 102400 /dev/zero | tr '\\0' e >&2\n"
            "head -c 102400 /dev/zero | tr '\\0' o\n",
            0755);
  WriteFile(dir_.Path("say.sh"),
            "#!/bin/sh\necho \"$1 $2 from $(pwd)\"\necho complaint >&2\n",
            0755);
  Build("tools.json", "tools.qrl");
  const ProgramResult result = Run("tools.qrl", "apply");
  // The tool without capture writes straight to the console, before the
  // report lines that are printed at the end.
  EXPECT_EQ(result.out,
            BannerLine() + "hello 1.2 from " + dir_.Path("out") + "\n" +
                "WARNING! EXTERNAL TOOL CAN'T BE EXECUTED! LEVEL 6 PROCESS "
                "WITH PRESENTATION: Missing tool\n"
                "WARNING! EXTERNAL TOOL RETURNED AN ERROR! LEVEL 7 PROCESS "
                "WITH PRESENTATION: Missing directory\n"
                "ERROR! EXTERNAL TOOL RETURNED AN ERROR! LEVEL 8 PROCESS WITH "
                "PRESENTATION: Failing tool\n");
  EXPECT_EQ(result.err,
            "complaint\n"
            "qrlconsole: apply stopped: EXTERNAL TOOL RETURNED AN ERROR! LEVEL "
            "8 PROCESS WITH PRESENTATION: Failing tool\n");
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(ReadFile(dir_.Path("out/version.txt")), "version 1.2\n");
  EXPECT_EQ(ReadFile(dir_.Path("out/noise.txt")),
            std::string(102400, 'o') + "\n");
  EXPECT_EQ(FileMode(dir_.Path("version.sh")), 0755u);
  EXPECT_FALSE(Exists(dir_.Path("out/never.txt")));
}

TEST_F(ToolsAndPackagesEndToEnd, RemoveParametersFormsDropWhatTheyMatch) {
  Build("remove_parameters.json", "remove.qrl");
  const ProgramResult result = Run("remove.qrl", "apply");
  EXPECT_EQ(result.out, BannerLine());
  EXPECT_EQ(result.exit_code, 0);
  // Every tool got [%s] -v -V --all a.o x~y "" keep, less what its option
  // removed.
  EXPECT_EQ(ReadFile(dir_.Path("got.txt")),
            "[-V][--all][a.o][x~y][][keep]\n"
            "[-v][-V][a.o][x~y][][keep]\n"
            "[-v][-V][--all][x~y][][keep]\n"
            "[-v][-V][--all][a.o][][keep]\n"
            "[-v][-V][--all][a.o][x~y][keep]\n"
            "[-v][-V][--all][x~y][keep]\n");
}

TEST_F(ToolsAndPackagesEndToEnd, NestedPackagesHandMacrosAndSymbolsBack) {
  Build("nested_inner.json", "inner.qrl");
  Build("nested_outer.json", "outer.qrl");
  ProgramResult result =
      Run("outer.qrl", "apply", {"MACRO{OUTER}=from outside", "SYMBOL+S"});
  EXPECT_EQ(result.out, BannerLine() +
                            "WARNING! INCOMPATIBLE DATA FOR LEVEL 4 PROCESS "
                            "WITH PRESENTATION: Not a package\n");
  EXPECT_EQ(result.exit_code, 0);
  // Inside a nested package its own macros come first; afterwards the
  // caller has them too, and the symbols its levels defined.
  EXPECT_EQ(ReadFile(dir_.Path("inner/x.txt")), "inner from outside\n");
  EXPECT_EQ(ReadFile(dir_.Path("inline/x.txt")),
            "inline from the inner package\n");
  EXPECT_EQ(ReadFile(dir_.Path("outer.txt")),
            "inline from the inner package\n");

  // Reversing reverses both nested packages; the exported file stays.
  result = Run("outer.qrl", "reverse", {"MACRO{OUTER}=from outside"});
  EXPECT_EQ(result.out, BannerLine() +
                            "INCOMPATIBLE DATA FOR LEVEL 4 PROCESS WITH "
                            "PRESENTATION: Not a package\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(DirectoryEntries(dir_.path()),
            (std::vector<std::string>{"inner.qrl", "outer.qrl", "outer.txt"}));
}

TEST_F(ToolsAndPackagesEndToEnd, PackageThatRunsItselfStopsAtTheDepthLimit) {
  BuildPackageFromJson(
      R"({"levels": [{"kind": "Package", "presentation": "Again",
          "code": {"path": "/{DIR}self.qrl"}}]})",
      dir_.Path("self.qrl"));
  const ProgramResult result = Run("self.qrl", "apply");
  std::string expected = BannerLine() +
                         "ERROR! UNABLE TO READ DATA FOR LEVEL 1 PROCESS WITH "
                         "PRESENTATION: Again\n";
  for (int depth = 0; depth < 64; ++depth) {
    expected += "ERROR! \n";
  }
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.exit_code, 3);
}

}  // namespace
