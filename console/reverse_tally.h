// Counts the levels a reverse visits and those it could not undo, for the
// summary line on standard error: a reverse has no failing exit code (it
// meets unapplied levels by design after a partial apply), so this line is
// how a person sees that levels failed. Watching changes nothing; the
// observer installed before it is told of every level as before.
#ifndef QRL_CONSOLE_REVERSE_TALLY_H_
#define QRL_CONSOLE_REVERSE_TALLY_H_

#include <cstdint>
#include <string>

#include "engine/level_observer.h"

class ReverseTally : public LevelObserver {
 public:
  // Installs itself for as long as it lives.
  ReverseTally();

  void LevelStarts(const LevelCall& call, uint64_t index) override;
  void LevelEnds(const LevelEvent& event) override;

  // "reverse: F of N levels could not be reversed; see the report", or
  // empty when every level was undone. Nested packages' levels count.
  std::string Summary() const;

 private:
  LevelObserver* next_;
  ScopedLevelObserver installed_;
  uint64_t visited_ = 0;
  uint64_t failed_ = 0;
};

#endif  // QRL_CONSOLE_REVERSE_TALLY_H_
