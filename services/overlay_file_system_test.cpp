// What only the overlay does: leave the tree below as it was, report what
// it would have changed, and cost what it touches. That it shows what the
// system would show is file_system_test.cpp's part.
#include "services/overlay_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/file_services.h"
#include "services/posix_file_system.h"
#include "services/working_directory.h"
#include "tests/guarded_file_system.h"
#include "tests/test_util.h"

namespace {

// Everything below `root` and the root itself, by path: kind, mode, size,
// modification time and content (a link's target).
std::map<std::string, std::string> FullListing(const std::string& root) {
  std::map<std::string, std::string> listing;
  const auto add = [&listing](const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      ADD_FAILURE() << "cannot examine " << path;
      return;
    }
    std::string& line = listing[path];
    line = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
           std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + " ";
    if (S_ISREG(st.st_mode)) {
      line += ReadFile(path);
    } else if (S_ISLNK(st.st_mode)) {
      line += std::filesystem::read_symlink(path).string();
    }
  };
  add(root);
  for (const auto& [relative, content] : TreeContents(root)) {
    add(root + "/" + relative);
  }
  return listing;
}

bool Replace(FileSystem& fs, const std::string& name,
             std::string_view content) {
  std::string err;
  const std::unique_ptr<FileReplacement> replacement = fs.NewReplacement();
  const bool ok = replacement->Begin(name, &err) &&
                  replacement->Write(content, &err) &&
                  replacement->Commit(&err);
  EXPECT_TRUE(ok) << err;
  return ok;
}

void Ok(bool ok, int error, const std::string& what) {
  EXPECT_TRUE(ok) << what << ": errno " << error;
}

const char* KindName(OverlayChange::Kind kind) {
  switch (kind) {
    case OverlayChange::Kind::kFileModified:
      return "modified";
    case OverlayChange::Kind::kFileCreated:
      return "created";
    case OverlayChange::Kind::kFileRemoved:
      return "removed";
    case OverlayChange::Kind::kDirectoryCreated:
      return "directory created";
    case OverlayChange::Kind::kDirectoryRemoved:
      return "directory removed";
    case OverlayChange::Kind::kModeChanged:
      return "mode changed";
  }
  return "?";
}

// The changes below `root`, one line each, paths relative to it.
std::vector<std::string> Report(OverlayFileSystem& overlay,
                                const std::string& root) {
  std::vector<std::string> lines;
  for (const OverlayChange& change : overlay.Changes()) {
    std::string line = change.path.starts_with(root + "/")
                           ? change.path.substr(root.size() + 1)
                           : change.path;
    line += std::string(": ") + KindName(change.kind);
    if (change.kind == OverlayChange::Kind::kModeChanged) {
      char modes[32];
      std::snprintf(modes, sizeof modes, " %o -> %o", change.mode_before,
                    change.mode_after);
      line += modes;
    } else if (!change.before.empty() || !change.after.empty()) {
      line += " [" + change.before + "] -> [" + change.after + "]";
    }
    lines.push_back(line);
  }
  return lines;
}

class OverlayTest : public testing::Test {
 protected:
  OverlayTest() : scratch_(ScratchDir::Enter::kYes) {}

  OverlayFileSystem& Make(const FileTree& tree) {
    MakeTree(scratch_.path(), tree);
    overlay_ = std::make_unique<OverlayFileSystem>(&guard_);
    return *overlay_;
  }

  ScratchDir scratch_;
  GuardedFileSystem guard_{&SystemFileSystem()};
  std::unique_ptr<OverlayFileSystem> overlay_;
};

const FileTree kTree = {
    {"keep", "k"},    {"mod", "old"}, {"gone", "g"}, {"same", "s"},
    {"modes", "m"},   {"d/", ""},     {"d/a", "a"},  {"d/sub/", ""},
    {"d/sub/b", "b"}, {"m/", ""},     {"m/x", "x"},  {"link", "-> mod"},
    {"tmp/", ""},     {"tmp/t", "t"},
};

// Every kind of change, made through the overlay.
void ChangeEverything(FileSystem& fs) {
  int error = 0;
  Replace(fs, "link", "new");
  Replace(fs, "created", "c");
  Ok(fs.RemoveFile("gone", &error), error, "gone");
  Replace(fs, "same", "s");
  Replace(fs, "flash", "f");
  Ok(fs.RemoveFile("flash", &error), error, "flash");
  Ok(fs.SetMode("modes", 0600, &error), error, "modes");
  for (const std::string file : {"d/a", "d/sub/b"}) {
    Ok(fs.RemoveFile(file, &error), error, file);
  }
  Ok(fs.RemoveDirectory("d/sub", &error), error, "d/sub");
  Ok(fs.RemoveDirectory("d", &error), error, "d");
  Ok(fs.Rename("m", "m2", &error), error, "m");
  Replace(fs, "m2/x", "x2");
  Ok(fs.MakeDirectory("newdir", &error), error, "newdir");
  Replace(fs, "newdir/f", "nf");
  Ok(fs.SetMode("tmp", 0700, &error), error, "tmp");
}

TEST_F(OverlayTest, LeavesTheTreeBelowAsItWas) {
  MakeTree(scratch_.path(), kTree);
  ASSERT_EQ(::chmod(scratch_.Path("modes").c_str(), 0640), 0);
  const auto before = FullListing(scratch_.path());
  OverlayFileSystem& overlay = Make({});
  ChangeEverything(overlay);
  int error = 0;
  Ok(overlay.ChangeWorkingDirectory("tmp", &error), error, "cd tmp");
  Ok(overlay.Rename("t", "../t2", &error), error, "t");
  EXPECT_EQ(FullListing(scratch_.path()), before);
  EXPECT_EQ(SystemFileSystem().WorkingDirectory(), scratch_.path());
}

TEST_F(OverlayTest, ReportsEveryChangeInPathOrder) {
  MakeTree(scratch_.path(), kTree);
  ASSERT_EQ(::chmod(scratch_.Path("tmp").c_str(), 0755), 0);
  OverlayFileSystem& overlay = Make({});
  ChangeEverything(overlay);
  EXPECT_EQ(Report(overlay, scratch_.path()),
            (std::vector<std::string>{
                "created: created [] -> [c]",
                "d: directory removed",
                "d/a: removed [a] -> []",
                "d/sub: directory removed",
                "d/sub/b: removed [b] -> []",
                "gone: removed [g] -> []",
                "m: directory removed",
                "m/x: removed [x] -> []",
                "m2: directory created",
                "m2/x: created [] -> [x2]",
                "mod: modified [old] -> [new]",
                "modes: mode changed 644 -> 600",
                "newdir: directory created",
                "newdir/f: created [] -> [nf]",
                "tmp: mode changed 755 -> 700",
            }));
}

TEST_F(OverlayTest, ReportsWhatChangedWhileADirectoryWasAway) {
  OverlayFileSystem& overlay =
      Make({{"a/b/f", "f"}, {"a/b/g", "g"}, {"a/b/l", "-> f"}, {"c/", ""}});
  int error = 0;
  Ok(overlay.Rename("a/b", "away", &error), error, "a/b");
  Replace(overlay, "away/f", "changed");
  Ok(overlay.Rename("away", "a/b", &error), error, "away");
  // A link taken away and put back as it was is no change.
  Ok(overlay.Rename("a/b/l", "c/l", &error), error, "l");
  Ok(overlay.Rename("c/l", "a/b/l", &error), error, "l back");
  // Nor is a directory made and removed again.
  Ok(overlay.MakeDirectory("c/x", &error), error, "c/x");
  Ok(overlay.RemoveDirectory("c/x", &error), error, "c/x");
  EXPECT_EQ(Report(overlay, scratch_.path()),
            (std::vector<std::string>{"a/b/f: modified [f] -> [changed]"}));
}

TEST_F(OverlayTest, ReportsADirectoryMadeAgainAsNew) {
  OverlayFileSystem& overlay = Make({{"d/f", "f"}, {"d/l", "-> f"}});
  int error = 0;
  Ok(overlay.RemoveFile("d/f", &error), error, "d/f");
  Ok(overlay.RemoveFile("d/l", &error), error, "d/l");
  Ok(overlay.RemoveDirectory("d", &error), error, "d");
  Ok(overlay.MakeDirectory("d", &error), error, "d again");
  Replace(overlay, "d/f", "f");
  EXPECT_EQ(Report(overlay, scratch_.path()),
            (std::vector<std::string>{"d/l: removed [f] -> []"}));
}

// A watcher hears each change where it lands, links and ".." resolved, and
// ResolvedPath names where a path leads, also past what exists.
TEST_F(OverlayTest, TellsWhereEachChangeLands) {
  OverlayFileSystem& overlay = Make({{"d/", ""},
                                     {"in/f", "f"},
                                     {"link", "-> d"},
                                     {"out", "-> .."},
                                     {"in/to-f", "-> f"}});
  std::vector<std::string> told;
  overlay.WatchChanges(
      [&told](const std::string& path) { told.push_back(path); });
  const std::string root = scratch_.path();
  const std::string parent = root.substr(0, root.rfind('/'));
  const std::vector<std::pair<std::string, std::string>> resolved = {
      {"d/", root + "/d"},
      {"in/to-f", root + "/in/f"},
      {"out/x/../y", parent + "/y"},
      {"missing/./a/../b/", root + "/missing/b"},
      {root + "/in/../d/g", root + "/d/g"},
      {"/", "/"},
      {"", root},
  };
  for (const auto& [path, expected] : resolved) {
    EXPECT_EQ(overlay.ResolvedPath(path), expected) << path;
  }

  int error = 0;
  Replace(overlay, "link/x", "x");
  Ok(overlay.MakeDirectory("link/../n", &error), error, "n");
  Ok(overlay.SetMode("in/f", 0600, &error), error, "in/f");
  Ok(overlay.Rename("in/f", "link/g", &error), error, "in/f");
  Ok(overlay.RemoveFile("link", &error), error, "link");
  EXPECT_EQ(told, (std::vector<std::string>{root + "/d/x", root + "/n",
                                            root + "/in/f", root + "/in/f",
                                            root + "/d/g", root + "/link"}));
  overlay.WatchChanges(nullptr);
  Replace(overlay, "quiet", "q");
  EXPECT_EQ(told.size(), 6u);
}

TEST_F(OverlayTest, RefusesADeviceOrPipeAsTheSystemDoes) {
  ASSERT_EQ(::mkfifo(scratch_.Path("fifo").c_str(), 0644), 0);
  OverlayFileSystem& overlay = Make({});
  for (FileSystem* fs :
       {static_cast<FileSystem*>(&overlay), &SystemFileSystem()}) {
    std::string err;
    const std::unique_ptr<FileReplacement> replacement = fs->NewReplacement();
    EXPECT_FALSE(replacement->Begin("fifo", &err));
    EXPECT_EQ(err,
              "cannot write fifo: it is a device, pipe or socket, not a "
              "regular file");
  }
  EXPECT_TRUE(overlay.Changes().empty());
}

TEST_F(OverlayTest, ReadersShareOneCopyOfAFile) {
  OverlayFileSystem& overlay = Make({{"lower", "lower bytes"}});
  Replace(overlay, "written", "overlay bytes");
  int error = 0;
  for (const std::string name : {"lower", "written"}) {
    const std::unique_ptr<OpenedFile> first = overlay.Open(name, &error);
    const std::unique_ptr<OpenedFile> second = overlay.Open(name, &error);
    ASSERT_TRUE(first != nullptr && second != nullptr) << name;
    EXPECT_EQ(first->bytes().get(), second->bytes().get()) << name;
  }
  EXPECT_EQ(guard_.opens(), 1);
}

TEST_F(OverlayTest, TimesOnlyGrowAndIdentitiesStay) {
  OverlayFileSystem& overlay = Make({{"d/f", "f"}});
  const FileInfo file = overlay.Stat("d/f", FollowLinks::kNo);
  const FileInfo directory = overlay.Stat("d", FollowLinks::kNo);
  EXPECT_EQ(overlay.Stat("d/f", FollowLinks::kNo).inode, file.inode);
  Replace(overlay, "d/f", "f2");
  const FileInfo replaced = overlay.Stat("d/f", FollowLinks::kNo);
  const auto later = [](const FileInfo& a, const FileInfo& b) {
    return a.modified.tv_sec != b.modified.tv_sec
               ? a.modified.tv_sec > b.modified.tv_sec
               : a.modified.tv_nsec > b.modified.tv_nsec;
  };
  EXPECT_TRUE(later(replaced, file));
  EXPECT_TRUE(later(overlay.Stat("d", FollowLinks::kNo), directory));
  EXPECT_EQ(replaced.device, file.device);
  EXPECT_NE(replaced.inode, file.inode);
  EXPECT_EQ(overlay.Stat("d/f", FollowLinks::kNo).inode, replaced.inode);
  EXPECT_EQ(overlay.WorkingDirectory(), scratch_.path());
}

TEST_F(OverlayTest, FileServicesWorkOnTheCurrentFileSystem) {
  MakeTree(scratch_.path(),
           {{"tree/a", "a"}, {"tree/sub/b", "b"}, {"src", "s"}, {"x/y", "y"}});
  const auto before = FullListing(scratch_.path());
  OverlayFileSystem& overlay = Make({});
  {
    ScopedFileSystem scoped(&overlay);
    EXPECT_TRUE(StringToFile("x/../src", "changed"));
    EXPECT_TRUE(MakeDirectoryPath(scratch_.Path("made/deep")));
    EXPECT_TRUE(CreateEmptyFile("made/deep/empty"));
    EXPECT_TRUE(DeleteDirectoryTree("tree/"));
    EXPECT_TRUE(DeleteFile("x/y"));
    EXPECT_TRUE(RenamePath("src", "moved"));
    EXPECT_TRUE(AssureExecutePermissions("moved"));
    WorkingDirectoryChange change;
    ASSERT_TRUE(change.Enter("made"));
    EXPECT_EQ(WorkingDirectoryPath(), scratch_.Path("made"));
    std::string content;
    EXPECT_TRUE(FileToString("../moved", &content));
    EXPECT_EQ(content, "changed");
    change.Restore();
    EXPECT_FALSE(PathExists("tree"));
    EXPECT_TRUE(RegularFileExists("made/deep/empty"));
    LineList listing;
    EXPECT_TRUE(ListDirectoryTree("made/", IncludeFiles::kYes, &listing));
    EXPECT_EQ(listing.Count(), 3u);
  }
  EXPECT_EQ(FullListing(scratch_.path()), before);
  EXPECT_EQ(Report(overlay, scratch_.path()),
            (std::vector<std::string>{
                "made: directory created",
                "made/deep: directory created",
                "made/deep/empty: created",
                "moved: created [] -> [changed]",
                "src: removed [s] -> []",
                "tree: directory removed",
                "tree/a: removed [a] -> []",
                "tree/sub: directory removed",
                "tree/sub/b: removed [b] -> []",
                "x/y: removed [y] -> []",
            }));
}

TEST(OverlayCost, CostsWhatItTouchesInALargeTree) {
  // The large tree is itself an overlay's, over an empty directory: made in
  // memory, it costs the disk nothing.
  ScratchDir scratch(ScratchDir::Enter::kYes);
  OverlayFileSystem tree(&SystemFileSystem());
  int error = 0;
  for (int d = 0; d < 50; ++d) {
    const std::string directory = "dir" + std::to_string(d);
    Ok(tree.MakeDirectory(directory, &error), error, directory);
    for (int f = 0; f < 60; ++f) {
      Replace(tree, directory + "/file" + std::to_string(f), "x");
    }
  }
  GuardedFileSystem guard(&tree);
  OverlayFileSystem overlay(&guard);
  for (const std::string name : {"dir3/file7", "dir40/file0", "dir40/file1"}) {
    Replace(overlay, name, "changed");
  }
  Ok(overlay.RemoveFile("dir9/file9", &error), error, "dir9/file9");
  Replace(overlay, "dir49/new", "new");
  EXPECT_EQ(Report(overlay, scratch.path()),
            (std::vector<std::string>{
                "dir3/file7: modified [x] -> [changed]",
                "dir40/file0: modified [x] -> [changed]",
                "dir40/file1: modified [x] -> [changed]",
                "dir49/new: created [] -> [new]",
                "dir9/file9: removed [x] -> []",
            }));
  // Some calls per change and path component, none per file of the tree.
  EXPECT_LT(guard.calls(), 50);
  EXPECT_EQ(guard.listings(), 0);
  EXPECT_EQ(tree.Changes().size(), 3050u);
}

TEST(OverlayDepth, MakesNoDirectoryThatNoPathCouldName) {
  // A program that makes a directory and enters it, over and over.
  ScratchDir scratch(ScratchDir::Enter::kYes);
  GuardedFileSystem guard(&SystemFileSystem());
  OverlayFileSystem overlay(&guard);
  int error = 0;
  size_t made = 0;
  while (overlay.MakeDirectory("x", &error) &&
         overlay.ChangeWorkingDirectory("x", &error)) {
    ++made;
  }
  EXPECT_EQ(error, ENAMETOOLONG);
  EXPECT_GT(made, 1000u);
  ASSERT_TRUE(overlay.ChangeWorkingDirectory(scratch.path(), &error));
  ASSERT_TRUE(overlay.MakeDirectory("y", &error));
  EXPECT_FALSE(overlay.Rename("x", "y/x", &error));
  EXPECT_EQ(error, ENAMETOOLONG);
  EXPECT_EQ(overlay.Changes().size(), made + 1);
}

}  // namespace
