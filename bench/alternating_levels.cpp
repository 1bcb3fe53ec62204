// Normal levels that move from file to file at every level, against the
// same levels ordered by file: qrlconsole applies both packages to fresh
// copies of one generated tree, the results are checked against each other
// and against the expected tree, and the median times and their ratio are
// printed. Run by hand, never as a test:
//
//   build/bench/alternating_levels [--files N,N,...] [--levels L] [--runs R]
//                                  [--dir DIR] [--qrlconsole PATH]
//                                  [--write-only]
//
// Each of the N files has L/N lines, and each level changes one of them;
// the alternating package changes line 1 of every file, then line 2 of
// every file, and so on. DIR defaults to /dev/shm (a memory-backed disk)
// when it exists. --write-only writes the tree and both packages of each
// number of files into DIR/<N>/ and stops there, for profiling by hand.
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

std::string FileName(int file) { return "f" + std::to_string(file) + ".txt"; }

std::string OldLine(int file, int line) {
  return "    value" + std::to_string(line) + "_" + std::to_string(file) +
         " := calc(" + std::to_string(line * 7 % 1000) + ", x);";
}

std::string NewLine(int file, int line) {
  return "    value" + std::to_string(line) + "_" + std::to_string(file) +
         " := better(" + std::to_string(line * 7 % 1000) + ", x);";
}

LevelSpec ChangeLevel(int number, int file, int line) {
  LevelSpec level;
  level.number = std::to_string(number);
  level.presentation = FileName(file) + " line " + std::to_string(line);
  level.severity = "3";
  level.entries = {
      {"/", "{ROOT}" + FileName(file), "0", {OldLine(file, line)}, ""}};
  level.code = {"0", NewLine(file, line)};
  return level;
}

struct Generated {
  Tree before;
  Tree after;
  std::vector<LevelSpec> ordered;
  std::vector<LevelSpec> alternating;
};

Generated Generate(int files, int levels) {
  Generated set;
  const int lines = levels / files;
  for (int f = 0; f < files; ++f) {
    std::string before;
    std::string after;
    for (int l = 0; l < lines; ++l) {
      before += OldLine(f, l) + "\n";
      after += NewLine(f, l) + "\n";
    }
    set.before[FileName(f)] = std::move(before);
    set.after[FileName(f)] = std::move(after);
  }
  for (int f = 0; f < files; ++f) {
    for (int l = 0; l < lines; ++l) {
      set.ordered.push_back(
          ChangeLevel(static_cast<int>(set.ordered.size()) + 1, f, l));
    }
  }
  for (int l = 0; l < lines; ++l) {
    for (int f = 0; f < files; ++f) {
      set.alternating.push_back(
          ChangeLevel(static_cast<int>(set.alternating.size()) + 1, f, l));
    }
  }
  return set;
}

// The median times of `runs` applications of `package` to fresh copies of
// `set.before`, each checked against `set.after`.
Timing Measure(const std::string& qrlconsole, const std::string& dir,
               const std::string& package, const Generated& set, int runs) {
  const std::string tree = dir + "/tree";
  std::vector<double> wall;
  std::vector<double> cpu;
  for (int r = 0; r < runs; ++r) {
    WriteTree(tree, set.before);
    const Timing t =
        Run({qrlconsole, package, "apply", "MACRO{ROOT}=" + tree + "/"});
    wall.push_back(t.seconds);
    cpu.push_back(t.cpu_seconds);
    if (!SameTree(tree, set.after)) {
      std::fprintf(stderr, "%s left another tree\n", package.c_str());
      std::exit(1);
    }
  }
  return {Median(wall), Median(cpu)};
}

std::vector<int> NumberList(const std::string& text) {
  std::vector<int> numbers;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    numbers.push_back(
        std::max(1, std::atoi(text.substr(start, comma - start).c_str())));
    start = comma + 1;
  }
  return numbers;
}

}  // namespace

int main(int argc, char** argv) {
  std::string qrlconsole = QRLCONSOLE_BIN;
  std::vector<int> file_counts = {2, 16, 64, 100};
  int levels = 100000;
  int runs = 3;
  bool write_only = false;
  std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--files" && i + 1 < argc) {
      file_counts = NumberList(argv[++i]);
    } else if (arg == "--levels" && i + 1 < argc) {
      levels = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--dir" && i + 1 < argc) {
      base = argv[++i];
    } else if (arg == "--qrlconsole" && i + 1 < argc) {
      qrlconsole = argv[++i];
    } else if (arg == "--write-only") {
      write_only = true;
    } else {
      std::fprintf(stderr,
                   "usage: alternating_levels [--files N,N,...] [--levels L] "
                   "[--runs R] [--dir DIR] [--qrlconsole PATH] "
                   "[--write-only]\n");
      return 2;
    }
  }
  const std::string dir =
      write_only ? base
                 : base + "/qrl-alternating-" + std::to_string(::getpid());
  fs::create_directories(dir);
  if (!write_only) {
    std::printf("%d Normal levels, %d runs each, medians, in %s\n", levels,
                runs, base.c_str());
    std::printf("%6s %10s %10s %6s %10s %10s %6s\n", "files", "ordered s",
                "altern. s", "ratio", "ord. cpu", "alt. cpu", "ratio");
  }
  for (const int files : file_counts) {
    const Generated set = Generate(files, levels);
    const std::string files_dir =
        write_only ? dir + "/" + std::to_string(files) : dir;
    const std::string ordered = files_dir + "/ordered.qrl";
    const std::string alternating = files_dir + "/alternating.qrl";
    fs::create_directories(files_dir);
    StringToFile(ordered, PackageData(set.ordered));
    StringToFile(alternating, PackageData(set.alternating));
    if (write_only) {
      WriteTree(files_dir + "/tree", set.before);
      std::printf("%d files: %s/tree, ordered.qrl, alternating.qrl\n", files,
                  files_dir.c_str());
      continue;
    }
    const Timing o = Measure(qrlconsole, dir, ordered, set, runs);
    const Timing a = Measure(qrlconsole, dir, alternating, set, runs);
    std::printf("%6d %10.3f %10.3f %5.2fx %10.3f %10.3f %5.2fx\n", files,
                o.seconds, a.seconds, a.seconds / o.seconds, o.cpu_seconds,
                a.cpu_seconds, a.cpu_seconds / o.cpu_seconds);
    std::fflush(stdout);
  }
  if (!write_only) {
    fs::remove_all(dir);
  }
  return 0;
}
