#include "services/system_path.h"

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
