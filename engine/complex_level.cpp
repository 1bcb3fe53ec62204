#include "engine/complex_level.h"

#include "services/failure.h"

namespace {

LevelHandler complex_level_handler = nullptr;

}  // namespace

void SetComplexLevelHandler(LevelHandler handler) {
  complex_level_handler = handler;
}

LevelHandler ComplexLevelHandler() { return complex_level_handler; }

LevelOutcome RunComplexLevel(const LevelCall& call) {
  if (complex_level_handler == nullptr) {
    throw Failure("no interpreter is installed for Complex levels");
  }
  return complex_level_handler(call);
}
