#include "services/temporary_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

// Sets or unsets an environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    if (value == nullptr) {
      ::unsetenv(name);
    } else {
      ::setenv(name, value, 1);
    }
  }
  ~ScopedVariable() {
    if (old_.has_value()) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(TemporaryDirectory, TakesTempThenTmpThenTmpdirThenSlashTmp) {
  ScopedVariable temp("TEMP", "/t1");
  ScopedVariable tmp("TMP", "/t2/");
  ScopedVariable tmpdir("TMPDIR", "/t3");
  EXPECT_EQ(TemporaryDirectory(), "/t1/");
  {
    ScopedVariable empty_temp("TEMP", "");
    EXPECT_EQ(TemporaryDirectory(), "/t2/");
    ScopedVariable no_tmp("TMP", nullptr);
    EXPECT_EQ(TemporaryDirectory(), "/t3/");
    ScopedVariable no_tmpdir("TMPDIR", nullptr);
    EXPECT_EQ(TemporaryDirectory(), "/tmp/");
  }
}

TEST(TemporaryFileName, TakesTheFirstFreeNumberAndCreatesNothing) {
  ScratchDir scratch;
  EXPECT_EQ(TemporaryFileName(scratch.path()), scratch.Path("TMP00000.tmp"));
  WriteFile(scratch.Path("TMP00000.tmp"), "");
  ::mkdir(scratch.Path("TMP00001.tmp").c_str(), 0755);
  ASSERT_EQ(::symlink("missing", scratch.Path("TMP00002.tmp").c_str()), 0);
  EXPECT_EQ(TemporaryFileName(scratch.path() + "/"),
            scratch.Path("TMP00003.tmp"));
  EXPECT_FALSE(Exists(scratch.Path("TMP00003.tmp")));

  ScopedVariable temp("TEMP", scratch.path().c_str());
  EXPECT_EQ(TemporaryFileName(""), scratch.Path("TMP00003.tmp"));
}

}  // namespace
