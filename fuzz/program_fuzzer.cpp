// Runs arbitrary programs of the macro language (one line per input line)
// against a small scratch tree, with macros, symbols and two levels to work
// on. Any crash, sanitizer report, hang or oversized allocation is a
// finding; so is a run that goes past the fuzzer's small run limits in any
// other way than by raising RunLimitExceeded.
//
// A program may name any path and any command, so it runs confined: a
// worker thread that the kernel (Landlock) allows to read, write, create
// and remove files beneath the scratch directory only (and beneath the
// artifact directory, so that libFuzzer can save a crashing input from
// that thread), and to execute nothing, so no command ever runs. Without
// Landlock the fuzzer refuses to start (exit code 77). The main thread,
// which libFuzzer drives, rebuilds the scratch tree before every input.
#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "complex/complex_interpreter.h"
#include "engine/run_limits.h"
#include "fastmemlist/fastmemlist.h"
#include "fuzz/fuzz_check.h"
#include "services/failure.h"
#include "services/file_services.h"
#include "services/line_list.h"
#include "services/path_parts.h"
#include "services/working_directory.h"

namespace {

constexpr int kCannotConfine = 77;

// Rights of newer Landlock versions, for older headers.
constexpr uint64_t kTruncate = 1ULL << 14;  // version 3
constexpr uint64_t kIoctlDev = 1ULL << 15;  // version 5

// Every file-system right that the running kernel's Landlock handles.
uint64_t HandledRights(long version) {
  uint64_t rights = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;  // version 1
  if (version >= 2) {
    rights |= LANDLOCK_ACCESS_FS_REFER;
  }
  if (version >= 3) {
    rights |= kTruncate;
  }
  if (version >= 5) {
    rights |= kIoctlDev;
  }
  return rights;
}

bool AllowBeneath(int ruleset, const std::string& directory, uint64_t rights) {
  const int fd = ::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  landlock_path_beneath_attr rule = {};
  rule.allowed_access = rights;
  rule.parent_fd = fd;
  const long added = ::syscall(SYS_landlock_add_rule, ruleset,
                               LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
  ::close(fd);
  return added == 0;
}

// Confines the calling thread (and the processes it starts) to the
// directories: everything but executing beneath them, nothing elsewhere.
bool ConfineThisThread(const std::vector<std::string>& directories) {
  const long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0,
                                 LANDLOCK_CREATE_RULESET_VERSION);
  if (version < 1) {
    return false;
  }
  const uint64_t handled = HandledRights(version);
  landlock_ruleset_attr attr = {};
  attr.handled_access_fs = handled;
  const int ruleset = static_cast<int>(
      ::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
  if (ruleset < 0) {
    return false;
  }
  bool confined = true;
  for (const std::string& directory : directories) {
    confined = confined && AllowBeneath(ruleset, directory,
                                        handled & ~LANDLOCK_ACCESS_FS_EXECUTE);
  }
  confined = confined && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
             ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  ::close(ruleset);
  return confined;
}

// The tree every program starts from.
void BuildScratchTree(const std::string& scratch) {
  Check(!DirectoryExists(scratch) || DeleteDirectoryTree(scratch));
  Check(MakeDirectoryPath(scratch + "/dir/sub") &&
        MakeDirectoryPath(scratch + "/empty"));
  Check(StringToFile(scratch + "/a.txt", "alpha\nbeta\n") &&
        StringToFile(scratch + "/dir/b.txt", "b") &&
        StringToFile(scratch + "/dir/sub/c.log", "c\r\nd"));
}

// One program run, in the confined thread.
void RunProgram(std::string_view text) {
  LineList lines;
  lines.SetText(text);
  TFASTMEMLIST program;
  program.AddStrings(lines);
  TFASTMEMLIST macros;
  for (const char* item : {"{A}", "MESSAGE from A", "{B}", "RETURN FALSE",
                           "{EMPTY}", "", "{PATH}", "dir/"}) {
    macros.Add(item);
  }
  LineList symbols = {"+S", "*F", "ACTION_APPLY"};
  TFASTMEMLIST levels;
  levels.Add("level one");
  levels.Add("level two");
  LineList output;
  uint8_t run_flags = 1;
  try {
    RunComplex(program, &levels, &symbols, &macros, &output, &run_flags);
  } catch (const Failure&) {
    // A bound reached, or a working directory that cannot be entered: the
    // ways a run may end early.
  }
}

// The worker: waits for an input, runs it, reports back.
class ConfinedRunner {
 public:
  void Start(std::vector<std::string> directories) {
    thread_ = std::thread([this, directories] {
      const bool confined = ConfineThisThread(directories);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        confined_ = confined;
        ready_ = true;
      }
      changed_.notify_all();
      if (!confined) {
        return;
      }
      for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return pending_; });
        lock.unlock();
        RunProgram(input_);
        lock.lock();
        pending_ = false;
        changed_.notify_all();
      }
    });
    thread_.detach();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
  }

  bool confined() const { return confined_; }

  void Run(std::string_view input) {
    std::unique_lock<std::mutex> lock(mutex_);
    input_ = input;
    pending_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !pending_; });
  }

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ready_ = false;
  bool confined_ = false;
  bool pending_ = false;
  std::string input_;
};

struct Sandbox {
  std::string home;     // the working directory libFuzzer started in
  std::string base;     // a fresh directory, removed at exit
  std::string scratch;  // where programs run, inside `base`
  ConfinedRunner runner;
};

Sandbox* sandbox = nullptr;

void RemoveSandbox() {
  if (::chdir(sandbox->home.c_str()) == 0) {
    DeleteDirectoryTree(sandbox->base);
  }
}

// The value of a "-artifact_prefix=" flag: the directory part of it.
std::string ArtifactDirectory(int argc, char** argv) {
  constexpr std::string_view kFlag = "-artifact_prefix=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with(kFlag)) {
      return SystemDirectoryPart(std::string(arg.substr(kFlag.size())));
    }
  }
  return std::string();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  sandbox = new Sandbox;
  sandbox->home = WorkingDirectoryPath();
  char base[] = "/tmp/qrl-program-fuzz-XXXXXX";
  Check(::mkdtemp(base) != nullptr);
  sandbox->base = base;
  sandbox->scratch = sandbox->base + "/scratch";
  BuildScratchTree(sandbox->scratch);
  std::atexit(RemoveSandbox);
  std::vector<std::string> allowed = {sandbox->scratch};
  const std::string artifacts = ArtifactDirectory(*argc, *argv);
  if (!artifacts.empty()) {
    Check(MakeDirectoryPath(artifacts));
    allowed.push_back(artifacts);
  }
  sandbox->runner.Start(allowed);
  if (!sandbox->runner.confined()) {
    std::fprintf(stderr,
                 "program_fuzzer: Landlock is not available, so programs "
                 "cannot be confined; not fuzzing\n");
    std::exit(kCannotConfine);
  }
  // Small bounds keep every input quick: the program lines, the buffer,
  // the macros and the report.
  static ScopedRunLimits limits([] {
    RunLimits small;
    small.program_lines = 4000;
    small.output_lines = 2000;
    small.output_bytes = 1 << 20;
    small.macro_bytes = 1 << 20;
    small.buffer_bytes = 1 << 20;
    return small;
  }());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BuildScratchTree(sandbox->scratch);
  Check(::chdir(sandbox->scratch.c_str()) == 0);
  sandbox->runner.Run(
      std::string_view(reinterpret_cast<const char*>(data), size));
  Check(::chdir(sandbox->home.c_str()) == 0);
  return 0;
}
