// Adding, serializing and decoding a list of 1,000,000 small items.
#include <benchmark/benchmark.h>

#include <string>

#include "fastmemlist/fastmemlist.h"

namespace {

constexpr int kItems = 1000000;

TFASTMEMLIST SmallItems() {
  TFASTMEMLIST list;
  for (int i = 0; i < kItems; ++i) {
    list.Add("item " + std::to_string(i));
  }
  return list;
}

void BM_Add(benchmark::State& state) {
  const std::string item = "line of code";
  for (auto _ : state) {
    TFASTMEMLIST list;
    for (int i = 0; i < kItems; ++i) {
      list.Add(item);
    }
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Add)->Unit(benchmark::kMillisecond);

void BM_Serialize(benchmark::State& state) {
  const TFASTMEMLIST list = SmallItems();
  for (auto _ : state) {
    std::string data = list.SaveToString();
    benchmark::DoNotOptimize(data.data());
  }
  state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_Serialize)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state) {
  const std::string data = SmallItems().SaveToString();
  for (auto _ : state) {
    TFASTMEMLIST list;
    list.LoadFromData(data);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * kItems);
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

}  // namespace
