// The same scenarios on the system's file system and on an overlay over
// the same kind of tree, with the same expected results: what a caller can
// observe must not tell them apart.
#include "services/file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/file_system_rules.h"
#include "services/overlay_file_system.h"
#include "services/posix_file_system.h"
#include "tests/guarded_file_system.h"
#include "tests/test_util.h"

namespace {

using namespace std::string_literals;

enum class Implementation { kPosix, kOverlay };

// Every entry below `directory` as the file system shows it, in the form
// TreeContents gives for a tree on disk.
void Snapshot(FileSystem& fs, const std::string& directory,
              const std::string& relative, FileTree* tree) {
  std::vector<DirectoryEntry> entries;
  EXPECT_EQ(fs.ReadDirectory(directory, &entries), DirectoryRead::kOk)
      << directory;
  for (const DirectoryEntry& entry : entries) {
    const std::string path = directory + entry.name;
    const FileInfo info = fs.Stat(path, FollowLinks::kNo);
    EXPECT_EQ(entry.is_directory, info.type == FileType::kDirectory) << path;
    std::string target;
    int error = 0;
    switch (info.type) {
      case FileType::kDirectory:
        (*tree)[relative + entry.name + "/"] = "";
        Snapshot(fs, path + "/", relative + entry.name + "/", tree);
        break;
      case FileType::kLink:
        EXPECT_TRUE(fs.ReadLink(path, &target)) << path;
        (*tree)[relative + entry.name] = "-> " + target;
        break;
      default:
        if (auto opened = fs.Open(path, &error)) {
          (*tree)[relative + entry.name] =
              std::string(opened->bytes().get(), opened->size());
        } else {
          (*tree)[relative + entry.name] = "(cannot open)";
        }
        break;
    }
  }
}

FileTree Snapshot(FileSystem& fs) {
  FileTree tree;
  Snapshot(fs, "", "", &tree);
  return tree;
}

// 0 when the call succeeds, else the errno value it reports.
int Do(FileSystem& fs, std::string_view call, const std::string& path,
       const std::string& other = "") {
  int error = 0;
  bool ok = false;
  if (call == "stat" || call == "lstat") {
    ok = fs.Stat(path, call == "stat" ? FollowLinks::kYes : FollowLinks::kNo,
                 &error)
             .exists();
  } else if (call == "open") {
    ok = fs.Open(path, &error) != nullptr;
  } else if (call == "readlink") {
    std::string target;
    ok = fs.ReadLink(path, &target, &error);
  } else if (call == "mkdir") {
    ok = fs.MakeDirectory(path, &error);
  } else if (call == "unlink") {
    ok = fs.RemoveFile(path, &error);
  } else if (call == "rmdir") {
    ok = fs.RemoveDirectory(path, &error);
  } else if (call == "rename") {
    ok = fs.Rename(path, other, &error);
  } else if (call == "chmod") {
    ok = fs.SetMode(path, 0600, &error);
  } else if (call == "cd") {
    ok = fs.ChangeWorkingDirectory(path, &error);
  } else {
    ADD_FAILURE() << "no call " << call;
  }
  return ok ? 0 : error;
}

struct Call {
  std::string call;
  std::string path;
  std::string other;
  int expected;
};

void ExpectResults(FileSystem& fs, const std::vector<Call>& calls) {
  for (const Call& call : calls) {
    EXPECT_EQ(Do(fs, call.call, call.path, call.other), call.expected)
        << call.call << " " << call.path << " " << call.other;
  }
}

bool Replace(FileSystem& fs, const std::string& name, std::string_view content,
             std::string* err) {
  const std::unique_ptr<FileReplacement> replacement = fs.NewReplacement();
  return replacement->Begin(name, err) && replacement->Write(content, err) &&
         replacement->Commit(err);
}

// A tree with every kind of entry: ".." in "deep" leads to "d", not to the
// directory holding the link.
const FileTree kTree = {
    {"f", "abc"},          {"d/", ""},          {"d/g", "gg"},
    {"d/e/", ""},          {"d/e/h", "hhh"},    {"d/up", "-> ../f"},
    {"lf", "-> f"},        {"ld", "-> d"},      {"deep", "-> d/e"},
    {"dangling", "-> no"}, {"loop", "-> loop"}, {"empty/", ""},
};

class FileSystemConformance : public testing::TestWithParam<Implementation> {
 protected:
  FileSystemConformance() : scratch_(ScratchDir::Enter::kYes) {}

  // Makes the tree on disk, then the file system to test over it.
  FileSystem& Make(const FileTree& tree = kTree) {
    MakeTree(scratch_.path(), tree);
    if (GetParam() == Implementation::kPosix) {
      return SystemFileSystem();
    }
    guard_ = std::make_unique<GuardedFileSystem>(&SystemFileSystem());
    overlay_ =
        std::make_unique<OverlayFileSystem>(guard_.get(), scratch_.path());
    return *overlay_;
  }

  ScratchDir scratch_;
  std::unique_ptr<GuardedFileSystem> guard_;
  std::unique_ptr<OverlayFileSystem> overlay_;
};

TEST_P(FileSystemConformance, ResolvesPathsAsTheSystemDoes) {
  FileSystem& fs = Make();
  struct Case {
    std::string path;
    FollowLinks follow;
    FileType type;  // kNone: `error` expected
    int error;
  };
  const std::vector<Case> cases = {
      {"f", FollowLinks::kNo, FileType::kRegular, 0},
      {scratch_.Path("f"), FollowLinks::kNo, FileType::kRegular, 0},
      {"lf", FollowLinks::kNo, FileType::kLink, 0},
      {"lf", FollowLinks::kYes, FileType::kRegular, 0},
      {"ld/", FollowLinks::kNo, FileType::kDirectory, 0},
      {"ld/g", FollowLinks::kNo, FileType::kRegular, 0},
      {"d//e///h", FollowLinks::kNo, FileType::kRegular, 0},
      {"./d/../d/./g", FollowLinks::kNo, FileType::kRegular, 0},
      {"deep/../g", FollowLinks::kNo, FileType::kRegular, 0},
      {"deep/../f", FollowLinks::kNo, FileType::kNone, ENOENT},
      {"d/up", FollowLinks::kYes, FileType::kRegular, 0},
      {"/..", FollowLinks::kNo, FileType::kDirectory, 0},
      {".", FollowLinks::kNo, FileType::kDirectory, 0},
      {"d/e/", FollowLinks::kNo, FileType::kDirectory, 0},
      {"dangling", FollowLinks::kNo, FileType::kLink, 0},
      {"dangling", FollowLinks::kYes, FileType::kNone, ENOENT},
      {"loop", FollowLinks::kYes, FileType::kNone, ELOOP},
      {"loop/x", FollowLinks::kNo, FileType::kNone, ELOOP},
      {"lf/", FollowLinks::kNo, FileType::kNone, ENOTDIR},
      {"f/x", FollowLinks::kNo, FileType::kNone, ENOTDIR},
      {"missing", FollowLinks::kNo, FileType::kNone, ENOENT},
      {"missing/", FollowLinks::kNo, FileType::kNone, ENOENT},
      {"", FollowLinks::kNo, FileType::kNone, ENOENT},
      {"f\0x"s, FollowLinks::kNo, FileType::kNone, EINVAL},
      {std::string(300, 'n'), FollowLinks::kNo, FileType::kNone, ENAMETOOLONG},
  };
  for (const Case& c : cases) {
    int error = 0;
    const FileInfo info = fs.Stat(c.path, c.follow, &error);
    EXPECT_EQ(info.type, c.type) << c.path;
    if (c.type == FileType::kNone) {
      EXPECT_EQ(error, c.error) << c.path;
    }
  }
  const FileInfo f = fs.Stat("d/up", FollowLinks::kYes);
  EXPECT_EQ(f.size, 3u);
  EXPECT_EQ(f.mode, 0644u);
  std::string target;
  EXPECT_TRUE(fs.ReadLink("d/up", &target));
  EXPECT_EQ(target, "../f");
  ExpectResults(fs, {{"readlink", "f", "", EINVAL},
                     {"readlink", "missing", "", ENOENT},
                     {"readlink", "ld/", "", EINVAL}});
}

TEST_P(FileSystemConformance, OpensPlainFilesOnly) {
  ASSERT_EQ(::mkfifo(scratch_.Path("fifo").c_str(), 0644), 0);
  FileSystem& fs = Make(
      {{"f", "a\0b\nc"s}, {"lf", "-> f"}, {"d/", ""}, {"dangling", "-> no"}});
  int error = 0;
  const std::unique_ptr<OpenedFile> opened = fs.Open("lf", &error);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(std::string(opened->bytes().get(), opened->size()), "a\0b\nc"s);
  EXPECT_EQ(opened->info().type, FileType::kRegular);
  EXPECT_EQ(opened->info().size, 5u);
  ExpectResults(fs, {{"open", "d", "", EISDIR},
                     {"open", "fifo", "", EINVAL},
                     {"open", "missing", "", ENOENT},
                     {"open", "dangling", "", ENOENT},
                     {"open", "f/", "", ENOTDIR}});
}

TEST_P(FileSystemConformance, IdentityFollowsTheFileNotTheName) {
  MakeTree(scratch_.path(), {{"f", "one"}});
  ASSERT_EQ(::link(scratch_.Path("f").c_str(), scratch_.Path("h").c_str()), 0);
  FileSystem& fs = Make({{"lf", "-> f"}, {"g", "other"}});
  const FileInfo f = fs.Stat("f", FollowLinks::kNo);
  const FileInfo through_link = fs.Stat("lf", FollowLinks::kYes);
  const FileInfo hard = fs.Stat("h", FollowLinks::kNo);
  const FileInfo g = fs.Stat("g", FollowLinks::kNo);
  EXPECT_TRUE(f.device == through_link.device && f.inode == through_link.inode);
  EXPECT_TRUE(f.device == hard.device && f.inode == hard.inode);
  EXPECT_FALSE(f.device == g.device && f.inode == g.inode);

  // A replacement is a new file: the other name keeps the old one.
  std::string err;
  ASSERT_TRUE(Replace(fs, "lf", "two", &err)) << err;
  const FileInfo replaced = fs.Stat("f", FollowLinks::kNo);
  EXPECT_NE(replaced.inode, f.inode);
  EXPECT_EQ(replaced.inode, fs.Stat("f", FollowLinks::kNo).inode);
  EXPECT_EQ(fs.Stat("h", FollowLinks::kNo).inode, f.inode);
  EXPECT_GE(replaced.modified.tv_sec, f.modified.tv_sec);
  EXPECT_EQ(
      Snapshot(fs),
      (FileTree{{"f", "two"}, {"h", "one"}, {"lf", "-> f"}, {"g", "other"}}));

  // Renaming one name over another of the same file changes nothing.
  EXPECT_EQ(Do(fs, "rename", "f", "f"), 0);
  EXPECT_EQ(fs.Stat("f", FollowLinks::kNo).inode, replaced.inode);
}

TEST_P(FileSystemConformance, ReplacesThroughLinksKeepingTheMode) {
  MakeTree(scratch_.path(), kTree);
  ASSERT_EQ(::chmod(scratch_.Path("f").c_str(), 0640), 0);
  FileSystem& fs = Make({});
  std::string err;
  EXPECT_TRUE(Replace(fs, "d/up", "through a link", &err)) << err;
  EXPECT_TRUE(Replace(fs, "dangling", "made where it points", &err)) << err;
  EXPECT_TRUE(Replace(fs, "ld/new", "new", &err)) << err;
  EXPECT_EQ(fs.Stat("f", FollowLinks::kNo).mode, 0640u);
  EXPECT_EQ(fs.Stat("d/new", FollowLinks::kNo).mode, 0666 & ~ProcessUmask());

  // Reserved room, then the content produced in pieces.
  std::unique_ptr<FileReplacement> produced = fs.NewReplacement();
  ASSERT_TRUE(produced->Begin("lf", &err)) << err;
  EXPECT_EQ(produced->target(), "f");
  EXPECT_EQ(produced->target_info().inode,
            fs.Stat("f", FollowLinks::kNo).inode);
  ASSERT_TRUE(produced->Reserve(4, &err)) << err;
  ASSERT_TRUE(produced->Reserve(100, &err)) << err;
  EXPECT_TRUE(produced->CommitFrom(
      [](const std::function<bool(std::string_view)>& write) {
        return write("in ") && write("pieces");
      },
      &err))
      << err;

  // What fails, with the reason the system's replacement gives.
  struct Refusal {
    std::string name;
    bool begins;  // else Begin already fails
    std::string reason;
  };
  const std::vector<Refusal> refusals = {
      {"d", false, "cannot write d: Is a directory"},
      {"ld", false, "cannot write d: Is a directory"},
      {"loop", false, "cannot resolve loop: Too many levels of symbolic links"},
      {"f/x", false, "cannot examine f/x: Not a directory"},
      {"f\0x"s, false, "f\\x00x: the path holds a NUL byte"},
      {"", false,
       "cannot write a file without a name: No such file or directory"},
      {"missing/x", true,
       "cannot create a temporary file for missing/x: No such file or "
       "directory"},
  };
  for (const Refusal& refusal : refusals) {
    std::unique_ptr<FileReplacement> replacement = fs.NewReplacement();
    std::string reason;
    const bool begun = replacement->Begin(refusal.name, &reason);
    EXPECT_EQ(begun, refusal.begins) << refusal.name;
    if (begun) {
      EXPECT_FALSE(replacement->Write("x", &reason));
    }
    EXPECT_EQ(reason, refusal.reason);
  }
  std::unique_ptr<FileReplacement> unused = fs.NewReplacement();
  ASSERT_TRUE(unused->Begin("f", &err));
  EXPECT_FALSE(unused->Commit(&err));
  ASSERT_TRUE(unused->Write("dropped", &err));
  unused->Discard();

  FileTree expected = kTree;
  expected["f"] = "in pieces";
  expected["no"] = "made where it points";
  expected["d/new"] = "new";
  EXPECT_EQ(Snapshot(fs), expected);
}

TEST_P(FileSystemConformance, MakesAndRemovesNamesWithTheSystemsErrors) {
  FileSystem& fs = Make();
  ExpectResults(fs, {
                        {"mkdir", "n", "", 0},
                        {"mkdir", "n", "", EEXIST},
                        {"mkdir", "n2/", "", 0},
                        {"mkdir", "f", "", EEXIST},
                        {"mkdir", "dangling", "", EEXIST},
                        {"mkdir", ".", "", EEXIST},
                        {"mkdir", "missing/x", "", ENOENT},
                        {"mkdir", "f/x", "", ENOTDIR},
                        {"rmdir", "d", "", ENOTEMPTY},
                        {"rmdir", "f", "", ENOTDIR},
                        {"rmdir", "ld", "", ENOTDIR},
                        {"rmdir", "ld/", "", ENOTDIR},
                        {"rmdir", "n/.", "", EINVAL},
                        {"rmdir", "n/..", "", ENOTEMPTY},
                        {"rmdir", "/", "", EBUSY},
                        {"rmdir", "missing", "", ENOENT},
                        {"rmdir", "n", "", 0},
                        {"rmdir", "n2/", "", 0},
                        {"unlink", "lf", "", 0},
                        {"unlink", "d", "", EISDIR},
                        {"unlink", "d/", "", EISDIR},
                        {"unlink", ".", "", EISDIR},
                        {"unlink", "f/", "", ENOTDIR},
                        {"unlink", "ld/", "", ENOTDIR},
                        {"unlink", "missing", "", ENOENT},
                        {"unlink", "missing/", "", ENOENT},
                        {"unlink", "dangling", "", 0},
                        {"unlink", "ld", "", 0},
                        {"chmod", "missing", "", ENOENT},
                        {"mkdir", "f\0x"s, "", EINVAL},
                        {"unlink", "f\0x"s, "", EINVAL},
                    });
  EXPECT_EQ(fs.Stat("f", FollowLinks::kNo).type, FileType::kRegular);
  EXPECT_EQ(fs.Stat("d/g", FollowLinks::kNo).type, FileType::kRegular);
  int error = 0;
  ASSERT_TRUE(fs.MakeDirectory("made", &error)) << error;
  EXPECT_EQ(fs.Stat("made", FollowLinks::kNo).mode, 0777 & ~ProcessUmask());
}

TEST_P(FileSystemConformance, MakesLinksWithTheSystemsErrors) {
  FileSystem& fs = Make();
  struct Row {
    std::string target;
    std::string path;
    int error;
  };
  const Row rows[] = {
      {"f", "to_f", 0},          {"no/where", "nowhere", 0},
      {"d/g", "d/e/to_g", 0},    {"f", "f", EEXIST},
      {"f", "dangling", EEXIST}, {"f", "missing/x", ENOENT},
      {"f", "f/x", ENOTDIR},     {"", "empty_target", ENOENT},
      {"f", "n\0ul"s, EINVAL},
  };
  for (const Row& row : rows) {
    int error = 0;
    EXPECT_EQ(fs.MakeLink(row.target, row.path, &error), row.error == 0)
        << row.path;
    EXPECT_EQ(error, row.error) << row.path;
  }
  std::string target;
  ASSERT_TRUE(fs.ReadLink("nowhere", &target));
  EXPECT_EQ(target, "no/where");
  EXPECT_EQ(fs.Stat("nowhere", FollowLinks::kYes).type, FileType::kNone);
  EXPECT_EQ(fs.Stat("to_f", FollowLinks::kNo).type, FileType::kLink);
  EXPECT_EQ(fs.Stat("to_f", FollowLinks::kYes).size, 3u);
  // A relative target counts from the link's directory.
  EXPECT_EQ(fs.Stat("d/e/to_g", FollowLinks::kYes).type, FileType::kNone);
}

TEST_P(FileSystemConformance, RemovedDirectoryStaysEmptyWhenMadeAgain) {
  FileSystem& fs = Make();
  ExpectResults(fs, {{"unlink", "d/e/h", "", 0},
                     {"rmdir", "d/e", "", 0},
                     {"unlink", "d/g", "", 0},
                     {"rmdir", "d", "", ENOTEMPTY},
                     {"unlink", "d/up", "", 0},
                     {"rmdir", "d", "", 0},
                     {"stat", "ld", "", ENOENT},
                     {"stat", "deep/h", "", ENOENT},
                     {"mkdir", "d", "", 0},
                     {"lstat", "d/g", "", ENOENT},
                     {"lstat", "d/e", "", ENOENT},
                     {"stat", "ld", "", 0}});
  std::vector<DirectoryEntry> entries;
  EXPECT_EQ(fs.ReadDirectory("ld/", &entries), DirectoryRead::kOk);
  EXPECT_TRUE(entries.empty());
  std::string err;
  EXPECT_TRUE(Replace(fs, "ld/g", "new g", &err)) << err;
  EXPECT_EQ(Snapshot(fs), (FileTree{{"f", "abc"},
                                    {"d/", ""},
                                    {"d/g", "new g"},
                                    {"lf", "-> f"},
                                    {"ld", "-> d"},
                                    {"deep", "-> d/e"},
                                    {"dangling", "-> no"},
                                    {"loop", "-> loop"},
                                    {"empty/", ""}}));
}

TEST_P(FileSystemConformance, RenamesAsTheSystemDoes) {
  FileSystem& fs = Make();
  ExpectResults(fs, {
                        {"rename", "f", "f2", 0},
                        {"rename", "f2", "d/g", 0},
                        {"rename", "d/g", "empty", EISDIR},
                        {"rename", "d/e", "d/g", ENOTDIR},
                        {"rename", "empty", "d", ENOTEMPTY},
                        {"rename", "d", "d/e/x", EINVAL},
                        {"rename", "d", "d", 0},
                        {"rename", "d/e", "d", ENOTEMPTY},
                        {"rename", "missing", "x", ENOENT},
                        {"rename", "d/g", "missing/x", ENOENT},
                        {"rename", "d/g/", "x", ENOTDIR},
                        {"rename", "d/g", "x/", ENOTDIR},
                        {"rename", ".", "x", EBUSY},
                        {"rename", "d/g", "d/..", EBUSY},
                        {"rename", "lf", "lf2", 0},
                        {"rename", "ld", "d/ld", 0},
                        {"rename", "d/e", "empty", 0},
                        {"rename", "empty", "e2/", 0},
                        {"rename", "d", "moved", 0},
                    });
  // A link moved keeps its text, and what it names counts from its new
  // place; a directory moved takes everything in it.
  EXPECT_EQ(Snapshot(fs), (FileTree{{"moved/", ""},
                                    {"moved/g", "abc"},
                                    {"moved/up", "-> ../f"},
                                    {"moved/ld", "-> d"},
                                    {"e2/", ""},
                                    {"e2/h", "hhh"},
                                    {"lf2", "-> f"},
                                    {"deep", "-> d/e"},
                                    {"dangling", "-> no"},
                                    {"loop", "-> loop"}}));
  ExpectResults(fs, {{"stat", "moved/ld", "", ENOENT},
                     {"stat", "lf2", "", ENOENT},
                     {"lstat", "e2/../moved/g", "", 0},
                     {"lstat", "d", "", ENOENT},
                     {"mkdir", "d", "", 0},
                     {"lstat", "d/g", "", ENOENT}});
}

TEST_P(FileSystemConformance, ListsMergedEntriesWithLinksAsFiles) {
  FileSystem& fs = Make();
  std::string err;
  ASSERT_TRUE(Replace(fs, "d/new", "n", &err)) << err;
  ASSERT_EQ(Do(fs, "mkdir", "d/sub"), 0);
  ASSERT_EQ(Do(fs, "unlink", "d/g"), 0);
  ASSERT_EQ(Do(fs, "rename", "d/up", "d/up2"), 0);
  std::map<std::string, bool> listed;
  std::vector<DirectoryEntry> entries;
  ASSERT_EQ(fs.ReadDirectory("ld/", &entries), DirectoryRead::kOk);
  for (const DirectoryEntry& entry : entries) {
    EXPECT_TRUE(listed.emplace(entry.name, entry.is_directory).second);
  }
  EXPECT_EQ(listed,
            (std::map<std::string, bool>{
                {"e", true}, {"new", false}, {"sub", true}, {"up2", false}}));
  entries.clear();
  ASSERT_EQ(fs.ReadDirectory("", &entries), DirectoryRead::kOk);
  EXPECT_EQ(entries.size(), 8u);
  for (const DirectoryEntry& entry : entries) {
    EXPECT_EQ(entry.is_directory, entry.name == "d" || entry.name == "empty")
        << entry.name;
  }
  EXPECT_EQ(fs.ReadDirectory("f/", &entries), DirectoryRead::kCannotOpen);
  EXPECT_EQ(fs.ReadDirectory("missing/", &entries), DirectoryRead::kCannotOpen);
  EXPECT_EQ(fs.ReadDirectory("d\0/"s, &entries), DirectoryRead::kCannotOpen);
}

TEST_P(FileSystemConformance, SetsTheModeOfWhatALinkNames) {
  FileSystem& fs = Make();
  int error = 0;
  EXPECT_TRUE(fs.SetMode("lf", 0600, &error)) << error;
  EXPECT_TRUE(fs.SetMode("ld/", 0750, &error)) << error;
  EXPECT_TRUE(fs.SetMode("d/e/h", 04755, &error)) << error;
  EXPECT_EQ(fs.Stat("f", FollowLinks::kNo).mode, 0600u);
  EXPECT_EQ(fs.Stat("d", FollowLinks::kNo).mode, 0750u);
  EXPECT_EQ(fs.Stat("deep/h", FollowLinks::kNo).mode, 04755u);
  EXPECT_EQ(fs.Stat("lf", FollowLinks::kNo).type, FileType::kLink);
  EXPECT_FALSE(fs.SetMode("dangling", 0600, &error));
  EXPECT_EQ(error, ENOENT);
}

TEST_P(FileSystemConformance, WorkingDirectoryAndMarksFollowTheDirectory) {
  FileSystem& fs = Make();
  EXPECT_EQ(fs.WorkingDirectory(), scratch_.path());
  ExpectResults(fs, {{"cd", "f", "", ENOTDIR},
                     {"cd", "missing", "", ENOENT},
                     {"cd", "ld", "", 0}});
  // Entered through a link, the directory is where the link leads.
  EXPECT_EQ(fs.WorkingDirectory(), scratch_.Path("d"));
  EXPECT_EQ(fs.Stat("g", FollowLinks::kNo).size, 2u);
  int error = 0;
  const int mark = fs.MarkWorkingDirectory(&error);
  ASSERT_GE(mark, 0) << error;
  ASSERT_EQ(Do(fs, "cd", ".."), 0);
  EXPECT_EQ(fs.WorkingDirectory(), scratch_.path());
  ASSERT_EQ(Do(fs, "rename", "d", "renamed"), 0);
  ASSERT_EQ(Do(fs, "cd", "/"), 0);
  EXPECT_EQ(fs.WorkingDirectory(), "/");
  ASSERT_TRUE(fs.ReturnTo(mark, &error)) << error;
  EXPECT_EQ(fs.WorkingDirectory(), scratch_.Path("renamed"));
  EXPECT_EQ(Do(fs, "stat", "e/h"), 0);
  fs.ForgetMark(mark);

  // A working directory removed has no path any more.
  ASSERT_EQ(Do(fs, "cd", scratch_.Path("empty")), 0);
  ASSERT_EQ(Do(fs, "rmdir", scratch_.Path("empty")), 0);
  EXPECT_EQ(fs.WorkingDirectory(), "");
  EXPECT_EQ(Do(fs, "mkdir", "x"), ENOENT);
  ASSERT_EQ(Do(fs, "cd", scratch_.path()), 0);
}

TEST_P(FileSystemConformance, OpenedFileKnowsWhenItWasReplaced) {
  FileSystem& fs = Make();
  int error = 0;
  const std::unique_ptr<OpenedFile> f = fs.Open("f", &error);
  const std::unique_ptr<OpenedFile> g = fs.Open("d/g", &error);
  ASSERT_TRUE(f != nullptr && g != nullptr) << error;
  std::string why;
  EXPECT_TRUE(f->StillThere("lf", &why)) << why;
  ASSERT_EQ(Do(fs, "chmod", "f"), 0);
  ASSERT_EQ(Do(fs, "rename", "f", "f2"), 0);
  EXPECT_TRUE(f->StillThere("f2", &why)) << why;
  std::string err;
  ASSERT_TRUE(Replace(fs, "f2", "abc", &err)) << err;
  EXPECT_FALSE(f->StillThere("f2", &why));
  EXPECT_EQ(why, "it was replaced by another file after it was read");
  ASSERT_EQ(Do(fs, "unlink", "d/g"), 0);
  why.clear();
  EXPECT_FALSE(g->StillThere("d/g", &why));
  EXPECT_EQ(why, "it was replaced by another file after it was read");
}

TEST(PosixFileSystem, ReadsAFileWhoseSizeSaysNothingToItsEnd) {
  // The system's own files say they are empty, and are not.
  int error = 0;
  const std::unique_ptr<OpenedFile> status =
      SystemFileSystem().Open("/proc/self/status", &error);
  ASSERT_TRUE(status != nullptr) << error;
  EXPECT_EQ(status->info().size, 0u);
  const std::string text(status->bytes().get(), status->size());
  EXPECT_EQ(text.rfind("Name:", 0), 0u) << text;
  EXPECT_NE(text.find("\nPid:"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    , FileSystemConformance,
    testing::Values(Implementation::kPosix, Implementation::kOverlay),
    [](const testing::TestParamInfo<Implementation>& info) {
      return info.param == Implementation::kPosix ? "Posix" : "Overlay";
    });

}  // namespace
