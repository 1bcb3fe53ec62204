#include "services/file_services.h"

#include "fastmemlist/handle_io.h"

bool FileToString(const std::string& file_name, std::string* out) {
  std::string err;
  return ReadWholeFile(file_name, out, &err);
}

bool StringToFile(const std::string&, std::string_view, std::string*) {
  return false;
}
