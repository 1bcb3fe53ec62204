#include "services/diagnostics.h"

#include <utility>

namespace {

// One run is one thread; the sink is the program's, not a run's.
DiagnosticSink& CurrentSink() {
  static DiagnosticSink sink;
  return sink;
}

}  // namespace

void Diagnose(std::string_view line) {
  if (const DiagnosticSink& sink = CurrentSink()) {
    sink(line);
  }
}

ScopedDiagnosticSink::ScopedDiagnosticSink(DiagnosticSink sink)
    : previous_(std::exchange(CurrentSink(), std::move(sink))) {}

ScopedDiagnosticSink::~ScopedDiagnosticSink() {
  CurrentSink() = std::move(previous_);
}
