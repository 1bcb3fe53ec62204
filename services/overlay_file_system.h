// A file system that reads through to another one (normally the system's)
// and keeps every change in memory: the tree below is never changed. What
// its callers see is what the lower file system would show had the changes
// been made there: paths count from its own working directory, links of
// the lower tree are followed where the system follows them, removals hide
// what they removed (a directory made again in place of a removed one
// starts empty), listings merge the lower entries with the new ones, and
// every object shown has an identity of its own (one device; two names of
// one file share an inode number; a replaced file gets a new one).
// Modification times come from the clock and only ever grow.
//
// The lower tree is reached lazily and each object once: a lookup costs a
// map lookup per path component, plus one call of the lower file system the
// first time a name is met. Contents are held once: what the overlay wrote,
// and a lower file's bytes while any reader still holds them.
//
// Not shown: the temporary files of pending replacements, access checks
// (it acts as the owner of everything), and the system's order of new
// entries in a listing (they follow the lower entries, sorted by name).
// Unlike the system it makes no directory deeper than a path of the
// longest length can name (ENAMETOOLONG).
//
// Changes() tells what the overlay holds that the lower tree does not;
// a watcher hears of each change as it is made. ResolvedPath tells where a
// path leads, by the overlay's own resolution.
#ifndef QRL_SERVICES_OVERLAY_FILE_SYSTEM_H_
#define QRL_SERVICES_OVERLAY_FILE_SYSTEM_H_

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "services/file_system.h"

// One difference between the overlay and the tree below it.
struct OverlayChange {
  enum class Kind {
    kFileModified,
    kFileCreated,
    kFileRemoved,
    kDirectoryCreated,
    kDirectoryRemoved,
    kModeChanged,
  };

  std::string path;  // absolute, without "." or ".." or links on the way
  Kind kind;
  // What stood there before (removals) or stands there now (otherwise): a
  // link or another kind of file counts as a file here. A link that points
  // elsewhere now is removed and created again.
  FileType type;
  // Of a plain file its content, of a link its target: the lower one
  // (modified, removed) and the one now (modified, created).
  std::string before;
  std::string after;
  // Of kModeChanged; of a directory removed or created, its one mode.
  mode_t mode_before = 0;
  mode_t mode_after = 0;
};

class OverlayFileSystem : public FileSystem {
 public:
  // `lower` must outlive the overlay, and the overlay every file and
  // replacement it handed out. The working directory is an absolute path;
  // empty means the lower one's.
  explicit OverlayFileSystem(FileSystem* lower,
                             const std::string& working_directory = "");
  ~OverlayFileSystem() override;
  OverlayFileSystem(const OverlayFileSystem&) = delete;
  OverlayFileSystem& operator=(const OverlayFileSystem&) = delete;

  FileInfo Stat(const std::string& path, FollowLinks follow,
                int* error = nullptr) override;
  bool ReadLink(const std::string& path, std::string* target,
                int* error = nullptr) override;
  DirectoryRead ReadDirectory(const std::string& directory,
                              std::vector<DirectoryEntry>* entries) override;
  std::unique_ptr<OpenedFile> Open(const std::string& path,
                                   int* error) override;
  std::unique_ptr<FileReplacement> NewReplacement() override;
  // A pipe or device can only be the lower tree's (the overlay makes
  // none), so it is read there, as the user who names one expects. A
  // directory fails as on the system: opened, then not read.
  StreamRead ReadToEnd(const std::string& path, std::string* out,
                       int* error) override;

  bool MakeDirectory(const std::string& path, int* error = nullptr) override;
  bool MakeLink(const std::string& target, const std::string& path,
                int* error = nullptr) override;
  bool RemoveFile(const std::string& path, int* error = nullptr) override;
  bool RemoveDirectory(const std::string& path, int* error = nullptr) override;
  bool Rename(const std::string& from, const std::string& to,
              int* error = nullptr) override;
  bool SetMode(const std::string& path, mode_t mode,
               int* error = nullptr) override;

  std::string WorkingDirectory() override;
  bool ChangeWorkingDirectory(const std::string& directory,
                              int* error = nullptr) override;
  int MarkWorkingDirectory(int* error = nullptr) override;
  bool ReturnTo(int mark, int* error = nullptr) override;
  void ForgetMark(int mark) override;

  // Every difference from the lower tree, in path order (a directory
  // before what it holds; two changes of one path in the order they would
  // be made). A file created and removed again, or written with the bytes
  // it had, is no change. Inside a removed directory everything it held
  // is listed as removed, inside a created one everything as created.
  std::vector<OverlayChange> Changes();

  // From now on `watcher` hears of every change as it is made (a file
  // written, made or removed, a directory made or removed, a rename's two
  // names, a mode set): the absolute path of what changes, with no ".",
  // ".." or link on the way, as Changes() would name it. An empty watcher
  // hears nothing.
  using ChangeWatcher = std::function<void(const std::string& path)>;
  void WatchChanges(ChangeWatcher watcher);

  // The absolute path that `path` leads to, links followed, with no "."
  // or ".." left: as far as the path leads to a directory through the
  // overlay, and from there on its components as written ("." dropped,
  // ".." taking the one before away). Empty when it cannot be told (a loop
  // of links, no working directory, a NUL byte).
  std::string ResolvedPath(const std::string& path);

 private:
  struct Node;
  struct Entry {
    std::shared_ptr<Node> node;  // nullptr: nothing stands there
    bool in_lower = false;       // the lower directory has the name
  };
  // Where a path leads: the directory holding its last component and that
  // component ("" when the path names its start, like "/").
  struct Place {
    Node* directory = nullptr;
    std::string_view last;
    bool slash = false;  // the path ends in "/"
  };
  class Replacement;
  class Opened;

  // Path resolution. Every function returns 0 or an errno value.
  static int CheckPath(const std::string& path);
  int WalkToLast(std::string_view path, Node* start, int* hops, Place* place);
  int Resolve(std::string_view path, Node* start, bool follow, int* hops,
              Node** node, Place* place = nullptr);
  // From the working directory, after CheckPath.
  int Lookup(const std::string& path, bool follow, Node** node);
  int Locate(const std::string& path, Place* place);
  // Where a new name goes: EEXIST when something stands there, ENOENT in
  // a removed directory.
  int PlaceForNew(const std::string& path, Place* place);
  // Locate, then what stands at the last component (nullptr: nothing),
  // unless it is "/", "." or "..": the call fails with the error given.
  struct DotErrors {
    int root;
    int dot;
    int dot_dot;
  };
  int LocateName(const std::string& path, const DotErrors& dot_errors,
                 Place* place, Node** node);
  // Follows every link, also the last, and gives the directory and name
  // the node was finally found at (for a directory, its parent and its
  // name; nullptr for the root).
  int LookupFinal(const std::string& path, Node** node, Node** holder,
                  std::string* name);
  int StepInto(Node* directory, std::string_view name, int* hops, Node** next);
  int FollowLink(Node* directory, Node* link, int* hops, Node** target);
  int Find(Node* directory, std::string_view name, Node** node);
  int LinkTarget(Node* link, std::string* target);
  std::shared_ptr<Node> LoadLower(Node* directory, std::string_view name,
                                  const FileInfo& info);
  int ListLower(Node* directory);
  DirectoryRead List(Node* directory, std::vector<DirectoryEntry>* entries);
  int IsEmpty(Node* directory, bool* empty);
  int ReadContent(Node* file, std::shared_ptr<const char[]>* bytes,
                  uint64_t* size);
  std::string ContentOf(Node* file);
  FileInfo InfoOf(const Node* node) const;
  std::shared_ptr<Node> NewNode(FileType type, mode_t mode);
  struct timespec Tick(const struct timespec& after);
  std::string PathOf(const Node* directory) const;
  // Marks the name in the directory as changed, and the directory in each
  // directory above it, up to where a mark stands already.
  static void MarkChanged(Node* directory, std::string_view name);
  // Makes `node` (nullptr: nothing) stand at the place, which changes its
  // directory now.
  void Put(const Place& place, std::shared_ptr<Node> node);
  // Tells the watcher of a change of `name` in `directory` (nullptr: the
  // root itself).
  void Tell(const Node* directory, std::string_view name);
  void Detach(Node* directory);
  static bool Holds(const Node* directory, const Node* node);
  // Levels below the root, and the levels of directories below it.
  size_t DepthOf(const Node* directory) const;
  static size_t HeightOf(const Node* directory);

  // For the replacements.
  int TemporaryPlace(const std::string& target);
  int Install(const std::string& target, const FileInfo& target_info,
              std::shared_ptr<const std::string> content);

  // For Changes().
  struct Comparison;
  void Compare(const Comparison& at, std::vector<Comparison>* pending,
               std::vector<OverlayChange>* changes);
  std::string LowerContent(const std::string& path);

  FileSystem* lower_;
  std::shared_ptr<Node> root_;
  std::shared_ptr<Node> working_directory_;  // nullptr: none could be found
  std::vector<std::shared_ptr<Node>> marks_;
  // The objects of the lower tree met so far that are not directories, by
  // their lower identity, so that two names of one file show one object.
  std::map<std::pair<dev_t, ino_t>, std::weak_ptr<Node>> lower_objects_;
  ino_t last_inode_ = 0;
  struct timespec last_time_ = {};
  ChangeWatcher watcher_;
};

#endif  // QRL_SERVICES_OVERLAY_FILE_SYSTEM_H_
