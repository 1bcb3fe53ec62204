#include "services/external_tool.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <set>

#include "gtest/gtest.h"
#include "tests/test_util.h"

namespace {

ExternalToolRequest Shell(std::string script, bool capture = true) {
  ExternalToolRequest request;
  request.executable = "/bin/sh";
  request.parameters = {"-c", std::move(script)};
  request.capture_output = capture;
  return request;
}

// The descriptors of this process, and those a child inherits (the ones
// without close-on-exec).
std::set<int> OpenDescriptors(bool inherited_only) {
  std::set<int> fds;
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) {
    return fds;
  }
  while (const struct dirent* entry = ::readdir(dir)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] == '.' || fd == ::dirfd(dir)) {
      continue;
    }
    if (!inherited_only || (::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0) {
      fds.insert(fd);
    }
  }
  ::closedir(dir);
  return fds;
}

double CpuSeconds() {
  struct rusage usage;
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) /
             1e6;
}

TEST(RunExternalTool, CapturesStandardOutputAndTheRawWaitStatus) {
  const ExternalToolResult result =
      RunExternalTool(Shell("echo out; echo err >&2; exit 3"));
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.output, "out\n");  // standard error is not captured
  EXPECT_TRUE(WIFEXITED(result.wait_status));
  EXPECT_EQ(WEXITSTATUS(result.wait_status), 3);

  const ExternalToolResult killed = RunExternalTool(Shell("kill -9 $$"));
  EXPECT_TRUE(killed.started);
  EXPECT_TRUE(WIFSIGNALED(killed.wait_status));

  // Without capture the tool writes to the program's own streams.
  const ExternalToolResult plain = RunExternalTool(Shell("exit 0", false));
  EXPECT_TRUE(plain.started);
  EXPECT_EQ(plain.output, "");
  EXPECT_EQ(plain.wait_status, 0);
}

TEST(RunExternalTool, ArgumentsEnvironmentAndRunningDirectoryReachTheTool) {
  ScratchDir dir;
  ExternalToolRequest request =
      Shell("printf '%s|' \"$0\" \"$1\" \"$QRL_TOOL_TEST\" \"$(pwd)\"", true);
  request.parameters.Add("two words");
  request.parameters.Add("'quoted'");
  request.environment = {"QRL_TOOL_TEST=set here"};
  request.running_directory = dir.path();
  const ExternalToolResult result = RunExternalTool(request);
  EXPECT_EQ(result.output, "two words|'quoted'|set here|" + dir.path() + "|");

  // argv[0] is the executable as named.
  EXPECT_EQ(RunExternalTool(Shell("printf %s \"$0\"")).output, "/bin/sh");
}

TEST(RunExternalTool, FindsBareNamesThroughPathBeforeTheChildExists) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  ExternalToolRequest request;
  request.executable = "printf";
  request.parameters = {"found"};
  request.capture_output = true;
  EXPECT_EQ(RunExternalTool(request).output, "found");

  // A file at the name's path wins; a relative one counts from the
  // program's directory, also when the tool runs elsewhere.
  WriteFile(dir.Path("tool"), "#!/bin/sh\necho local in $(pwd)\n", 0755);
  WriteFile(dir.Path("sub/keep"), "");
  request.executable = "tool";
  request.running_directory = "sub";
  EXPECT_EQ(RunExternalTool(request).output,
            "local in " + dir.Path("sub") + "\n");

  for (const char* missing :
       {"qrl-no-such-tool", "./qrl-no-such-tool", "sub", ""}) {
    request.executable = missing;
    const ExternalToolResult result = RunExternalTool(request);
    EXPECT_FALSE(result.started) << missing;
    EXPECT_EQ(result.output, "") << missing;
  }
}

TEST(RunExternalTool, ChildEndsWith127WhenDirectoryOrExecFails) {
  ScratchDir dir;
  ExternalToolRequest request = Shell("echo ran");
  request.running_directory = dir.Path("missing");
  ExternalToolResult result = RunExternalTool(request);
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.output, "");
  EXPECT_TRUE(WIFEXITED(result.wait_status));
  EXPECT_EQ(WEXITSTATUS(result.wait_status), 127);

  // A file that exists but cannot be executed.
  WriteFile(dir.Path("data.txt"), "not a program", 0644);
  request = ExternalToolRequest{};
  request.executable = dir.Path("data.txt");
  request.capture_output = true;
  result = RunExternalTool(request);
  EXPECT_TRUE(result.started);
  EXPECT_EQ(WEXITSTATUS(result.wait_status), 127);
}

TEST(RunExternalTool, LargeOutputOnBothStreamsNeitherBlocksNorGetsLost) {
  // 200 KiB on each stream, interleaved, and a tool that reads its input.
  const ExternalToolResult result = RunExternalTool(
      Shell("cat; i=0; while [ $i -lt 200 ]; do "
            "printf '%01024d' $i; printf '%01024d' $i >&2; i=$((i+1)); "
            "done"));
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.wait_status, 0);
  ASSERT_EQ(result.output.size(), 200u * 1024u);
  EXPECT_EQ(result.output.substr(199 * 1024), std::string(1021, '0') + "199");
}

TEST(RunExternalTool, ReapsEveryChildAndLeaksNoDescriptor) {
  const std::set<int> before = OpenDescriptors(false);
  for (int i = 0; i < 3; ++i) {
    RunExternalTool(Shell("echo $$"));
    RunExternalTool(Shell("exit 1", false));
  }
  EXPECT_EQ(OpenDescriptors(false), before);
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  // The tool gets its three streams and what this process inherited
  // itself, nothing of the run's own.
  std::set<int> expected = OpenDescriptors(true);
  expected.insert({0, 1, 2});
  const ExternalToolResult listing = RunExternalTool(Shell("ls /proc/$$/fd"));
  std::set<int> seen;
  for (const std::string& word : SplitCommandLine(listing.output)) {
    seen.insert(std::atoi(word.c_str()));
  }
  EXPECT_EQ(seen, expected);
}

TEST(RunExternalTool, WaitingForASleepingToolCostsNoCpu) {
  const double cpu_before = CpuSeconds();
  const ExternalToolResult result = RunExternalTool(Shell("sleep 1; echo up"));
  EXPECT_EQ(result.output, "up\n");
  // A loop that polled without pause would burn the whole second.
  EXPECT_LT(CpuSeconds() - cpu_before, 0.25);
}

TEST(RunExternalTool, DoesNotWaitForABackgroundProcessHoldingThePipe) {
  const auto start = std::chrono::steady_clock::now();
  const ExternalToolResult result =
      RunExternalTool(Shell("sleep 30 & echo left behind"));
  EXPECT_EQ(result.output, "left behind\n");
  EXPECT_EQ(result.wait_status, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

TEST(SplitCommandLine, SplitsAtBlanksOutsideQuotes) {
  struct Case {
    std::string text;
    LineList words;
  };
  const std::vector<Case> cases = {
      {"a b", {"a", "b"}},
      {" \t\r\na  \n b\t", {"a", "b"}},
      {"\"a b\"", {"a b"}},
      {"'say \"hi\"'", {"say \"hi\""}},
      {"ab\"c d\"ef", {"ab\"c d\"ef"}},
      {"x \"never closed  and more ", {"x", "\"never closed  and more "}},
      {"\"a\"b\"", {"a\"b"}},  // only the first and last character go
      {"'a'\"b\"", {"'a'\"b\""}},
      {"\"\" '' \"", {"\""}},  // empty words are dropped
      {"", {}},
      {" \t ", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.text), c.words) << c.text;
  }
}

TEST(ExecuteCommandLine, ChecksTheExitStatusOnlyWhenAsked) {
  std::string output = "stale";
  EXPECT_TRUE(ExecuteCommandLine("sh -c 'echo three; exit 3'", &output,
                                 CheckExitStatus::kNo));
  EXPECT_EQ(output, "three\n");
  EXPECT_FALSE(ExecuteCommandLine("sh -c 'echo three; exit 3'", &output,
                                  CheckExitStatus::kYes));
  EXPECT_EQ(output, "three\n");
  EXPECT_TRUE(ExecuteCommandLine("printf \"%s-%s\" 'a b' c", &output,
                                 CheckExitStatus::kYes));
  EXPECT_EQ(output, "a b-c");

  for (const char* nothing : {"", "  \t", "qrl-no-such-tool arg"}) {
    output = "stale";
    EXPECT_FALSE(ExecuteCommandLine(nothing, &output, CheckExitStatus::kNo))
        << nothing;
    EXPECT_EQ(output, "") << nothing;
  }
}

}  // namespace
