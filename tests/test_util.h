// Helpers shared by the tests: a scratch directory per test, whole-file
// reads and writes, serialized lists built in one call, and the runners of
// the real binaries for end-to-end tests, which build their packages from
// JSON descriptions with qrlpack.
#ifndef QRL_TESTS_TEST_UTIL_H_
#define QRL_TESTS_TEST_UTIL_H_

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A fresh directory under the temporary directory, removed with everything
// in it when the object goes. With Enter::kYes the process works inside it
// until then.
class ScratchDir {
 public:
  enum class Enter { kNo, kYes };
  explicit ScratchDir(Enter enter = Enter::kNo);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string Path(std::string_view relative) const;

 private:
  std::string path_;
  std::string previous_cwd_;
};

// Whole-file helpers that fail the test (ADD_FAILURE) instead of returning
// errors. WriteFile creates missing parent directories.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view content,
               mode_t mode = 0644);
bool Exists(const std::string& path);
// The names in a directory, sorted.
std::vector<std::string> DirectoryEntries(const std::string& dir);
mode_t FileMode(const std::string& path);  // permission bits only

// A directory tree in the form TreeContents gives.
using FileTree = std::map<std::string, std::string>;
// Creates `root` and the entries below it: files with their content, "dir/"
// directories, and links written "-> target".
void MakeTree(const std::string& root, const FileTree& tree);

// Every entry below `root` by its path relative to it: a directory as
// "dir/" with an empty text, a file with its content, a link with "-> "
// and where it points. Links are never entered.
std::map<std::string, std::string> TreeContents(const std::string& root);

// TreeContents with, before each entry's content, its mode, size,
// modification time and inode number: what must not move at all when a
// tree is only looked at.
std::map<std::string, std::string> TreeSnapshot(const std::string& root);

// Runs `body` in a child process whose files may not grow beyond `limit`
// bytes. SIGXFSZ is ignored there, so an oversize write fails with EFBIG
// instead of killing the child. Returns the child's exit code.
int RunWithFileSizeLimit(rlim_t limit, const std::function<int()>& body);

// The serialized form of a list holding `items`, in order.
std::string Serialize(std::initializer_list<std::string_view> items);
std::string Serialize(const std::vector<std::string>& items);

struct ProgramResult {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs argv[0] with the arguments, in `cwd` when it is not empty, with
// standard input from /dev/null, and collects both output streams.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::string& cwd = "");

// Runs `body` in a forked child, for what must not touch this process
// (resource limits, chroot). The child hands back what `body` returns and
// exits with 0, or with the code `body` passes to _exit itself.
ProgramResult RunInChild(const std::function<std::string()>& body);

// Runs the qrlconsole binary of this build.
ProgramResult RunConsole(const std::vector<std::string>& args,
                         const std::string& cwd = "");

// Runs the qrlpack binary of this build.
ProgramResult RunPack(const std::vector<std::string>& args,
                      const std::string& cwd = "");

// A file of the source tree (fixtures, examples, documents).
std::string SourcePath(std::string_view relative);

// Builds a package with the real qrlpack into `out_path` and returns its
// bytes. `json_text_or_path` is a description when it starts with "{", else
// the name of a description file. A refusal fails the test.
std::string BuildPackageFromJson(const std::string& json_text_or_path,
                                 const std::string& out_path);

// The banner line that every run prints first, with its line end.
std::string BannerLine();

#endif  // QRL_TESTS_TEST_UTIL_H_
