// Watches a run for the levels of the package itself that fail in a way
// qrlconsole reports: under apply a failure of severity 2 or 3, under
// reverse any failure. Report lines that programs print are no failures.
// Watching changes nothing the run does.
#ifndef QRL_PACK_AUTHOR_LEVEL_FAILURES_H_
#define QRL_PACK_AUTHOR_LEVEL_FAILURES_H_

#include <cstdint>
#include <string>

#include "engine/level_observer.h"

class LevelFailures : public LevelObserver {
 public:
  void LevelStarts(const LevelCall&, uint64_t) override {}
  void LevelEnds(const LevelEvent& event) override;

  bool failed() const { return failed_; }
  // What the run reports for the first failure.
  const std::string& first() const { return first_; }

 private:
  bool failed_ = false;
  std::string first_;
};

#endif  // QRL_PACK_AUTHOR_LEVEL_FAILURES_H_
