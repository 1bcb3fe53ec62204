#include "pack/author/from_trees.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>

#include "dtl/dtl.hpp"
#include "pack/author/change_package.h"
#include "services/file_services.h"

namespace {

constexpr size_t kContext = 3;

struct Entry {
  bool directory = false;
  bool executable = false;
};

// Every entry below `root` by its relative path. Links and special files
// are errors: a package carries files and directories only.
bool Walk(const std::string& root, const std::string& relative,
          std::map<std::string, Entry>* entries,
          std::vector<std::string>* errors) {
  const std::string directory = relative.empty() ? root : root + relative;
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) {
    errors->push_back(directory + ": cannot read the directory");
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  bool ok = true;
  for (const std::string& name : names) {
    const std::string path = relative.empty() ? name : relative + "/" + name;
    struct stat st;
    if (::lstat((root + path).c_str(), &st) != 0) {
      errors->push_back(root + path + ": cannot be read");
      ok = false;
    } else if (S_ISDIR(st.st_mode)) {
      (*entries)[path] = Entry{true, false};
      ok = Walk(root, path, entries, errors) && ok;
    } else if (S_ISREG(st.st_mode)) {
      (*entries)[path] = Entry{false, (st.st_mode & 0111) != 0};
    } else {
      errors->push_back(root + path +
                        (S_ISLNK(st.st_mode) ? ": a symbolic link"
                                             : ": a device, pipe or socket") +
                        "; a package carries only files and directories");
      ok = false;
    }
  }
  return ok;
}

bool LooksBinary(std::string_view content) {
  return content.find('\0') != std::string_view::npos;
}

bool PlainText(std::string_view content) {
  return !LooksBinary(content) &&
         content.find('\r') == std::string_view::npos &&
         (content.empty() || content.back() == '\n');
}

// The heading "diff -p" would show: the nearest line above the hunk that
// starts with a letter, "_" or "$".
std::string Heading(const TextLines& text, size_t start) {
  for (size_t i = start; i > 0; --i) {
    const std::string_view line = text.lines[i - 1];
    if (!line.empty() && (std::isalpha(static_cast<unsigned char>(line[0])) ||
                          line[0] == '_' || line[0] == '$')) {
      return std::string(line.substr(0, 40));
    }
  }
  return std::string();
}

std::string Range(size_t start, size_t count) {
  // As a unified diff writes it: 1-based, the line before for no lines.
  return std::to_string(count == 0 ? start : start + 1) + "," +
         std::to_string(count);
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::vector<LineHunk> LineHunks(const TextLines& before,
                                const TextLines& after) {
  // The runs of changed lines, from the shortest edit script.
  struct Run {
    size_t old_start, old_end, new_start, new_end;
  };
  std::vector<Run> runs;
  dtl::Diff<std::string_view, std::vector<std::string_view>> diff(before.lines,
                                                                  after.lines);
  diff.compose();
  size_t i = 0;
  size_t j = 0;
  bool in_run = false;
  for (const auto& [element, info] : diff.getSes().getSequence()) {
    if (info.type == dtl::SES_COMMON) {
      in_run = false;
      ++i;
      ++j;
      continue;
    }
    if (!in_run) {
      runs.push_back(Run{i, i, j, j});
      in_run = true;
    }
    if (info.type == dtl::SES_DELETE) {
      runs.back().old_end = ++i;
    } else {
      runs.back().new_end = ++j;
    }
  }
  // Runs closer than twice the context share a hunk, as in "diff -u".
  std::vector<LineHunk> hunks;
  for (size_t r = 0; r < runs.size();) {
    size_t last = r;
    while (last + 1 < runs.size() &&
           runs[last + 1].old_start - runs[last].old_end <= 2 * kContext) {
      ++last;
    }
    const size_t lead = std::min(kContext, runs[r].old_start);
    const size_t trail =
        std::min(kContext, before.lines.size() - runs[last].old_end);
    LineHunk hunk;
    hunk.old_start = runs[r].old_start - lead;
    hunk.old_count = runs[last].old_end + trail - hunk.old_start;
    hunk.new_start = runs[r].new_start - lead;
    hunk.new_count = runs[last].new_end + trail - hunk.new_start;
    hunk.number = static_cast<int>(hunks.size()) + 1;
    hunk.heading = Heading(before, hunk.old_start);
    hunk.name = "hunk #" + std::to_string(hunk.number) + " (@@ -" +
                Range(hunk.old_start, hunk.old_count) + " +" +
                Range(hunk.new_start, hunk.new_count) + " @@)";
    hunks.push_back(std::move(hunk));
    r = last + 1;
  }
  return hunks;
}

bool ChangeFromTrees(const std::string& old_root, const std::string& new_root,
                     ChangeSet* changes, std::vector<std::string>* errors) {
  *changes = ChangeSet();
  const std::string old_base =
      old_root.ends_with('/') ? old_root : old_root + "/";
  const std::string new_base =
      new_root.ends_with('/') ? new_root : new_root + "/";
  std::map<std::string, Entry> old_entries;
  std::map<std::string, Entry> new_entries;
  const size_t errors_before = errors->size();
  Walk(old_base, "", &old_entries, errors);
  Walk(new_base, "", &new_entries, errors);
  if (errors->size() != errors_before) {
    return false;
  }
  std::set<std::string> paths;
  for (const auto& [path, entry] : old_entries) {
    paths.insert(path);
  }
  for (const auto& [path, entry] : new_entries) {
    paths.insert(path);
  }
  std::set<std::string> touched;  // files whose directories count
  for (const std::string& path : paths) {
    const auto old_entry = old_entries.find(path);
    const auto new_entry = new_entries.find(path);
    const bool in_old = old_entry != old_entries.end();
    const bool in_new = new_entry != new_entries.end();
    if (in_old && in_new &&
        old_entry->second.directory != new_entry->second.directory) {
      errors->push_back(path +
                        ": a file in one tree and a directory in the "
                        "other; a package cannot turn one into the "
                        "other");
      continue;
    }
    if ((in_old && old_entry->second.directory) ||
        (in_new && new_entry->second.directory)) {
      if (!in_old) {
        changes->created_directories.push_back(path);
        changes->after.directories.insert(path);
      } else if (!in_new) {
        changes->removed_directories.push_back(path);
        changes->before.directories.insert(path);
      }
      continue;
    }
    FileChange change;
    change.path = path;
    std::string content;
    if (in_old) {
      if (!FileToString(old_base + path, &content)) {
        errors->push_back(old_base + path + ": cannot be read");
        continue;
      }
      change.before = content;
    }
    if (in_new) {
      if (!FileToString(new_base + path, &content)) {
        errors->push_back(new_base + path + ": cannot be read");
        continue;
      }
      change.after = content;
    }
    if (in_old && in_new) {
      if (old_entry->second.executable != new_entry->second.executable) {
        errors->push_back(path +
                          ": the execute bit differs between the trees; a "
                          "package cannot change a file's mode");
        continue;
      }
      if (*change.before == *change.after) {
        continue;
      }
      if (PlainText(*change.before) && PlainText(*change.after)) {
        change.hunks = LineHunks(SplitTextLines(*change.before),
                                 SplitTextLines(*change.after));
      } else {
        change.whole_file_reason =
            LooksBinary(*change.before) || LooksBinary(*change.after)
                ? "binary"
                : "CR line ends or no line end at the end";
      }
    }
    change.make_executable = !in_old && new_entry->second.executable;
    touched.insert(path);
    if (in_old) {
      changes->before.files[path] = *change.before;
      if (old_entry->second.executable) {
        changes->before.executables.insert(path);
      }
    }
    if (in_new) {
      changes->after.files[path] = *change.after;
      if (new_entry->second.executable) {
        changes->after.executables.insert(path);
      }
    }
    changes->files.push_back(std::move(change));
  }
  // The directories above the files that change, where they stay.
  for (const std::string& path : touched) {
    for (const std::string& directory : ParentDirectories(path)) {
      if (old_entries.contains(directory)) {
        changes->before.directories.insert(directory);
      }
      if (new_entries.contains(directory)) {
        changes->after.directories.insert(directory);
      }
    }
  }
  for (const std::string& directory : changes->removed_directories) {
    const std::string parent = DirectoryOf(directory);
    if (!parent.empty() && new_entries.contains(parent)) {
      changes->after.directories.insert(parent);
      changes->before.directories.insert(parent);
    }
  }
  // Removed directories go deepest first.
  std::sort(changes->removed_directories.begin(),
            changes->removed_directories.end(),
            [](const std::string& a, const std::string& b) { return a > b; });
  return errors->size() == errors_before;
}

bool PackageFromTrees(const std::string& old_root, const std::string& new_root,
                      MarkerStyle markers, std::string* package,
                      std::vector<std::string>* errors,
                      std::vector<std::string>* notes) {
  ChangeSet changes;
  if (!ChangeFromTrees(old_root, new_root, &changes, errors)) {
    return false;
  }
  std::string err;
  if (!MakeChangePackage(changes, markers, package, &err, notes)) {
    errors->push_back(err);
    return false;
  }
  return true;
}
