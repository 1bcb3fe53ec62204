#include "services/posix_error.h"

#include <cstring>

std::string PosixError(std::string_view context, int err) {
  std::string text(context);
  text += ": ";
  text += std::strerror(err);
  return text;
}
