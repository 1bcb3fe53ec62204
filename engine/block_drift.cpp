#include "engine/block_drift.h"

#include <algorithm>
#include <cstdint>

#include "services/string_utils.h"

namespace {

// The pairs of neighbouring bytes of a line's key, sorted.
std::vector<uint16_t> Bigrams(std::string_view line) {
  const std::string key = UpperCase(TrimmedView(line));
  std::vector<uint16_t> pairs;
  for (size_t i = 0; i + 1 < key.size(); ++i) {
    pairs.push_back(static_cast<uint16_t>(static_cast<uint8_t>(key[i]) << 8 |
                                          static_cast<uint8_t>(key[i + 1])));
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

double Likeness(const std::vector<uint16_t>& a, std::string_view a_line,
                std::string_view b_line) {
  const std::vector<uint16_t> b = Bigrams(b_line);
  if (a.empty() || b.empty()) {
    return EqualsIgnoringCase(TrimmedView(a_line), TrimmedView(b_line)) ? 1.0
                                                                        : 0.0;
  }
  size_t shared = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] == b[j]) {
      ++shared;
      ++i;
      ++j;
    } else if (a[i] < b[j]) {
      ++i;
    } else {
      ++j;
    }
  }
  return 2.0 * static_cast<double>(shared) /
         static_cast<double>(a.size() + b.size());
}

std::vector<std::string> Prefix(const std::vector<std::string>& block,
                                size_t count) {
  return std::vector<std::string>(
      block.begin(), block.begin() + static_cast<ptrdiff_t>(count));
}

}  // namespace

std::string QuotedLine(std::string_view line) {
  return "\"" + std::string(line) + "\"";
}

std::string LineNumberOf(int64_t index) { return std::to_string(index + 1); }

double LineLikeness(std::string_view a, std::string_view b) {
  return Likeness(Bigrams(a), a, b);
}

BlockPlaces FindBlockPlaces(EditableText& text,
                            const std::vector<std::string>& block,
                            size_t most_others) {
  BlockPlaces places;
  const LineBlock keys(block);
  places.first = text.FindLines(keys);
  if (places.first < 0) {
    return places;
  }
  for (size_t i = 0; i < block.size(); ++i) {
    if (text.Line(static_cast<uint64_t>(places.first) + i) != block[i]) {
      places.exact = false;
      break;
    }
  }
  uint64_t from = static_cast<uint64_t>(places.first) + 1;
  while (places.others.size() < most_others) {
    const int64_t next = text.FindLines(keys, from);
    if (next < 0) {
      break;
    }
    places.others.push_back(static_cast<uint64_t>(next));
    from = static_cast<uint64_t>(next) + 1;
  }
  return places;
}

BlockDrift DescribeDrift(EditableText& text,
                         const std::vector<std::string>& block) {
  BlockDrift drift;
  if (block.empty()) {
    return drift;
  }
  // The longest start of the block that stands somewhere: a longer start
  // stands only where a shorter one does, so halving finds it.
  size_t found = 0;
  size_t not_found = block.size();
  while (not_found - found > 1) {
    const size_t middle = (found + not_found) / 2;
    if (text.FindLines(LineBlock(Prefix(block, middle))) >= 0) {
      found = middle;
    } else {
      not_found = middle;
    }
  }
  drift.missing = found;
  if (found > 0) {
    drift.start_at = text.FindLines(LineBlock(Prefix(block, found)));
    const uint64_t instead = static_cast<uint64_t>(drift.start_at) + found;
    if (instead < text.LineCount()) {
      drift.found_instead = std::string(text.Line(instead));
    }
    return drift;
  }
  // A line less alike than this would mislead more than help.
  constexpr double kLeastLikeness = 0.4;
  const std::vector<uint16_t> wanted = Bigrams(block[0]);
  double best = kLeastLikeness;
  text.ForEachLine([&](uint64_t index, std::string_view line) {
    const double likeness = Likeness(wanted, block[0], line);
    if (likeness > best || (likeness == best && drift.nearest < 0)) {
      best = likeness;
      drift.nearest = static_cast<int64_t>(index);
      drift.nearest_text = std::string(line);
    }
  });
  return drift;
}

std::string DriftReason(EditableText& text,
                        const std::vector<std::string>& block,
                        std::string_view what) {
  if (block.empty()) {
    return "the " + std::string(what) + " has no lines";  // never found
  }
  const BlockDrift drift = DescribeDrift(text, block);
  std::string reason = std::string(what) + " line " +
                       std::to_string(drift.missing + 1) + " " +
                       QuotedLine(block[drift.missing]) + " is not found";
  if (drift.start_at >= 0) {
    reason +=
        "; its first " +
        (drift.missing == 1 ? std::string("line stands")
                            : std::to_string(drift.missing) + " lines stand") +
        " at line " + LineNumberOf(drift.start_at) + ", followed by " +
        (drift.found_instead.empty() &&
                 static_cast<uint64_t>(drift.start_at) + drift.missing >=
                     text.LineCount()
             ? std::string("the end of the file")
             : QuotedLine(drift.found_instead));
  } else if (drift.nearest >= 0) {
    reason += "; the nearest line is line " + LineNumberOf(drift.nearest) +
              " " + QuotedLine(drift.nearest_text);
  } else {
    reason += "; no line of the file resembles it";
  }
  return reason;
}
