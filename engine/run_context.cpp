#include "engine/run_context.h"

#include "engine/complex_level.h"

ScopedRun::ScopedRun(const RunContext& context) {
  if (context.files != nullptr) {
    files_.emplace(context.files);
  }
  if (context.tools) {
    tools_.emplace(context.tools);
  }
  if (context.diagnostics) {
    diagnostics_.emplace(context.diagnostics);
  }
  if (context.observer != nullptr) {
    observer_.emplace(context.observer);
  }
  if (context.limits) {
    limits_.emplace(*context.limits);
  }
  if (context.complex_levels != nullptr) {
    previous_complex_levels_ = ComplexLevelHandler();
    complex_levels_set_ = true;
    SetComplexLevelHandler(context.complex_levels);
  }
}

ScopedRun::~ScopedRun() {
  if (complex_levels_set_) {
    SetComplexLevelHandler(previous_complex_levels_);
  }
}
