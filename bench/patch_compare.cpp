// Applies and reverses generated change sets twice over, on fresh copies of
// the same tree: as a package with qrlconsole and as a unified diff with
// GNU patch (-p1, and -R for reverse). Checks that each run leaves the
// expected tree and prints the median times, their ratio and the peak
// memory of qrlconsole. Run by hand, never as a test:
//
//   build/bench/patch_compare [--runs N] [--dir DIR] [--scaling] [--only S]
//                             [--qrlconsole PATH] [--write-only]
//
// --write-only writes the tree, the package and the diff of each shape into
// DIR/<shape>/ and stops there, for profiling by hand.
//
// DIR defaults to /dev/shm (a memory-backed disk) when it exists. The
// shapes: many small files with one change each; one large file with many
// changes; middle-sized files with a few changes each, plus new and
// deleted files. --scaling times the large file at several sizes and
// numbers of changes instead.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/run_timing.h"
#include "services/file_services.h"
#include "tests/package_builder.h"

namespace {

namespace fs = std::filesystem;

std::string qrlconsole = QRLCONSOLE_BIN;

struct Shape {
  std::string name;
  int files;
  int lines;
  int changes_per_file;
  int new_files;
  int deleted_files;
};

struct ChangeSet {
  Tree before;
  Tree after;
  std::string diff;
  std::vector<LevelSpec> levels;
};

// About 33 bytes, as the source lines of the trees that users change.
std::string Line(int file, int line) {
  return "    value" + std::to_string(line) + "_" + std::to_string(file) +
         " := calc(" + std::to_string(line * 7 % 1000) + ", x);";
}

std::string FileName(const std::string& stem, int file) {
  return "src/" + stem + std::to_string(file) + ".c";
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

std::vector<std::string> FileLines(int file, int lines) {
  std::vector<std::string> text;
  text.reserve(static_cast<size_t>(lines));
  for (int l = 0; l < lines; ++l) {
    text.push_back(Line(file, l));
  }
  return text;
}

std::string Root(const std::string& path) { return "{ROOT}" + path; }

// Each change replaces two lines by three; its hunk carries three lines of
// context on each side, and so does its level's obsolete and new code.
ChangeSet Generate(const Shape& shape) {
  ChangeSet set;
  int number = 0;
  const auto next = [&number] { return std::to_string(++number); };
  for (int f = 0; f < shape.files; ++f) {
    const std::string name = FileName("f", f);
    std::vector<std::string> lines = FileLines(f, shape.lines);
    set.before[name] = Joined(lines);
    set.diff += "--- a/" + name + "\n+++ b/" + name + "\n";
    const int spacing = shape.lines / (shape.changes_per_file + 1);
    int shift = 0;
    std::vector<std::string> after;
    int copied = 0;
    for (int c = 0; c < shape.changes_per_file; ++c) {
      const int at = spacing * (c + 1);
      std::vector<std::string> old_side(lines.begin() + at - 3,
                                        lines.begin() + at + 5);
      std::vector<std::string> new_side(lines.begin() + at - 3,
                                        lines.begin() + at);
      for (int k = 0; k < 3; ++k) {
        new_side.push_back("    n" + std::to_string(c) + "_" +
                           std::to_string(f) + "_" + std::to_string(k) +
                           " := better(" + std::to_string(k) + ");");
      }
      new_side.insert(new_side.end(), lines.begin() + at + 2,
                      lines.begin() + at + 5);
      set.diff += "@@ -" + std::to_string(at - 2) + ",8 +" +
                  std::to_string(at - 2 + shift) + ",9 @@\n";
      for (int k = 0; k < 3; ++k) {
        set.diff += " " + old_side[static_cast<size_t>(k)] + "\n";
      }
      set.diff += "-" + old_side[3] + "\n-" + old_side[4] + "\n";
      for (int k = 3; k < 6; ++k) {
        set.diff += "+" + new_side[static_cast<size_t>(k)] + "\n";
      }
      for (int k = 5; k < 8; ++k) {
        set.diff += " " + old_side[static_cast<size_t>(k)] + "\n";
      }
      shift += 1;
      after.insert(after.end(), lines.begin() + copied, lines.begin() + at);
      after.insert(after.end(), new_side.begin() + 3, new_side.begin() + 6);
      copied = at + 2;

      LevelSpec level;
      level.number = next();
      level.presentation = name + " change " + std::to_string(c);
      level.severity = "3";
      level.entries = {{"/", Root(name), "0", old_side, ""}};
      level.code = {"0"};
      level.code.insert(level.code.end(), new_side.begin(), new_side.end());
      set.levels.push_back(level);
    }
    after.insert(after.end(), lines.begin() + copied, lines.end());
    set.after[name] = Joined(after);
  }
  for (int f = 0; f < shape.new_files; ++f) {
    const std::string name = FileName("new", f);
    const std::vector<std::string> lines = FileLines(100000 + f, shape.lines);
    set.after[name] = Joined(lines);
    set.diff += "--- /dev/null\n+++ b/" + name + "\n@@ -0,0 +1," +
                std::to_string(shape.lines) + " @@\n";
    for (const std::string& line : lines) {
      set.diff += "+" + line + "\n";
    }
    // Created empty (and removed again by reverse), then written.
    LevelSpec create = CreationRemovalLevel({"+/" + Root(name)});
    create.number = next();
    set.levels.push_back(create);
    LevelSpec write;
    write.number = next();
    write.kind = "3";
    write.requirements = "ACTION_APPLY";
    write.entries = {{"/", Root(name), "0", lines, ""}};
    set.levels.push_back(write);
  }
  for (int f = 0; f < shape.deleted_files; ++f) {
    const std::string name = FileName("del", f);
    const std::vector<std::string> lines = FileLines(200000 + f, shape.lines);
    set.before[name] = Joined(lines);
    set.diff += "--- a/" + name + "\n+++ /dev/null\n@@ -1," +
                std::to_string(shape.lines) + " +0,0 @@\n";
    for (const std::string& line : lines) {
      set.diff += "-" + line + "\n";
    }
    // Reverse runs these last to first: the content goes into a macro, the
    // removal is undone (an empty file), and the content is written there.
    // The macro's name is put together in the buffer, so that expanding
    // the program does not replace it by its value.
    LevelSpec write_back;
    write_back.number = next();
    write_back.kind = "2";
    write_back.requirements = "ACTION_REVERSE";
    write_back.code = {"0",
                       "BUFFERSET {QRL",
                       "BUFFEREPILOGUE DELETED}",
                       "MACROMOVEFIRST",
                       "MACROFIRSTSETNAME " + Root(name),
                       "MACROFIRSTEXPORT",
                       "MACROFIRSTDELETE"};
    set.levels.push_back(write_back);
    LevelSpec remove = CreationRemovalLevel({"-/" + Root(name)});
    remove.number = next();
    set.levels.push_back(remove);
    LevelSpec keep;
    keep.number = next();
    keep.kind = "2";
    keep.requirements = "ACTION_REVERSE";
    keep.code = {"0", "MACROSETTEXTLINES {QRLDELETED}"};
    keep.code.insert(keep.code.end(), lines.begin(), lines.end());
    set.levels.push_back(keep);
  }
  for (const auto& [name, content] : set.before) {
    if (set.after.count(name) == 0 && name.rfind("src/del", 0) != 0) {
      set.after[name] = content;
    }
  }
  return set;
}

struct Measured {
  Timing qrl;
  Timing patch;
  long qrl_rss_kb;
};

// Times `runs` runs of each tool from `from`, checking each result.
Measured Measure(const std::string& dir, const ChangeSet& set,
                 const std::string& package, const std::string& diff,
                 bool reverse, int runs) {
  const Tree& from = reverse ? set.after : set.before;
  const Tree& to = reverse ? set.before : set.after;
  const std::string tree = dir + "/tree";
  std::vector<double> qrl;
  std::vector<double> patch;
  std::vector<double> qrl_cpu;
  std::vector<double> patch_cpu;
  long rss = 0;
  const std::vector<std::string> command = {
      qrlconsole, package, reverse ? "reverse" : "apply",
      "MACRO{ROOT}=" + tree + "/"};
  WriteTree(tree, from);
  rss = PeakMemoryKb(command, dir);
  for (int r = 0; r < runs; ++r) {
    WriteTree(tree, from);
    const Timing q = Run(command);
    qrl.push_back(q.seconds);
    qrl_cpu.push_back(q.cpu_seconds);
    if (!SameTree(tree, to)) {
      std::fprintf(stderr, "qrlconsole left another tree\n");
      std::exit(1);
    }
    WriteTree(tree, from);
    std::vector<std::string> patch_command = {"patch", "-s", "-E", "-p1",
                                              "-d",    tree, "-i", diff};
    if (reverse) {
      patch_command.push_back("-R");
    }
    const Timing p = Run(patch_command);
    patch.push_back(p.seconds);
    patch_cpu.push_back(p.cpu_seconds);
    if (!SameTree(tree, to)) {
      std::fprintf(stderr, "patch left another tree\n");
      std::exit(1);
    }
  }
  return {{Median(qrl), Median(qrl_cpu)}, {Median(patch), Median(patch_cpu)},
          rss};
}

void Prepare(const std::string& dir, const ChangeSet& set,
             std::string* package, std::string* diff) {
  *package = dir + "/change.qrl";
  *diff = dir + "/change.diff";
  StringToFile(*package, PackageData(set.levels));
  StringToFile(*diff, set.diff);
}

uint64_t TreeBytes(const Tree& tree) {
  uint64_t bytes = 0;
  for (const auto& [name, content] : tree) {
    bytes += content.size();
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  bool scaling = false;
  bool write_only = false;
  std::string only;
  std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--dir" && i + 1 < argc) {
      base = argv[++i];
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--qrlconsole" && i + 1 < argc) {
      qrlconsole = argv[++i];
    } else if (arg == "--write-only") {
      write_only = true;
    } else if (arg == "--scaling") {
      scaling = true;
    } else {
      std::fprintf(stderr,
                   "usage: patch_compare [--runs N] [--dir DIR] [--scaling] "
                   "[--only NAME] [--qrlconsole PATH] [--write-only]\n");
      return 2;
    }
  }
  const std::string dir =
      write_only ? base : base + "/qrl-patch-compare-" + std::to_string(getpid());
  fs::create_directories(dir);

  std::vector<Shape> shapes;
  if (scaling) {
    for (int lines : {150000, 300000, 600000, 1200000}) {
      shapes.push_back({"1 file x " + std::to_string(lines) + " lines, 500 changes",
                        1, lines, 500, 0, 0});
    }
    for (int changes : {250, 1000}) {
      shapes.push_back({"1 file x 600000 lines, " + std::to_string(changes) +
                            " changes",
                        1, 600000, changes, 0, 0});
    }
  } else {
    shapes = {
        {"small", 3000, 300, 1, 0, 0},
        {"large", 1, 600000, 500, 0, 0},
        {"mixed", 500, 4000, 5, 20, 20},
    };
  }
  std::printf("%d runs each, medians, in %s\n", runs, base.c_str());
  std::printf("%-40s %-8s %8s %8s %6s %9s %9s %6s %8s %7s\n", "shape",
              "action", "patch s", "qrl s", "ratio", "patch cpu", "qrl cpu",
              "ratio", "tree MB", "qrl MB");
  for (const Shape& shape : shapes) {
    if (!only.empty() && shape.name != only) {
      continue;
    }
    const ChangeSet set = Generate(shape);
    std::string package;
    std::string diff;
    if (write_only) {
      const std::string shape_dir = dir + "/" + shape.name;
      fs::create_directories(shape_dir);
      Prepare(shape_dir, set, &package, &diff);
      WriteTree(shape_dir + "/tree", set.before);
      std::printf("%s: %s/tree, change.qrl, change.diff\n", shape.name.c_str(),
                  shape_dir.c_str());
      continue;
    }
    Prepare(dir, set, &package, &diff);
    for (bool reverse : {false, true}) {
      const Measured m = Measure(dir, set, package, diff, reverse, runs);
      std::printf(
          "%-40s %-8s %8.3f %8.3f %5.2fx %9.3f %9.3f %5.2fx %8.1f %7.1f\n",
          shape.name.c_str(), reverse ? "reverse" : "apply", m.patch.seconds,
          m.qrl.seconds, m.qrl.seconds / m.patch.seconds, m.patch.cpu_seconds,
          m.qrl.cpu_seconds, m.qrl.cpu_seconds / m.patch.cpu_seconds,
          static_cast<double>(TreeBytes(set.before)) / 1e6,
          static_cast<double>(m.qrl_rss_kb) / 1e3);
      std::fflush(stdout);
    }
  }
  if (!write_only) {
    fs::remove_all(dir);
  }
  return 0;
}
