#include "fastmemlist/fastmemlist.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/line_list.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

std::vector<std::string> Items(const TFASTMEMLIST& list) {
  std::vector<std::string> items;
  for (uint64_t i = 0; i < list.Count(); ++i) {
    items.push_back(list.Get(i));
  }
  return items;
}

TFASTMEMLIST ListOf(std::initializer_list<std::string_view> items) {
  TFASTMEMLIST list;
  for (std::string_view item : items) {
    list.Add(item);
  }
  return list;
}

TEST(TFASTMEMLIST, SerializesToTheDocumentedBytes) {
  struct Case {
    TFASTMEMLIST list;
    std::string bytes;
  };
  std::vector<Case> cases;
  cases.push_back({TFASTMEMLIST(), "\x01\x00"s});
  cases.push_back({ListOf({"abc"}),
                   "\x01\x01\x03"
                   "abc"s});
  cases.push_back({ListOf({"", "xy"}), "\x01\x02\x00\x02xy"s});
  for (const Case& c : cases) {
    EXPECT_EQ(c.list.SaveToString(), c.bytes);
    EXPECT_EQ(c.list.EncodedSize(), c.bytes.size());
    TFASTMEMLIST decoded;
    ASSERT_TRUE(decoded.LoadFromData(c.bytes));
    EXPECT_EQ(Items(decoded), Items(c.list));
  }
}

TEST(TFASTMEMLIST, WidthGrowsWithTheLargestLengthOrTheCount) {
  TFASTMEMLIST long_item;
  long_item.Add(std::string(256, 'z'));
  const std::string bytes = long_item.SaveToString();
  EXPECT_EQ(long_item.ListWidth(), 2);
  ASSERT_EQ(bytes.size(), 261u);
  EXPECT_EQ(bytes.substr(0, 5), "\x02\x01\x00\x00\x01"s);

  TFASTMEMLIST many_empty;
  for (int i = 0; i < 256; ++i) {
    many_empty.AddEmpty();
  }
  const std::string many = many_empty.SaveToString();
  EXPECT_EQ(many_empty.ListWidth(), 2);
  ASSERT_EQ(many.size(), 515u);
  EXPECT_EQ(many.substr(0, 3), "\x02\x00\x01"s);
  EXPECT_EQ(many.substr(3), std::string(512, '\0'));

  TFASTMEMLIST wide;
  wide.Add(std::string(70000, 'w'));
  EXPECT_EQ(wide.ListWidth(), 4);
  TFASTMEMLIST decoded;
  ASSERT_TRUE(decoded.LoadFromData(wide.SaveToString()));
  EXPECT_EQ(decoded.Get(0), std::string(70000, 'w'));
}

TEST(TFASTMEMLIST, DecodesItsOwnEightByteWidth) {
  // A writer may use any of the four widths; eight bytes per integer here.
  const std::string data = "\x08"s + "\x02\0\0\0\0\0\0\0"s +
                           "\x01\0\0\0\0\0\0\0"s + "\x00\0\0\0\0\0\0\0"s + "q";
  TFASTMEMLIST list;
  ASSERT_TRUE(list.LoadFromData(data));
  EXPECT_EQ(Items(list), (std::vector<std::string>{"q", ""}));
}

TEST(TFASTMEMLIST, PutReusesOrMovesTheItemAndLoadCompacts) {
  TFASTMEMLIST list = ListOf({"hello", "x"});
  const uint64_t used = list.UsedLength();
  const char* before = list.ItemData(0);
  list.Put(0, "hi");
  EXPECT_EQ(list.ItemData(0), before);  // in place
  EXPECT_EQ(list.UsedLength(), used);
  list.Put(1, "longer");
  EXPECT_EQ(list.UsedLength(), used + 6);
  EXPECT_EQ(list.ItemData(1), list.ItemData(0) + used);  // moved to the end
  list.Delete(0);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"longer"}));

  TFASTMEMLIST reloaded;
  ASSERT_TRUE(reloaded.LoadFromData(list.SaveToString()));
  EXPECT_EQ(Items(reloaded), Items(list));
  EXPECT_EQ(reloaded.UsedLength(), 6u);  // no dead space after a load
}

TEST(TFASTMEMLIST, PutAndAddAcceptBytesFromTheListItself) {
  TFASTMEMLIST list = ListOf({"abc", "x"});
  list.Put(1, list.View(0));  // longer: appended from its own buffer
  list.Add(list.View(1));
  list.Put(0, list.View(0).substr(1));  // shorter, overlapping
  EXPECT_EQ(Items(list), (std::vector<std::string>{"bc", "abc", "abc"}));
}

TEST(TFASTMEMLIST, EditingOperationsKeepOrder) {
  TFASTMEMLIST list = ListOf({"a", "b", "c", "d", "e"});
  list.Insert(1, "X");
  list.InsertEmpty(0);
  list.AddByte('\0');
  list.AddBytes("zz", 2);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"", "a", "X", "b", "c", "d",
                                                   "e", "\0"s, "zz"}));
  list.DeleteRange(1, 2);
  list.Exchange(0, 1);
  EXPECT_EQ(Items(list),
            (std::vector<std::string>{"b", "", "c", "d", "e", "\0"s, "zz"}));
  list.Move(4, 1);
  EXPECT_EQ(Items(list),
            (std::vector<std::string>{"b", "e", "", "c", "d", "\0"s, "zz"}));
  list.Move(0, 3);
  EXPECT_EQ(Items(list),
            (std::vector<std::string>{"e", "", "c", "b", "d", "\0"s, "zz"}));
  list.Move(2, 2);
  EXPECT_EQ(list.Get(2), "c");
  EXPECT_TRUE(list.ItemStartsWith(6, "z"));
  EXPECT_FALSE(list.ItemStartsWith(6, "zzz"));
  EXPECT_EQ(list.ItemLength(5), 1u);
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.UsedLength(), 0u);
}

TEST(TFASTMEMLIST, FindReportsTheFirstMatchOrCount) {
  TFASTMEMLIST list = ListOf({"ab", "", "abc", "ab"});
  uint64_t index = 99;
  EXPECT_TRUE(list.Find("ab", &index));
  EXPECT_EQ(index, 0u);
  EXPECT_TRUE(list.Find("", &index));
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(list.Find("a", &index));
  EXPECT_EQ(index, 4u);
}

TEST(TFASTMEMLIST, AppendListPutListAndStrings) {
  TFASTMEMLIST a = ListOf({"1", "22"});
  a.Put(0, "dead space ahead");
  TFASTMEMLIST b = ListOf({"x"});
  b.AppendList(a);
  b.AppendList(b);
  EXPECT_EQ(Items(b),
            (std::vector<std::string>{"x", "dead space ahead", "22", "x",
                                      "dead space ahead", "22"}));
  TFASTMEMLIST holder = ListOf({"slot"});
  holder.PutList(0, a);
  EXPECT_EQ(holder.Get(0), a.SaveToString());

  LineList lines = {"one", "two"};
  TFASTMEMLIST from_lines;
  from_lines.AddStrings(lines);
  LineList back = {"zero"};
  from_lines.GetStrings(&back);
  EXPECT_EQ(back, (LineList{"zero", "one", "two"}));
}

TEST(TFASTMEMLIST, DataFunctionsWorkOnSerializedForms) {
  const std::string data = ListOf({"a", "bc"}).SaveToString();
  EXPECT_EQ(DataCount(data), 2u);
  EXPECT_EQ(DataItem(data, 1), "bc");
  LineList lines;
  DataToStrings(data, &lines);
  DataToStrings("", &lines);
  EXPECT_EQ(lines, (LineList{"a", "bc"}));
  EXPECT_EQ(DataAddStrings("", LineList{"q"}), ListOf({"q"}).SaveToString());
  EXPECT_EQ(DataAddStrings(data, LineList{"q"}),
            ListOf({"a", "bc", "q"}).SaveToString());
  EXPECT_EQ(DataAddList(data, ListOf({"r"})),
            ListOf({"a", "bc", "r"}).SaveToString());
  // Malformed data never reads past its end.
  EXPECT_EQ(DataCount("\x01\x05"s), 0u);
  EXPECT_EQ(DataItem("\x01\x01\x09"
                     "ab"s,
                     0),
            "");
}

TEST(TFASTMEMLIST, RejectsMalformedDataWithTheOffset) {
  struct Case {
    std::string data;
    uint64_t offset;
  };
  const std::vector<Case> cases = {
      {"", 0},                     // nothing at all
      {"\x09\x00"s, 0},            // width above 8
      {"\x03\x00\x00\x00"s, 0},    // width 3 is never written
      {"\x02\x01"s, 1},            // count cut short
      {"\x01\x05\x01"s, 1},        // five lengths cannot fit
      {"\x01\x02\x01\x05xy"s, 3},  // item 1 runs past the end
      {"\x01\x01\x01xy"s, 4},      // a byte after the last item
      {"\x08\xff\xff\xff\xff\xff\xff\xff\xff"s, 1},  // absurd count
      {"\x08\x01\0\0\0\0\0\0\0\xff\xff\xff\xff\xff\xff\xff\xff"s, 9},
  };
  for (const Case& c : cases) {
    TFASTMEMLIST list = ListOf({"old"});
    DecodeError error;
    EXPECT_FALSE(list.LoadFromData(c.data, &error)) << c.offset;
    EXPECT_EQ(error.offset, c.offset) << error.Text();
    EXPECT_EQ(list.Count(), 0u);
  }
}

TEST(TFASTMEMLIST, FilesRoundTripAndFailuresLeaveTheDocumentedState) {
  ScratchDir dir;
  const std::string file = dir.Path("list.bin");
  TFASTMEMLIST list = ListOf({"alpha", ""s, "\0\xff"s});
  ASSERT_TRUE(list.SaveToFile(file));
  EXPECT_EQ(ReadFile(file), list.SaveToString());
  TFASTMEMLIST loaded;
  std::string err;
  ASSERT_TRUE(loaded.LoadFromFile(file, &err)) << err;
  EXPECT_EQ(Items(loaded), Items(list));

  WriteFile(file, "\x01\x00"s);
  ASSERT_TRUE(loaded.LoadFromFile(file));
  EXPECT_EQ(loaded.Count(), 0u);

  // A header that is already wrong leaves the list as it was.
  TFASTMEMLIST kept = ListOf({"keep"});
  WriteFile(file, "\x09\x00"s);
  EXPECT_FALSE(kept.LoadFromFile(file, &err));
  EXPECT_EQ(Items(kept), (std::vector<std::string>{"keep"}));
  EXPECT_FALSE(kept.LoadFromFile(dir.Path("missing"), &err));
  EXPECT_EQ(err, "cannot open: No such file or directory");
  EXPECT_EQ(kept.Count(), 1u);

  // A file that ends inside the item bytes leaves it empty.
  WriteFile(file,
            "\x01\x01\x05"
            "ab"s);
  EXPECT_FALSE(kept.LoadFromFile(file, &err));
  EXPECT_EQ(err, "at byte 2: item 0 of length 5 runs past the end of the data");
  EXPECT_EQ(kept.Count(), 0u);

  EXPECT_FALSE(list.SaveToFile(dir.Path("no/such/dir/file")));
}

}  // namespace
