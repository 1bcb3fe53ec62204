#include "services/overlay_file_system.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>

#include "services/file_system_rules.h"
#include "services/posix_error.h"
#include "services/system_path.h"

namespace {

// The device that every object of an overlay is on.
constexpr dev_t kOverlayDevice = 0x71726c;
// The system's limit on links followed while resolving one path.
constexpr int kMaxLinkHops = 40;
// The deepest directory the overlay makes, in levels below the root: as
// deep as a path of the longest length can name.
constexpr size_t kMaxDepth = PATH_MAX / 2;
// What a new directory's size shows.
constexpr uint64_t kDirectorySize = 4096;

bool Failed(int* error, int value) {
  if (error != nullptr) {
    *error = value;
  }
  return false;
}

bool Fail(std::string* err, std::string_view context, int error) {
  if (err != nullptr) {
    *err = PosixError(context, error);
  }
  return false;
}

std::string Join(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (path != "/") {
    path += '/';
  }
  path += name;
  return path;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') {
    path += '/';
  }
  return path;
}

// A last component that names a directory by its relation to another
// ("." or ".."), or none at all ("/"): it cannot be made, removed or
// renamed.
bool IsDotOrRoot(std::string_view last) {
  return last.empty() || last == "." || last == "..";
}

// The changes in the order of their paths' components: "/" comes before
// every other byte, so that a directory comes right before what it holds.
// Paths hold no NUL byte, which takes the place of "/" in the sort keys;
// changes of one path keep their order.
void SortByPath(std::vector<OverlayChange>* changes) {
  std::vector<std::pair<std::string, size_t>> keys;
  keys.reserve(changes->size());
  for (size_t i = 0; i < changes->size(); ++i) {
    std::string key = (*changes)[i].path;
    std::replace(key.begin(), key.end(), '/', '\0');
    keys.emplace_back(std::move(key), i);
  }
  std::sort(keys.begin(), keys.end());
  std::vector<OverlayChange> sorted;
  sorted.reserve(changes->size());
  for (const auto& [key, index] : keys) {
    sorted.push_back(std::move((*changes)[index]));
  }
  *changes = std::move(sorted);
}

bool Later(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

struct timespec NextNanosecond(struct timespec time) {
  if (++time.tv_nsec == 1000000000) {
    time.tv_nsec = 0;
    ++time.tv_sec;
  }
  return time;
}

}  // namespace

// One object: a file, a link, a directory or another kind of file. The
// lower tree's objects are made as their names are met.
struct OverlayFileSystem::Node : std::enable_shared_from_this<Node> {
  FileType type = FileType::kNone;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  ino_t inode = 0;
  uint64_t size = 0;
  struct timespec modified = {};
  // Where the lower file system holds the object's data (a file's content,
  // a link's target, a directory's entries); empty for what the overlay
  // made, and for a directory once it is removed.
  std::string lower_path;
  std::shared_ptr<const std::string> content;  // what the overlay wrote
  std::weak_ptr<const char[]> lower_bytes;     // while a reader holds them
  std::string link_target;
  bool link_read = false;

  // Directories only. A directory has one parent; the root and a removed
  // directory have none.
  Node* parent = nullptr;
  std::string name;
  bool removed = false;
  // The names met so far: what the overlay made, removed or looked up.
  std::map<std::string, Entry, std::less<>> entries;
  // The lower directory's own listing, once it was needed.
  bool lower_listed = false;
  std::vector<DirectoryEntry> lower_listing;
  // The names whose object the overlay changed, or below which it changed
  // something, wherever the directory was then.
  std::set<std::string, std::less<>> changed;
};

// A file read whole: it keeps the object, which no other object's identity
// can then take.
class OverlayFileSystem::Opened : public OpenedFile {
 public:
  Opened(OverlayFileSystem* overlay, std::shared_ptr<Node> node,
         const FileInfo& info, std::shared_ptr<const char[]> bytes,
         uint64_t size)
      : overlay_(overlay), node_(std::move(node)) {
    info_ = info;
    bytes_ = std::move(bytes);
    size_ = size;
  }

  bool StillThere(const std::string& name, std::string* err) override {
    int ignored = 0;
    return StillWhatWasRead(info_, overlay_->InfoOf(node_.get()),
                            overlay_->Stat(name, FollowLinks::kYes, &ignored),
                            err);
  }

 private:
  OverlayFileSystem* overlay_;
  std::shared_ptr<Node> node_;
};

// The replacement as the system's makes it, step by step with the same
// outcomes and reasons; the temporary file is a place checked, not a file.
class OverlayFileSystem::Replacement : public FileReplacement {
 public:
  explicit Replacement(OverlayFileSystem* overlay) : overlay_(overlay) {}

  bool Begin(const std::string& file_name, std::string* err) override {
    Discard();
    content_.clear();
    reserved_ = 0;
    return ResolveReplacementTarget(*overlay_, file_name, &target_,
                                    &target_info_, err);
  }

  bool Write(std::string_view content, std::string* err) override {
    if (!CreateTemporary(err)) {
      return false;
    }
    content_ = content;
    return true;
  }

  bool Commit(std::string* err) override {
    if (!temporary_) {
      return Fail(err, "nothing was written for " + target_, EINVAL);
    }
    return Install(std::make_shared<const std::string>(content_), err);
  }

  bool Reserve(uint64_t size, std::string* err) override {
    if (!CreateTemporary(err)) {
      return false;
    }
    reserved_ = std::max(reserved_, size);
    return true;
  }

  bool CommitFrom(const Producer& produce, std::string* err) override {
    if (!CreateTemporary(err)) {
      return false;
    }
    auto content = std::make_shared<std::string>();
    content->reserve(reserved_);
    produce([&content](std::string_view bytes) {
      content->append(bytes);
      return true;
    });
    return Install(std::move(content), err);
  }

  void Discard() override { temporary_ = false; }

  const std::string& content() const override { return content_; }
  const std::string& target() const override { return target_; }
  const FileInfo& target_info() const override { return target_info_; }

 private:
  bool CreateTemporary(std::string* err) {
    if (temporary_) {
      return true;
    }
    const int error = overlay_->TemporaryPlace(target_);
    if (error != 0) {
      return Fail(err, "cannot create a temporary file for " + target_, error);
    }
    temporary_ = true;
    return true;
  }

  bool Install(std::shared_ptr<const std::string> content, std::string* err) {
    temporary_ = false;
    const int error =
        overlay_->Install(target_, target_info_, std::move(content));
    return error == 0 || Fail(err, "cannot replace " + target_, error);
  }

  OverlayFileSystem* overlay_;
  std::string target_;
  FileInfo target_info_;
  bool temporary_ = false;  // the system's would hold a temporary file now
  std::string content_;
  uint64_t reserved_ = 0;
};

OverlayFileSystem::OverlayFileSystem(FileSystem* lower,
                                     const std::string& working_directory)
    : lower_(lower), root_(std::make_shared<Node>()) {
  int error = 0;
  const FileInfo info = lower_->Stat("/", FollowLinks::kNo, &error);
  root_->type = FileType::kDirectory;
  root_->mode = info.exists() ? info.mode : 0755;
  root_->owner = info.owner;
  root_->group = info.group;
  root_->size = info.size;
  root_->modified = info.modified;
  root_->inode = ++last_inode_;
  root_->lower_path = "/";
  const std::string path = working_directory.empty()
                               ? lower_->WorkingDirectory()
                               : working_directory;
  Node* node = nullptr;
  if (!path.empty() && path[0] == '/' && Lookup(path, true, &node) == 0 &&
      node->type == FileType::kDirectory) {
    working_directory_ = node->shared_from_this();
  }
}

OverlayFileSystem::~OverlayFileSystem() {
  // Taken apart from a list rather than by recursion, however deep the
  // tree grew.
  std::vector<std::shared_ptr<Node>> nodes = {std::move(root_)};
  while (!nodes.empty()) {
    const std::shared_ptr<Node> node = std::move(nodes.back());
    nodes.pop_back();
    for (auto& [name, entry] : node->entries) {
      if (entry.node != nullptr) {
        nodes.push_back(std::move(entry.node));
      }
    }
  }
}

int OverlayFileSystem::CheckPath(const std::string& path) {
  if (HoldsNul(path)) {
    return EINVAL;
  }
  if (path.empty()) {
    return ENOENT;
  }
  return path.size() >= PATH_MAX ? ENAMETOOLONG : 0;
}

int OverlayFileSystem::WalkToLast(std::string_view path, Node* start, int* hops,
                                  Place* place) {
  Node* directory = !path.empty() && path[0] == '/' ? root_.get() : start;
  if (directory == nullptr) {
    return ENOENT;
  }
  // Each component is entered once the next one shows it was not the last.
  std::string_view pending;
  for (size_t at = 0; at < path.size();) {
    if (path[at] == '/') {
      ++at;
      continue;
    }
    const size_t end = std::min(path.find('/', at), path.size());
    if (!pending.empty()) {
      const int error = StepInto(directory, pending, hops, &directory);
      if (error != 0) {
        return error;
      }
    }
    pending = path.substr(at, end - at);
    at = end;
  }
  place->directory = directory;
  place->last = pending;
  place->slash = !path.empty() && path.back() == '/';
  return 0;
}

int OverlayFileSystem::StepInto(Node* directory, std::string_view name,
                                int* hops, Node** next) {
  Node* node = nullptr;
  if (name == ".") {
    node = directory;
  } else if (name == "..") {
    node = directory == root_.get() ? directory : directory->parent;
    if (node == nullptr) {
      return ENOENT;
    }
  } else {
    int error = Find(directory, name, &node);
    if (error == 0 && node == nullptr) {
      error = ENOENT;
    }
    if (error == 0 && node->type == FileType::kLink) {
      error = FollowLink(directory, node, hops, &node);
    }
    if (error != 0) {
      return error;
    }
  }
  if (node->type != FileType::kDirectory) {
    return ENOTDIR;
  }
  *next = node;
  return 0;
}

int OverlayFileSystem::Resolve(std::string_view path, Node* start, bool follow,
                               int* hops, Node** node, Place* place) {
  Place here;
  int error = WalkToLast(path, start, hops, &here);
  if (error != 0) {
    return error;
  }
  if (place != nullptr) {
    *place = here;
  }
  Node* found = nullptr;
  if (IsDotOrRoot(here.last)) {
    // "." and "/" stand for the directory, ".." for its parent.
    error =
        here.last == ".." ? StepInto(here.directory, "..", hops, &found) : 0;
    if (found == nullptr && error == 0) {
      found = here.directory;
    }
  } else {
    error = Find(here.directory, here.last, &found);
    if (error == 0 && found == nullptr) {
      error = ENOENT;
    }
    // A final "/" makes the system follow a link, as it does on the way.
    if (error == 0 && found->type == FileType::kLink &&
        (follow || here.slash)) {
      error = FollowLink(here.directory, found, hops, &found);
    }
  }
  if (error == 0 && here.slash && found->type != FileType::kDirectory) {
    error = ENOTDIR;
  }
  if (error == 0) {
    *node = found;
  }
  return error;
}

int OverlayFileSystem::Lookup(const std::string& path, bool follow,
                              Node** node) {
  const int error = CheckPath(path);
  int hops = 0;
  return error != 0
             ? error
             : Resolve(path, working_directory_.get(), follow, &hops, node);
}

int OverlayFileSystem::Locate(const std::string& path, Place* place) {
  const int error = CheckPath(path);
  int hops = 0;
  return error != 0 ? error
                    : WalkToLast(path, working_directory_.get(), &hops, place);
}

int OverlayFileSystem::LocateName(const std::string& path,
                                  const DotErrors& dot_errors, Place* place,
                                  Node** node) {
  int error = Locate(path, place);
  if (error == 0 && IsDotOrRoot(place->last)) {
    error = place->last.empty()  ? dot_errors.root
            : place->last == "." ? dot_errors.dot
                                 : dot_errors.dot_dot;
  }
  return error != 0 ? error : Find(place->directory, place->last, node);
}

int OverlayFileSystem::LookupFinal(const std::string& path, Node** node,
                                   Node** holder, std::string* name) {
  int error = CheckPath(path);
  std::string current = path;
  Node* start = working_directory_.get();
  for (int hops = 0; error == 0;) {
    Place place;
    error = Resolve(current, start, false, &hops, node, &place);
    if (error != 0) {
      break;
    }
    if ((*node)->type == FileType::kDirectory) {
      *holder = (*node)->parent;
      *name = (*node)->name;
      break;
    }
    if ((*node)->type != FileType::kLink) {
      *holder = place.directory;
      *name = place.last;
      break;
    }
    std::string target;
    error = ++hops > kMaxLinkHops ? ELOOP : LinkTarget(*node, &target);
    if (error == 0 && target.empty()) {
      error = ENOENT;
    }
    start = place.directory;
    current = std::move(target);
  }
  return error;
}

int OverlayFileSystem::FollowLink(Node* directory, Node* link, int* hops,
                                  Node** target) {
  if (++*hops > kMaxLinkHops) {
    return ELOOP;
  }
  std::string path;
  const int error = LinkTarget(link, &path);
  if (error != 0) {
    return error;
  }
  // A relative target counts from the directory holding the link.
  return path.empty() ? ENOENT : Resolve(path, directory, true, hops, target);
}

int OverlayFileSystem::Find(Node* directory, std::string_view name,
                            Node** node) {
  *node = nullptr;
  if (name.size() > NAME_MAX) {
    return ENAMETOOLONG;
  }
  if (directory->removed) {
    return 0;
  }
  const auto known = directory->entries.find(name);
  if (known != directory->entries.end()) {
    *node = known->second.node.get();
    return 0;
  }
  if (directory->lower_path.empty()) {
    return 0;
  }
  int error = 0;
  const FileInfo info =
      lower_->Stat(Join(directory->lower_path, name), FollowLinks::kNo, &error);
  if (!info.exists()) {
    if (error != ENOENT && error != ENOTDIR) {
      return error;
    }
    directory->entries.emplace(name, Entry{nullptr, false});
    return 0;
  }
  std::shared_ptr<Node> loaded = LoadLower(directory, name, info);
  *node = loaded.get();
  directory->entries.emplace(name, Entry{std::move(loaded), true});
  return 0;
}

std::shared_ptr<OverlayFileSystem::Node> OverlayFileSystem::LoadLower(
    Node* directory, std::string_view name, const FileInfo& info) {
  const std::pair<dev_t, ino_t> identity{info.device, info.inode};
  if (info.type != FileType::kDirectory) {
    const auto known = lower_objects_.find(identity);
    if (known != lower_objects_.end()) {
      if (std::shared_ptr<Node> node = known->second.lock()) {
        return node;  // another name of a file met before
      }
    }
  }
  auto node = std::make_shared<Node>();
  node->type = info.type;
  node->mode = info.mode;
  node->owner = info.owner;
  node->group = info.group;
  node->size = info.size;
  node->modified = info.modified;
  node->inode = ++last_inode_;
  node->lower_path = Join(directory->lower_path, name);
  if (info.type == FileType::kDirectory) {
    node->parent = directory;
    node->name = name;
  } else {
    lower_objects_[identity] = node;
  }
  return node;
}

int OverlayFileSystem::LinkTarget(Node* link, std::string* target) {
  if (!link->link_read) {
    int error = 0;
    if (!lower_->ReadLink(link->lower_path, &link->link_target, &error)) {
      return error;
    }
    link->link_read = true;
  }
  *target = link->link_target;
  return 0;
}

int OverlayFileSystem::ListLower(Node* directory) {
  if (directory->lower_listed || directory->lower_path.empty()) {
    return 0;
  }
  std::vector<DirectoryEntry> listing;
  if (lower_->ReadDirectory(WithSlash(directory->lower_path), &listing) !=
      DirectoryRead::kOk) {
    return EIO;
  }
  directory->lower_listing = std::move(listing);
  directory->lower_listed = true;
  return 0;
}

DirectoryRead OverlayFileSystem::List(Node* directory,
                                      std::vector<DirectoryEntry>* entries) {
  if (directory->removed) {
    return DirectoryRead::kOk;
  }
  if (ListLower(directory) != 0) {
    return DirectoryRead::kCannotRead;
  }
  // The lower names in the lower order, as they stand now; then the names
  // the overlay added.
  for (const DirectoryEntry& lower : directory->lower_listing) {
    const auto known = directory->entries.find(lower.name);
    if (known == directory->entries.end()) {
      entries->push_back(lower);
    } else if (known->second.node != nullptr) {
      entries->push_back(
          {lower.name, known->second.node->type == FileType::kDirectory});
    }
  }
  for (const auto& [name, entry] : directory->entries) {
    if (entry.node != nullptr && !entry.in_lower) {
      entries->push_back({name, entry.node->type == FileType::kDirectory});
    }
  }
  return DirectoryRead::kOk;
}

int OverlayFileSystem::IsEmpty(Node* directory, bool* empty) {
  std::vector<DirectoryEntry> entries;
  if (List(directory, &entries) != DirectoryRead::kOk) {
    return EIO;
  }
  *empty = entries.empty();
  return 0;
}

int OverlayFileSystem::ReadContent(Node* file,
                                   std::shared_ptr<const char[]>* bytes,
                                   uint64_t* size) {
  if (file->content != nullptr) {
    *bytes =
        std::shared_ptr<const char[]>(file->content, file->content->data());
    *size = file->content->size();
    return 0;
  }
  if (std::shared_ptr<const char[]> held = file->lower_bytes.lock()) {
    *bytes = std::move(held);
    *size = file->size;
    return 0;
  }
  int error = 0;
  const std::unique_ptr<OpenedFile> opened =
      lower_->Open(file->lower_path, &error);
  if (opened == nullptr) {
    return error;
  }
  *bytes = opened->bytes();
  *size = opened->size();
  file->lower_bytes = *bytes;
  file->size = *size;
  return 0;
}

std::string OverlayFileSystem::ContentOf(Node* file) {
  std::shared_ptr<const char[]> bytes;
  uint64_t size = 0;
  if (file->type != FileType::kRegular) {
    return file->content != nullptr ? *file->content : std::string();
  }
  return ReadContent(file, &bytes, &size) == 0 ? std::string(bytes.get(), size)
                                               : std::string();
}

FileInfo OverlayFileSystem::InfoOf(const Node* node) const {
  FileInfo info;
  info.type = node->type;
  info.mode = node->mode;
  info.size = node->content != nullptr && node->type == FileType::kRegular
                  ? node->content->size()
                  : node->size;
  info.device = kOverlayDevice;
  info.inode = node->inode;
  info.owner = node->owner;
  info.group = node->group;
  info.modified = node->modified;
  return info;
}

std::shared_ptr<OverlayFileSystem::Node> OverlayFileSystem::NewNode(
    FileType type, mode_t mode) {
  auto node = std::make_shared<Node>();
  node->type = type;
  node->mode = mode;
  node->owner = ::geteuid();
  node->group = ::getegid();
  node->inode = ++last_inode_;
  node->size = type == FileType::kDirectory ? kDirectorySize : 0;
  node->modified = Tick({});
  return node;
}

struct timespec OverlayFileSystem::Tick(const struct timespec& after) {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  for (const struct timespec& floor :
       {NextNanosecond(last_time_), NextNanosecond(after)}) {
    if (Later(floor, now)) {
      now = floor;
    }
  }
  last_time_ = now;
  return now;
}

std::string OverlayFileSystem::PathOf(const Node* directory) const {
  std::vector<const std::string*> names;
  for (const Node* at = directory; at != root_.get(); at = at->parent) {
    if (at == nullptr) {
      return std::string();  // removed
    }
    names.push_back(&at->name);
  }
  if (names.empty()) {
    return "/";
  }
  std::string path;
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    path += '/';
    path += **name;
  }
  return path;
}

void OverlayFileSystem::MarkChanged(Node* directory, std::string_view name) {
  // Where a mark stands, every directory above holds one already: a
  // directory moved elsewhere is marked in its new place when it goes.
  for (Node* at = directory; at != nullptr; name = at->name, at = at->parent) {
    if (at->changed.find(name) != at->changed.end()) {
      return;
    }
    at->changed.emplace(name);
  }
}

void OverlayFileSystem::Put(const Place& place, std::shared_ptr<Node> node) {
  place.directory->entries[std::string(place.last)].node = std::move(node);
  place.directory->modified = Tick(place.directory->modified);
  MarkChanged(place.directory, place.last);
  Tell(place.directory, place.last);
}

void OverlayFileSystem::Tell(const Node* directory, std::string_view name) {
  if (watcher_) {
    watcher_(directory == nullptr ? std::string("/")
                                  : Join(PathOf(directory), name));
  }
}

void OverlayFileSystem::Detach(Node* directory) {
  directory->removed = true;
  directory->parent = nullptr;
  directory->lower_path.clear();
  directory->entries.clear();
  directory->lower_listing.clear();
  directory->changed.clear();
}

size_t OverlayFileSystem::DepthOf(const Node* directory) const {
  size_t depth = 0;
  for (const Node* at = directory; at != nullptr && at != root_.get();
       at = at->parent) {
    ++depth;
  }
  return depth;
}

size_t OverlayFileSystem::HeightOf(const Node* directory) {
  // The directories met below it so far; the lower tree's others are as
  // deep as the system let them be.
  size_t height = 0;
  std::vector<std::pair<const Node*, size_t>> pending = {{directory, 0}};
  while (!pending.empty()) {
    const auto [node, below] = pending.back();
    pending.pop_back();
    height = std::max(height, below);
    for (const auto& [name, entry] : node->entries) {
      if (entry.node != nullptr && entry.node->type == FileType::kDirectory) {
        pending.emplace_back(entry.node.get(), below + 1);
      }
    }
  }
  return height;
}

bool OverlayFileSystem::Holds(const Node* directory, const Node* node) {
  for (const Node* at = node; at != nullptr; at = at->parent) {
    if (at == directory) {
      return true;
    }
  }
  return false;
}

FileInfo OverlayFileSystem::Stat(const std::string& path, FollowLinks follow,
                                 int* error) {
  Node* node = nullptr;
  const int failure = Lookup(path, follow == FollowLinks::kYes, &node);
  if (failure != 0) {
    Failed(error, failure);
    return FileInfo();
  }
  return InfoOf(node);
}

bool OverlayFileSystem::ReadLink(const std::string& path, std::string* target,
                                 int* error) {
  Node* node = nullptr;
  int failure = Lookup(path, false, &node);
  if (failure == 0 && node->type != FileType::kLink) {
    failure = EINVAL;
  }
  std::string read;
  if (failure == 0) {
    failure = LinkTarget(node, &read);
  }
  if (failure != 0) {
    return Failed(error, failure);
  }
  *target = std::move(read);
  return true;
}

DirectoryRead OverlayFileSystem::ReadDirectory(
    const std::string& directory, std::vector<DirectoryEntry>* entries) {
  Node* node = nullptr;
  if (Lookup(directory.empty() ? std::string(".") : directory, true, &node) !=
          0 ||
      node->type != FileType::kDirectory) {
    return DirectoryRead::kCannotOpen;
  }
  return List(node, entries);
}

StreamRead OverlayFileSystem::ReadToEnd(const std::string& path,
                                        std::string* out, int* error) {
  const StreamRead read = FileSystem::ReadToEnd(path, out, error);
  if (read == StreamRead::kCannotOpen && *error == EISDIR) {
    return StreamRead::kCannotRead;  // as the system opens, then fails
  }
  if (read == StreamRead::kCannotOpen && *error == EINVAL) {
    const std::string resolved = ResolvedPath(path);
    if (!resolved.empty()) {
      return lower_->ReadToEnd(resolved, out, error);
    }
  }
  return read;
}

std::unique_ptr<OpenedFile> OverlayFileSystem::Open(const std::string& path,
                                                    int* error) {
  Node* node = nullptr;
  int failure = Lookup(path, true, &node);
  if (failure == 0 && node->type != FileType::kRegular) {
    failure = node->type == FileType::kDirectory ? EISDIR : EINVAL;
  }
  std::shared_ptr<const char[]> bytes;
  uint64_t size = 0;
  if (failure == 0) {
    failure = ReadContent(node, &bytes, &size);
  }
  if (failure != 0) {
    Failed(error, failure);
    return nullptr;
  }
  FileInfo info = InfoOf(node);
  info.size = size;
  return std::make_unique<Opened>(this, node->shared_from_this(), info,
                                  std::move(bytes), size);
}

std::unique_ptr<FileReplacement> OverlayFileSystem::NewReplacement() {
  return std::make_unique<Replacement>(this);
}

int OverlayFileSystem::PlaceForNew(const std::string& path, Place* place) {
  Node* existing = nullptr;
  const int failure =
      LocateName(path, {EEXIST, EEXIST, EEXIST}, place, &existing);
  return failure != 0                ? failure
         : existing != nullptr       ? EEXIST
         : place->directory->removed ? ENOENT
                                     : 0;
}

bool OverlayFileSystem::MakeDirectory(const std::string& path, int* error) {
  Place place;
  int failure = PlaceForNew(path, &place);
  if (failure == 0 && DepthOf(place.directory) >= kMaxDepth) {
    failure = ENAMETOOLONG;
  }
  if (failure != 0) {
    return Failed(error, failure);
  }
  std::shared_ptr<Node> made =
      NewNode(FileType::kDirectory, 0777 & ~ProcessUmask());
  made->parent = place.directory;
  made->name = place.last;
  Put(place, std::move(made));
  return true;
}

bool OverlayFileSystem::MakeLink(const std::string& target,
                                 const std::string& path, int* error) {
  Place place;
  int failure = PlaceForNew(path, &place);
  if (failure == 0 && (target.empty() || HoldsNul(target))) {
    failure = target.empty() ? ENOENT : EINVAL;  // as symlink answers
  }
  if (failure != 0) {
    return Failed(error, failure);
  }
  std::shared_ptr<Node> made = NewNode(FileType::kLink, 0777);
  made->link_target = target;
  made->link_read = true;
  made->size = target.size();
  Put(place, std::move(made));
  return true;
}

bool OverlayFileSystem::RemoveFile(const std::string& path, int* error) {
  Place place;
  Node* node = nullptr;
  int failure = LocateName(path, {EISDIR, EISDIR, EISDIR}, &place, &node);
  if (failure == 0) {
    // The last component is never followed, not even with a final "/".
    failure = node == nullptr                      ? ENOENT
              : node->type == FileType::kDirectory ? EISDIR
              : place.slash                        ? ENOTDIR
                                                   : 0;
  }
  if (failure != 0) {
    return Failed(error, failure);
  }
  Put(place, nullptr);
  return true;
}

bool OverlayFileSystem::RemoveDirectory(const std::string& path, int* error) {
  Place place;
  Node* node = nullptr;
  int failure = LocateName(path, {EBUSY, EINVAL, ENOTEMPTY}, &place, &node);
  if (failure == 0) {
    failure = node == nullptr                      ? ENOENT
              : node->type != FileType::kDirectory ? ENOTDIR
                                                   : 0;
  }
  bool empty = false;
  if (failure == 0) {
    failure = IsEmpty(node, &empty);
  }
  if (failure == 0 && !empty) {
    failure = ENOTEMPTY;
  }
  if (failure != 0) {
    return Failed(error, failure);
  }
  Detach(node);
  Put(place, nullptr);
  return true;
}

bool OverlayFileSystem::Rename(const std::string& from, const std::string& to,
                               int* error) {
  // The checks in the order the system makes them, for the same errors.
  Place source_place;
  Place target_place;
  int failure = Locate(from, &source_place);
  if (failure == 0) {
    failure = Locate(to, &target_place);
  }
  if (failure == 0 &&
      (IsDotOrRoot(source_place.last) || IsDotOrRoot(target_place.last))) {
    failure = EBUSY;
  }
  Node* source = nullptr;
  if (failure == 0) {
    failure = Find(source_place.directory, source_place.last, &source);
  }
  if (failure == 0 && source == nullptr) {
    failure = ENOENT;
  }
  const bool moves_directory =
      failure == 0 && source->type == FileType::kDirectory;
  if (failure == 0 && !moves_directory &&
      (source_place.slash || target_place.slash)) {
    failure = ENOTDIR;
  }
  if (failure == 0 && moves_directory &&
      Holds(source, target_place.directory)) {
    failure = EINVAL;  // a directory cannot go into itself
  }
  Node* target = nullptr;
  if (failure == 0) {
    failure = Find(target_place.directory, target_place.last, &target);
  }
  const bool replaces_directory =
      target != nullptr && target->type == FileType::kDirectory;
  if (failure == 0 && replaces_directory &&
      Holds(target, source_place.directory)) {
    failure = ENOTEMPTY;
  }
  if (failure == 0 && source == target) {
    return true;  // two names of one file, or one name: nothing to do
  }
  if (failure == 0 && target != nullptr) {
    bool empty = true;
    failure = moves_directory && !replaces_directory   ? ENOTDIR
              : !moves_directory && replaces_directory ? EISDIR
              : replaces_directory                     ? IsEmpty(target, &empty)
                                                       : 0;
    if (failure == 0 && !empty) {
      failure = ENOTEMPTY;
    }
  } else if (failure == 0 && target_place.directory->removed) {
    failure = ENOENT;
  }
  if (failure == 0 && moves_directory &&
      DepthOf(target_place.directory) + HeightOf(source) >= kMaxDepth) {
    failure = ENAMETOOLONG;
  }
  if (failure != 0) {
    return Failed(error, failure);
  }
  std::shared_ptr<Node> moving = source->shared_from_this();
  if (replaces_directory) {
    Detach(target);
  }
  if (moves_directory) {
    moving->parent = target_place.directory;
    moving->name = target_place.last;
  }
  Put(source_place, nullptr);
  Put(target_place, std::move(moving));
  return true;
}

bool OverlayFileSystem::SetMode(const std::string& path, mode_t mode,
                                int* error) {
  Node* node = nullptr;
  Node* holder = nullptr;
  std::string name;
  const int failure = LookupFinal(path, &node, &holder, &name);
  if (failure != 0) {
    return Failed(error, failure);
  }
  node->mode = mode & 07777;
  MarkChanged(holder, name);
  Tell(holder, name);
  return true;
}

std::string OverlayFileSystem::WorkingDirectory() {
  return working_directory_ != nullptr ? PathOf(working_directory_.get())
                                       : std::string();
}

bool OverlayFileSystem::ChangeWorkingDirectory(const std::string& directory,
                                               int* error) {
  Node* node = nullptr;
  int failure = Lookup(directory, true, &node);
  if (failure == 0 && node->type != FileType::kDirectory) {
    failure = ENOTDIR;
  }
  if (failure != 0) {
    return Failed(error, failure);
  }
  working_directory_ = node->shared_from_this();
  return true;
}

int OverlayFileSystem::MarkWorkingDirectory(int* error) {
  if (working_directory_ == nullptr) {
    Failed(error, ENOENT);
    return -1;
  }
  auto free = std::find(marks_.begin(), marks_.end(), nullptr);
  if (free == marks_.end()) {
    free = marks_.insert(free, nullptr);
  }
  *free = working_directory_;
  return static_cast<int>(free - marks_.begin());
}

bool OverlayFileSystem::ReturnTo(int mark, int* error) {
  if (mark < 0 || static_cast<size_t>(mark) >= marks_.size() ||
      marks_[static_cast<size_t>(mark)] == nullptr) {
    return Failed(error, EBADF);
  }
  working_directory_ = marks_[static_cast<size_t>(mark)];
  return true;
}

void OverlayFileSystem::ForgetMark(int mark) {
  if (mark >= 0 && static_cast<size_t>(mark) < marks_.size()) {
    marks_[static_cast<size_t>(mark)] = nullptr;
  }
}

int OverlayFileSystem::TemporaryPlace(const std::string& target) {
  // The system's replacement creates its temporary file beside the target.
  const std::string directory = SystemDirectoryPart(target);
  Node* node = nullptr;
  int error =
      Lookup(directory.empty() ? std::string(".") : directory, true, &node);
  if (error == 0 && node->type != FileType::kDirectory) {
    error = ENOTDIR;
  }
  return error == 0 && node->removed ? ENOENT : error;
}

int OverlayFileSystem::Install(const std::string& target,
                               const FileInfo& target_info,
                               std::shared_ptr<const std::string> content) {
  // What renaming the temporary file over the target does.
  Place place;
  Node* existing = nullptr;
  int error = LocateName(target, {EBUSY, EBUSY, EBUSY}, &place, &existing);
  if (error == 0) {
    error = place.slash ? ENOTDIR
            : existing != nullptr && existing->type == FileType::kDirectory
                ? EISDIR
            : existing == nullptr && place.directory->removed ? ENOENT
                                                              : 0;
  }
  if (error != 0) {
    return error;
  }
  std::shared_ptr<Node> file =
      NewNode(FileType::kRegular,
              target_info.exists() ? target_info.mode : 0666 & ~ProcessUmask());
  if (target_info.exists() && ::geteuid() == 0) {
    // Only the privileged keep the owner of what they replace.
    file->owner = target_info.owner;
    file->group = target_info.group;
  }
  if (existing != nullptr) {
    file->modified = Tick(existing->modified);
  }
  file->content = std::move(content);
  file->size = file->content->size();
  Put(place, std::move(file));
  return 0;
}

void OverlayFileSystem::WatchChanges(ChangeWatcher watcher) {
  watcher_ = std::move(watcher);
}

std::string OverlayFileSystem::ResolvedPath(const std::string& path) {
  Node* directory =
      !path.empty() && path[0] == '/' ? root_.get() : working_directory_.get();
  if (directory == nullptr || HoldsNul(path)) {
    return std::string();
  }
  Node* node = nullptr;
  Node* holder = nullptr;
  std::string name;
  if (!path.empty() && LookupFinal(path, &node, &holder, &name) == 0) {
    // Something stands there: where its last link leads.
    return node->type == FileType::kDirectory ? PathOf(node)
                                              : Join(PathOf(holder), name);
  }
  // The components past the part that leads to a directory, as written.
  std::vector<std::string_view> rest;
  int hops = 0;
  for (size_t at = 0; at < path.size();) {
    const size_t end = std::min(path.find('/', at), path.size());
    const std::string_view part = std::string_view(path).substr(at, end - at);
    at = end + 1;
    if (part.empty() || part == ".") {
      continue;
    }
    if (!rest.empty()) {
      if (part == "..") {
        rest.pop_back();
      } else {
        rest.push_back(part);
      }
      continue;
    }
    Node* next = nullptr;
    const int error = StepInto(directory, part, &hops, &next);
    if (error == ELOOP) {
      return std::string();
    }
    if (error == 0) {
      directory = next;
    } else if (part != "..") {
      rest.push_back(part);
    }
  }
  std::string resolved = PathOf(directory);
  if (resolved.empty()) {
    return resolved;  // a directory removed
  }
  for (const std::string_view part : rest) {
    resolved = Join(resolved, part);
  }
  return resolved;
}

// One path still to compare: what the lower tree and the overlay hold
// there.
struct OverlayFileSystem::Comparison {
  std::string path;
  FileInfo lower;
  Node* upper;
};

std::vector<OverlayChange> OverlayFileSystem::Changes() {
  // Paths wait on a list rather than on the stack, however deep the tree.
  std::vector<OverlayChange> changes;
  std::vector<Comparison> pending;
  int error = 0;
  pending.push_back(
      {"/", lower_->Stat("/", FollowLinks::kNo, &error), root_.get()});
  while (!pending.empty()) {
    const Comparison next = std::move(pending.back());
    pending.pop_back();
    Compare(next, &pending, &changes);
  }
  SortByPath(&changes);
  return changes;
}

void OverlayFileSystem::Compare(const Comparison& at,
                                std::vector<Comparison>* pending,
                                std::vector<OverlayChange>* changes) {
  using Kind = OverlayChange::Kind;
  const std::string& path = at.path;
  const FileInfo& lower = at.lower;
  Node* upper = at.upper;
  const bool lower_directory = lower.type == FileType::kDirectory;
  const bool upper_directory =
      upper != nullptr && upper->type == FileType::kDirectory;
  const auto compare_below = [&](const std::string& name, bool in_lower,
                                 Node* in_upper) {
    std::string child = Join(path, name);
    int error = 0;
    const FileInfo lower_child =
        in_lower ? lower_->Stat(child, FollowLinks::kNo, &error) : FileInfo();
    Node* upper_child = nullptr;
    if (in_upper != nullptr) {
      Find(in_upper, name, &upper_child);
    }
    pending->push_back({std::move(child), lower_child, upper_child});
  };
  const auto compare_modes = [&] {
    if (lower.mode != upper->mode) {
      changes->push_back({path, Kind::kModeChanged, lower.type, "", "",
                          lower.mode, upper->mode});
    }
  };

  if (lower_directory && upper_directory) {
    compare_modes();
    // In the lower directory at its own place, only what the marks name
    // can differ.
    if (upper->lower_path == path) {
      for (const std::string& name : upper->changed) {
        compare_below(name, true, upper);
      }
      return;
    }
    std::vector<DirectoryEntry> entries;
    lower_->ReadDirectory(WithSlash(path), &entries);
    List(upper, &entries);
    std::set<std::string> names;
    for (DirectoryEntry& entry : entries) {
      names.insert(std::move(entry.name));
    }
    for (const std::string& name : names) {
      compare_below(name, true, upper);
    }
    return;
  }
  if (lower.exists() && upper != nullptr && lower.type == upper->type) {
    if (lower.type == FileType::kLink) {
      // A link that points elsewhere now is another link.
      std::string before;
      std::string after;
      int error = 0;
      lower_->ReadLink(path, &before, &error);
      LinkTarget(upper, &after);
      if (before != after) {
        changes->push_back(
            {path, Kind::kFileRemoved, lower.type, before, "", 0, 0});
        changes->push_back(
            {path, Kind::kFileCreated, lower.type, "", after, 0, 0});
      }
      return;
    }
    if (upper->lower_path != path || upper->content != nullptr) {
      std::string before =
          lower.type == FileType::kRegular ? LowerContent(path) : "";
      std::string after = ContentOf(upper);
      if (before != after) {
        changes->push_back({path, Kind::kFileModified, lower.type,
                            std::move(before), std::move(after), 0, 0});
      }
    }
    compare_modes();
    return;
  }
  if (lower_directory) {
    changes->push_back({path, Kind::kDirectoryRemoved, FileType::kDirectory, "",
                        "", lower.mode, 0});
    std::vector<DirectoryEntry> entries;
    lower_->ReadDirectory(WithSlash(path), &entries);
    for (const DirectoryEntry& entry : entries) {
      compare_below(entry.name, true, nullptr);
    }
  } else if (lower.exists()) {
    std::string before;
    int error = 0;
    if (lower.type == FileType::kRegular) {
      before = LowerContent(path);
    } else if (lower.type == FileType::kLink) {
      lower_->ReadLink(path, &before, &error);
    }
    changes->push_back(
        {path, Kind::kFileRemoved, lower.type, std::move(before), "", 0, 0});
  }
  if (upper_directory) {
    changes->push_back({path, Kind::kDirectoryCreated, FileType::kDirectory, "",
                        "", 0, upper->mode});
    std::vector<DirectoryEntry> entries;
    List(upper, &entries);
    for (const DirectoryEntry& entry : entries) {
      compare_below(entry.name, false, upper);
    }
  } else if (upper != nullptr) {
    std::string after;
    if (upper->type == FileType::kLink) {
      LinkTarget(upper, &after);
    } else {
      after = ContentOf(upper);
    }
    changes->push_back(
        {path, Kind::kFileCreated, upper->type, "", std::move(after), 0, 0});
  }
}

std::string OverlayFileSystem::LowerContent(const std::string& path) {
  int error = 0;
  const std::unique_ptr<OpenedFile> opened = lower_->Open(path, &error);
  return opened != nullptr ? std::string(opened->bytes().get(), opened->size())
                           : std::string();
}
