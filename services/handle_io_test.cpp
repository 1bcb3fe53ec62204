#include "services/handle_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

TEST(HandleIo, TransfersAllBytesAndStopsAtTheEnd) {
  ScratchDir dir;
  const std::string file = dir.Path("data");
  const std::string content(200000, 'k');
  WriteFile(file, content);
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::string buffer(300000, '\0');
  EXPECT_EQ(ReadFromHandle(fd, buffer.data(), 0), 0u);
  EXPECT_EQ(ReadFromHandle(fd, buffer.data(), 100), 100u);
  int error = -1;
  EXPECT_EQ(ReadFromHandle(fd, buffer.data(), buffer.size(), &error),
            content.size() - 100);
  EXPECT_EQ(error, 0);
  ::close(fd);

  const int bad = -1;
  EXPECT_EQ(WriteToHandle(bad, "x", 1, &error), 0u);
  EXPECT_EQ(error, EBADF);
}

TEST(HandleIo, WritesPiecesWhereTheyStand) {
  ScratchDir dir;
  const std::string file = dir.Path("pieces");
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  // More pieces than one call takes, empty ones among them, at an offset.
  std::vector<std::string> texts;
  std::string expected = "head";
  for (int i = 0; i < 3000; ++i) {
    texts.push_back(i % 7 == 0 ? "" : std::to_string(i) + ",");
    expected += texts.back();
  }
  std::vector<struct iovec> pieces;
  for (std::string& text : texts) {
    pieces.push_back({text.data(), text.size()});
  }
  ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
  int error = 0;
  EXPECT_TRUE(WritePiecesAt(fd, pieces.data(), pieces.size(), 4, &error));
  EXPECT_EQ(error, 0);
  ::close(fd);
  EXPECT_EQ(ReadFile(file), expected);

  std::string one = "x";
  struct iovec piece = {one.data(), one.size()};
  EXPECT_FALSE(WritePiecesAt(-1, &piece, 1, 0, &error));
  EXPECT_EQ(error, EBADF);
}

}  // namespace
