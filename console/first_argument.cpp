// What the first argument names when it is not simply a package file: a
// request for the usage or the version, a package named without an
// action, or a JSON description handed over in place of its package.
#include "console/console_client.h"
#include "package/package.h"
#include "services/file_services.h"
#include "services/system_path.h"

namespace {

constexpr std::string_view kHelpOptions[] = {"--help", "-h"};
constexpr std::string_view kVersionOption = "--version";

// A file of that name wins: it is a parameter file.
bool IsOption(const std::string& argument, std::string_view option) {
  return argument == option && !PathExists(argument);
}

}  // namespace

LoneArgument ClassifyLoneArgument(const std::string& argument) {
  for (std::string_view option : kHelpOptions) {
    if (IsOption(argument, option)) {
      return LoneArgument::kHelp;
    }
  }
  if (IsOption(argument, kVersionOption)) {
    return LoneArgument::kVersion;
  }
  std::string data;
  if (RegularFileExists(argument) && FileToString(argument, &data) &&
      HasPackageTrailer(data)) {
    return LoneArgument::kPackage;
  }
  return LoneArgument::kParameterFile;
}

std::string VersionLine() {
  return "qrlconsole " QRL_VERSION " " + std::string(kBannerDate);
}

std::string LoadFailureHint(const std::string& file_name) {
  // A name the system cannot take was named in the load error already.
  std::string unusable;
  std::string data;
  if (!UsablePath(file_name, &unusable) || !RegularFileExists(file_name) ||
      !FileToString(file_name, &data)) {
    return std::string();
  }
  const size_t first = data.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || data[first] != '{') {
    return std::string();
  }
  return "; build it first: qrlpack build FILE -o PACKAGE";
}
