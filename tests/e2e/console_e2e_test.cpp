// End-to-end tests of the console client: the real binary in a scratch
// directory, its standard output compared byte for byte.
#include <string>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

TEST(ConsoleEndToEnd, NoArgumentPrintsBannerAndUsage) {
  const ProgramResult result = RunConsole({});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.substr(0, BannerLine().size()), BannerLine());
}

}  // namespace
