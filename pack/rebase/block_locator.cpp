#include "pack/rebase/block_locator.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "services/editable_text.h"
#include "services/string_utils.h"

namespace {

// How many places of a block are worth naming.
constexpr size_t kMostPlaces = 4;
// A line standing more often than this in the file anchors nothing.
constexpr size_t kMostOccurrences = 8;
// An aligned window must hold this share of the block's telling lines, and
// this many of them at least.
constexpr double kLeastScore = 0.5;
constexpr size_t kLeastTelling = 2;

std::string Key(std::string_view line) { return UpperCase(TrimmedView(line)); }

size_t TellingCount(const LineViews& lines, size_t first, size_t past) {
  return static_cast<size_t>(
      std::count_if(lines.begin() + static_cast<ptrdiff_t>(first),
                    lines.begin() + static_cast<ptrdiff_t>(past), Telling));
}

LineViews Part(const LineViews& lines, size_t first, size_t past) {
  return LineViews(lines.begin() + static_cast<ptrdiff_t>(first),
                   lines.begin() + static_cast<ptrdiff_t>(past));
}

// The file as the engine searches it.
class FileSearch {
 public:
  explicit FileSearch(const LineViews& file) : text_(Joined(file)) {}

  // Up to `most` places where the engine finds `lines`, from the top.
  std::vector<size_t> Places(const LineViews& lines, size_t most) {
    const LineBlock block(lines);
    std::vector<size_t> places;
    uint64_t from = 0;
    while (places.size() < most) {
      const int64_t at = text_.FindLines(block, from);
      if (at < 0) {
        break;
      }
      places.push_back(static_cast<size_t>(at));
      from = static_cast<uint64_t>(at) + 1;
    }
    return places;
  }

 private:
  static std::string Joined(const LineViews& lines) {
    std::string text;
    for (std::string_view line : lines) {
      text.append(line);
      text += '\n';
    }
    return text;
  }

  EditableText text_;
};

BlockPlace Found(LocateStage stage, size_t first, size_t past,
                 size_t block_first, size_t block_past) {
  BlockPlace place;
  place.failure = LocateFailure::kNone;
  place.stage = stage;
  place.first = first;
  place.past = past;
  place.block_first = block_first;
  place.block_past = block_past;
  return place;
}

BlockPlace NotFound(LocateFailure failure, std::vector<size_t> candidates) {
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()),
                   candidates.end());
  BlockPlace place;
  place.failure = failure;
  place.candidates = std::move(candidates);
  return place;
}

// Maps the block's place in the base file through the diff of the two
// releases. Changes that touch the block's ends belong to it, so that the
// merge sees them.
BlockPlace MapThroughBase(const LineViews& file, const LevelBlock& block,
                          const BaseFile& base) {
  std::vector<LineDiffHunk> hunks;
  if (!DiffLines(base.file, file, LineKey::kExact, &hunks)) {
    return NotFound(LocateFailure::kNowhere, {});
  }
  const size_t p = base.first;
  const size_t q = base.first + block.obsolete.size();
  // The start goes back to the first change that touches it, the end on to
  // the last; otherwise they move with the changes before them.
  ptrdiff_t before_start = 0;
  ptrdiff_t before_end = 0;
  std::optional<size_t> start;
  std::optional<size_t> end;
  for (const LineDiffHunk& hunk : hunks) {
    const size_t s = hunk.old_start;
    const size_t e = hunk.old_start + hunk.old_count;
    const ptrdiff_t delta = static_cast<ptrdiff_t>(hunk.new_count) -
                            static_cast<ptrdiff_t>(hunk.old_count);
    if (e < p) {
      before_start += delta;
    } else if (s <= p && !start.has_value()) {
      start = hunk.new_start;
    }
    if (s < q && e <= q) {
      before_end += delta;
    } else if (s <= q) {
      end = hunk.new_start + hunk.new_count;
    }
  }
  const size_t first = start.value_or(
      static_cast<size_t>(static_cast<ptrdiff_t>(p) + before_start));
  const size_t past = std::max(
      first, end.value_or(
                 static_cast<size_t>(static_cast<ptrdiff_t>(q) + before_end)));
  return Found(LocateStage::kBase, first, past, 0, block.obsolete.size());
}

// Stage 2: context dropped from the ends, fewest lines first.
BlockPlace LocateTrimmed(FileSearch& search, const LevelBlock& block,
                         const ChangedSpan& span) {
  const LineViews& obsolete = block.obsolete;
  const size_t count = obsolete.size();
  const size_t above = span.first;
  const size_t below = count - span.past;
  const size_t all_telling = TellingCount(obsolete, 0, count);
  for (size_t dropped = 1; dropped <= above + below; ++dropped) {
    std::vector<size_t> candidates;
    bool ambiguous = false;
    BlockPlace found;
    for (size_t top = dropped > below ? dropped - below : 0;
         top <= std::min(dropped, above); ++top) {
      const size_t past = count - (dropped - top);
      const std::vector<size_t> places =
          search.Places(Part(obsolete, top, past), 2);
      if (places.empty()) {
        continue;
      }
      candidates.insert(candidates.end(), places.begin(), places.end());
      if (places.size() > 1 ||
          (found.failure == LocateFailure::kNone &&
           found.first - found.block_first != places[0] - top)) {
        ambiguous = true;
      }
      if (found.failure != LocateFailure::kNone) {
        found = Found(LocateStage::kTrimmed, places[0], places[0] + past - top,
                      top, past);
      }
    }
    if (candidates.empty()) {
      continue;
    }
    if (ambiguous) {
      return NotFound(LocateFailure::kAmbiguous, candidates);
    }
    const size_t telling =
        TellingCount(obsolete, found.block_first, found.block_past);
    if (telling <
            std::min(all_telling,
                     std::max<size_t>(kLeastTelling, (all_telling + 1) / 2)) ||
        telling < kLeastTelling) {
      return NotFound(LocateFailure::kWeak, {found.first});
    }
    return found;
  }
  return NotFound(LocateFailure::kNowhere, {});
}

struct Window {
  double score = 0;
  size_t telling = 0;
  BlockPlace place;
};

// Stage 3: windows of the file around the places of the block's rarer
// telling lines, each aligned with the block by a line diff.
BlockPlace LocateAligned(const LineViews& file, const LevelBlock& block,
                         const ChangedSpan& span) {
  const LineViews& obsolete = block.obsolete;
  const size_t count = obsolete.size();
  const size_t all_telling = TellingCount(obsolete, 0, count);
  if (all_telling < kLeastTelling) {
    return NotFound(LocateFailure::kWeak, {});
  }
  std::unordered_map<std::string, std::vector<size_t>> wanted;
  for (std::string_view line : obsolete) {
    if (Telling(line)) {
      wanted.try_emplace(Key(line));
    }
  }
  for (size_t t = 0; t < file.size(); ++t) {
    if (Telling(file[t])) {
      const auto at = wanted.find(Key(file[t]));
      if (at != wanted.end() && at->second.size() <= kMostOccurrences) {
        at->second.push_back(t);
      }
    }
  }
  std::vector<ptrdiff_t> offsets;
  for (size_t i = 0; i < count; ++i) {
    if (!Telling(obsolete[i])) {
      continue;
    }
    const std::vector<size_t>& places = wanted[Key(obsolete[i])];
    if (places.size() <= kMostOccurrences) {
      for (size_t t : places) {
        offsets.push_back(static_cast<ptrdiff_t>(t) -
                          static_cast<ptrdiff_t>(i));
      }
    }
  }
  std::sort(offsets.begin(), offsets.end());
  const ptrdiff_t n = static_cast<ptrdiff_t>(count);
  const ptrdiff_t size = static_cast<ptrdiff_t>(file.size());
  std::vector<Window> windows;
  for (size_t k = 0; k < offsets.size();) {
    size_t last = k;
    while (last + 1 < offsets.size() &&
           offsets[last + 1] - offsets[last] <= n) {
      ++last;
    }
    const size_t lo =
        static_cast<size_t>(std::max<ptrdiff_t>(0, offsets[k] - n));
    const size_t hi = static_cast<size_t>(
        std::min(size, std::max<ptrdiff_t>(0, offsets[last] + 2 * n)));
    k = last + 1;
    std::vector<LineDiffHunk> hunks;
    if (lo >= hi ||
        !DiffLines(obsolete, Part(file, lo, hi), LineKey::kEngine, &hunks)) {
      continue;
    }
    const std::vector<ptrdiff_t> matched = MatchedLines(hunks, count);
    Window window;
    size_t low = count;
    size_t high = 0;
    for (size_t i = 0; i < count; ++i) {
      if (matched[i] >= 0 && Telling(obsolete[i])) {
        ++window.telling;
        low = std::min(low, i);
        high = i + 1;
      }
    }
    if (window.telling == 0) {
      continue;
    }
    // The lines next to the telling ones that stand next to them in the
    // file as well belong to the place.
    while (low > 0 && matched[low - 1] >= 0 &&
           matched[low - 1] + 1 == matched[low]) {
      --low;
    }
    while (high < count && matched[high] >= 0 &&
           matched[high] == matched[high - 1] + 1) {
      ++high;
    }
    window.score =
        static_cast<double>(window.telling) / static_cast<double>(all_telling);
    size_t block_first = low;
    size_t block_past = high;
    if (low > span.first || high < span.past) {
      // A line the level changes is not there: the merge must see all.
      block_first = 0;
      block_past = count;
    }
    window.place =
        Found(LocateStage::kAligned, lo + static_cast<size_t>(matched[low]),
              lo + static_cast<size_t>(matched[high - 1]) + 1, block_first,
              block_past);
    windows.push_back(std::move(window));
  }
  if (windows.empty()) {
    return NotFound(LocateFailure::kNowhere, {});
  }
  std::stable_sort(
      windows.begin(), windows.end(),
      [](const Window& a, const Window& b) { return a.score > b.score; });
  const Window& best = windows.front();
  const auto strong = [](const Window& window) {
    return window.score >= kLeastScore && window.telling >= kLeastTelling;
  };
  if (!strong(best)) {
    return NotFound(LocateFailure::kWeak, {best.place.first});
  }
  std::vector<size_t> ties = {best.place.first};
  for (size_t k = 1; k < windows.size(); ++k) {
    const BlockPlace& other = windows[k].place;
    const bool same =
        other.first < best.place.past && best.place.first < other.past;
    if (strong(windows[k]) && !same) {
      ties.push_back(other.first);
    }
  }
  if (ties.size() > 1) {
    return NotFound(LocateFailure::kAmbiguous, ties);
  }
  return best.place;
}

}  // namespace

std::vector<size_t> EnginePlaces(const LineViews& file, const LineViews& block,
                                 size_t most) {
  return FileSearch(file).Places(block, most);
}

bool Telling(std::string_view line) {
  size_t letters = 0;
  for (char c : line) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 && ++letters >= 3) {
      return true;
    }
  }
  return false;
}

ChangedSpan ChangedLines(const LevelBlock& block) {
  const size_t count = block.obsolete.size();
  std::vector<LineDiffHunk> hunks;
  if (!DiffLines(block.obsolete, block.code, LineKey::kExact, &hunks) ||
      hunks.empty()) {
    return {0, count};
  }
  ChangedSpan span{count, 0};
  for (const LineDiffHunk& hunk : hunks) {
    const size_t first = hunk.old_count > 0 || hunk.old_start == 0
                             ? hunk.old_start
                             : hunk.old_start - 1;
    const size_t past = hunk.old_count > 0
                            ? hunk.old_start + hunk.old_count
                            : std::min(hunk.old_start + 1, count);
    span.first = std::min(span.first, first);
    span.past = std::max(span.past, past);
  }
  span.past = std::max(span.past, span.first);
  return span;
}

BlockPlace LocateBlock(const LineViews& file, const LevelBlock& block,
                       const BaseFile* base) {
  const size_t count = block.obsolete.size();
  if (count == 0) {
    return NotFound(LocateFailure::kNowhere, {});
  }
  if (base != nullptr) {
    return MapThroughBase(file, block, *base);
  }
  FileSearch search(file);
  const std::vector<size_t> places = search.Places(block.obsolete, kMostPlaces);
  if (places.size() == 1) {
    return Found(LocateStage::kExact, places[0], places[0] + count, 0, count);
  }
  if (places.size() > 1) {
    return NotFound(LocateFailure::kAmbiguous, places);
  }
  const ChangedSpan span = ChangedLines(block);
  const BlockPlace trimmed = LocateTrimmed(search, block, span);
  if (trimmed.failure == LocateFailure::kNone) {
    return trimmed;
  }
  const BlockPlace aligned = LocateAligned(file, block, span);
  if (aligned.failure == LocateFailure::kNone ||
      trimmed.failure != LocateFailure::kAmbiguous) {
    return aligned;
  }
  return trimmed;
}
