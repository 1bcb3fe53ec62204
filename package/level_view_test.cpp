#include "package/level_view.h"

#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "package/level_record.h"

namespace {

// Random levels whose texts the test keeps alive in `store`.
class LevelMaker {
 public:
  explicit LevelMaker(uint32_t seed) : random_(seed) {}

  LevelView Make() {
    LevelView level;
    level.kind = static_cast<LevelKind>(Below(kLevelKindCount + 1));
    level.kind_code =
        level.kind == LevelKind::kUnknown ? Text() : LevelKindCode(level.kind);
    level.kind = LevelKindOf(level.kind_code);
    for (std::string_view* item :
         {&level.number, &level.presentation, &level.label, &level.item4,
          &level.severity, &level.success_symbols, &level.failure_symbols,
          &level.requirements, &level.options}) {
      *item = Text();
    }
    level.comment_lines = Lines();
    level.code = Lines();
    for (uint64_t n = Below(4); n > 0; --n) {
      FileEntryView entry;
      entry.separator = Text();
      entry.path = Text();
      entry.type = Below(2) == 0 ? kTypeText : kTypeBinary;
      if (entry.type == kTypeText) {
        entry.lines = Lines();
        entry.lines_valid = true;
        entry.content = Keep(LinesData(entry.lines));
      } else {
        entry.content = Text();
      }
      level.entries.push_back(std::move(entry));
    }
    return level;
  }

  uint64_t Below(uint64_t n) {
    return std::uniform_int_distribution<uint64_t>(0, n - 1)(random_);
  }

  std::string_view Keep(std::string text) {
    store_.push_back(std::make_unique<std::string>(std::move(text)));
    return *store_.back();
  }

 private:
  // Short texts of any bytes, zero bytes included; now and then one long
  // enough to widen the lists.
  std::string_view Text() {
    const uint64_t length = Below(10) == 0 ? 300 : Below(6);
    std::string text;
    for (uint64_t i = 0; i < length; ++i) {
      text.push_back(static_cast<char>(Below(256)));
    }
    return Keep(std::move(text));
  }

  std::vector<std::string_view> Lines() {
    std::vector<std::string_view> lines;
    for (uint64_t n = Below(4); n > 0; --n) {
      lines.push_back(Text());
    }
    return lines;
  }

  std::mt19937 random_;
  std::vector<std::unique_ptr<std::string>> store_;
};

TEST(LevelView, EncodeThenDecodeGivesTheLevelBack) {
  LevelMaker maker(23);
  for (int round = 0; round < 500; ++round) {
    const LevelView level = maker.Make();
    const std::string record = EncodeLevel(level);
    LevelView decoded;
    DecodeError error;
    ASSERT_TRUE(DecodeLevel(record, &decoded, &error)) << error.Text();
    ASSERT_EQ(decoded, level) << round;
    EXPECT_EQ(EncodeLevel(decoded), record);
    // A record already split into items decodes alike.
    TFASTMEMLIST split;
    ASSERT_TRUE(split.LoadFromData(record));
    LevelView from_split;
    ASSERT_TRUE(DecodeLevel(split, &from_split));
    EXPECT_EQ(from_split, level);
    EXPECT_TRUE(LevelRecordIsWellFormed(record, nullptr));
  }
}

// Damage: cut records and changed bytes never read past the data; what
// still decodes encodes to a record that decodes to the same level.
TEST(LevelView, DamagedRecordsFailOrStayConsistent) {
  LevelMaker maker(7);
  int failed = 0;
  for (int round = 0; round < 500; ++round) {
    std::string record = EncodeLevel(maker.Make());
    if (maker.Below(2) == 0) {
      record.resize(maker.Below(record.size()));
    } else {
      record[maker.Below(record.size())] ^=
          static_cast<char>(1 + maker.Below(255));
    }
    LevelView level;
    DecodeError error;
    if (!DecodeLevel(record, &level, &error)) {
      ++failed;
      EXPECT_FALSE(error.what.empty());
      EXPECT_LE(error.offset, record.size());
      EXPECT_FALSE(LevelRecordIsWellFormed(record, nullptr));
      continue;
    }
    const std::string encoded = EncodeLevel(level);
    LevelView again;
    ASSERT_TRUE(DecodeLevel(encoded, &again));
    EXPECT_EQ(again, level);
  }
  EXPECT_GT(failed, 100);  // the damage is real
}

TEST(LevelView, MalformedRecordsSayWhereAndKeepWhatReads) {
  struct Case {
    std::vector<std::string> items;
    std::string what;
  };
  const std::string entry4 = LinesData({"/", "/a", "0", ""});
  const std::string entry3 = LinesData({"/", "/a", "0"});
  const std::vector<Case> cases = {
      {{"1", "0"}, "the record holds 2 items instead of 13"},
      {{"1", "0", "", "", "", "", "", "", "\x03", "", "", "", ""}, "item 8: "},
      {{"1", "0", "", "", "", "", "", "", "", "", "", LinesData({entry3}), ""},
       "file entry 0 holds 3 items instead of 4"},
      {{"1", "0", "", "", "", "", "", "", "", "", "", LinesData({"x"}), ""},
       "file entry 0: "},
  };
  for (const Case& c : cases) {
    std::vector<std::string_view> items(c.items.begin(), c.items.end());
    const std::string record = LinesData(items);
    LevelView level;
    DecodeError error;
    EXPECT_FALSE(DecodeLevel(record, &level, &error));
    EXPECT_EQ(error.what.substr(0, c.what.size()), c.what);
    EXPECT_EQ(level.number, "1");
    EXPECT_EQ(level.kind, LevelKind::kNormal);
  }
  LevelView level;
  EXPECT_FALSE(DecodeLevel("\x05", &level));
  EXPECT_EQ(level, LevelView());
  std::vector<std::string_view> good(13, "");
  const std::string entries = LinesData({entry4});
  good[kFileEntries] = entries;
  const std::string record = LinesData(good);
  EXPECT_TRUE(DecodeLevel(record, &level));
  EXPECT_EQ(level.kind, LevelKind::kUnknown);
  ASSERT_EQ(level.entries.size(), 1u);
  EXPECT_EQ(level.entries[0].path, "/a");
}

TEST(LevelView, KindsAndCodes) {
  for (size_t i = 0; i < kLevelKindCount; ++i) {
    const auto kind = static_cast<LevelKind>(i);
    EXPECT_EQ(LevelKindOf(LevelKindCode(kind)), kind);
    EXPECT_EQ(LevelKindCode(kind), std::to_string(i));
    EXPECT_EQ(KindName(LevelKindCode(kind)), LevelKindName(kind));
  }
  EXPECT_EQ(LevelKindOf("7"), LevelKind::kUnknown);
  EXPECT_EQ(LevelKindOf(""), LevelKind::kUnknown);
  EXPECT_EQ(LevelKindCode(LevelKind::kUnknown), "");
}

}  // namespace
