#include "services/external_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "services/file_services.h"
#include "services/system_path.h"
#include "services/unique_fd.h"

extern char** environ;

namespace {

// How often a capturing run looks whether the tool has ended while its
// output pipe stays quiet. The pipe's end of file normally ends the run at
// once; the look only matters when a background process the tool left
// behind keeps the pipe open.
constexpr int kEndCheckMillis = 100;

// When the tool has ended but left a writer behind, reading one pipe
// capacity more gets every byte the tool wrote (a pipe never holds more).
// This is the capacity assumed when the system does not tell it.
constexpr int kDefaultPipeCapacity = 1 << 20;

bool IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The first executable file named `name` in the directories of PATH, in
// their order; empty when there is none. An empty entry would stand for the
// working directory, which the caller has already looked at.
std::string FindInPath(const std::string& name) {
  const char* search = std::getenv("PATH");
  if (search == nullptr) {
    return std::string();
  }
  const std::string_view directories = search;
  size_t start = 0;
  while (start <= directories.size()) {
    size_t end = directories.find(':', start);
    if (end == std::string_view::npos) {
      end = directories.size();
    }
    if (end > start) {
      std::string candidate(directories.substr(start, end - start));
      candidate += '/';
      candidate += name;
      if (IsExecutableFile(candidate)) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return std::string();
}

// The file to run: the executable itself when a file stands at its path,
// else for a bare name the match in PATH. A relative result is made
// absolute, because the child changes to its running directory before it
// runs the file.
bool ResolveExecutable(const std::string& executable, std::string* path) {
  if (executable.empty() || !UsablePath(executable)) {
    return false;
  }
  if (FileExists(executable)) {
    *path = executable;
  } else if (executable.find('/') == std::string::npos) {
    *path = FindInPath(executable);
  } else {
    path->clear();
  }
  if (path->empty()) {
    return false;
  }
  if ((*path)[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) {
      *path = std::string(cwd) + "/" + *path;
    }
  }
  return true;
}

// Keeps a descriptor away from 0, 1 and 2, so that connecting the child's
// standard streams never overwrites one of its sources.
UniqueFd AboveStandardStreams(int fd) {
  UniqueFd owned(fd);
  if (fd >= 0 && fd <= STDERR_FILENO) {
    owned.reset(::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
  }
  return owned;
}

// Waits for the child, repeating the call when a signal interrupts it.
// True when the child has ended (its status is then in *status); with
// WNOHANG false while it still runs. A child that the system reaped on its
// own (SIGCHLD ignored) counts as ended with status -1.
bool WaitForChild(pid_t pid, int options, int* status) {
  for (;;) {
    const pid_t result = ::waitpid(pid, status, options);
    if (result == pid) {
      return true;
    }
    if (result == 0) {
      return false;
    }
    if (errno != EINTR) {
      *status = -1;
      return true;
    }
  }
}

// The argument or environment vector for execve; valid while `items` is.
std::vector<char*> PointerVector(const std::vector<std::string>& items) {
  std::vector<char*> pointers;
  pointers.reserve(items.size() + 1);
  for (const std::string& item : items) {
    pointers.push_back(const_cast<char*>(item.c_str()));
  }
  pointers.push_back(nullptr);
  return pointers;
}

// Reads the tool's output until the pipe reaches its end, or until the
// tool has ended and what it wrote is drained. Sets *ended and *status
// when it saw the tool end. A tool whose output grows past `limit` is
// killed and waited for, and *cut is set.
void CollectOutput(pid_t pid, int fd, uint64_t limit, std::string* output,
                   bool* ended, int* status, bool* cut) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  int capacity = ::fcntl(fd, F_GETPIPE_SZ);
  int64_t drain_left = capacity > 0 ? capacity : kDefaultPipeCapacity;
  char chunk[65536];
  for (;;) {
    struct pollfd poll_fd = {fd, POLLIN, 0};
    const int ready = ::poll(&poll_fd, 1, *ended ? 0 : kEndCheckMillis);
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    if (ready < 0) {
      return;
    }
    if (ready == 0) {
      if (*ended) {
        return;  // drained
      }
      *ended = WaitForChild(pid, WNOHANG, status);
      continue;
    }
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) {
      output->append(chunk, static_cast<size_t>(n));
      if (output->size() > limit) {
        *cut = true;
        if (!*ended) {
          ::kill(pid, SIGKILL);
          *ended = WaitForChild(pid, 0, status);
        }
        return;
      }
      if (*ended && (drain_left -= n) <= 0) {
        return;  // only a left-behind writer is still filling the pipe
      }
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      return;  // end of file: every writer has closed the pipe
    }
  }
}

}  // namespace

ExternalToolResult RunExternalTool(const ExternalToolRequest& request) {
  ExternalToolResult result;
  std::string path;
  if (!UsablePath(request.running_directory) ||
      !ResolveExecutable(request.executable, &path)) {
    return result;
  }
  // Everything the child needs is prepared here: between fork and exec it
  // only changes directory, connects descriptors and executes.
  std::vector<std::string> arguments = {request.executable};
  arguments.insert(arguments.end(), request.parameters.begin(),
                   request.parameters.end());
  const std::vector<char*> argv = PointerVector(arguments);
  const std::vector<char*> custom_env =
      PointerVector(request.environment.lines());
  char* const* envp = request.environment.Empty() ? environ : custom_env.data();
  const char* directory = request.running_directory.empty()
                              ? nullptr
                              : request.running_directory.c_str();

  UniqueFd null_fd;
  UniqueFd read_end;
  UniqueFd write_end;
  if (request.capture_output) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      return result;
    }
    read_end = AboveStandardStreams(fds[0]);
    write_end = AboveStandardStreams(fds[1]);
    null_fd = AboveStandardStreams(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (!read_end.valid() || !write_end.valid() || !null_fd.valid()) {
      return result;
    }
  }

  const pid_t pid = ::fork();
  if (pid < 0) {
    return result;
  }
  if (pid == 0) {
    if (request.capture_output && (::dup2(null_fd.get(), STDIN_FILENO) < 0 ||
                                   ::dup2(write_end.get(), STDOUT_FILENO) < 0 ||
                                   ::dup2(null_fd.get(), STDERR_FILENO) < 0)) {
      ::_exit(127);
    }
    if (directory != nullptr && ::chdir(directory) != 0) {
      ::_exit(127);
    }
    ::execve(path.c_str(), argv.data(), envp);
    ::_exit(127);
  }

  result.started = true;
  bool ended = false;
  if (request.capture_output) {
    write_end.reset();
    null_fd.reset();
    CollectOutput(pid, read_end.get(), request.output_limit, &result.output,
                  &ended, &result.wait_status, &result.output_cut);
    read_end.reset();
  }
  if (!ended) {
    WaitForChild(pid, 0, &result.wait_status);
  }
  return result;
}

LineList ProgramEnvironment() {
  LineList variables;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    variables.Add(*variable);
  }
  return variables;
}

LineList SplitCommandLine(std::string_view text) {
  LineList words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsBlank(text[at])) {
      ++at;
    }
    const size_t start = at;
    char quote = 0;
    for (; at < text.size(); ++at) {
      const char c = text[at];
      if (quote == 0 && IsBlank(c)) {
        break;
      }
      if (quote == 0 && IsQuote(c)) {
        quote = c;
      } else if (c == quote) {
        quote = 0;
      }
    }
    std::string_view word = text.substr(start, at - start);
    if (word.size() >= 2 && IsQuote(word.front()) &&
        word.front() == word.back()) {
      word = word.substr(1, word.size() - 2);
    }
    if (!word.empty()) {
      words.Add(std::string(word));
    }
  }
  return words;
}

bool ExecuteCommandLine(std::string_view command_line, std::string* output,
                        CheckExitStatus check, uint64_t output_limit,
                        bool* cut) {
  output->clear();
  LineList words = SplitCommandLine(command_line);
  if (words.Empty()) {
    return false;
  }
  ExternalToolRequest request;
  request.executable = words.Get(0);
  words.Delete(0);
  request.parameters = std::move(words);
  request.capture_output = true;
  request.output_limit = output_limit;
  ExternalToolResult result = RunExternalTool(request);
  if (!result.started) {
    return false;
  }
  if (cut != nullptr) {
    *cut = result.output_cut;
  }
  *output = std::move(result.output);
  return check == CheckExitStatus::kNo || result.wait_status == 0;
}
