// Applying a package of N trivial Complex levels, each with its own level
// number: the cost of a run per level once the drivers index the levels,
// which a program could change (5,000, 20,000 and 100,000 levels).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/apply.h"
#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

namespace {

std::string Serialized(const std::vector<std::string>& items) {
  TFASTMEMLIST list;
  for (const std::string& item : items) {
    list.Add(item);
  }
  return list.SaveToString();
}

TFASTMEMLIST ComplexLevels(int64_t count) {
  TFASTMEMLIST levels;
  const std::string empty = Serialized({});
  for (int64_t i = 1; i <= count; ++i) {
    levels.Add(
        Serialized({std::to_string(i), "2", "step", "", "", "2", "", "", empty,
                    "", "", empty, Serialized({"0", "RETURN TRUE"})}));
  }
  return levels;
}

void BM_ApplyTrivialComplexLevels(benchmark::State& state) {
  const TFASTMEMLIST levels = ComplexLevels(state.range(0));
  TSETTINGSBLOCK settings;
  // A macro in force, as packages have, so that expansion has work to do.
  TFASTMEMLIST macros;
  macros.Add("{ROOT}");
  macros.Add("/src/");
  settings.macros = macros.SaveToString();
  for (auto _ : state) {
    TSETTINGSBLOCK run_settings = settings;
    LineList output;
    if (ApplyLevels(levels, &run_settings, &output, true) != 0) {
      state.SkipWithError("a level failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ApplyTrivialComplexLevels)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
