// A change of a source tree as a package must carry it, whatever it was
// read from (a diff or two trees): the files before and after, the line
// hunks that turn one into the other, and the directories that appear or
// go. Plain data; nothing here touches a file.
#ifndef QRL_PACK_AUTHOR_TREE_CHANGE_H_
#define QRL_PACK_AUTHOR_TREE_CHANGE_H_

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The part of a tree that a change touches. Paths are relative to the
// tree, "/"-separated; directories are named without a final "/".
struct TreeState {
  std::map<std::string, std::string> files;  // path -> content
  std::set<std::string> executables;         // files with an execute bit
  std::set<std::string> directories;
};

// Lines `old_start` .. + `old_count` of the file before (0-based) become
// lines `new_start` .. + `new_count` of the file after.
struct LineHunk {
  size_t old_start = 0;
  size_t old_count = 0;
  size_t new_start = 0;
  size_t new_count = 0;
  std::string name;     // how messages name it: "hunk 2 (@@ -5,7 +5,8 @@)"
  std::string heading;  // the function heading of a diff, if any
  int number = 0;       // 1 for the file's first hunk
};

struct FileChange {
  std::string path;
  std::optional<std::string> before;  // absent: the change creates the file
  std::optional<std::string> after;   // absent: the change removes it
  bool make_executable = false;       // a new file gets the execute bits
  std::vector<LineHunk> hunks;        // empty: carried as a whole file
  std::string whole_file_reason;      // why, when known ("binary")
  // The patches of a series that make this change, from 1, in order: one,
  // or several whose changes of the file are carried as one. Empty for a
  // change that comes from no series.
  std::vector<size_t> patches;
};

struct ChangeSet {
  // In the order their levels run. A file that several patches of a series
  // change may have one change per patch, each starting where the one
  // before ended.
  std::vector<FileChange> files;
  // The subjects of the patches of a "git format-patch" series, in order.
  std::vector<std::string> series;
  // Created before the files, parents first; removed after them, deepest
  // first.
  std::vector<std::string> created_directories;
  std::vector<std::string> removed_directories;
  TreeState before;
  TreeState after;
};

// A file's content as lines without their LF, and whether the last line
// has one. An empty text has no lines (and counts as ending with a LF).
struct TextLines {
  std::vector<std::string_view> lines;
  bool final_eol = true;
};
TextLines SplitTextLines(std::string_view text);
std::string JoinTextLines(const std::vector<std::string_view>& lines,
                          bool final_eol);

// The directory of a relative path, without a final "/": "a/b/c" gives
// "a/b", "c" gives "".
std::string DirectoryOf(std::string_view path);

// The directories above a relative path, nearest last: "a/b/c" gives "a",
// "a/b".
std::vector<std::string> ParentDirectories(std::string_view path);

#endif  // QRL_PACK_AUTHOR_TREE_CHANGE_H_
