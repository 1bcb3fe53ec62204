// Applying and reversing a package of 5,000 Normal levels (10 per file, one
// level number each) on a generated tree of 500 files, against GNU patch
// applying and reversing the equivalent unified diff on the same tree.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/apply.h"
#include "engine/reverse.h"
#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/file_services.h"

namespace {

constexpr int kFiles = 500;
constexpr int kHunksPerFile = 10;
constexpr int kLinesPerFile = 200;
constexpr int kHunkSpacing = kLinesPerFile / kHunksPerFile;
constexpr int kOldLines = 3;  // each hunk replaces 3 lines by 4

std::string Line(int file, int line) {
  return "    value_" + std::to_string(file) + "_" + std::to_string(line) +
         " := compute(" + std::to_string(line) + ");";
}

std::string NewLine(int file, int hunk, int k) {
  return "    patched_" + std::to_string(file) + "_" + std::to_string(hunk) +
         "_" + std::to_string(k) + " := better();";
}

std::string FileName(int file) {
  return "src/unit" + std::to_string(file) + ".pas";
}

// The first line of hunk `hunk`, 0-based.
int HunkStart(int hunk) { return hunk * kHunkSpacing + kHunkSpacing / 2; }

std::string Serialized(const std::vector<std::string>& items) {
  TFASTMEMLIST list;
  for (const std::string& item : items) {
    list.Add(item);
  }
  return list.SaveToString();
}

struct Workload {
  std::string root;
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  std::string diff_file;
};

void WriteTree(const std::string& tree) {
  std::filesystem::remove_all(tree);
  std::filesystem::create_directories(tree + "/src");
  for (int f = 0; f < kFiles; ++f) {
    std::string content;
    for (int l = 0; l < kLinesPerFile; ++l) {
      content += Line(f, l) + "\n";
    }
    StringToFile(tree + "/" + FileName(f), content);
  }
}

const Workload& GetWorkload() {
  static const Workload* workload = [] {
    auto* w = new Workload;
    char templ[] = "/tmp/qrl-bench-XXXXXX";
    w->root = ::mkdtemp(templ);
    const std::string tree = w->root + "/tree";
    w->settings.level_marker = {"// LEVEL ", "", kMarkerBefore};
    std::string diff;
    for (int f = 0; f < kFiles; ++f) {
      diff += "--- a/" + FileName(f) + "\n+++ b/" + FileName(f) + "\n";
      int shift = 0;
      for (int h = 0; h < kHunksPerFile; ++h) {
        const int start = HunkStart(h);
        std::vector<std::string> old_lines;
        for (int k = 0; k < kOldLines; ++k) {
          old_lines.push_back(Line(f, start + k));
        }
        std::vector<std::string> code = {"0"};
        for (int k = 0; k <= kOldLines; ++k) {
          code.push_back(NewLine(f, h, k));
        }
        const std::string entry = Serialized(
            {"/", tree + "/" + FileName(f), "0", Serialized(old_lines)});
        w->levels.Add(
            Serialized({std::to_string(f * kHunksPerFile + h + 1), "0", "hunk",
                        "", "", "2", "", "", Serialized({}), "", "",
                        Serialized({entry}), Serialized(code)}));
        // The same change as a unified diff hunk with 3 lines of context.
        const int first = start - 3;
        diff += "@@ -" + std::to_string(first + 1) + ",9 +" +
                std::to_string(first + 1 + shift) + ",10 @@\n";
        for (int l = first; l < start; ++l) {
          diff += " " + Line(f, l) + "\n";
        }
        for (const std::string& old_line : old_lines) {
          diff += "-" + old_line + "\n";
        }
        for (size_t k = 1; k < code.size(); ++k) {
          diff += "+" + code[k] + "\n";
        }
        for (int l = start + kOldLines; l < start + kOldLines + 3; ++l) {
          diff += " " + Line(f, l) + "\n";
        }
        shift += 1;
      }
    }
    w->diff_file = w->root + "/change.diff";
    StringToFile(w->diff_file, diff);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(GetWorkload().root, ec);
    });
    return w;
  }();
  return *workload;
}

void BM_QrlApplyReverse(benchmark::State& state) {
  const Workload& w = GetWorkload();
  const std::string tree = w.root + "/tree";
  for (auto _ : state) {
    state.PauseTiming();
    WriteTree(tree);
    state.ResumeTiming();
    TSETTINGSBLOCK settings = w.settings;
    LineList output;
    ApplyLevels(w.levels, &settings, &output, true);
    ReverseLevels(w.levels, &settings, &output, true);
    if (!output.Empty()) {
      state.SkipWithError(output.Get(0).c_str());
    }
  }
}
BENCHMARK(BM_QrlApplyReverse)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GnuPatchApplyReverse(benchmark::State& state) {
  const Workload& w = GetWorkload();
  const std::string tree = w.root + "/tree";
  const std::string apply = "patch -s -p1 -d " + tree + " < " + w.diff_file;
  const std::string reverse =
      "patch -s -R -p1 -d " + tree + " < " + w.diff_file;
  for (auto _ : state) {
    state.PauseTiming();
    WriteTree(tree);
    state.ResumeTiming();
    if (std::system(apply.c_str()) != 0 || std::system(reverse.c_str()) != 0) {
      state.SkipWithError("patch failed");
    }
  }
}
BENCHMARK(BM_GnuPatchApplyReverse)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
