// Carrying a package of 1,000 Normal levels (two in each of 500 files) to a
// later release of a tree of 5,000 files. The release moved every changed
// file's lines down, changed a context line in a fifth of them (so those
// levels take its lines as context) and a line between the changed lines of
// a level in another fifth (merged); the other files are as they were.
// Without and with the old release as base; the check of the carried
// package included.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "pack/author/from_trees.h"
#include "pack/rebase/rebase.h"
#include "services/file_services.h"
#include "services/temporary_names.h"

namespace {

constexpr int kFiles = 5000;
constexpr int kChangedFiles = 500;
constexpr int kLines = 60;

std::string Line(int file, int line) {
  if (line % 10 == 9) {
    return "}";
  }
  return "  value_" + std::to_string(file) + "_" + std::to_string(line) +
         " = compute(" + std::to_string(line) + ");";
}

std::string FileName(int file) {
  return "src/dir" + std::to_string(file / 100) + "/unit" +
         std::to_string(file) + ".c";
}

struct Workload {
  std::string base;  // removed with the trees when the program ends
  ~Workload() {
    std::error_code ec;
    if (!base.empty()) {
      std::filesystem::remove_all(base, ec);
    }
  }
  std::string Path(const std::string& name) const { return base + "/" + name; }
};

Workload& TheWorkload() {
  static Workload workload = [] {
    Workload w;
    w.base = TemporaryDirectory() + "qrl-rebase-bench";
    std::filesystem::remove_all(w.base);
    for (int f = 0; f < kFiles; ++f) {
      std::string old_text;
      std::string mine;
      std::string release =
          f < kChangedFiles ? "/* moved down */\n/* by the release */\n" : "";
      for (int line = 0; line < kLines; ++line) {
        const std::string text = Line(f, line);
        old_text += text + "\n";
        const bool changed =
            f < kChangedFiles && (line == 15 || line == 19 || line == 45);
        mine += changed ? "  patched_" + std::to_string(line) + "();\n"
                        : text + "\n";
        if (f < kChangedFiles && f % 5 == 1 && line == 13) {
          release += "  value_changed();\n";  // context of the first level
        } else if (f < kChangedFiles && f % 5 == 2 && line == 17) {
          release += "  between();\n";  // between the first level's lines
        } else {
          release += text + "\n";
        }
      }
      MakeDirectoryPath(ExtractPathPart(w.Path("old/" + FileName(f))));
      MakeDirectoryPath(ExtractPathPart(w.Path("mine/" + FileName(f))));
      MakeDirectoryPath(ExtractPathPart(w.Path("new/" + FileName(f))));
      StringToFile(w.Path("old/" + FileName(f)), old_text);
      StringToFile(w.Path("mine/" + FileName(f)), mine);
      StringToFile(w.Path("new/" + FileName(f)), release);
    }
    std::string package;
    std::vector<std::string> errors;
    if (!PackageFromTrees(w.Path("old"), w.Path("mine"), MarkerStyle::kNone,
                          &package, &errors)) {
      std::abort();
    }
    StringToFile(w.Path("p.qrl"), package);
    return w;
  }();
  return workload;
}

void BM_Rebase(benchmark::State& state) {
  const Workload& w = TheWorkload();
  RebaseOptions options{w.Path("p.qrl"), w.Path("new"),
                        state.range(0) != 0 ? w.Path("old") : "",
                        w.Path("out.qrl"), ""};
  for (auto _ : state) {
    state.counters.clear();
    RebaseOutcome outcome;
    std::string why;
    if (Rebase(options, &outcome, &why) != kRebaseCarried) {
      state.SkipWithError(why.empty() ? "conflicts" : why.c_str());
      break;
    }
    state.counters["levels"] = static_cast<double>(outcome.levels.size());
    for (const RebasedLevel& level : outcome.levels) {
      state.counters[std::string(VerdictName(level.verdict))] += 1;
    }
  }
}
BENCHMARK(BM_Rebase)
    ->ArgName("base")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
