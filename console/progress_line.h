// The progress line of a long run on a terminal: after the run has taken
// about a second, one line on standard error, overwritten in place, says
// how many levels are done and which file the current one works on. It is
// wiped when the run ends. Standard output never sees it.
#ifndef QRL_CONSOLE_PROGRESS_LINE_H_
#define QRL_CONSOLE_PROGRESS_LINE_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/level_observer.h"

class ProgressLine : public LevelObserver {
 public:
  // Writes to the descriptor `fd` (a terminal).
  explicit ProgressLine(int fd);
  // Wipes the line, when one was shown.
  ~ProgressLine() override;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Takes the line off the terminal (it comes back with the next level).
  void Wipe();

  void LevelStarts(const LevelCall& call, uint64_t index) override;
  void LevelEnds(const LevelEvent& event) override;

 private:
  void Show(const std::string& file);

  int fd_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point shown_;
  bool showing_ = false;
  uint64_t done_ = 0;   // levels of the package handled so far
  uint64_t total_ = 0;  // the package's levels
};

#endif  // QRL_CONSOLE_PROGRESS_LINE_H_
