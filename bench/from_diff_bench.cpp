// Making a package from a diff of 100,000 changed lines over 1,000 files
// (10 hunks per file, each removing 5 lines and adding 5), tree reading and
// the verification on a scratch copy included; and the same change made
// from the two trees. The files repeat their braces and blank lines, so
// some levels need more context than the diff gives.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pack/author/from_diff.h"
#include "pack/author/from_trees.h"
#include "services/file_services.h"
#include "services/temporary_names.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kLinesPerFile = 400;
constexpr int kHunksPerFile = 10;
constexpr int kRemoved = 5;  // and as many added: 10 changed lines a hunk
constexpr int kSpacing = kLinesPerFile / kHunksPerFile;
constexpr int kContext = 3;

std::string Line(int file, int line) {
  if (line % 10 == 9) {
    return "}";
  }
  if (line % 10 == 0) {
    return "";
  }
  return "  value_" + std::to_string(file) + "_" + std::to_string(line) +
         " = compute(" + std::to_string(line) + ");";
}

std::string NewLine(int file, int hunk, int k) {
  return "  patched_" + std::to_string(file) + "_" + std::to_string(hunk) +
         "_" + std::to_string(k) + " = better();";
}

std::string FileName(int file) {
  return "src/unit" + std::to_string(file) + ".c";
}

struct Workload {
  std::string base;  // removed with the trees when the program ends
  std::string old_root;
  std::string new_root;
  std::string diff;
  ~Workload() {
    std::error_code ec;
    if (!base.empty()) {
      std::filesystem::remove_all(base, ec);
    }
  }
};

Workload& TheWorkload() {
  static Workload workload = [] {
    Workload w;
    w.base = TemporaryDirectory() + "qrl-from-diff-bench";
    std::filesystem::remove_all(w.base);
    w.old_root = w.base + "/old/";
    w.new_root = w.base + "/new/";
    for (int f = 0; f < kFiles; ++f) {
      std::string before;
      std::string after;
      std::string hunks;
      for (int line = 0; line < kLinesPerFile; ++line) {
        before += Line(f, line) + "\n";
      }
      for (int h = 0; h < kHunksPerFile; ++h) {
        const int start = h * kSpacing + kSpacing / 2;  // first removed line
        const int shift = 0;  // as many lines added as removed
        hunks += "@@ -" + std::to_string(start - kContext + 1) + "," +
                 std::to_string(kRemoved + 2 * kContext) + " +" +
                 std::to_string(start - kContext + 1 + shift) + "," +
                 std::to_string(kRemoved + 2 * kContext) + " @@\n";
        for (int k = start - kContext; k < start; ++k) {
          hunks += " " + Line(f, k) + "\n";
        }
        for (int k = 0; k < kRemoved; ++k) {
          hunks += "-" + Line(f, start + k) + "\n";
        }
        for (int k = 0; k < kRemoved; ++k) {
          hunks += "+" + NewLine(f, h, k) + "\n";
        }
        for (int k = start + kRemoved; k < start + kRemoved + kContext; ++k) {
          hunks += " " + Line(f, k) + "\n";
        }
      }
      for (int line = 0; line < kLinesPerFile; ++line) {
        const int in_spacing = line % kSpacing - kSpacing / 2;
        after += in_spacing >= 0 && in_spacing < kRemoved
                     ? NewLine(f, line / kSpacing, in_spacing) + "\n"
                     : Line(f, line) + "\n";
      }
      const std::string name = FileName(f);
      MakeDirectoryPath(w.old_root + "src");
      MakeDirectoryPath(w.new_root + "src");
      StringToFile(w.old_root + name, before);
      StringToFile(w.new_root + name, after);
      w.diff += "--- a/" + name + "\n+++ b/" + name + "\n" + hunks;
    }
    return w;
  }();
  return workload;
}

void BM_FromDiff(benchmark::State& state) {
  Workload& w = TheWorkload();
  FromDiffOptions options;
  options.tree = w.old_root;
  for (auto _ : state) {
    std::string package;
    std::vector<std::string> errors;
    if (!PackageFromDiff(w.diff, options, &package, &errors)) {
      state.SkipWithError(errors.empty() ? "refused" : errors[0].c_str());
      break;
    }
    benchmark::DoNotOptimize(package);
  }
}
BENCHMARK(BM_FromDiff)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FromTrees(benchmark::State& state) {
  Workload& w = TheWorkload();
  for (auto _ : state) {
    std::string package;
    std::vector<std::string> errors;
    if (!PackageFromTrees(w.old_root, w.new_root, MarkerStyle::kNone, &package,
                          &errors)) {
      state.SkipWithError(errors.empty() ? "refused" : errors[0].c_str());
      break;
    }
    benchmark::DoNotOptimize(package);
  }
}
BENCHMARK(BM_FromTrees)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
