// Applies and reverses generated change sets, on fresh copies of the same
// tree: as a package with qrlconsole, as a unified diff with GNU patch
// (-p1, and -R for reverse) and with `git apply`. Checks that each run
// leaves the expected tree and prints the median times, their ratios to
// patch, the I/O floor (what reading, writing beside and renaming the
// changed files costs in one process, without any search) and the peak
// memory of qrlconsole. Run by hand, never as a test:
//
//   build/bench/patch_compare [--runs N] [--dir DIR] [--scaling] [--only S]
//                             [--qrlconsole PATH] [--qrlpack PATH]
//                             [--write-only]
//
// --write-only writes the tree, the package and the diff of each shape into
// DIR/<shape>/ and stops there, for profiling by hand.
//
// DIR defaults to /dev/shm (a memory-backed disk) when it exists. The
// shapes: many small files with one change each; one large file with many
// changes; middle-sized files with a few changes each, plus new and
// deleted files; many large files of which a few change. Then a tree of
// 100,000 new files, whose package qrlpack makes with from-trees: from-trees,
// plan and apply are timed (time and peak memory) against patch and
// git apply. --scaling times the large file at several sizes and numbers of
// changes, and the new-files tree at several sizes, instead.
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
std::string qrlpack = QRLPACK_BIN;

struct Shape {
  std::string name;
  int files;
  int lines;
  int changes_per_file;
  int new_files;
  int deleted_files;
  int changed_files = -1;  // the first files change; -1: all of them
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
    if (shape.changed_files >= 0 && f >= shape.changed_files) {
      set.after[name] = set.before[name];
      continue;
    }
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
  Timing git;
  double floor_seconds;
  long qrl_rss_kb;
};

// Runs `command` in `tree` freshly written from `from`, checks that it
// leaves `to`, and adds its times.
void TimeOne(const std::string& who, const std::vector<std::string>& command,
             const std::string& tree, const Tree& from, const Tree& to,
             std::vector<double>* wall, std::vector<double>* cpu) {
  WriteTree(tree, from);
  const Timing t = Run(command);
  wall->push_back(t.seconds);
  cpu->push_back(t.cpu_seconds);
  if (!SameTree(tree, to)) {
    std::fprintf(stderr, "%s left another tree\n", who.c_str());
    std::exit(1);
  }
}

// Times `runs` runs of each tool from `from`, checking each result.
Measured Measure(const std::string& dir, const Tree& from, const Tree& to,
                 const std::string& package, const std::string& diff,
                 bool reverse, int runs) {
  const std::string tree = dir + "/tree";
  std::vector<double> wall[3];
  std::vector<double> cpu[3];
  std::vector<double> floor;
  const std::vector<std::string> qrl_command = {qrlconsole, package,
                                                reverse ? "reverse" : "apply",
                                                "MACRO{ROOT}=" + tree + "/"};
  std::vector<std::string> patch_command = {"patch", "-s", "-E", "-p1",
                                            "-d",    tree, "-i", diff};
  std::vector<std::string> git_command = {"git", "-C", tree, "apply", diff};
  if (reverse) {
    patch_command.push_back("-R");
    git_command.push_back("-R");
  }
  WriteTree(tree, from);
  const long rss = PeakMemoryKb(qrl_command, dir);
  for (int r = 0; r < runs; ++r) {
    TimeOne("qrlconsole", qrl_command, tree, from, to, &wall[0], &cpu[0]);
    TimeOne("patch", patch_command, tree, from, to, &wall[1], &cpu[1]);
    TimeOne("git apply", git_command, tree, from, to, &wall[2], &cpu[2]);
    WriteTree(tree, from);
    floor.push_back(IoFloorSeconds(tree, from, to));
  }
  return {{Median(wall[0]), Median(cpu[0])},
          {Median(wall[1]), Median(cpu[1])},
          {Median(wall[2]), Median(cpu[2])},
          Median(floor),
          rss};
}

void Prepare(const std::string& dir, const ChangeSet& set, std::string* package,
             std::string* diff) {
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

void PrintShapeHeader() {
  std::printf("%-34s %-8s %8s %8s %6s %6s %6s %9s %9s %6s %8s %7s\n", "shape",
              "action", "patch s", "qrl s", "ratio", "git", "floor",
              "patch cpu", "qrl cpu", "ratio", "tree MB", "qrl MB");
}

void PrintShapeRow(const std::string& name, bool reverse, const Measured& m,
                   const Tree& tree) {
  const double patch = m.patch.seconds;
  std::printf(
      "%-34s %-8s %8.3f %8.3f %5.2fx %5.2fx %5.2fx %9.3f %9.3f %5.2fx %8.1f "
      "%7.1f\n",
      name.c_str(), reverse ? "reverse" : "apply", patch, m.qrl.seconds,
      m.qrl.seconds / patch, m.git.seconds / patch, m.floor_seconds / patch,
      m.patch.cpu_seconds, m.qrl.cpu_seconds,
      m.qrl.cpu_seconds / m.patch.cpu_seconds,
      static_cast<double>(TreeBytes(tree)) / 1e6,
      static_cast<double>(m.qrl_rss_kb) / 1e3);
  std::fflush(stdout);
}

// A tree of `files` new files, 100 to a directory, each of `lines` lines,
// made into a package by qrlpack from-trees and planned; then applied by
// qrlconsole, patch and git apply.
void NewFiles(const std::string& dir, int files, int lines, int runs) {
  Tree after;
  std::string diff;
  for (int f = 0; f < files; ++f) {
    const std::string name =
        "d" + std::to_string(f / 100) + "/n" + std::to_string(f) + ".c";
    const std::vector<std::string> text = FileLines(f, lines);
    after[name] = Joined(text);
    diff += "--- /dev/null\n+++ b/" + name + "\n@@ -0,0 +1," +
            std::to_string(lines) + " @@\n";
    for (const std::string& line : text) {
      diff += "+" + line + "\n";
    }
  }
  const std::string old_tree = dir + "/old";
  const std::string new_tree = dir + "/new";
  const std::string tree = dir + "/tree";
  const std::string package = dir + "/new-files.qrl";
  const std::string diff_file = dir + "/new-files.diff";
  WriteTree(old_tree, {});
  WriteTree(new_tree, after);
  StringToFile(diff_file, diff);
  const std::vector<std::string> from_trees = {qrlpack,  "from-trees", old_tree,
                                               new_tree, "-o",         package};
  const std::vector<std::string> plan = {qrlpack, "plan", package, "apply",
                                         "MACRO{ROOT}=" + tree + "/"};
  // The from-trees package is applied to a tree like OLD.
  const Tree empty;
  struct Step {
    std::string name;
    std::vector<std::string> command;
    std::vector<double> wall;
    long rss_kb = 0;
  };
  std::vector<Step> steps = {
      {"qrlpack from-trees", from_trees, {}},
      {"qrlpack plan", plan, {}},
      {"qrlconsole apply",
       {qrlconsole, package, "apply", "MACRO{ROOT}=" + tree + "/"},
       {}},
      {"patch", {"patch", "-s", "-E", "-p1", "-d", tree, "-i", diff_file}, {}},
      {"git apply", {"git", "-C", tree, "apply", diff_file}, {}},
  };
  std::vector<double> floor;
  for (int r = 0; r < runs; ++r) {
    for (Step& step : steps) {
      std::vector<double> cpu;
      const bool changes_tree = step.command[0] != qrlpack;
      WriteTree(tree, {});
      if (r == 0) {
        step.rss_kb = PeakMemoryKb(step.command, dir);
        WriteTree(tree, {});
      }
      TimeOne(step.name, step.command, tree, empty,
              changes_tree ? after : empty, &step.wall, &cpu);
    }
    WriteTree(tree, {});
    floor.push_back(IoFloorSeconds(tree, empty, after));
  }
  const double patch = Median(steps[3].wall);
  std::printf("\n%d new files x %d lines (%.1f MB), medians of %d\n", files,
              lines, static_cast<double>(TreeBytes(after)) / 1e6, runs);
  std::printf("%-20s %8s %7s %9s\n", "step", "s", "patch", "peak MB");
  for (const Step& step : steps) {
    std::printf("%-20s %8.3f %6.2fx %9.1f\n", step.name.c_str(),
                Median(step.wall), Median(step.wall) / patch,
                static_cast<double>(step.rss_kb) / 1e3);
  }
  std::printf("%-20s %8.3f %6.2fx\n", "I/O floor", Median(floor),
              Median(floor) / patch);
  std::fflush(stdout);
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
    } else if (arg == "--qrlpack" && i + 1 < argc) {
      qrlpack = argv[++i];
    } else if (arg == "--write-only") {
      write_only = true;
    } else if (arg == "--scaling") {
      scaling = true;
    } else {
      std::fprintf(stderr,
                   "usage: patch_compare [--runs N] [--dir DIR] [--scaling] "
                   "[--only NAME] [--qrlconsole PATH] [--qrlpack PATH] "
                   "[--write-only]\n");
      return 2;
    }
  }
  const std::string dir =
      write_only ? base
                 : base + "/qrl-patch-compare-" + std::to_string(getpid());
  fs::create_directories(dir);

  std::vector<Shape> shapes;
  std::vector<int> new_files;
  if (scaling) {
    for (int lines : {150000, 300000, 600000, 1200000}) {
      shapes.push_back(
          {"1 file x " + std::to_string(lines) + " lines, 500 changes", 1,
           lines, 500, 0, 0});
    }
    for (int changes : {250, 1000}) {
      shapes.push_back(
          {"1 file x 600000 lines, " + std::to_string(changes) + " changes", 1,
           600000, changes, 0, 0});
    }
    new_files = {25000, 50000, 100000};
  } else {
    shapes = {
        {"small", 3000, 300, 1, 0, 0},
        {"large", 1, 600000, 500, 0, 0},
        {"mixed", 500, 4000, 5, 20, 20},
        {"few-of-many", 5000, 2000, 5, 0, 0, 400},
    };
    new_files = {100000};
  }
  std::printf("%d runs each, medians, in %s; ratios to patch\n", runs,
              base.c_str());
  PrintShapeHeader();
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
      const Measured m = Measure(dir, reverse ? set.after : set.before,
                                 reverse ? set.before : set.after, package,
                                 diff, reverse, runs);
      PrintShapeRow(shape.name, reverse, m, set.before);
    }
  }
  if (!write_only && (only.empty() || only == "new-files")) {
    for (int files : new_files) {
      NewFiles(dir, files, 10, runs);
    }
  }
  if (!write_only) {
    fs::remove_all(dir);
  }
  return 0;
}
