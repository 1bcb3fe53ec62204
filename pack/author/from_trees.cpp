#include "pack/author/from_trees.h"

#include <algorithm>
#include <map>
#include <set>

#include "pack/author/change_package.h"
#include "pack/author/edit_script.h"
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
  std::vector<DirectoryEntry> listed;
  if (ReadDirectory(relative.empty() ? root : directory + "/", &listed) !=
      DirectoryRead::kOk) {
    errors->push_back(directory + ": cannot read the directory");
    return false;
  }
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : listed) {
    names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  bool ok = true;
  for (const std::string& name : names) {
    const std::string path = relative.empty() ? name : relative + "/" + name;
    const FileInfo info = PathInfo(root + path, FollowLinks::kNo);
    if (!info.exists()) {
      errors->push_back(root + path + ": cannot be read");
      ok = false;
    } else if (info.type == FileType::kDirectory) {
      (*entries)[path] = Entry{true, false};
      ok = Walk(root, path, entries, errors) && ok;
    } else if (info.type == FileType::kRegular) {
      (*entries)[path] = Entry{false, (info.mode & 0111) != 0};
    } else {
      errors->push_back(root + path +
                        (info.type == FileType::kLink
                             ? ": a symbolic link"
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

}  // namespace

std::vector<LineHunk> LineHunks(const TextLines& before,
                                const TextLines& after) {
  // Changes with up to twice the context between them share a hunk, as in
  // "diff -u".
  std::vector<LineHunk> hunks;
  for (const HunkSteps& steps : GroupHunks(
           EditScript(before.lines, after.lines), kContext, 2 * kContext)) {
    LineHunk hunk;
    hunk.old_start = steps.old_start;
    hunk.old_count = steps.old_count;
    hunk.new_start = steps.new_start;
    hunk.new_count = steps.new_count;
    hunk.number = static_cast<int>(hunks.size()) + 1;
    hunk.heading = Heading(before, hunk.old_start);
    hunk.name = "hunk #" + std::to_string(hunk.number) + " (@@ -" +
                HunkRange(hunk.old_start, hunk.old_count) + " +" +
                HunkRange(hunk.new_start, hunk.new_count) + " @@)";
    hunks.push_back(std::move(hunk));
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
