#include "services/system_path.h"

#include <cstdlib>
#include <memory>

#include "services/diagnostics.h"

bool UsablePath(std::string_view path, std::string* err) {
  if (path.find('\0') == std::string_view::npos) {
    return true;
  }
  std::string reason = EscapeForTerminal(path) + ": the path holds a NUL byte";
  if (err != nullptr) {
    *err = std::move(reason);
  } else {
    Diagnose(reason);
  }
  return false;
}

std::string ResolvedSystemPath(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return std::string();
  }
  const std::unique_ptr<char, decltype(&std::free)> resolved(
      ::realpath(path.c_str(), nullptr), &std::free);
  return resolved != nullptr ? std::string(resolved.get()) : std::string();
}
