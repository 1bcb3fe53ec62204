#include "pack/rebase/normal_carry.h"

#include <algorithm>

#include "services/string_utils.h"

namespace {

LineViews Part(const LineViews& lines, size_t first, size_t past) {
  return LineViews(lines.begin() + static_cast<ptrdiff_t>(first),
                   lines.begin() + static_cast<ptrdiff_t>(past));
}

std::vector<std::string> Owned(const LineViews& lines) {
  return std::vector<std::string>(lines.begin(), lines.end());
}

std::string LineNumbers(const std::vector<size_t>& places) {
  std::string text;
  for (size_t k = 0; k < places.size(); ++k) {
    text += (k == 0                   ? ""
             : k + 1 == places.size() ? " and "
                                      : ", ") +
            std::to_string(places[k] + 1);
  }
  return text;
}

// A block that cannot be located: a conflict, shown where it could stand.
NormalCarry Unlocated(const NormalCarryInput& input, const BlockPlace& place) {
  const LineViews& file = input.file;
  const LevelBlock& block = input.block;
  NormalCarry carry;
  const bool several = place.candidates.size() > 1;
  switch (place.failure) {
    case LocateFailure::kAmbiguous:
      carry.reason = "its block stands at lines " +
                     LineNumbers(place.candidates) +
                     "; nothing tells which one is meant" +
                     (input.base == nullptr ? " (--base OLD may)" : "");
      break;
    case LocateFailure::kWeak:
      carry.reason = place.candidates.empty()
                         ? "too few of its lines say enough to look for them"
                         : "its block is only weakly like lines " +
                               std::to_string(place.candidates[0] + 1) + " on";
      break;
    default:
      carry.reason = "its block is not found";
      break;
  }
  carry.mark_first =
      place.candidates.empty() ? file.size() : place.candidates.front();
  carry.mark_past =
      several || place.candidates.empty()
          ? carry.mark_first
          : std::min(file.size(), carry.mark_first + block.obsolete.size());
  carry.line = carry.mark_first;
  const LineViews onto = Part(file, carry.mark_first, carry.mark_past);
  carry.sides = {Owned(block.code), Owned(block.obsolete), Owned(onto)};
  carry.marked = ConflictBlock(block.code, block.obsolete, onto);
  return carry;
}

bool SameKeys(const LineViews& a, size_t a_first, const LineViews& b,
              size_t b_first, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (UpperCase(TrimmedView(a[a_first + i])) !=
        UpperCase(TrimmedView(b[b_first + i]))) {
      return false;
    }
  }
  return true;
}

bool StandsAt(const LineViews& file, size_t first, const LineViews& lines) {
  return first + lines.size() <= file.size() &&
         std::equal(lines.begin(), lines.end(),
                    file.begin() + static_cast<ptrdiff_t>(first));
}

// Whether the level puts lines before its block's first line or after its
// last, where it has no context.
struct Edges {
  bool before = false;
  bool after = false;
};
Edges EdgeInsertions(const LevelBlock& block) {
  std::vector<LineDiffHunk> hunks;
  DiffLines(block.obsolete, block.code, LineKey::kExact, &hunks);
  Edges edges;
  for (const LineDiffHunk& hunk : hunks) {
    if (hunk.old_count == 0 && hunk.new_count > 0) {
      edges.before = edges.before || hunk.old_start == 0;
      edges.after = edges.after || hunk.old_start == block.obsolete.size();
    }
  }
  return edges;
}

// Whether the file reads as the level's new code where the block would
// stand, from `first` on or up to `past`, while the block itself does not
// stand there (or stands there, when the level only adds lines at that end
// of it). A level that only removes lines is left to the merge.
bool HasChangeAlready(const LineViews& file, const LevelBlock& block,
                      size_t first, size_t past) {
  const LineViews& code = block.code;
  std::vector<LineDiffHunk> hunks;
  DiffLines(block.obsolete, code, LineKey::kExact, &hunks);
  const bool adds =
      std::any_of(hunks.begin(), hunks.end(),
                  [](const LineDiffHunk& hunk) { return hunk.new_count > 0; });
  if (!adds) {
    return false;
  }
  const Edges edges = EdgeInsertions(block);
  const bool intact =
      first + block.obsolete.size() <= file.size() &&
      SameKeys(file, first, block.obsolete, 0, block.obsolete.size());
  if (StandsAt(file, first, code) && (!intact || edges.after)) {
    return true;
  }
  return past >= code.size() && StandsAt(file, past - code.size(), code) &&
         (!intact || edges.before);
}

// Whether NEW changed lines inside the span of the lines the level changes.
bool ChangedInside(const LineViews& base, const LineViews& onto,
                   const ChangedSpan& span) {
  std::vector<LineDiffHunk> hunks;
  DiffLines(base, onto, LineKey::kExact, &hunks);
  for (const LineDiffHunk& hunk : hunks) {
    const size_t end = hunk.old_start + hunk.old_count;
    if (hunk.old_count > 0
            ? hunk.old_start < span.past && end > span.first
            : hunk.old_start > span.first && hunk.old_start < span.past) {
      return true;
    }
  }
  return false;
}

// A merge of the level's block (or a part of it) with file lines [first,
// past).
struct Attempt {
  LevelBlock part;
  size_t first = 0;
  size_t past = 0;
  LineMerge merge;
};

// The block with the context lines that the file has with other blanks or
// letter case in their place: the level keeps those lines, so it takes
// them as the release writes them. The lines it changes stay as they are.
LevelBlock AdoptContext(const LevelBlock& block, const LineViews& onto) {
  LevelBlock adopted = block;
  std::vector<LineDiffHunk> kept;
  std::vector<LineDiffHunk> found;
  if (!DiffLines(block.obsolete, block.code, LineKey::kExact, &kept) ||
      !DiffLines(block.obsolete, onto, LineKey::kEngine, &found)) {
    return adopted;
  }
  const std::vector<ptrdiff_t> in_code =
      MatchedLines(kept, block.obsolete.size());
  const std::vector<ptrdiff_t> in_file =
      MatchedLines(found, block.obsolete.size());
  for (size_t i = 0; i < block.obsolete.size(); ++i) {
    if (in_code[i] >= 0 && in_file[i] >= 0) {
      adopted.obsolete[i] = onto[static_cast<size_t>(in_file[i])];
      adopted.code[static_cast<size_t>(in_code[i])] = adopted.obsolete[i];
    }
  }
  return adopted;
}

Attempt Merged(const LineViews& file, const LevelBlock& block, size_t first,
               size_t past) {
  const LineViews onto = Part(file, first, past);
  LevelBlock part = AdoptContext(block, onto);
  LineMerge merge = MergeLines(part.obsolete, part.code, onto);
  return {std::move(part), first, past, std::move(merge)};
}

// Whether the part of the block that was found keeps its ends: no run of
// its first lines repeats the lines just before it, in the block or in the
// file, and none of its last lines the lines just after it. Otherwise what
// the release removed there could as well have been the part's own lines.
bool EndsHold(const LineViews& file, const LevelBlock& block,
              const BlockPlace& place) {
  const LineViews& obsolete = block.obsolete;
  const size_t kept = place.block_past - place.block_first;
  for (size_t k = 1; k <= kept; ++k) {
    const size_t top = place.block_first;
    if ((k <= top && SameKeys(obsolete, top - k, obsolete, top, k)) ||
        (k <= place.first &&
         SameKeys(file, place.first - k, obsolete, top, k))) {
      return false;
    }
    const size_t bottom = place.block_past;
    if ((bottom + k <= obsolete.size() &&
         SameKeys(obsolete, bottom, obsolete, bottom - k, k)) ||
        (place.past + k <= file.size() &&
         SameKeys(file, place.past, obsolete, bottom - k, k))) {
      return false;
    }
  }
  return true;
}

// Whether most lines of the block that say something stand in `lines`.
bool Resembles(const LineViews& lines, const LineViews& block) {
  std::vector<LineDiffHunk> hunks;
  if (!DiffLines(block, lines, LineKey::kEngine, &hunks)) {
    return true;
  }
  const std::vector<ptrdiff_t> matched = MatchedLines(hunks, block.size());
  size_t telling = 0;
  size_t found = 0;
  for (size_t i = 0; i < block.size(); ++i) {
    if (Telling(block[i])) {
      ++telling;
      found += matched[i] >= 0 ? 1 : 0;
    }
  }
  return 2 * found >= telling;
}

// Carries the level to the place found for it. `base` is the base release
// when the place comes from it.
NormalCarry CarryTo(const NormalCarryInput& input, const BlockPlace& place,
                    const BaseFile* base) {
  const LineViews& file = input.file;
  const LevelBlock& block = input.block;
  if (place.failure != LocateFailure::kNone) {
    return Unlocated(input, place);
  }
  // The whole block merged with what stands for it in the file, as a
  // three-way merge of the file would; where that is not clean and the
  // block was found without some of its context, its found part alone,
  // when nothing could slide across the ends of that part.
  const size_t count = block.obsolete.size();
  const size_t below = count - place.block_past;
  const size_t whole_first =
      place.first >= place.block_first ? place.first - place.block_first : 0;
  const size_t whole_past = std::min(file.size(), place.past + below);
  if (HasChangeAlready(file, block, whole_first, whole_past)) {
    NormalCarry carry;
    carry.verdict = Verdict::kAlreadyThere;
    carry.line = whole_first;
    return carry;
  }
  Attempt attempt = Merged(file, block, whole_first, whole_past);
  if (attempt.merge.ok && !attempt.merge.clean &&
      (place.block_first > 0 || below > 0) && EndsHold(file, block, place)) {
    const LevelBlock part{
        Part(block.obsolete, place.block_first, place.block_past),
        Part(block.code, place.block_first, block.code.size() - below)};
    Attempt found = Merged(file, part, place.first, place.past);
    if (found.merge.ok && found.merge.clean) {
      attempt = std::move(found);
    }
  }
  const LevelBlock& part = attempt.part;
  const LineViews onto = Part(file, attempt.first, attempt.past);
  NormalCarry carry;
  carry.stage = place.stage;
  carry.line = attempt.first;
  carry.mark_first = attempt.first;
  carry.mark_past = attempt.past;
  const auto conflict = [&](std::string reason) {
    carry.verdict = Verdict::kConflict;
    carry.reason = std::move(reason);
    carry.sides = {Owned(part.code), Owned(part.obsolete), Owned(onto)};
    carry.marked = ConflictBlock(part.code, part.obsolete, onto);
    return carry;
  };
  const LineMerge& merge = attempt.merge;
  if (!merge.ok) {
    return conflict("the merge failed");
  }
  if (!merge.clean) {
    conflict(
        "NEW changed lines that the level changes, or lines next to "
        "them");
    if (!merge.conflicts.empty()) {
      carry.sides = merge.conflicts.front();
    }
    carry.marked = merge.lines;
    return carry;
  }
  const LineViews merged = ViewsOf(merge.lines);
  if (merged == onto) {
    carry.verdict = Verdict::kAlreadyThere;
    return carry;
  }
  const Edges edges = EdgeInsertions(part);
  // Such lines have no neighbour on that side to say where they go among
  // lines the release added there; the base would tell.
  if (base == nullptr && ((edges.before && attempt.first > 0) ||
                          (edges.after && attempt.past < file.size()))) {
    return conflict(std::string("it adds lines ") +
                    (edges.before ? "before the first" : "after the last") +
                    " line of its block, and nothing tells whether NEW's "
                    "lines there were there before (--base OLD may)");
  }
  if (part.obsolete.size() == count && onto == block.obsolete &&
      AnchorWithContext(file, {attempt.first, attempt.past, block.code}, 0, 0,
                        input.frame, &carry.level)) {
    carry.verdict = Verdict::kUnchanged;
    return carry;
  }
  const LineChange change{attempt.first, attempt.past, merged};
  ContextGrowth growth(change, 0, file.size());
  bool anchored = false;
  do {
    anchored = AnchorWithContext(file, change, growth.above(), growth.below(),
                                 input.frame, &carry.level);
  } while (!anchored && growth.Grow());
  if (!anchored) {
    return conflict("no context makes the carried level the first match");
  }
  carry.verdict = ChangedInside(part.obsolete, onto, ChangedLines(part))
                      ? Verdict::kMerged
                      : Verdict::kReanchored;
  return carry;
}

}  // namespace

NormalCarry CarryNormalLevel(const NormalCarryInput& input) {
  const LineViews& file = input.file;
  const LevelBlock& block = input.block;
  if (input.base == nullptr) {
    return CarryTo(input, LocateBlock(file, block, nullptr), nullptr);
  }
  // The place the base gives first, as a three-way merge of the file.
  const BlockPlace mapped = LocateBlock(file, block, input.base);
  NormalCarry carry = CarryTo(input, mapped, input.base);
  if (carry.verdict != Verdict::kConflict ||
      mapped.failure != LocateFailure::kNone) {
    return carry;
  }
  // Then the block near that place, as without a base: what the release
  // changed next to the level's lines may still leave them clear.
  const size_t margin = block.obsolete.size();
  const size_t first = mapped.first > margin ? mapped.first - margin : 0;
  const size_t past = std::min(file.size(), mapped.past + margin);
  BlockPlace near = LocateBlock(Part(file, first, past), block, nullptr);
  if (near.failure == LocateFailure::kNone) {
    near.first += first;
    near.past += first;
    const NormalCarry again = CarryTo(input, near, nullptr);
    if (again.verdict != Verdict::kConflict) {
      return again;
    }
  }
  // A block that left its place, and stood in one place only in the base,
  // may be found anywhere.
  if (Resembles(Part(file, mapped.first, mapped.past), block.obsolete) ||
      EnginePlaces(input.base->file, block.obsolete, 2).size() != 1) {
    return carry;
  }
  const NormalCarry moved =
      CarryTo(input, LocateBlock(file, block, nullptr), nullptr);
  return moved.verdict != Verdict::kConflict ? moved : carry;
}
