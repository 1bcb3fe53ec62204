#include "tests/test_util.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fastmemlist/fastmemlist.h"
#include "gtest/gtest.h"

namespace {

std::string TempRoot() {
  for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return "/tmp";
}

std::string CurrentDirectory() {
  std::error_code ec;
  return std::filesystem::current_path(ec).string();
}

}  // namespace

ScratchDir::ScratchDir(Enter enter) {
  std::string templ = TempRoot() + "/qrl-test-XXXXXX";
  if (::mkdtemp(templ.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed: " << std::strerror(errno);
  }
  // Tests compare paths byte for byte, so use the resolved name.
  std::error_code ec;
  path_ = std::filesystem::canonical(templ, ec).string();
  if (ec) {
    path_ = templ;
  }
  if (enter == Enter::kYes) {
    previous_cwd_ = CurrentDirectory();
    if (::chdir(path_.c_str()) != 0) {
      ADD_FAILURE() << "chdir " << path_ << " failed";
    }
  }
}

ScratchDir::~ScratchDir() {
  if (!previous_cwd_.empty() && ::chdir(previous_cwd_.c_str()) != 0) {
    ADD_FAILURE() << "chdir back to " << previous_cwd_ << " failed";
  }
  std::error_code ec;
  // Make every directory writable again, so a test that took the write bit
  // off one still leaves nothing behind.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator();
       it.increment(ec)) {
    std::error_code status_ec;
    if (it->symlink_status(status_ec).type() ==
        std::filesystem::file_type::directory) {
      ::chmod(it->path().c_str(), 0755);
    }
  }
  std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::Path(std::string_view relative) const {
  return path_ + "/" + std::string(relative);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return std::string();
  }
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, std::string_view content, mode_t mode) {
  std::error_code ec;
  const std::filesystem::path parent =
      std::filesystem::path(path).parent_path();
  if (!parent.empty()) {
    std::filesystem::create_directories(parent, ec);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    ADD_FAILURE() << "cannot write " << path;
  }
  out.close();
  ::chmod(path.c_str(), mode);
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> DirectoryEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

mode_t FileMode(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    ADD_FAILURE() << "cannot stat " << path;
    return 0;
  }
  return st.st_mode & 07777;
}

void MakeTree(const std::string& root, const FileTree& tree) {
  std::error_code root_error;
  std::filesystem::create_directories(root, root_error);  // even when empty
  for (const auto& [path, content] : tree) {
    const std::string full = root + "/" + path;
    std::error_code ec;
    if (content.starts_with("-> ")) {
      std::filesystem::create_directories(
          std::filesystem::path(full).parent_path(), ec);
      std::filesystem::create_symlink(content.substr(3), full, ec);
    } else if (path.ends_with('/')) {
      std::filesystem::create_directories(full, ec);
    } else {
      WriteFile(full, content);
    }
    if (ec) {
      ADD_FAILURE() << "cannot make " << full << ": " << ec.message();
    }
  }
}

std::map<std::string, std::string> TreeContents(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> tree;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string relative = it->path().lexically_relative(root).string();
    std::error_code status_ec;
    switch (it->symlink_status(status_ec).type()) {
      case fs::file_type::directory:
        tree[relative + "/"] = "";
        break;
      case fs::file_type::symlink:
        tree[relative] =
            "-> " + fs::read_symlink(it->path(), status_ec).string();
        break;
      default:
        tree[relative] = ReadFile(it->path().string());
        break;
    }
  }
  return tree;
}

int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit rl = {limit, limit};
    ::_exit(::setrlimit(RLIMIT_FSIZE, &rl) == 0 ? body() : 99);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Serialize(std::initializer_list<std::string_view> items) {
  TFASTMEMLIST list;
  for (std::string_view item : items) {
    list.Add(item);
  }
  return list.SaveToString();
}

std::string Serialize(const std::vector<std::string>& items) {
  TFASTMEMLIST list;
  for (const std::string& item : items) {
    list.Add(item);
  }
  return list.SaveToString();
}

ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::string& cwd) {
  ProgramResult result;
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe failed";
    return result;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null_fd = ::open("/dev/null", O_RDONLY);
    ::dup2(null_fd, 0);
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
      ::_exit(126);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
      args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      char chunk[65536];
      const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) {
        sinks[i]->append(chunk, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  }
  return result;
}

ProgramResult RunInChild(const std::function<std::string()>& body) {
  ProgramResult result;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe failed";
    return result;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipe_fds[0]);
    const std::string text = body();
    const ssize_t written = ::write(pipe_fds[1], text.data(), text.size());
    ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  ::close(pipe_fds[1]);
  char chunk[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], chunk, sizeof chunk)) != 0;) {
    if (n > 0) {
      result.out.append(chunk, static_cast<size_t>(n));
    } else if (errno != EINTR) {
      break;
    }
  }
  ::close(pipe_fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  }
  return result;
}

ProgramResult RunConsole(const std::vector<std::string>& args,
                         const std::string& cwd) {
  std::vector<std::string> argv = {QRLCONSOLE_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, cwd);
}

ProgramResult RunPack(const std::vector<std::string>& args,
                      const std::string& cwd) {
  std::vector<std::string> argv = {QRLPACK_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, cwd);
}

std::string SourcePath(std::string_view relative) {
  return std::string(QRL_SOURCE_DIR) + "/" + std::string(relative);
}

std::string BuildPackageFromJson(const std::string& json_text_or_path,
                                 const std::string& out_path) {
  std::string description_path = json_text_or_path;
  ScratchDir text_dir;  // holds an inline description while it is built
  if (json_text_or_path.starts_with("{")) {
    description_path = text_dir.Path("description.json");
    WriteFile(description_path, json_text_or_path);
  }
  const ProgramResult result =
      RunPack({"build", description_path, "-o", out_path});
  if (result.exit_code != 0) {
    ADD_FAILURE() << "qrlpack build " << json_text_or_path << ": "
                  << result.err;
    return std::string();
  }
  return ReadFile(out_path);
}

std::string BannerLine() {
  return "QUORLING CONTROL SYSTEM 20230101 (CUSTOM CONSOLE CLIENT RELEASED FOR "
         "PRESENTATION PURPOSES)\n";
}

std::map<std::string, std::string> TreeSnapshot(const std::string& root) {
  std::map<std::string, std::string> snapshot;
  for (const auto& [relative, content] : TreeContents(root)) {
    struct stat st;
    const std::string path = root + "/" + relative;
    if (::lstat(path.c_str(), &st) != 0) {
      ADD_FAILURE() << "cannot examine " << path;
      continue;
    }
    snapshot[relative] = std::to_string(st.st_mode) + " " +
                         std::to_string(st.st_size) + " " +
                         std::to_string(st.st_mtim.tv_sec) + "." +
                         std::to_string(st.st_mtim.tv_nsec) + " " +
                         std::to_string(st.st_ino) + " " + content;
  }
  return snapshot;
}
