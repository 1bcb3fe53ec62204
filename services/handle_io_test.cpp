#include "services/handle_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

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

}  // namespace
