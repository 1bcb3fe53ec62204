#include "services/temporary_names.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "services/file_system.h"

namespace {

constexpr std::string_view kReplacementPrefix = ".qrl-tmp-";
constexpr size_t kReplacementLetters = 6;
constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string WithFinalSlash(std::string_view directory) {
  std::string text(directory);
  if (!text.ends_with('/')) {
    text += '/';
  }
  return text;
}

}  // namespace

std::string TemporaryDirectory() {
  for (const char* variable : {"TEMP", "TMP", "TMPDIR"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      return WithFinalSlash(value);
    }
  }
  return "/tmp/";
}

std::string TemporaryFileName(std::string_view directory) {
  const std::string prefix =
      (directory.empty() ? TemporaryDirectory() : WithFinalSlash(directory)) +
      "TMP";
  for (uint64_t n = 0;; ++n) {
    char number[32];
    std::snprintf(number, sizeof number, "%.5llu",
                  static_cast<unsigned long long>(n));
    std::string candidate = prefix + number + ".tmp";
    if (!CurrentFileSystem().Stat(candidate, FollowLinks::kNo).exists()) {
      return candidate;
    }
  }
}

std::string ReplacementTemporaryName() {
  static std::mt19937_64 generator{std::random_device{}() ^
                                   static_cast<uint64_t>(::getpid()) << 32};
  std::string name(kReplacementPrefix);
  uint64_t bits = generator();
  for (size_t i = 0; i < kReplacementLetters; ++i, bits /= kLetters.size()) {
    name += kLetters[bits % kLetters.size()];
  }
  return name;
}

bool IsReplacementTemporaryName(std::string_view name) {
  return name.size() == kReplacementPrefix.size() + kReplacementLetters &&
         name.starts_with(kReplacementPrefix) &&
         name.find_first_not_of(kLetters, kReplacementPrefix.size()) ==
             std::string_view::npos;
}
