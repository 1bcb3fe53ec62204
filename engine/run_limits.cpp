#include "engine/run_limits.h"

#include <utility>

namespace {

RunLimits& Limits() {
  static RunLimits limits;
  return limits;
}

// The report counted so far. One run is one thread and has one report; a
// different list, or one that shrank, is counted afresh.
struct OutputTally {
  const LineList* list = nullptr;
  size_t lines = 0;
  uint64_t bytes = 0;
};

OutputTally& Tally() {
  static OutputTally tally;
  return tally;
}

// What the list takes: its bytes and an entry per item, so that a great
// many empty macros count too.
uint64_t MacroListSize(const TFASTMEMLIST& macros) {
  constexpr uint64_t kItemEntrySize = 16;
  return macros.UsedLength() + kItemEntrySize * macros.Count();
}

}  // namespace

const RunLimits& CurrentRunLimits() { return Limits(); }

ScopedRunLimits::ScopedRunLimits(const RunLimits& limits)
    : previous_(Limits()) {
  Limits() = limits;
}

ScopedRunLimits::~ScopedRunLimits() { Limits() = previous_; }

void CheckOutputLimit(const LineList& output) {
  const RunLimits& limits = CurrentRunLimits();
  if (output.Count() > limits.output_lines) {
    throw RunLimitExceeded("the report grew past " +
                           std::to_string(limits.output_lines) + " lines");
  }
  OutputTally& tally = Tally();
  if (tally.list != &output || tally.lines > output.Count()) {
    tally = {&output, 0, 0};
  }
  for (; tally.lines < output.Count(); ++tally.lines) {
    tally.bytes += output.Get(tally.lines).size();
  }
  if (tally.bytes > limits.output_bytes) {
    throw RunLimitExceeded("the report grew past " +
                           std::to_string(limits.output_bytes) + " bytes");
  }
}

void CheckMacroLimit(TFASTMEMLIST* macros) {
  const uint64_t limit = CurrentRunLimits().macro_bytes;
  if (MacroListSize(*macros) <= limit) {
    return;
  }
  // Replaced values leave their old bytes behind until the list is built
  // anew; only what is still there counts.
  TFASTMEMLIST compact;
  compact.LoadFromData(macros->SaveToString());
  *macros = std::move(compact);
  if (MacroListSize(*macros) > limit) {
    throw RunLimitExceeded("the macros grew past " + std::to_string(limit) +
                           " bytes");
  }
}
