// What the first argument names when it is not simply a package file: a
// request for the usage or the version, a package named without an
// action, and what a file that is not a package holds, for the hint that
// fits it.
#include <algorithm>

#include "console/console_client.h"
#include "fastmemlist/list_view.h"
#include "package/package.h"
#include "services/file_services.h"
#include "services/line_split.h"
#include "services/system_path.h"

namespace {

constexpr std::string_view kHelpOptions[] = {"--help", "-h"};
constexpr std::string_view kVersionOption = "--version";

// A file of that name wins: it is a parameter file.
bool IsOption(const std::string& argument, std::string_view option) {
  return argument == option && !PathExists(argument);
}

// What a file that is not a package holds, as far as a hint can tell.
enum class Content { kEmpty, kDescription, kDiff, kOther };

Content ContentKind(std::string_view data) {
  const size_t first = data.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) {
    return Content::kEmpty;
  }
  if (data[first] == '{') {
    return Content::kDescription;
  }
  // A diff has a line "--- old" right before a line "+++ new", or git's
  // header of a change without hunks.
  for (size_t at = 0; at < data.size();) {
    const TextLine line = LineAt(data, at, LineEnds::kLfOnly);
    const std::string_view rest = data.substr(at + line.text.size());
    at += line.length();
    if (line.text.starts_with("diff --git ") ||
        (line.text.starts_with("--- ") && rest.starts_with("\n+++ "))) {
      return Content::kDiff;
    }
  }
  return Content::kOther;
}

// The name as a shell word: as it is when nothing in it is special to the
// shell, else in single quotes; never read as an option.
std::string ShellWord(const std::string& name) {
  if (name.starts_with("-")) {
    return ShellWord("./" + name);
  }
  const bool plain = !name.empty() &&
                     name.find_first_not_of(
                         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                         "0123456789_./+-,:@%=") == std::string::npos;
  if (plain) {
    return name;
  }
  std::string quoted = "'";
  for (char c : name) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
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

std::string LoadFailureMessage(const std::string& file_name,
                               const std::string& load_error) {
  const std::string cannot =
      "cannot load package '" + file_name + "': " + load_error;
  // A name the system cannot take was named in the load error already.
  std::string unusable;
  std::string data;
  if (!UsablePath(file_name, &unusable) || !RegularFileExists(file_name) ||
      !FileToString(file_name, &data) || StartsAsList(data)) {
    return cannot;  // missing, unreadable, or a damaged package
  }
  const std::string not_package = "'" + file_name + "' is not a package";
  const std::string word = ShellWord(file_name);
  switch (ContentKind(data)) {
    case Content::kEmpty:
      return not_package + ": it is empty";
    case Content::kDescription:
      return not_package + ": it holds a JSON description; build the " +
             "package first: qrlpack build " + word + " -o PACKAGE";
    case Content::kDiff:
      return not_package + ": it holds a unified diff; make the package " +
             "first: qrlpack from-diff --tree DIR -o PACKAGE " + word;
    case Content::kOther:
      break;
  }
  return not_package + " (qrlpack makes packages: qrlpack --help)";
}
