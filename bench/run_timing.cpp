#include "bench/run_timing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "services/file_services.h"

extern char** environ;

namespace fs = std::filesystem;

void WriteTree(const std::string& dir, const Tree& tree) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& [name, content] : tree) {
    const std::string path = dir + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    StringToFile(path, content);
  }
}

bool SameTree(const std::string& dir, const Tree& tree) {
  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) {
      continue;
    }
    ++files;
    const std::string name = fs::relative(entry.path(), dir).string();
    std::string content;
    const auto expected = tree.find(name);
    if (expected == tree.end() || !FileToString(entry.path(), &content) ||
        content != expected->second) {
      std::fprintf(stderr, "differs: %s\n", name.c_str());
      return false;
    }
  }
  return files == tree.size();
}

Timing Run(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& arg : command) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) !=
      0) {
    std::fprintf(stderr, "cannot run %s\n", argv[0]);
    std::exit(1);
  }
  int status = 0;
  struct rusage usage;
  ::wait4(pid, &status, 0, &usage);
  const std::chrono::duration<double> elapsed =
      std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0]);
    std::exit(1);
  }
  const auto seconds = [](const struct timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {elapsed.count(), seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// GNU time runs the command: the bench's own memory would count in the
// rusage of a child spawned from it.
long PeakMemoryKb(const std::vector<std::string>& command,
                  const std::string& dir) {
  if (!fs::exists("/usr/bin/time")) {
    return 0;
  }
  const std::string report = dir + "/time.txt";
  std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", report};
  timed.insert(timed.end(), command.begin(), command.end());
  Run(timed);
  std::string text;
  FileToString(report, &text);
  return std::atol(text.c_str());
}

double IoFloorSeconds(const std::string& dir, const Tree& from,
                      const Tree& to) {
  std::vector<std::pair<std::string, const std::string*>> changed;
  std::vector<bool> existed;
  std::vector<std::string> removed;
  for (const auto& [name, content] : to) {
    const auto old = from.find(name);
    if (old == from.end() || old->second != content) {
      changed.emplace_back(dir + "/" + name, &content);
      existed.push_back(old != from.end());
    }
  }
  for (const auto& [name, content] : from) {
    if (to.count(name) == 0) {
      removed.push_back(dir + "/" + name);
    }
  }
  std::set<std::string> made;
  std::string bytes;
  const auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < changed.size(); ++i) {
    const std::string& path = changed[i].first;
    if (existed[i]) {
      FileToString(path, &bytes);
    } else {
      for (size_t slash = path.find('/', dir.size() + 1);
           slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string parent = path.substr(0, slash);
        if (made.insert(parent).second) {
          ::mkdir(parent.c_str(), 0777);
        }
      }
    }
    const std::string temporary = path + ".floor-tmp";
    const int fd = ::open(temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const std::string& content = *changed[i].second;
    if (fd < 0 ||
        ::write(fd, content.data(), content.size()) !=
            static_cast<ssize_t>(content.size()) ||
        ::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      std::exit(1);
    }
  }
  for (const std::string& path : removed) {
    ::unlink(path.c_str());
  }
  const std::chrono::duration<double> elapsed =
      std::chrono::steady_clock::now() - start;
  return elapsed.count();
}
