#include "engine/requirements.h"

#include "gtest/gtest.h"
#include "tests/package_builder.h"
#include "tests/test_util.h"

namespace {

bool Met(const LevelSpec& fields) {
  const std::string record = LevelRecord(fields);
  LevelView level;
  EXPECT_TRUE(DecodeLevel(record, &level));
  return LocalRequirementsMet(level);
}

TEST(LocalRequirementsMet, FilesMustExistAndHoldTheirContent) {
  ScratchDir dir;
  const std::string text = dir.Path("a.pas");
  WriteFile(text, "begin\r\n   End;  \r\nend.\n");
  WriteFile(dir.Path("b.bin"), std::string("\0\1\2", 3));
  const FileEntrySpec block{"/", text, "0", {"BEGIN", " end; "}, ""};
  const FileEntrySpec bytes{
      "/", dir.Path("b.bin"), "1", {}, std::string("\1\2", 2)};
  struct Case {
    const char* name;
    std::string kind;
    std::vector<FileEntrySpec> entries;
    bool met;
  };
  const std::vector<Case> cases = {
      {"no entries", "0", {}, true},
      {"lines and bytes", "0", {block, bytes}, true},
      {"empty bytes", "0", {{"/", dir.Path("b.bin"), "1", {}, ""}}, true},
      {"lines absent", "0", {{"/", text, "0", {"end;", "begin"}, ""}}, false},
      {"empty block", "0", {{"/", text, "0", {}, ""}}, false},
      {"bytes absent", "0", {{"/", dir.Path("b.bin"), "1", {}, "\2\1"}}, false},
      {"missing file", "0", {{"/", dir.Path("none"), "1", {}, ""}}, false},
      {"directory", "0", {{"/", dir.path(), "1", {}, ""}}, false},
      {"unknown type", "0", {{"/", text, "2", {}, ""}}, false},
      {"export target", "3", {{"/", dir.Path("later"), "0", {}, ""}}, true},
      {"export check",
       "3",
       {{"/", dir.Path("later"), "0", {}, ""},
        {"/", dir.Path("x"), "1", {}, ""}},
       false},
  };
  for (const Case& c : cases) {
    LevelSpec fields;
    fields.kind = c.kind;
    fields.entries = c.entries;
    EXPECT_EQ(Met(fields), c.met) << c.name;
  }
}

}  // namespace
