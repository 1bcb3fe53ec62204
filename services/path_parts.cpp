#include "services/path_parts.h"

std::string SystemDirectoryPart(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}
