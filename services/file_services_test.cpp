#include "services/file_services.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "services/diagnostics.h"
#include "services/failure.h"
#include "services/overlay_file_system.h"
#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Every path below `root`, relative to it; links are listed, never entered.
std::set<std::string> Tree(const std::string& root) {
  std::set<std::string> paths;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    paths.insert(it->path().lexically_relative(root).string());
  }
  return paths;
}

void Link(const std::string& target, const std::string& link) {
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
}

bool IsLinkTo(const std::string& link, const std::string& target) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(link, ec)) &&
         fs::read_symlink(link, ec).string() == target;
}

std::string SystemText(int error) { return std::strerror(error); }

// The listing cut into its breadth-first levels (by the number of "/" in
// an entry); fails the test when an entry comes after a deeper one.
std::vector<std::set<std::string>> Levels(const LineList& list) {
  std::vector<std::set<std::string>> levels;
  for (const std::string& entry : list) {
    const std::string bare =
        LastCharacter(entry) == '/' ? entry.substr(0, entry.size() - 1) : entry;
    const size_t depth = std::count(bare.begin(), bare.end(), '/');
    if (depth + 1 < levels.size()) {
      ADD_FAILURE() << entry << " listed after a deeper entry";
    }
    levels.resize(std::max(levels.size(), depth + 1));
    levels[depth].insert(entry);
  }
  return levels;
}

TEST(FileToString, ReadsEveryByteAndFailsWithEmptyOutput) {
  ScratchDir dir;
  const std::string bytes = "a\0b\r\n\xff"s + std::string(100000, 'z');
  WriteFile(dir.Path("bytes"), bytes);
  WriteFile(dir.Path("empty"), "");
  std::string out = "stale";
  EXPECT_TRUE(FileToString(dir.Path("bytes"), &out));
  EXPECT_EQ(out, bytes);
  out = "stale";
  EXPECT_TRUE(FileToString(dir.Path("empty"), &out));
  EXPECT_EQ(out, "");
  for (const std::string& bad : {dir.Path("missing"), dir.path()}) {
    out = "stale";
    EXPECT_FALSE(FileToString(bad, &out)) << bad;
    EXPECT_EQ(out, "") << bad;
  }
}

TEST(StringToFile, WritesExactBytesIntoNewFilesWithDefaultMode) {
  ScratchDir dir;
  const mode_t old_mask = ::umask(027);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""},
      {"bytes", "a\0b\r\n\xff"s},
      {"large", std::string(3 << 20, 'q')},
      {std::string(255, 'n'), "the longest name allowed"},
  };
  for (const auto& [name, content] : cases) {
    std::string err;
    EXPECT_TRUE(StringToFile(dir.Path(name), content, &err)) << err;
    EXPECT_EQ(ReadFile(dir.Path(name)), content);
    EXPECT_EQ(FileMode(dir.Path(name)), 0640u);
  }
  ::umask(old_mask);
  EXPECT_EQ(Tree(dir.path()).size(), cases.size());
}

TEST(StringToFile, KeepsModeAndOwnerAndLeavesNoTemporary) {
  const bool can_chown = ::geteuid() == 0;
  for (const mode_t mode : {0640, 0755, 0600, 0444}) {
    ScratchDir dir;
    const std::string file = dir.Path("f");
    WriteFile(file, "old content that is longer", mode);
    if (can_chown) {
      ASSERT_EQ(::chown(file.c_str(), 1234, 4321), 0);
    }
    std::string err;
    EXPECT_TRUE(StringToFile(file, "new", &err)) << err;
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(FileMode(file), mode);
    if (can_chown) {
      struct stat st;
      ASSERT_EQ(::stat(file.c_str(), &st), 0);
      EXPECT_EQ(st.st_uid, 1234u);
      EXPECT_EQ(st.st_gid, 4321u);
    }
    EXPECT_EQ(Tree(dir.path()), std::set<std::string>{"f"});
  }
}

TEST(StringToFile, ReplacesWhatALinkChainPointsToAndKeepsTheLinks) {
  ScratchDir dir;
  WriteFile(dir.Path("data/real"), "old", 0640);
  fs::create_directory(dir.Path("links"));
  Link("links/mid", dir.Path("top"));
  Link("../data/real", dir.Path("links/mid"));
  Link(dir.Path("data/real"), dir.Path("absolute"));
  Link("data/born", dir.Path("dangling"));
  Link("cycle2", dir.Path("cycle1"));
  Link("cycle1", dir.Path("cycle2"));
  const std::set<std::string> before = Tree(dir.path());

  std::string err;
  EXPECT_TRUE(StringToFile(dir.Path("top"), "relative", &err)) << err;
  EXPECT_EQ(ReadFile(dir.Path("data/real")), "relative");
  EXPECT_EQ(FileMode(dir.Path("data/real")), 0640u);
  EXPECT_TRUE(IsLinkTo(dir.Path("top"), "links/mid"));
  EXPECT_TRUE(IsLinkTo(dir.Path("links/mid"), "../data/real"));

  EXPECT_TRUE(StringToFile(dir.Path("absolute"), "absolute", &err)) << err;
  EXPECT_EQ(ReadFile(dir.Path("data/real")), "absolute");
  EXPECT_TRUE(IsLinkTo(dir.Path("absolute"), dir.Path("data/real")));

  EXPECT_TRUE(StringToFile(dir.Path("dangling"), "born", &err)) << err;
  EXPECT_EQ(ReadFile(dir.Path("data/born")), "born");
  EXPECT_TRUE(IsLinkTo(dir.Path("dangling"), "data/born"));

  EXPECT_FALSE(StringToFile(dir.Path("cycle1"), "x", &err));
  EXPECT_NE(err.find(SystemText(ELOOP)), std::string::npos) << err;

  std::set<std::string> expected = before;
  expected.insert("data/born");
  EXPECT_EQ(Tree(dir.path()), expected);
  // ScratchDir's clean-up cannot cope with a link cycle.
  fs::remove(dir.Path("cycle1"));
}

TEST(StringToFile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  ScratchDir dir;
  const std::string file = dir.Path("f");
  WriteFile(file, "old content", 0640);
  const int exit_code = RunWithFileSizeLimit(4096, [&file] {
    std::string err;
    const bool ok = StringToFile(file, std::string(100000, 'n'), &err);
    return !ok && err.find(SystemText(EFBIG)) != std::string::npos ? 0 : 1;
  });
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(ReadFile(file), "old content");
  EXPECT_EQ(FileMode(file), 0640u);
  EXPECT_EQ(Tree(dir.path()), std::set<std::string>{"f"});
}

TEST(StringToFile, RejectsUnusableNamesWithTheSystemsReason) {
  ScratchDir dir;
  WriteFile(dir.Path("notadir"), "keep");
  fs::create_directory(dir.Path("adir"));
  const std::set<std::string> before = Tree(dir.path());
  const std::vector<std::pair<std::string, int>> cases = {
      {dir.Path("notadir/file"), ENOTDIR},
      {dir.Path("missing/file"), ENOENT},
      {dir.Path(std::string(256, 'n')), ENAMETOOLONG},
      {dir.Path("adir"), EISDIR},
      {"", ENOENT},
  };
  for (const auto& [name, error] : cases) {
    std::string err;
    EXPECT_FALSE(StringToFile(name, "x", &err)) << name;
    EXPECT_NE(err.find(SystemText(error)), std::string::npos) << err;
  }
  EXPECT_EQ(Tree(dir.path()), before);
  EXPECT_EQ(ReadFile(dir.Path("notadir")), "keep");
}

TEST(StringToFile, RefusesAPipeWithoutWaitingOnIt) {
  // Nobody reads the pipe: opening it for writing would wait forever. The
  // child's alarm turns such a wait into a failure of the test.
  ScratchDir dir;
  const std::string fifo = dir.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const ProgramResult result = RunInChild([&fifo] {
    ::alarm(10);
    std::string err;
    return StringToFile(fifo, "through", &err) ? "written" : err;
  });
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "cannot write " + fifo +
                            ": it is a device, pipe or socket, not a regular "
                            "file");
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
  EXPECT_EQ(Tree(dir.path()), (std::set<std::string>{"fifo"}));
}

TEST(CreateEmptyFile, CreatesParentsEmptiesFilesAndFollowsLinks) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  EXPECT_TRUE(CreateEmptyFile("a/b/c/new"));
  EXPECT_EQ(ReadFile("a/b/c/new"), "");
  EXPECT_TRUE(CreateEmptyFile("plain"));
  EXPECT_EQ(ReadFile("plain"), "");

  WriteFile("old", "content", 0750);
  EXPECT_TRUE(CreateEmptyFile(dir.Path("old")));
  EXPECT_EQ(ReadFile("old"), "");
  EXPECT_EQ(FileMode("old"), 0750u);

  WriteFile("pointed", "content");
  Link("pointed", "link");
  EXPECT_TRUE(CreateEmptyFile("link"));
  EXPECT_TRUE(IsLinkTo("link", "pointed"));
  EXPECT_EQ(ReadFile("pointed"), "");

  WriteFile("notadir", "keep");
  fs::create_directory("adir");
  EXPECT_FALSE(CreateEmptyFile("notadir/x"));
  EXPECT_FALSE(CreateEmptyFile("adir"));
  EXPECT_TRUE(DirectoryExists("adir"));
  EXPECT_EQ(ReadFile("notadir"), "keep");
}

TEST(ListDirectoryTree, ListsLevelByLevelWithOrWithoutFiles) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile("a/b/x", "");
  WriteFile("a/y", "");
  WriteFile("a/.hidden", "");
  WriteFile("a/b/c/z", "");
  using Expected = std::vector<std::set<std::string>>;
  for (const std::string root : {"a", "a/"}) {
    LineList list = {"stale"};
    EXPECT_TRUE(ListDirectoryTree(root, IncludeFiles::kYes, &list));
    ASSERT_FALSE(list.Empty());
    EXPECT_EQ(list.Get(0), "a/");
    EXPECT_EQ(Levels(list), (Expected{{"a/"},
                                      {"a/b/", "a/y", "a/.hidden"},
                                      {"a/b/x", "a/b/c/"},
                                      {"a/b/c/z"}}));
    EXPECT_TRUE(ListDirectoryTree(root, IncludeFiles::kNo, &list));
    EXPECT_EQ(list, (LineList{"a/", "a/b/", "a/b/c/"}));
  }
}

TEST(ListDirectoryTree, ListsLinksAsFilesAndNeverFollowsThem) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile("outside/secret", "");
  WriteFile("a/y", "");
  fs::create_directory("a/real");
  Link(dir.Path("outside"), "a/out");
  Link("..", "a/real/back");  // a cycle back to a
  Link("../y", "a/real/file_link");
  LineList list;
  EXPECT_TRUE(ListDirectoryTree("a", IncludeFiles::kYes, &list));
  EXPECT_EQ(Levels(list), (std::vector<std::set<std::string>>{
                              {"a/"},
                              {"a/out", "a/real/", "a/y"},
                              {"a/real/back", "a/real/file_link"}}));
  EXPECT_TRUE(ListDirectoryTree("a", IncludeFiles::kNo, &list));
  EXPECT_EQ(list, (LineList{"a/", "a/real/"}));
}

TEST(ListDirectoryTree, FailsWithAnEmptyListWhenTheRootIsNoDirectory) {
  ScratchDir dir;
  WriteFile(dir.Path("file"), "");
  for (const std::string& root :
       {dir.Path("file"), dir.Path("missing"), dir.Path("file/"), ""s}) {
    LineList list = {"stale"};
    EXPECT_FALSE(ListDirectoryTree(root, IncludeFiles::kYes, &list)) << root;
    EXPECT_TRUE(list.Empty()) << root;
  }
}

TEST(DeleteFilesInDirectory, DeletesFilesAndLinksButNoSubdirectory) {
  ScratchDir dir;
  WriteFile(dir.Path("outside"), "keep");
  WriteFile(dir.Path("d/f"), "");
  WriteFile(dir.Path("d/.hidden"), "");
  WriteFile(dir.Path("d/sub/g"), "");
  Link(dir.Path("outside"), dir.Path("d/link"));
  EXPECT_TRUE(DeleteFilesInDirectory(dir.Path("d")));
  EXPECT_EQ(Tree(dir.Path("d")), (std::set<std::string>{"sub", "sub/g"}));
  EXPECT_EQ(ReadFile(dir.Path("outside")), "keep");
  EXPECT_TRUE(DeleteFilesInDirectory(dir.Path("missing")));
}

TEST(DeleteDirectoryTree, RemovesEveryLevelAndTheRootLast) {
  ScratchDir dir;
  for (const std::string root : {"t", "t2/"}) {
    WriteFile(dir.Path(root + "/f"), "");
    WriteFile(dir.Path(root + "/.hidden"), "");
    WriteFile(dir.Path(root + "/a/b/c/d/deep"), "");
    WriteFile(dir.Path(root + "/a/sibling/file"), "");
    fs::create_directories(dir.Path(root + "/empty/empty"));
    EXPECT_TRUE(DeleteDirectoryTree(dir.Path(root))) << root;
    EXPECT_FALSE(Exists(dir.Path(root))) << root;
  }
}

TEST(DeleteDirectoryTree, RemovesLinksWithoutTouchingWhatTheyPointTo) {
  ScratchDir dir;
  WriteFile(dir.Path("outside/keep"), "keep");
  WriteFile(dir.Path("outside/sub/keep"), "keep");
  WriteFile(dir.Path("t/sub/own"), "");
  Link(dir.Path("outside"), dir.Path("t/out"));
  Link("../outside/keep", dir.Path("t/file_link"));
  Link("../..", dir.Path("t/sub/up"));  // a cycle through the tree's parent
  const std::set<std::string> outside = Tree(dir.Path("outside"));
  EXPECT_TRUE(DeleteDirectoryTree(dir.Path("t")));
  EXPECT_FALSE(Exists(dir.Path("t")));
  EXPECT_EQ(Tree(dir.Path("outside")), outside);
  EXPECT_EQ(ReadFile(dir.Path("outside/keep")), "keep");
}

TEST(DeleteDirectoryTree, RootThatIsALinkLosesOnlyTheLink) {
  ScratchDir dir;
  WriteFile(dir.Path("target/sub/keep"), "keep");
  const std::set<std::string> target = Tree(dir.Path("target"));
  for (const std::string& root :
       {dir.Path("link"), dir.Path("link/"), dir.Path("link//")}) {
    Link(dir.Path("target"), dir.Path("link"));
    EXPECT_TRUE(DeleteDirectoryTree(root)) << root;
    EXPECT_FALSE(Exists(dir.Path("link"))) << root;
    EXPECT_EQ(Tree(dir.Path("target")), target) << root;
  }
}

TEST(DeleteDirectoryTree, FailsAndDeletesNothingWhenTheRootIsNoDirectory) {
  ScratchDir dir;
  WriteFile(dir.Path("file"), "keep");
  EXPECT_FALSE(DeleteDirectoryTree(dir.Path("file")));
  EXPECT_FALSE(DeleteDirectoryTree(dir.Path("missing")));
  EXPECT_FALSE(DeleteDirectoryTree(""));
  EXPECT_EQ(ReadFile(dir.Path("file")), "keep");
}

TEST(DeleteDirectoryTree, RaisesFailureWhenAnEmptiedDirectoryStays) {
  // The working directory can be emptied but never removed by its "." name.
  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile("sub/f", "");
  try {
    DeleteDirectoryTree(".");
    ADD_FAILURE() << "no Failure raised";
  } catch (const Failure& failure) {
    EXPECT_EQ(std::string(failure.what()),
              "cannot remove directory ./: " + SystemText(EINVAL));
  }
  EXPECT_TRUE(Tree(dir.path()).empty());
}

TEST(NearestExistingDirectory, ClimbsToTheDeepestExistingDirectory) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  const std::string s = dir.path();
  fs::create_directory("home");
  WriteFile("file.txt", "");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {s + "/home/missing/deeper/file", s + "/home/"},
      {" \t" + s + "/home/missing/\n", s + "/home/"},
      {s + "/home/", s + "/home/"},
      {s + "/home", s + "/"},  // no final "/": "home" is taken as a file
      {s + "/file.txt/x", s + "/"},
      {"home/missing/file", "home/"},
      {"/qrl-no-such-directory/file", "/"},
      {"nosuch/deeper/file", ""},
      {"file.txt", ""},
      {" \r\n", ""},
      {"", ""},
  };
  for (const auto& [path, nearest] : cases) {
    EXPECT_EQ(NearestExistingDirectory(path), nearest) << path;
  }
}

TEST(PathParts, ExtractPathPartAndLastCharacter) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"dir/sub/file.txt", "dir/sub/"},
      {"file.txt", ""},
      {"dir\\file", "dir\\"},
      {"dir/", "dir/"},
      {"a/b\\c", "a/b\\"},
      {"/x", "/"},
      {"", ""},
  };
  for (const auto& [path, part] : cases) {
    EXPECT_EQ(ExtractPathPart(path), part) << path;
  }
  EXPECT_EQ(LastCharacter(""), '\0');
  EXPECT_EQ(LastCharacter("ab"), 'b');
  EXPECT_EQ(LastCharacter("a\0"s), '\0');
}

TEST(Permissions, CopyAndAssureExecuteBits) {
  ScratchDir dir;
  const std::string source = dir.Path("source");
  const std::string target = dir.Path("target");
  WriteFile(source, "", 0751);
  WriteFile(target, "", 0600);
  EXPECT_TRUE(CopyPermissions(source, target));
  EXPECT_EQ(FileMode(target), 0751u);
  ::chmod(target.c_str(), 0600);
  EXPECT_FALSE(CopyPermissions(dir.Path("missing"), target));
  EXPECT_EQ(FileMode(target), 0600u);
  EXPECT_FALSE(CopyPermissions(source, dir.Path("missing")));

  for (const auto& [before, after] : std::vector<std::pair<mode_t, mode_t>>{
           {0664, 0775}, {0600, 0755}, {0444, 0755}, {0750, 0755}}) {
    ::chmod(target.c_str(), before);
    EXPECT_TRUE(AssureExecutePermissions(target));
    EXPECT_EQ(FileMode(target), after) << std::oct << before;
  }
  EXPECT_FALSE(AssureExecutePermissions(dir.Path("missing")));
  EXPECT_FALSE(Exists(dir.Path("missing")));
}

TEST(ExistenceTests, FollowLinks) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile("file", "");
  fs::create_directory("dir");
  Link("dir", "dir_link");
  Link("file", "file_link");
  Link("missing", "dangling");
  ASSERT_EQ(::mkfifo("pipe", 0644), 0);
  struct Case {
    std::string path;
    bool exists, directory, file, regular;
  };
  for (const Case& c :
       std::vector<Case>{{"file", true, false, true, true},
                         {"dir", true, true, false, false},
                         {"dir_link", true, true, false, false},
                         {"file_link", true, false, true, true},
                         {"pipe", true, false, true, false},
                         {"dangling", false, false, false, false},
                         {"missing", false, false, false, false},
                         {"", false, false, false, false}}) {
    EXPECT_EQ(PathExists(c.path), c.exists) << c.path;
    EXPECT_EQ(DirectoryExists(c.path), c.directory) << c.path;
    EXPECT_EQ(FileExists(c.path), c.file) << c.path;
    EXPECT_EQ(RegularFileExists(c.path), c.regular) << c.path;
  }
}

TEST(MakeDirectoryPath, CreatesMissingParentsAndFailsUnderAPlainFile) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  WriteFile("notadir", "");
  for (const std::string& path :
       {"a/b/c"s, "a/b/c"s, "a//d/"s, dir.Path("abs/olute")}) {
    EXPECT_TRUE(MakeDirectoryPath(path)) << path;
    EXPECT_TRUE(DirectoryExists(path)) << path;
  }
  for (const std::string path : {"notadir/x/y", "notadir", ""}) {
    EXPECT_FALSE(MakeDirectoryPath(path)) << path;
  }
  EXPECT_FALSE(Exists("notadir/x"));
}

}  // namespace

namespace {

// The system would see each of these cut at the NUL byte: "keep.txt", the
// directory "dir" and the working directory.
const std::string kNulFile = "keep.txt\0.new"s;
const std::string kNulDirectory = "dir\0x/"s;
const std::string kNulAtStart = "\0/etc"s;

TEST(PathsWithNul, EveryServiceRefusesThemAndTouchesNothing) {
  ScratchDir dir(ScratchDir::Enter::kYes);
  const FileTree tree = {{"keep.txt", "old"}, {"dir/", ""}, {"dir/f", "f"}};
  MakeTree(dir.path(), tree);
  std::vector<std::string> diagnostics;
  ScopedDiagnosticSink sink(
      [&](std::string_view line) { diagnostics.emplace_back(line); });
  std::string content;
  std::string err;
  LineList list;
  std::vector<DirectoryEntry> entries;
  for (const std::string& path : {kNulFile, kNulDirectory, kNulAtStart}) {
    SCOPED_TRACE(EscapeForTerminal(path));
    EXPECT_FALSE(FileToString(path, &content));
    EXPECT_FALSE(StringToFile(path, "new", &err));
    EXPECT_EQ(err, EscapeForTerminal(path) + ": the path holds a NUL byte");
    EXPECT_FALSE(StringToFile(path, "new"));
    EXPECT_FALSE(CreateEmptyFile(path));
    EXPECT_NE(ReadDirectory(path, &entries), DirectoryRead::kOk);
    EXPECT_FALSE(ListDirectoryTree(path, IncludeFiles::kYes, &list));
    EXPECT_FALSE(DeleteFilesInDirectory(path));
    EXPECT_FALSE(DeleteDirectoryTree(path));
    EXPECT_EQ(NearestExistingDirectory(path), "");
    EXPECT_FALSE(CopyPermissions(path, "keep.txt"));
    EXPECT_FALSE(CopyPermissions("keep.txt", path));
    EXPECT_FALSE(AssureExecutePermissions(path));
    EXPECT_FALSE(PathExists(path));
    EXPECT_FALSE(DirectoryExists(path));
    EXPECT_FALSE(FileExists(path));
    EXPECT_FALSE(RegularFileExists(path));
    EXPECT_FALSE(MakeDirectoryPath(path));
  }
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(TreeContents(dir.path()), tree);
  EXPECT_EQ(FileMode(dir.Path("keep.txt")), 0644u);
  // Each refusal names the path, escaped, on the diagnostics channel.
  ASSERT_FALSE(diagnostics.empty());
  EXPECT_EQ(diagnostics.front(),
            "keep.txt\\x00.new: the path holds a NUL byte");
}

TEST(ListDirectoryTree, RefusesTreesDeeperThanTheLimit) {
  ScratchDir dir;
  // One level below the limit lists; one more and nothing is listed or
  // deleted.
  std::string deepest = dir.Path("t");
  ASSERT_EQ(::mkdir(deepest.c_str(), 0755), 0);
  for (size_t depth = 1; depth < kMaxTreeDepth; ++depth) {
    deepest += "/d";
    ASSERT_EQ(::mkdir(deepest.c_str(), 0755), 0);
  }
  LineList list;
  EXPECT_TRUE(ListDirectoryTree(dir.Path("t"), IncludeFiles::kNo, &list));
  EXPECT_EQ(list.Count(), kMaxTreeDepth);
  ASSERT_EQ(::mkdir((deepest + "/d").c_str(), 0755), 0);
  EXPECT_FALSE(ListDirectoryTree(dir.Path("t"), IncludeFiles::kNo, &list));
  EXPECT_FALSE(DeleteDirectoryTree(dir.Path("t")));
  EXPECT_TRUE(Exists(deepest + "/d"));
  ASSERT_EQ(::rmdir((deepest + "/d").c_str()), 0);
  EXPECT_TRUE(DeleteDirectoryTree(dir.Path("t")));
  EXPECT_FALSE(Exists(dir.Path("t")));
}

// The inputs a user names are read through the file system the run works
// on: an overlay's own content, and a pipe (which only the system has) as
// it comes, with the overlay in place or not.
TEST(ReadWholeFile, ReadsThroughTheCurrentFileSystemAndTakesAPipe) {
  ScratchDir dir;
  const std::string file = dir.Path("file");
  const std::string fifo = dir.Path("fifo");
  WriteFile(file, "disk");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  OverlayFileSystem overlay(&SystemFileSystem());
  for (FileSystem* current :
       {&SystemFileSystem(), static_cast<FileSystem*>(&overlay)}) {
    ScopedFileSystem scope(current);
    std::thread writer([&] {
      const int fd = ::open(fifo.c_str(), O_WRONLY);
      EXPECT_EQ(::write(fd, "piped\0", 6), 6);
      ::close(fd);
    });
    std::string read;
    std::string err;
    EXPECT_TRUE(ReadWholeFile(fifo, &read, &err)) << err;
    writer.join();
    EXPECT_EQ(read, "piped\0"s);
  }
  ScopedFileSystem scope(&overlay);
  ASSERT_TRUE(StringToFile(file, "overlay"));
  std::string read;
  std::string err;
  EXPECT_TRUE(ReadWholeFile(file, &read, &err));
  EXPECT_EQ(read, "overlay");
  EXPECT_FALSE(ReadWholeFile(dir.Path("none"), &read, &err));
  EXPECT_EQ(err, "cannot open: No such file or directory");
  EXPECT_FALSE(ReadWholeFile(dir.path(), &read, &err));
  EXPECT_EQ(err, "cannot read: Is a directory");
  EXPECT_EQ(ReadFile(file), "disk");
}

}  // namespace
