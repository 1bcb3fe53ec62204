// End-to-end tests of qrlpack: the real binary in a scratch directory, its
// output streams, its exit code and the files it leaves (or does not).
#include <filesystem>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// The description files of the source tree: the end-to-end fixtures and
// the examples.
std::vector<std::string> DescriptionFiles() {
  std::vector<std::string> files;
  for (const char* dir : {"tests/e2e/fixtures", "examples"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(SourcePath(dir))) {
      if (entry.path().extension() == ".json") {
        files.push_back(entry.path().string());
      }
    }
  }
  return files;
}

// The first ```json block of a document of the source tree.
std::string FirstJsonBlock(const std::string& document_name) {
  const std::string document = ReadFile(SourcePath(document_name));
  const std::string open = "```json\n";
  const size_t start = document.find(open);
  const size_t end = document.find("```\n", start + open.size());
  if (start == std::string::npos || end == std::string::npos) {
    ADD_FAILURE() << document_name << " shows no JSON";
    return std::string();
  }
  return document.substr(start + open.size(), end - start - open.size());
}

class PackEndToEnd : public ::testing::Test {
 protected:
  ScratchDir dir_;
};

TEST_F(PackEndToEnd, HelpAndVersionGoToStandardOutput) {
  struct Case {
    std::vector<std::string> args;
    std::string first_line;
  };
  const std::vector<Case> cases = {
      {{"--help"}, "Usage: qrlpack COMMAND [ARGUMENTS]"},
      {{"-h"}, "Usage: qrlpack COMMAND [ARGUMENTS]"},
      {{"help"}, "Usage: qrlpack COMMAND [ARGUMENTS]"},
      {{"help", "build"}, "Usage: qrlpack build DESC.json -o PKG.qrl"},
      {{"build", "--help"}, "Usage: qrlpack build DESC.json -o PKG.qrl"},
      {{"build", "in.json", "-h"}, "Usage: qrlpack build DESC.json -o PKG.qrl"},
      {{"dump", "-h"}, "Usage: qrlpack dump PKG.qrl [-o DESC.json]"},
      {{"help", "dump"}, "Usage: qrlpack dump PKG.qrl [-o DESC.json]"},
      {{"--version"}, "qrlpack 1.0.0"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = RunPack(c.args, dir_.path());
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')), c.first_line)
        << c.args[0];
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exit_code, 0);
  }
}

TEST_F(PackEndToEnd, UsageErrorsExitWithTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"pack"}, "qrlpack: unknown command 'pack'\nTry 'qrlpack --help'.\n"},
      {{"build", "d.json"},
       "qrlpack: build: missing -o OUTPUT\nTry 'qrlpack build --help'.\n"},
      {{"build", "-o", "p.qrl"},
       "qrlpack: build: missing the input file\n"
       "Try 'qrlpack build --help'.\n"},
      {{"build", "d.json", "-o"},
       "qrlpack: build: option -o needs a file name\n"
       "Try 'qrlpack build --help'.\n"},
      {{"dump", "p.qrl", "--pretty"},
       "qrlpack: dump: unknown option '--pretty'\n"
       "Try 'qrlpack dump --help'.\n"},
      {{"dump", "a.qrl", "b.qrl"},
       "qrlpack: dump: unexpected argument 'b.qrl'\n"
       "Try 'qrlpack dump --help'.\n"},
      {{"help", "pack"},
       "qrlpack: help: expected one of the commands build, dump, from-diff, "
       "from-trees, plan, rebase\n"
       "Try 'qrlpack --help'.\n"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = RunPack(c.args, dir_.path());
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.exit_code, 2) << c.err;
  }
  // Without arguments: the help, on standard error.
  const ProgramResult bare = RunPack({}, dir_.path());
  EXPECT_TRUE(bare.err.starts_with("Usage: qrlpack COMMAND")) << bare.err;
  EXPECT_EQ(bare.exit_code, 2);
  EXPECT_TRUE(DirectoryEntries(dir_.path()).empty());
}

TEST_F(PackEndToEnd, BuildThenDumpGivesTheFullDescription) {
  WriteFile(dir_.Path("desc.json"),
            R"({"settings": {"user_information": "Menu \u00e9"},
                "levels": [{"kind": "Normal", "presentation": "Fix",
                            "entries": [{"path": "/a.txt", "lines": ["old"]}],
                            "code": ["new"]}]})");
  const ProgramResult build =
      RunPack({"build", "desc.json", "-o", "p.qrl"}, dir_.path());
  EXPECT_EQ(build.out, "");
  EXPECT_EQ(build.err, "");
  EXPECT_EQ(build.exit_code, 0);
  const std::string package = ReadFile(dir_.Path("p.qrl"));

  const std::string expected =
      "{\n"
      "  \"settings\": {\n"
      "    \"user_information\": \"Menu \xC3\xA9\"\n"
      "  },\n"
      "  \"levels\": [\n"
      "    {\n"
      "      \"number\": 1,\n"
      "      \"kind\": \"Normal\",\n"
      "      \"presentation\": \"Fix\",\n"
      "      \"severity\": 3,\n"
      "      \"entries\": [\n"
      "        {\n"
      "          \"path\": \"/a.txt\",\n"
      "          \"type\": \"text\",\n"
      "          \"lines\": [\n"
      "            \"old\"\n"
      "          ]\n"
      "        }\n"
      "      ],\n"
      "      \"code\": [\n"
      "        \"new\"\n"
      "      ]\n"
      "    }\n"
      "  ]\n"
      "}\n";
  const ProgramResult dump = RunPack({"dump", "p.qrl"}, dir_.path());
  EXPECT_EQ(dump.out, expected);
  EXPECT_EQ(dump.exit_code, 0);

  // The same into a file; building that file gives the same bytes.
  EXPECT_EQ(
      RunPack({"dump", "--output=d.json", "p.qrl"}, dir_.path()).exit_code, 0);
  EXPECT_EQ(ReadFile(dir_.Path("d.json")), expected);
  EXPECT_EQ(BuildPackageFromJson(dir_.Path("d.json"), dir_.Path("again.qrl")),
            package);
  // "-o -" writes the package to standard output.
  EXPECT_EQ(RunPack({"build", "-o", "-", "--", "desc.json"}, dir_.path()).out,
            package);

  // qrlconsole takes what qrlpack built.
  const ProgramResult console =
      RunConsole({"p.qrl", "showuserinfo"}, dir_.path());
  EXPECT_EQ(console.out, BannerLine() + "Menu \xC3\xA9\n");
}

TEST_F(PackEndToEnd, InvalidInputWritesNothingAndSaysWhere) {
  WriteFile(dir_.Path("path.json"),
            R"({"levels": [{"kind": "Normal"}, {"kind": "Normal"},
                           {"kind": "Normal"},
                           {"kind": "Normal", "entries": [{"path": 5}]}]})");
  WriteFile(dir_.Path("syntax.json"), "{\"levels\": [\n  {\"kind\": }]}");
  WriteFile(
      dir_.Path("lower.qrl"),
      Serialize({"level", "settings", "quorling control system 20230101"}));
  WriteFile(dir_.Path("short.qrl"), std::string("\x01\x02\x00\x00", 4));
  WriteFile(dir_.Path("old.out"), "old content");
  struct Case {
    std::string command;
    std::string input;
    std::string err;
  };
  // A key with an escape sequence and a line feed stays on one plain line.
  WriteFile(dir_.Path("key.json"),
            R"({"levels": [{"kind": "Normal", "\u001b[31mred\nline": 1}]})");
  const std::vector<Case> cases = {
      {"build", "key.json",
       "qrlpack: key.json: levels[0]: unknown field \"\\x1B[31mred\\nline\"\n"},
      {"build", "path.json",
       "qrlpack: path.json: levels[3].entries[0].path: expected a string\n"},
      {"build", "syntax.json",
       "qrlpack: syntax.json: parse error at line 2, column 12: syntax error "
       "while parsing value - unexpected '}'; expected '[', '{', or a "
       "literal\n"},
      {"build", "missing.json",
       "qrlpack: missing.json: cannot open: No such file or directory\n"},
      {"dump", "lower.qrl",
       "qrlpack: lower.qrl: not a package: at byte 18: the last item is not "
       "the trailer \"QUORLING CONTROL SYSTEM 20230101\"\n"},
      {"dump", "short.qrl",
       "qrlpack: short.qrl: not a package: at byte 1: a package holds at "
       "least one level, its settings and its trailer, but this list holds "
       "2 items\n"},
  };
  const std::vector<std::string> before = DirectoryEntries(dir_.path());
  for (const Case& c : cases) {
    for (const char* output : {"new.out", "old.out"}) {
      const ProgramResult result =
          RunPack({c.command, c.input, "-o", output}, dir_.path());
      EXPECT_EQ(result.err, c.err);
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.exit_code, 1) << c.input;
    }
  }
  // No new file, no temporary file, the old output untouched.
  EXPECT_EQ(DirectoryEntries(dir_.path()), before);
  EXPECT_EQ(ReadFile(dir_.Path("old.out")), "old content");

  // An output that cannot be written: a plain file stands where the
  // directory should be.
  BuildPackageFromJson(SourcePath("examples/demo.json"), dir_.Path("p.qrl"));
  const ProgramResult unwritable =
      RunPack({"dump", "p.qrl", "-o", "old.out/d.json"}, dir_.path());
  EXPECT_TRUE(unwritable.err.starts_with("qrlpack: old.out/d.json: "))
      << unwritable.err;
  EXPECT_EQ(unwritable.exit_code, 1);
}

TEST_F(PackEndToEnd, EveryFixtureAndExampleRoundTrips) {
  // Built, dumped and built again: the same bytes, in readable forms only.
  const std::vector<std::string> files = DescriptionFiles();
  ASSERT_GE(files.size(), 2u);
  for (const std::string& file : files) {
    const std::string package = BuildPackageFromJson(file, dir_.Path("p.qrl"));
    const ProgramResult dump = RunPack({"dump", "p.qrl"}, dir_.path());
    EXPECT_EQ(dump.exit_code, 0) << file;
    EXPECT_EQ(dump.out.find("\"raw\""), std::string::npos) << dump.out;
    EXPECT_EQ(BuildPackageFromJson(dump.out, dir_.Path("again.qrl")), package)
        << file;
  }
}

TEST_F(PackEndToEnd, DocumentedExamplesBuild) {
  // The complete example of docs/package-format.md is dump's own output
  // for the package it describes; the README's example builds.
  const std::string example = FirstJsonBlock("docs/package-format.md");
  BuildPackageFromJson(example, dir_.Path("example.qrl"));
  EXPECT_EQ(RunPack({"dump", "example.qrl"}, dir_.path()).out, example);
  BuildPackageFromJson(FirstJsonBlock("README.md"), dir_.Path("readme.qrl"));
}

}  // namespace
