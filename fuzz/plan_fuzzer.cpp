// Plans arbitrary packages, apply and reverse, on a small tree: qrlpack
// plan must not crash, must leave the tree exactly as it was (bytes,
// modes, times, inodes, links), and must never call a plan clean that
// changes something outside the tree of its root macro. Its reports, with
// the diff, are written too.
//
// An input is an optional tree, then the package. The tree comes first,
// one entry a line, ended by a line "%%":
//   f NAME CONTENT   a file ("\n" in CONTENT stands for a line end)
//   x NAME CONTENT   the same, executable
//   d NAME           a directory
//   l NAME TARGET    a symbolic link, pointing anywhere
// NAME counts from the tree and never climbs out of it. Without "%%" the
// tree is a default one. The package is a JSON description when it starts
// with "{", else the bytes of a package. {ROOT} names the tree; beside it
// stands the directory "outside", which links may lead to.
//
// Plans run confined (fuzz/sandbox.h) beneath the scratch directory:
// should one ever write, it can only write there, where the check finds it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_limits.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/sandbox.h"
#include "pack/json/assemble.h"
#include "pack/plan/plan.h"
#include "services/file_services.h"
#include "services/line_split.h"
#include "services/string_utils.h"
#include "services/working_directory.h"

namespace {

constexpr std::string_view kDefaultTree =
    "f a.txt alpha\\nbeta\\ngamma\\n\n"
    "f sub/c.txt one\\ntwo\\n\n"
    "f empty \n"
    "f crlf a\r\\nb\r\\n\n"
    "x tool.sh echo\\n\n"
    "l dirlink ../outside\n"
    "l filelink a.txt\n"
    "%%\n";

Sandbox* sandbox = nullptr;
std::string world;         // the tree and "outside", inside the sandbox
std::string package_file;  // inside the sandbox

// A name inside the tree: relative, no "." or ".." component, no NUL.
bool InsideName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\0') != name.npos) {
    return false;
  }
  size_t at = 0;
  while (at <= name.size()) {
    const size_t end = std::min(name.find('/', at), name.size());
    const std::string_view part = name.substr(at, end - at);
    if (part == "." || part == "..") {
      return false;
    }
    at = end + 1;
  }
  return true;
}

// Whether no part of the name, below `tree`, is a link: the tree is made
// unconfined, and must never be made through one.
bool NoLinkOnTheWay(const std::string& tree, std::string_view name) {
  for (size_t end = name.find('/');; end = name.find('/', end + 1)) {
    const std::string path = tree + "/" + std::string(name.substr(0, end));
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      return true;
    }
    if (S_ISLNK(st.st_mode)) {
      return false;
    }
    if (end == std::string_view::npos) {
      return true;
    }
  }
}

std::string Unescaped(std::string_view content) {
  std::string text;
  for (size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\\' && i + 1 < content.size() && content[i + 1] == 'n') {
      text += '\n';
      ++i;
    } else {
      text += content[i];
    }
  }
  return text;
}

// Makes the tree that `layout` lists below `tree`; entries that cannot be made
// are left out.
void MakeTree(const std::string& tree, std::string_view layout) {
  Check(MakeDirectoryPath(tree));
  for (const std::string_view line : SplitLines(layout, LineEnds::kLfOnly)) {
    if (line.size() < 3 || line[1] != ' ') {
      continue;
    }
    const std::string_view rest = line.substr(2);
    const size_t space = rest.find(' ');
    const std::string_view name = rest.substr(0, space);
    const std::string_view value =
        space == rest.npos ? std::string_view() : rest.substr(space + 1);
    if (!InsideName(name) || !NoLinkOnTheWay(tree, name)) {
      continue;
    }
    const std::string path = tree + "/" + std::string(name);
    const std::string parent = path.substr(0, path.rfind('/'));
    if (!DirectoryExists(parent) && !MakeDirectoryPath(parent)) {
      continue;
    }
    switch (line[0]) {
      case 'd':
        MakeDirectoryPath(path);
        break;
      case 'f':
      case 'x':
        if (StringToFile(path, Unescaped(value))) {
          ::chmod(path.c_str(), line[0] == 'x' ? 0755 : 0644);
        }
        break;
      case 'l':
        if (!value.empty() && value.find('\0') == value.npos) {
          (void)::symlink(std::string(value).c_str(), path.c_str());
        }
        break;
      default:
        break;
    }
  }
}

// Everything below `root`: kind and mode, size, times, inode, and a file's
// content or a link's target.
void Snapshot(const std::string& root, const std::string& relative,
              std::map<std::string, std::string>* snapshot) {
  const std::string path = relative.empty() ? root : root + "/" + relative;
  struct stat st;
  Check(::lstat(path.c_str(), &st) == 0);
  std::string& entry = (*snapshot)[relative];
  entry = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
          std::to_string(st.st_mtim.tv_sec) + "." +
          std::to_string(st.st_mtim.tv_nsec) + " " +
          std::to_string(st.st_ctim.tv_sec) + "." +
          std::to_string(st.st_ctim.tv_nsec) + " " + std::to_string(st.st_ino) +
          " ";
  if (S_ISREG(st.st_mode)) {
    std::string content;
    Check(FileToString(path, &content));
    entry += content;
  } else if (S_ISLNK(st.st_mode)) {
    std::string target(4096, '\0');
    const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
    Check(size >= 0);
    entry += target.substr(0, static_cast<size_t>(size));
  } else if (S_ISDIR(st.st_mode)) {
    std::vector<DirectoryEntry> entries;
    Check(ReadDirectory(path, &entries) == DirectoryRead::kOk);
    for (const DirectoryEntry& child : entries) {
      Snapshot(root,
               relative.empty() ? child.name : relative + "/" + child.name,
               snapshot);
    }
  }
}

// One input, in the confined thread: both plans and their reports.
void PlanBoth(std::string_view) {
  for (const char* action : {"apply", "reverse"}) {
    Plan plan;
    std::string why;
    const int code = MakePlan(
        {package_file, action, "MACRO{ROOT}=" + world + "/tree/"}, &plan, &why);
    if (code >= 2) {
      continue;  // not a package
    }
    // A plan that changes something outside the tree is never clean.
    Check(code == 1 || !plan.outside);
    for (const PlannedFile& file : plan.files) {
      Check(!file.outside || plan.outside);
    }
    std::ostringstream report;
    WritePlanText(plan, PlanOptions{false, true}, report);
    WritePlanJson(plan, PlanOptions{true, true}, report);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  sandbox = StartSandbox("plan", *argc, *argv, PlanBoth);
  world = sandbox->base + "/world";
  package_file = sandbox->base + "/p.qrl";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The tree, then the package.
  std::string_view tree = kDefaultTree;
  std::string_view description_or_bytes = input;
  const size_t end = input.starts_with("%%\n") ? 0 : input.find("\n%%\n");
  if (end != input.npos) {
    tree = input.substr(0, end);
    description_or_bytes = input.substr(end + (end == 0 ? 3 : 4));
  }
  Check(!DirectoryExists(world) || DeleteDirectoryTree(world + "/"));
  MakeTree(world + "/tree", tree);
  MakeTree(world + "/outside", "f o.txt o\\n\n");
  std::string bytes(description_or_bytes);
  if (description_or_bytes.starts_with("{")) {
    const Json description = Json::parse(description_or_bytes, nullptr, false);
    std::string err;
    if (description.is_discarded() ||
        !AssemblePackage(description, &bytes, &err)) {
      return 0;
    }
  }
  Check(StringToFile(package_file, bytes));
  std::map<std::string, std::string> before;
  Snapshot(world, "", &before);
  Check(::chdir(world.c_str()) == 0);
  sandbox->runner.Give(input);
  Check(::chdir(sandbox->home.c_str()) == 0);
  std::map<std::string, std::string> after;
  Snapshot(world, "", &after);
  Check(after == before);
  return 0;
}
