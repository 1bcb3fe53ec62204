// The sandbox of the fuzzers that run the engine on the file system: a
// fresh directory, removed at exit, and a worker thread that the kernel
// (Landlock) allows to read, write, create and remove files beneath it
// (and the artifact directory) only, and to execute nothing, so that no
// input can touch anything else or start a command. The thread that
// libFuzzer drives hands each input to the worker and waits for it.
// Without Landlock nothing can be confined: the fuzzers then refuse to
// start (exit code kCannotConfine, which their tests count as skipped).
// Small run limits keep every input quick.
#ifndef QRL_FUZZ_SANDBOX_H_
#define QRL_FUZZ_SANDBOX_H_

#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/run_limits.h"
#include "fuzz/fuzz_check.h"
#include "services/file_services.h"
#include "services/path_parts.h"
#include "services/working_directory.h"

inline constexpr int kCannotConfine = 77;

namespace confinement {

// Rights of newer Landlock versions, for older headers.
inline constexpr uint64_t kTruncate = 1ULL << 14;  // version 3
inline constexpr uint64_t kIoctlDev = 1ULL << 15;  // version 5

// Every file-system right that the running kernel's Landlock handles.
inline uint64_t HandledRights(long version) {
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

inline bool AllowBeneath(int ruleset, const std::string& directory,
                         uint64_t rights) {
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

}  // namespace confinement

// Confines the calling thread (and the processes it starts) to the
// directories: everything but executing beneath them, nothing elsewhere.
inline bool ConfineThisThread(const std::vector<std::string>& directories) {
  const long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0,
                                 LANDLOCK_CREATE_RULESET_VERSION);
  if (version < 1) {
    return false;
  }
  const uint64_t handled = confinement::HandledRights(version);
  landlock_ruleset_attr attr = {};
  attr.handled_access_fs = handled;
  const int ruleset = static_cast<int>(
      ::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
  if (ruleset < 0) {
    return false;
  }
  bool confined = true;
  for (const std::string& directory : directories) {
    confined = confined &&
               confinement::AllowBeneath(ruleset, directory,
                                         handled & ~LANDLOCK_ACCESS_FS_EXECUTE);
  }
  confined = confined && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
             ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  ::close(ruleset);
  return confined;
}

// The worker: waits for an input, runs `run` on it, reports back.
class ConfinedRunner {
 public:
  using Run = std::function<void(std::string_view input)>;

  void Start(std::vector<std::string> directories, Run run) {
    thread_ = std::thread([this, directories, run] {
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
        run(input_);
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

  void Give(std::string_view input) {
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

// The directory part of a "-artifact_prefix=" flag, where libFuzzer saves
// a crashing input (from the thread that crashed, so the worker must be
// allowed to write there), or "".
inline std::string ArtifactDirectory(int argc, char** argv) {
  constexpr std::string_view kFlag = "-artifact_prefix=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with(kFlag)) {
      return SystemDirectoryPart(std::string(arg.substr(kFlag.size())));
    }
  }
  return std::string();
}

struct Sandbox {
  std::string home;  // the working directory libFuzzer started in
  std::string base;  // the fresh directory
  ConfinedRunner runner;
};

// Makes the sandbox of the fuzzer `name` (its flags in argc, argv) with
// small run limits, and starts its worker with `run`; exits with
// kCannotConfine when the kernel cannot confine it.
inline Sandbox* StartSandbox(const std::string& name, int argc, char** argv,
                             ConfinedRunner::Run run) {
  static Sandbox* sandbox = new Sandbox;
  sandbox->home = WorkingDirectoryPath();
  std::string base = "/tmp/qrl-" + name + "-fuzz-XXXXXX";
  Check(::mkdtemp(base.data()) != nullptr);
  sandbox->base = base;
  std::atexit([] {
    if (::chdir(sandbox->home.c_str()) == 0) {
      DeleteDirectoryTree(sandbox->base);
    }
  });
  std::vector<std::string> allowed = {sandbox->base};
  const std::string artifacts = ArtifactDirectory(argc, argv);
  if (!artifacts.empty()) {
    Check(MakeDirectoryPath(artifacts));
    allowed.push_back(artifacts);
  }
  sandbox->runner.Start(allowed, std::move(run));
  if (!sandbox->runner.confined()) {
    std::fprintf(stderr,
                 "%s_fuzzer: Landlock is not available, so the inputs "
                 "cannot be confined; not fuzzing\n",
                 name.c_str());
    std::exit(kCannotConfine);
  }
  static ScopedRunLimits limits([] {
    RunLimits small;
    small.restarts = 8;
    small.program_lines = 4000;
    small.output_lines = 2000;
    small.output_bytes = 1 << 20;
    small.macro_bytes = 1 << 16;
    small.buffer_bytes = 1 << 20;
    small.expansion_bytes = 1 << 16;
    return small;
  }());
  return sandbox;
}

#endif  // QRL_FUZZ_SANDBOX_H_
