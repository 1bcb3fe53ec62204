#include "services/temporary_names.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "services/file_system.h"

namespace {

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
