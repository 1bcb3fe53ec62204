// The rule that every Normal level qrlpack writes keeps: its obsolete code
// is the first match in its file when apply reaches it, and its framed new
// code the first match when reverse reaches it. A change of some lines of
// a file gets context lines around it until the rule holds. Works on lines
// held by the caller; reads no file.
#ifndef QRL_PACK_AUTHOR_LEVEL_ANCHOR_H_
#define QRL_PACK_AUTHOR_LEVEL_ANCHOR_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "services/line_list.h"

// Context beyond this many lines costs more than it is worth.
inline constexpr size_t kMaxContextGrowth = 400;

// Where apply finds `block` in a file of these lines (which hold no CR or
// LF): the first place from the top, compared as the engine compares
// (trimmed, ignoring the case of a to z); -1 when nowhere, and for an
// empty block.
int64_t WhereApplyFinds(const std::vector<std::string_view>& file,
                        const LineList& block);

// Lines [start, end) of the file become `put`.
struct LineChange {
  size_t start = 0;
  size_t end = 0;
  std::vector<std::string_view> put;
};

// Adds the marker lines that apply writes around a level's new code.
using FrameCode = std::function<void(LineList* code)>;

// A change with its context: file lines [first, past) are the obsolete
// code, which apply replaces by `framed` (the code with its markers).
struct AnchoredChange {
  size_t first = 0;
  size_t past = 0;
  LineList obsolete;
  LineList code;
  LineList framed;
};

// Takes `above` lines before the change and `below` after it as context
// and fills *anchored (always, but for `framed` when the obsolete code is
// not the first match). True when the rule holds. The caller keeps
// start - above >= 0 and end + below <= file size.
bool AnchorWithContext(const std::vector<std::string_view>& file,
                       const LineChange& change, size_t above, size_t below,
                       const FrameCode& frame, AnchoredChange* anchored);

// The order in which context grows: a line below, then one above, in turn,
// as far as the limits let each side go.
class ContextGrowth {
 public:
  // Lines above the change may go up to `lowest`, below it up to `highest`
  // (exclusive).
  ContextGrowth(const LineChange& change, size_t lowest, size_t highest)
      : start_(change.start),
        end_(change.end),
        lowest_(lowest),
        highest_(highest) {}

  size_t above() const { return above_; }
  size_t below() const { return below_; }
  // One more line of context; false when neither side can grow or the
  // context reached kMaxContextGrowth.
  bool Grow();

 private:
  size_t start_;
  size_t end_;
  size_t lowest_;
  size_t highest_;
  size_t above_ = 0;
  size_t below_ = 0;
  bool downward_ = true;
};

#endif  // QRL_PACK_AUTHOR_LEVEL_ANCHOR_H_
