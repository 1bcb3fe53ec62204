#include "console/progress_line.h"

#include <unistd.h>

#include "services/diagnostics.h"

namespace {

// The line waits this long after the start, then changes at most this
// often: a quick run shows nothing, a long one does not flood the terminal.
constexpr std::chrono::milliseconds kFirstShown{1000};
constexpr std::chrono::milliseconds kShownEvery{100};
// Longer file names keep their end, which says most.
constexpr size_t kLongestFile = 60;

// The text goes out as it is or not at all: a progress line is not worth
// a retry.
void Put(int fd, const std::string& text) {
  if (::write(fd, text.data(), text.size()) < 0) {
    // Nothing to do: the line is only a help.
  }
}

}  // namespace

ProgressLine::ProgressLine(int fd)
    : fd_(fd), started_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { Wipe(); }

void ProgressLine::Wipe() {
  if (showing_) {
    Put(fd_, "\r\x1b[K");
    showing_ = false;
  }
}

void ProgressLine::LevelStarts(const LevelCall& call, uint64_t) {
  if (call.state.depth != 0) {
    return;  // the levels of a nested package count as their outer level
  }
  if (call.view.kind == LevelKind::kExternal) {
    // The tool may write to the terminal itself.
    Wipe();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - started_ < kFirstShown ||
      (showing_ && now - shown_ < kShownEvery)) {
    return;
  }
  shown_ = now;
  total_ = call.state.levels.Count();
  Show(call.view.entries.empty() ? std::string()
                                 : std::string(call.view.entries[0].path));
}

void ProgressLine::LevelEnds(const LevelEvent& event) {
  if (event.call.state.depth == 0 &&
      event.result != LevelResult::kNotSelected) {
    ++done_;
  }
}

void ProgressLine::Show(const std::string& file) {
  std::string line = "\rqrlconsole: " + std::to_string(done_) + " of " +
                     std::to_string(total_) + " levels done";
  if (!file.empty()) {
    const std::string shown =
        file.size() > kLongestFile
            ? "..." + file.substr(file.size() - kLongestFile)
            : file;
    line += ", " + EscapeForTerminal(shown);
  }
  Put(fd_, line + "\x1b[K");
  showing_ = true;
}
