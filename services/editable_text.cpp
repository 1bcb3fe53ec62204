#include "services/editable_text.h"

#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
// The hot loops have a second form for processors with 32-byte vectors,
// chosen when the program runs.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QRL_HAVE_AVX2_SCAN 1
#endif
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

#include "services/line_split.h"
#include "services/string_utils.h"

namespace {

// Bytes searched together by a StreamSearch.
constexpr size_t kWriteChunk = 1 << 16;

uint8_t Upper(uint8_t byte) {
  return byte >= 'a' && byte <= 'z' ? static_cast<uint8_t>(byte - 32) : byte;
}

// Whether the file line, trimmed, equals the key (trimmed and upper-cased
// already) ignoring case.
bool SameKey(std::string_view line, const std::string& key) {
  const std::string_view trimmed = TrimmedView(line);
  return trimmed.size() == key.size() &&
         std::equal(
             trimmed.begin(), trimmed.end(), key.begin(), [](char a, char b) {
               return Upper(static_cast<uint8_t>(a)) == static_cast<uint8_t>(b);
             });
}

// Calls `found` with a place in [at, end) and a mask of the places of
// `byte` from it on (bit i for place + i), in order, for every stretch of
// sixteen bytes (fewer at the end) that holds it.
template <typename Found>
void ForEachByteMask(const char* at, const char* end, char byte, Found found) {
#ifdef __SSE2__
  const __m128i wanted = _mm_set1_epi8(byte);
  for (; end - at >= 16; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto mask =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
    if (mask != 0) {
      found(at, mask);
    }
  }
#endif
  while (at < end) {
    const auto count = static_cast<int>(std::min<ptrdiff_t>(16, end - at));
    unsigned mask = 0;
    for (int i = 0; i < count; ++i) {
      mask |= at[i] == byte ? 1u << i : 0u;
    }
    if (mask != 0) {
      found(at, mask);
    }
    at += count;
  }
}

// Writes the offset from `begin` after every LF of [from, end) into
// *starts from `count` on, growing it as needed (it holds at least 64 at
// first); the count after them.
size_t StartsAfterLineFeeds(const char* begin, const char* from,
                            const char* end, size_t count,
                            std::vector<uint32_t>* starts) {
  ForEachByteMask(from, end, '\n', [&](const char* at, unsigned mask) {
    if (starts->size() - count < 32) {
      starts->resize(starts->size() * 2);
    }
    uint32_t* start = starts->data() + count;
    for (; mask != 0; mask &= mask - 1) {
      *start++ = static_cast<uint32_t>(at + __builtin_ctz(mask) + 1 - begin);
    }
    count = static_cast<size_t>(start - starts->data());
  });
  return count;
}

#ifdef QRL_HAVE_AVX2_SCAN
// The same, 32 bytes at a time; *saw_cr tells whether the bytes hold a CR
// (the starts are then not those of the lines).
__attribute__((target("avx2"))) size_t StartsAfterLineFeedsWide(
    const char* begin, const char* end, size_t count,
    std::vector<uint32_t>* starts, bool* saw_cr) {
  const __m256i wanted = _mm256_set1_epi8('\n');
  const __m256i cr = _mm256_set1_epi8('\r');
  __m256i crs = _mm256_setzero_si256();
  const char* at = begin;
  for (; end - at >= 32; at += 32) {
    const __m256i bytes =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    crs = _mm256_or_si256(crs, _mm256_cmpeq_epi8(bytes, cr));
    auto mask = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, wanted)));
    if (mask == 0) {
      continue;
    }
    if (starts->size() - count < 32) {
      starts->resize(starts->size() * 2);
    }
    uint32_t* start = starts->data() + count;
    for (; mask != 0; mask &= mask - 1) {
      *start++ = static_cast<uint32_t>(at + __builtin_ctz(mask) + 1 - begin);
    }
    count = static_cast<size_t>(start - starts->data());
  }
  *saw_cr = _mm256_movemask_epi8(crs) != 0 ||
            std::memchr(at, '\r', static_cast<size_t>(end - at)) != nullptr;
  return StartsAfterLineFeeds(begin, at, end, count, starts);
}
#endif

// Calls `found` with every place of `byte` in [at, end), in order.
template <typename Found>
void ForEachByte(const char* at, const char* end, char byte, Found found) {
  ForEachByteMask(at, end, byte, [&](const char* from, unsigned mask) {
    for (; mask != 0; mask &= mask - 1) {
      found(from + __builtin_ctz(mask));
    }
  });
}

// Up to eight bytes as one word (padded with zeros), the letters a to z
// upper-cased all at once; bytes of 128 and up are left alone.
uint64_t UpperWord(const char* bytes, size_t count) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  uint64_t word = 0;
  std::memcpy(&word, bytes, count);
  const uint64_t low7 = word & ~kHigh;
  const uint64_t from_a = low7 + kOnes * (0x80 - 'a');
  const uint64_t past_z = low7 + kOnes * (0x80 - 'z' - 1);
  return word ^ ((from_a & ~past_z & ~word & kHigh) >> 2);
}

// Whether the bytes at `at` are the key (upper-cased already) ignoring the
// case of a to z.
bool EqualsKey(const char* at, std::string_view key) {
  for (size_t i = 0; i < key.size(); ++i) {
    if (Upper(static_cast<uint8_t>(at[i])) != static_cast<uint8_t>(key[i])) {
      return false;
    }
  }
  return true;
}

// A blank inside a line: a byte up to 32 that does not end the line.
bool InnerBlank(char byte) {
  return static_cast<uint8_t>(byte) <= 32 && byte != '\n' && byte != '\r';
}

// How common a byte is in source text, letters of either case as one: the
// higher, the more common. Blanks and lower-case letters lead; digits and
// most punctuation come far behind; other bytes are rare.
constexpr uint8_t CommonRank(uint8_t byte) {
  constexpr std::string_view kByFrequency =
      " etaoinsrlcdhupmfgbywvkxjqz_();,.=\"'-*:/";
  const uint8_t folded =
      byte >= 'A' && byte <= 'Z' ? static_cast<uint8_t>(byte + 32) : byte;
  const size_t place = kByFrequency.find(static_cast<char>(folded));
  if (place != std::string_view::npos) {
    return static_cast<uint8_t>(255 - place);
  }
  if (byte >= '0' && byte <= '9') {
    return 150;
  }
  return byte < 128 ? 100 : 50;
}

// The two places of the key whose bytes are the least common (different
// bytes where the key has them), which the scan tests first.
std::pair<size_t, size_t> RarePlaces(std::string_view key) {
  size_t rarest = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (CommonRank(static_cast<uint8_t>(key[i])) <
        CommonRank(static_cast<uint8_t>(key[rarest]))) {
      rarest = i;
    }
  }
  // A second byte equal to the first tells little more, and one close to
  // it often comes with it (the digits of one number): of the bytes alike
  // rare, the farthest is taken.
  const auto worth = [&](size_t at) {
    const size_t distance = at > rarest ? at - rarest : rarest - at;
    return (CommonRank(static_cast<uint8_t>(key[at])) +
            (key[at] == key[rarest] ? 256u : 0u)) *
               key.size() +
           (key.size() - distance);
  };
  size_t second = rarest == 0 ? key.size() - 1 : 0;
  for (size_t i = 0; i < key.size(); ++i) {
    if (i != rarest && worth(i) < worth(second)) {
      second = i;
    }
  }
  return {rarest, second};
}

// The two bytes of a key that a scan tests first, in both cases of a to z,
// and their places in the key; then its first eight bytes at once.
struct KeyFilter {
  size_t one;
  size_t two;
  char one_upper, one_lower, two_upper, two_lower;
  size_t head_length;
  uint64_t head;

  explicit KeyFilter(std::string_view key)
      : head_length(std::min<size_t>(8, key.size())),
        head(UpperWord(key.data(), head_length)) {
    std::tie(one, two) = RarePlaces(key);
    one_upper = key[one];
    two_upper = key[two];
    one_lower = Lower(one_upper);
    two_lower = Lower(two_upper);
  }

  static char Lower(char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : byte;
  }
  bool Holds(const char* at) const {
    return (at[one] == one_upper || at[one] == one_lower) &&
           (at[two] == two_upper || at[two] == two_lower);
  }
  bool HeadHolds(const char* at) const {
    return UpperWord(at, head_length) == head;
  }
};

// Places that the filter lets through: bit i of `mask` for base + i, where
// the `width` places from `base` on were tested; no base when none is left.
struct Window {
  const char* base = nullptr;
  uint32_t mask = 0;
  size_t width = 1;
};

// The first place in [at, last] that the filter lets through.
Window NextPlaceOneByOne(const char* at, const char* last,
                         const KeyFilter& filter) {
  for (; at <= last; ++at) {
    if (filter.Holds(at)) {
      return {at, 1, 1};
    }
  }
  return {};
}

// The first window from `at` on, within [at, last], with places that the
// filter lets through, many places at a time. Its loop keeps every value
// in registers: the caller's work on a place stays outside it.
#ifdef QRL_HAVE_AVX2_SCAN
__attribute__((target("avx2"))) Window NextPlacesWide(const char* at,
                                                      const char* last,
                                                      const KeyFilter& filter) {
  const __m256i one_upper = _mm256_set1_epi8(filter.one_upper);
  const __m256i one_lower = _mm256_set1_epi8(filter.one_lower);
  const __m256i two_upper = _mm256_set1_epi8(filter.two_upper);
  const __m256i two_lower = _mm256_set1_epi8(filter.two_lower);
  for (; last - at >= 32; at += 32) {
    const __m256i ones =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + filter.one));
    const __m256i twos =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + filter.two));
    const __m256i both =
        _mm256_and_si256(_mm256_or_si256(_mm256_cmpeq_epi8(ones, one_upper),
                                         _mm256_cmpeq_epi8(ones, one_lower)),
                         _mm256_or_si256(_mm256_cmpeq_epi8(twos, two_upper),
                                         _mm256_cmpeq_epi8(twos, two_lower)));
    const auto mask = static_cast<uint32_t>(_mm256_movemask_epi8(both));
    if (mask != 0) {
      return {at, mask, 32};
    }
  }
  return NextPlaceOneByOne(at, last, filter);
}
#endif

Window NextPlacesNarrow(const char* at, const char* last,
                        const KeyFilter& filter) {
#ifdef __SSE2__
  const __m128i one_upper = _mm_set1_epi8(filter.one_upper);
  const __m128i one_lower = _mm_set1_epi8(filter.one_lower);
  const __m128i two_upper = _mm_set1_epi8(filter.two_upper);
  const __m128i two_lower = _mm_set1_epi8(filter.two_lower);
  for (; last - at >= 16; at += 16) {
    const __m128i ones =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + filter.one));
    const __m128i twos =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + filter.two));
    const __m128i both =
        _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(ones, one_upper),
                                   _mm_cmpeq_epi8(ones, one_lower)),
                      _mm_or_si128(_mm_cmpeq_epi8(twos, two_upper),
                                   _mm_cmpeq_epi8(twos, two_lower)));
    const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(both));
    if (mask != 0) {
      return {at, mask, 16};
    }
  }
#endif
  return NextPlaceOneByOne(at, last, filter);
}

// Calls `found` with every place in [begin, end) where the key (not empty,
// upper-cased) stands ignoring the case of a to z, in order, until it
// returns true; false when it never did. The key's two least common bytes
// are tested at 32 or 16 places at a time, as the processor allows; the
// places that have both are checked for the key's first eight bytes in one
// step, and only those that have these too are compared whole.
template <typename Found>
bool ForEachKeyPlace(const char* begin, const char* end, std::string_view key,
                     Found found) {
  if (static_cast<size_t>(end - begin) < key.size()) {
    return false;
  }
  const char* const last = end - key.size();  // places run up to it
  const KeyFilter filter(key);
#ifdef QRL_HAVE_AVX2_SCAN
  static const bool wide = __builtin_cpu_supports("avx2");
#endif
  for (const char* at = begin; at <= last;) {
#ifdef QRL_HAVE_AVX2_SCAN
    const Window window = wide ? NextPlacesWide(at, last, filter)
                               : NextPlacesNarrow(at, last, filter);
#else
    const Window window = NextPlacesNarrow(at, last, filter);
#endif
    if (window.base == nullptr) {
      return false;
    }
    for (uint32_t mask = window.mask; mask != 0; mask &= mask - 1) {
      const char* place = window.base + __builtin_ctz(mask);
      if (filter.HeadHolds(place) && EqualsKey(place, key) && found(place)) {
        return true;
      }
    }
    at = window.base + window.width;
  }
  return false;
}

// Finds a pattern in bytes handed over piece by piece. Small pieces are
// gathered into a window first; a large one is searched where it stands,
// after the window and its first bytes have been searched together, so
// that no occurrence across a border is missed.
class StreamSearch {
 public:
  explicit StreamSearch(std::string_view pattern) : pattern_(pattern) {}

  // False once the pattern has been found (found() then tells where).
  bool Feed(std::string_view bytes) {
    if (bytes.size() < kWriteChunk) {
      window_.append(bytes);
      fed_ += bytes.size();
      return window_.size() < kWriteChunk + pattern_.size() || !SearchWindow();
    }
    const size_t overlap = pattern_.size() - 1;
    window_.append(bytes.substr(0, overlap));
    if (SearchWindow()) {
      return false;
    }
    const size_t found = bytes.find(pattern_);
    if (found != std::string_view::npos) {
      found_ = fed_ + found;
      return false;
    }
    fed_ += bytes.size();
    const size_t keep = std::min(bytes.size(), overlap);
    window_.assign(bytes.substr(bytes.size() - keep));
    window_at_ = fed_ - keep;
    return true;
  }

  // Searches what is left; true when the pattern was found.
  bool Finish() { return found_ != kNotFound || SearchWindow(); }

  uint64_t found() const { return found_; }

 private:
  static constexpr uint64_t kNotFound = std::numeric_limits<uint64_t>::max();

  // Searches the window and keeps its last pattern-1 bytes for the next.
  bool SearchWindow() {
    const size_t found = std::string_view(window_).find(pattern_);
    if (found != std::string_view::npos) {
      found_ = window_at_ + found;
      return true;
    }
    const size_t keep = std::min(window_.size(), pattern_.size() - 1);
    window_at_ += window_.size() - keep;
    window_.erase(0, window_.size() - keep);
    return false;
  }

  std::string_view pattern_;
  std::string window_;
  uint64_t window_at_ = 0;  // the text offset of window_[0]
  uint64_t fed_ = 0;        // the text offset after the bytes fed so far
  uint64_t found_ = kNotFound;
};

}  // namespace

namespace {

inline uint32_t KeyHash(std::string_view line) {
  // The length and the first and last eight bytes of the key: cheap, and
  // enough to tell lines apart for an index whose every match is checked.
  // The letters a to z of a word are upper-cased all at once (bytes of 128
  // and up are left alone); a short key is padded with zeros.
  constexpr uint64_t kMix = 0x9E3779B97F4A7C15ull;
  const auto upper_word = UpperWord;
  const std::string_view key = TrimmedView(line);
  const size_t head = std::min<size_t>(8, key.size());
  uint64_t hash = (key.size() + 1) * kMix;
  hash = (hash ^ upper_word(key.data(), head)) * kMix;
  if (key.size() > 8) {
    const size_t tail = std::min<size_t>(8, key.size() - 8);
    hash = (hash ^ upper_word(key.data() + key.size() - tail, tail)) * kMix;
  }
  hash ^= hash >> 29;
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

uint32_t LineKeyHash(std::string_view line) { return KeyHash(line); }

LineBlock::LineBlock(const std::vector<std::string_view>& lines) {
  for (std::string_view line : lines) {
    Add(line);
  }
}

LineBlock::LineBlock(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Add(line);
  }
}

void LineBlock::Add(std::string_view line) {
  keys_.push_back(UpperCase(TrimmedView(line)));
  hashes_.push_back(LineKeyHash(line));
}

EditableText::EditableText(std::string bytes) {
  auto copy = std::make_unique_for_overwrite<char[]>(bytes.size());
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  read_ = std::string_view(copy.get(), bytes.size());
  read_owner_ = std::move(copy);
  SplitRead();
}

EditableText::EditableText(std::shared_ptr<const char[]> bytes, size_t size)
    : read_owner_(std::move(bytes)), read_(read_owner_.get(), size) {
  SplitRead();
}

void EditableText::SplitRead() {
  const char* const begin = read_.data();
  const char* const end = begin + read_.size();
  // Only LF ends lines in most texts: a line starts at 0 and after every
  // LF but a last one. Below 4 GiB the starts are written straight into
  // the table, which grows when the lines are shorter than most; the
  // wide scan looks for CR on the way.
  bool lf_only = false;
  if (read_.size() <= std::numeric_limits<uint32_t>::max()) {
    std::vector<uint32_t>& starts = read_start_low_;
    starts.resize(read_.size() / 32 + 64);
    size_t count = 0;
    if (!read_.empty()) {
      starts[count++] = 0;
    }
#ifdef QRL_HAVE_AVX2_SCAN
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide) {
      bool saw_cr = false;
      count = StartsAfterLineFeedsWide(begin, end, count, &starts, &saw_cr);
      lf_only = !saw_cr;
    }
#else
    constexpr bool wide = false;
#endif
    if (!wide && std::memchr(begin, '\r', read_.size()) == nullptr) {
      count = StartsAfterLineFeeds(begin, begin, end, count, &starts);
      lf_only = true;
    }
    const bool last_ended = read_.empty() || read_.back() == '\n';
    // A last LF starts no line.
    starts.resize(!lf_only ? 0 : last_ended && count > 0 ? count - 1 : count);
  } else if (std::memchr(begin, '\r', read_.size()) == nullptr) {
    AddReadStart(0);
    ForEachByte(begin, end, '\n', [&](const char* lf) {
      if (lf + 1 < end) {
        AddReadStart(static_cast<uint64_t>(lf + 1 - begin));
      }
    });
    lf_only = true;
  }
  if (lf_only) {
    const bool last_ended = read_.empty() || read_.back() == '\n';
    const uint64_t lines = read_start_low_.size();
    text_bytes_ = read_.size() - (last_ended ? lines : lines - 1);
    extra_end_bytes_ = last_ended ? 0 : -1;
    read_all_lf_ = last_ended;
  } else {
    read_start_low_.reserve(read_.size() / 32 + 2);
    for (size_t at = 0; at < read_.size();) {
      const TextLine line = ::LineAt(read_, at, LineEnds::kAny);
      AddReadStart(at);
      text_bytes_ += line.text.size();
      extra_end_bytes_ += static_cast<int64_t>(line.end.size()) - 1;
      read_all_lf_ = read_all_lf_ && line.end == "\n";
      at += line.length();
    }
  }
  read_count_ = read_start_low_.size();
  line_count_ = read_count_;
  AddReadStart(read_.size());
  read_dead_.assign(line_count_, false);
  if (line_count_ > 0) {
    blocks_.push_back(Block{{Piece{0, 0, line_count_, false}}, line_count_});
  }
}

uint64_t EditableText::Size() const {
  return static_cast<uint64_t>(static_cast<int64_t>(text_bytes_ + line_count_) +
                               extra_end_bytes_);
}

void EditableText::AddReadStart(uint64_t offset) {
  while ((offset >> 32) > read_start_wraps_.size()) {
    read_start_wraps_.push_back(read_start_low_.size());
  }
  read_start_low_.push_back(static_cast<uint32_t>(offset));
}

uint64_t EditableText::ReadStart(uint64_t i) const {
  uint64_t high = 0;
  if (!read_start_wraps_.empty()) {
    high = static_cast<uint64_t>(std::upper_bound(read_start_wraps_.begin(),
                                                  read_start_wraps_.end(), i) -
                                 read_start_wraps_.begin());
  }
  return high << 32 | read_start_low_[i];
}

EditableText::LineView EditableText::ReadLine(uint64_t i) const {
  const uint64_t begin = ReadStart(i);
  const uint64_t next = ReadStart(i + 1);
  const std::string_view line = read_.substr(begin, next - begin);
  const size_t text = line.size() - TrailingLineEnd(line);
  return {line.substr(0, text), EndKind(line.substr(text))};
}

EditableText::LineEnd EditableText::EndKind(std::string_view end) {
  return end == "\n"     ? LineEnd::kLf
         : end == "\r\n" ? LineEnd::kCrLf
         : end == "\r"   ? LineEnd::kCr
                         : LineEnd::kNone;
}

EditableText::LineEnd EditableText::EffectiveEnd(LineEnd own,
                                                 uint64_t epoch) const {
  return epoch < lf_below_ ? LineEnd::kLf : own;
}

EditableText::LineView EditableText::LineAt(const Cursor& at) const {
  const Piece& piece = blocks_[at.block].pieces[at.piece];
  if (!piece.added) {
    const LineView line = ReadLine(piece.start + at.offset);
    return {line.text, EffectiveEnd(line.end, 0)};
  }
  const AddedLine& line = added_[piece.start + at.offset];
  return {line.text, EffectiveEnd(line.end, line.epoch)};
}

void EditableText::AppendLine(const LineView& line, std::string* bytes) {
  bytes->append(line.text);
  switch (line.end) {
    case LineEnd::kLf:
      *bytes += '\n';
      break;
    case LineEnd::kCr:
      *bytes += '\r';
      break;
    case LineEnd::kCrLf:
      *bytes += "\r\n";
      break;
    case LineEnd::kNone:
      break;
  }
}

uint64_t EditableText::RenderedLength(const LineView& line) const {
  switch (line.end) {
    case LineEnd::kNone:
      return line.text.size();
    case LineEnd::kCrLf:
      return line.text.size() + 2;
    default:
      return line.text.size() + 1;
  }
}

std::string_view EditableText::Line(uint64_t index) const {
  return LineAt(CursorAt(index)).text;
}

bool EditableText::Next(Cursor* at) const {
  if (++at->offset < blocks_[at->block].pieces[at->piece].count) {
    return true;
  }
  at->offset = 0;
  if (++at->piece < blocks_[at->block].pieces.size()) {
    return true;
  }
  at->piece = 0;
  return ++at->block < blocks_.size();
}

bool EditableText::Previous(Cursor* at) const {
  if (at->offset > 0) {
    --at->offset;
    return true;
  }
  if (at->piece == 0) {
    if (at->block == 0) {
      return false;
    }
    --at->block;
    at->piece = blocks_[at->block].pieces.size();
  }
  --at->piece;
  at->offset = blocks_[at->block].pieces[at->piece].count - 1;
  return true;
}

EditableText::Cursor EditableText::CursorAt(uint64_t index) const {
  Cursor at;
  for (; at.block < blocks_.size(); ++at.block) {
    const Block& block = blocks_[at.block];
    if (index < block.lines) {
      for (;; ++at.piece) {
        const uint64_t count = block.pieces[at.piece].count;
        if (index < count) {
          at.offset = index;
          return at;
        }
        index -= count;
      }
    }
    index -= block.lines;
  }
  return Cursor{blocks_.size(), 0, 0};
}

uint64_t EditableText::IndexOf(const Cursor& at) const {
  uint64_t index = at.offset;
  for (size_t b = 0; b < at.block && b < blocks_.size(); ++b) {
    index += blocks_[b].lines;
  }
  if (!AtEnd(at)) {
    const std::vector<Piece>& pieces = blocks_[at.block].pieces;
    for (size_t p = 0; p < at.piece; ++p) {
      index += pieces[p].count;
    }
  }
  return index;
}

bool EditableText::LocateRead(uint64_t i, Cursor* at) const {
  if (read_dead_[i]) {
    return false;
  }
  // The last block, then the last piece, whose anchor is at most i: pieces
  // after the one holding line i have anchors beyond it.
  const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), i,
                                      [](uint64_t value, const Block& b) {
                                        return value < b.pieces.front().anchor;
                                      });
  if (block == blocks_.begin()) {
    return false;
  }
  const std::vector<Piece>& pieces = std::prev(block)->pieces;
  const auto piece = std::upper_bound(
      pieces.begin(), pieces.end(), i,
      [](uint64_t value, const Piece& p) { return value < p.anchor; });
  if (piece == pieces.begin()) {
    return false;
  }
  const Piece& holder = *std::prev(piece);
  if (holder.added || i < holder.start || i >= holder.start + holder.count) {
    return false;
  }
  *at = Cursor{static_cast<size_t>(std::prev(block) - blocks_.begin()),
               static_cast<size_t>(std::prev(piece) - pieces.begin()),
               i - holder.start};
  return true;
}

bool EditableText::LocateAdded(uint64_t id, Cursor* at) const {
  const AddedLine& line = added_[id];
  if (line.dead) {
    return false;
  }
  // Pieces of one anchor stand together; the line is in one of them.
  auto block = std::lower_bound(blocks_.begin(), blocks_.end(), line.anchor,
                                [](const Block& b, uint64_t value) {
                                  return b.pieces.back().anchor < value;
                                });
  for (; block != blocks_.end() && block->pieces.front().anchor <= line.anchor;
       ++block) {
    const std::vector<Piece>& pieces = block->pieces;
    for (size_t p = 0; p < pieces.size(); ++p) {
      const Piece& piece = pieces[p];
      if (piece.added && id >= piece.start && id < piece.start + piece.count) {
        *at = Cursor{static_cast<size_t>(block - blocks_.begin()), p,
                     id - piece.start};
        return true;
      }
    }
  }
  return false;
}

void EditableText::BuildIndex() {
  indexed_ = true;
  // About one bucket for every eight lines read, at most 2^16 so that the
  // heads and counts stay in the processor's cache, chosen by the top bits
  // of the hash. The lines of a bucket form a chain in text order.
  int bits = 1;
  while (bits < 16 && (uint64_t{8} << bits) < read_count_) {
    ++bits;
  }
  bucket_shift_ = 32 - bits;
  // First the bucket of every line, while the text streams through...
  next_in_bucket_.resize(read_count_);
  uint32_t* const bucket_of = next_in_bucket_.data();
  if (read_start_wraps_.empty()) {
    // Below 4 GiB the starts are the offsets: the lines go by in one walk.
    const char* const data = read_.data();
    const uint32_t* const starts = read_start_low_.data();
    for (uint64_t i = 0; i < read_count_; ++i) {
      const std::string_view line(data + starts[i], starts[i + 1] - starts[i]);
      bucket_of[i] =
          KeyHash(line.substr(0, line.size() - TrailingLineEnd(line))) >>
          bucket_shift_;
    }
  } else {
    for (uint64_t i = 0; i < read_count_; ++i) {
      bucket_of[i] = KeyHash(ReadLine(i).text) >> bucket_shift_;
    }
  }
  // ... then the chains, from the last line up, each bucket's link taking
  // the place of the line's bucket.
  bucket_head_.assign(size_t{1} << bits, kNoLine);
  bucket_count_.assign(bucket_head_.size(), 0);
  for (uint64_t i = read_count_; i-- > 0;) {
    const uint32_t bucket = bucket_of[i];
    next_in_bucket_[i] = bucket_head_[bucket];
    bucket_head_[bucket] = static_cast<uint32_t>(i);
    ++bucket_count_[bucket];
  }
  for (uint64_t id = 0; id < added_.size(); ++id) {
    if (!added_[id].dead) {
      added_index_[added_[id].hash].push_back(id);
    }
  }
}

bool EditableText::BlockAt(const LineBlock& block, Cursor start) const {
  for (size_t k = 0;; ++k) {
    if (!SameKey(LineAt(start).text, block.Key(k))) {
      return false;
    }
    if (k + 1 == block.Count()) {
      return true;
    }
    if (!Next(&start)) {
      return false;
    }
  }
}

int64_t EditableText::FindLines(const LineBlock& block, uint64_t from) {
  if (block.Count() == 0 || from >= line_count_ ||
      block.Count() > line_count_ - from) {
    return -1;
  }
  // Scanning the bytes costs less than a pass for a search from the top;
  // keying every line for the index, about four. A text with too many lines for
  // the index is always scanned.
  constexpr uint64_t kScansThatRepayTheIndex = 4;
  if (!indexed_ && read_count_ < kNoLine &&
      (indexing_ == Indexing::kAtOnce ||
       (indexing_ == Indexing::kWhenRepaid &&
        scanned_ >= kScansThatRepayTheIndex * (read_.size() + 1)))) {
    BuildIndex();
  }
  if (!indexed_) {
    // The longest key is the likeliest to be rare.
    size_t longest = 0;
    for (size_t k = 1; k < block.Count(); ++k) {
      if (block.Key(k).size() > block.Key(longest).size()) {
        longest = k;
      }
    }
    return block.Key(longest).empty() ? WalkFor(block, from)
                                      : ScanFor(block, longest, from);
  }
  // The block line with the fewest possible places leads the search.
  size_t rarest = 0;
  uint64_t fewest = std::numeric_limits<uint64_t>::max();
  for (size_t k = 0; k < block.Count() && fewest > 0; ++k) {
    uint64_t occurrences = bucket_count_[block.Hash(k) >> bucket_shift_];
    const auto added = added_index_.find(block.Hash(k));
    if (added != added_index_.end()) {
      occurrences += added->second.size();
    }
    if (occurrences < fewest) {
      fewest = occurrences;
      rarest = k;
    }
  }
  return fewest == 0 ? -1 : FindThrough(block, rarest, from);
}

bool EditableText::HoldsAround(const LineBlock& block, size_t k, uint64_t from,
                               Cursor at, Cursor* start) const {
  if (!SameKey(LineAt(at).text, block.Key(k))) {
    return false;
  }
  for (size_t back = 0; back < k; ++back) {
    if (!Previous(&at)) {
      return false;
    }
  }
  *start = at;
  return (from == 0 || IndexOf(at) >= from) && BlockAt(block, at);
}

int64_t EditableText::FindThrough(const LineBlock& block, size_t k,
                                  uint64_t from) {
  const uint32_t first = bucket_head_[block.Hash(k) >> bucket_shift_];
  const auto added_entry = added_index_.find(block.Hash(k));
  Cursor at;
  Cursor start;
  if (added_entry == added_index_.end()) {
    // Lines read only: the chain holds them in text order.
    for (uint32_t line = first; line != kNoLine; line = next_in_bucket_[line]) {
      if (!read_dead_[line] && SameKey(ReadLine(line).text, block.Key(k)) &&
          LocateRead(line, &at) && HoldsAround(block, k, from, at, &start)) {
        return static_cast<int64_t>(IndexOf(start));
      }
    }
    return -1;
  }
  // Added lines stand anywhere: every occurrence is put in text order.
  std::vector<std::pair<uint64_t, Cursor>> places;
  for (uint32_t line = first; line != kNoLine; line = next_in_bucket_[line]) {
    if (LocateRead(line, &at)) {
      places.emplace_back(IndexOf(at), at);
    }
  }
  for (uint64_t id : added_entry->second) {
    if (LocateAdded(id, &at)) {
      places.emplace_back(IndexOf(at), at);
    }
  }
  std::sort(places.begin(), places.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [index, place] : places) {
    if (HoldsAround(block, k, from, place, &start)) {
      return static_cast<int64_t>(index - k);
    }
  }
  return -1;
}

uint64_t EditableText::ReadLineHolding(uint64_t offset) const {
  uint64_t low = 0;  // ReadStart(low) <= offset < ReadStart(high)
  uint64_t high = read_count_;
  if (read_start_wraps_.empty()) {
    const auto first = read_start_low_.begin();
    return static_cast<uint64_t>(
               std::upper_bound(first,
                                first + static_cast<std::ptrdiff_t>(high),
                                static_cast<uint32_t>(offset)) -
               first) -
           1;
  }
  while (high - low > 1) {
    const uint64_t middle = low + (high - low) / 2;
    if (ReadStart(middle) <= offset) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return low;
}

int64_t EditableText::ScanFor(const LineBlock& block, size_t k, uint64_t from) {
  const std::string& key = block.Key(k);
  // The added lines with the key, in text order.
  std::vector<std::pair<uint64_t, Cursor>> added;
  Cursor at;
  for (uint64_t id = 0; id < added_.size(); ++id) {
    const AddedLine& line = added_[id];
    if (!line.dead && line.hash == block.Hash(k) && SameKey(line.text, key) &&
        LocateAdded(id, &at)) {
      added.emplace_back(IndexOf(at), at);
    }
  }
  std::sort(added.begin(), added.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  auto next_added = added.begin();
  Cursor start;
  int64_t found = -1;
  // Tries the added places above text line `index`.
  const auto added_above = [&](uint64_t index) {
    for (; next_added != added.end() && next_added->first < index;
         ++next_added) {
      if (HoldsAround(block, k, from, next_added->second, &start)) {
        found = static_cast<int64_t>(next_added->first - k);
        return true;
      }
    }
    return false;
  };
  // The lines read from the one at `from` on (or the one after it).
  uint64_t first_read = 0;
  if (from > 0) {
    const Cursor from_at = CursorAt(from);
    const Piece& piece = blocks_[from_at.block].pieces[from_at.piece];
    first_read = piece.added ? piece.anchor : piece.start + from_at.offset;
  }
  const char* const data = read_.data();
  const char* const begin = data + ReadStart(first_read);
  const char* const end = data + read_.size();
  const char* stop = end;
  // No line holds a line end.
  if (key.find_first_of("\r\n") == std::string::npos) {
    ForEachKeyPlace(begin, end, key, [&](const char* place) {
      // Only blanks between the key and the ends of its line.
      const char* line_begin = place;
      while (line_begin > data && InnerBlank(line_begin[-1])) {
        --line_begin;
      }
      if (line_begin > data && line_begin[-1] != '\n' &&
          line_begin[-1] != '\r') {
        return false;
      }
      const char* line_end = place + key.size();
      while (line_end < end && InnerBlank(*line_end)) {
        ++line_end;
      }
      if (line_end < end && *line_end != '\n' && *line_end != '\r') {
        return false;
      }
      const uint64_t line =
          ReadLineHolding(static_cast<uint64_t>(line_begin - data));
      if (!LocateRead(line, &at)) {
        return false;  // an edit took it out
      }
      if ((!added.empty() && added_above(IndexOf(at))) ||
          HoldsAround(block, k, from, at, &start)) {
        if (found < 0) {
          found = static_cast<int64_t>(IndexOf(start));
        }
        stop = place;
        return true;
      }
      return false;
    });
  }
  scanned_ += static_cast<uint64_t>(stop - begin);
  if (found < 0) {
    added_above(std::numeric_limits<uint64_t>::max());
  }
  return found;
}

int64_t EditableText::WalkFor(const LineBlock& block, uint64_t from) {
  scanned_ += read_.size();
  for (Cursor at = CursorAt(from); !AtEnd(at);) {
    if (SameKey(LineAt(at).text, block.Key(0)) && BlockAt(block, at)) {
      return static_cast<int64_t>(IndexOf(at));
    }
    if (!Next(&at)) {
      break;
    }
  }
  return -1;
}

void EditableText::ForEachLine(
    const std::function<void(uint64_t index, std::string_view line)>& visit)
    const {
  uint64_t index = 0;
  for (Cursor at; !AtEnd(at); ++index) {
    visit(index, LineAt(at).text);
    if (!Next(&at)) {
      break;
    }
  }
}

uint64_t EditableText::SizeAfterReplaceLines(uint64_t index, uint64_t count,
                                             std::string_view put) const {
  uint64_t removed = 0;
  Cursor at = CursorAt(index);
  for (uint64_t n = 0; n < count; ++n) {
    removed += LineAt(at).text.size() + 1;
    Next(&at);
  }
  return text_bytes_ + line_count_ - removed + put.size();
}

void EditableText::EndLinesWithLf() {
  lf_below_ = ++epoch_;
  extra_end_bytes_ = 0;
}

void EditableText::ReplaceLines(uint64_t index, uint64_t count,
                                std::string_view put) {
  EndLinesWithLf();
  Remove(index, count);
  Insert(index, put);
}

bool EditableText::FindBytes(std::string_view pattern, uint64_t* offset) const {
  if (pattern.empty()) {
    *offset = 0;
    return true;
  }
  StreamSearch search(pattern);
  const bool all_found =
      WriteTo([&search](std::string_view bytes) { return search.Feed(bytes); });
  if (all_found && !search.Finish()) {
    return false;
  }
  *offset = search.found();
  return true;
}

void EditableText::ReplaceBytes(uint64_t offset, uint64_t length,
                                std::string_view put) {
  // The lines that hold the bytes, with one more on each side: a CR that
  // ends a line may meet a LF that now starts the next, and the split of
  // these lines alone is then the split of the whole text.
  uint64_t first = 0;      // the first line of the region
  uint64_t region_at = 0;  // its offset in the text
  uint64_t lines = 0;
  std::string region;
  if (line_count_ > 0) {
    // The line that holds `offset`: the last line when it is the end.
    Cursor at;
    uint64_t at_offset = 0;
    for (Cursor next = at;; at = next) {
      const uint64_t length_here = RenderedLength(LineAt(at));
      if (at_offset + length_here > offset || !Next(&next)) {
        break;
      }
      at_offset += length_here;
      ++first;
    }
    region_at = at_offset;
    if (Previous(&at)) {
      --first;
      region_at -= RenderedLength(LineAt(at));
    }
    // Up to the line after the one that holds the last byte replaced.
    const uint64_t last_byte = length > 0 ? offset + length - 1 : offset;
    bool last_taken = false;
    for (uint64_t line_at = region_at;;) {
      const LineView line = LineAt(at);
      AppendLine(line, &region);
      ++lines;
      line_at += RenderedLength(line);
      if (last_taken || !Next(&at)) {
        break;
      }
      last_taken = line_at > last_byte;
    }
  }
  region.replace(offset - region_at, length, put);
  ++epoch_;
  Remove(first, lines);
  Insert(first, region);
}

EditableText::Cursor EditableText::Boundary(uint64_t index) {
  Cursor at = CursorAt(index);
  if (AtEnd(at) || at.offset == 0) {
    return at;
  }
  Block& block = blocks_[at.block];
  Piece tail = block.pieces[at.piece];
  tail.start += at.offset;
  tail.count -= at.offset;
  if (!tail.added) {
    tail.anchor = tail.start;
  }
  block.pieces[at.piece].count = at.offset;
  block.pieces.insert(
      block.pieces.begin() + static_cast<std::ptrdiff_t>(at.piece) + 1, tail);
  return Cursor{at.block, at.piece + 1, 0};
}

void EditableText::AddLineMeasure(const LineView& line, uint64_t epoch,
                                  int sign) {
  const auto length = static_cast<int64_t>(line.text.size());
  int64_t extra = 0;
  if (epoch >= lf_below_) {
    extra = static_cast<int64_t>(RenderedLength(line)) - length - 1;
  }
  text_bytes_ =
      static_cast<uint64_t>(static_cast<int64_t>(text_bytes_) + sign * length);
  line_count_ = static_cast<uint64_t>(static_cast<int64_t>(line_count_) + sign);
  extra_end_bytes_ += sign * extra;
}

void EditableText::Remove(uint64_t index, uint64_t count) {
  Boundary(index);
  if (count == 0) {
    return;
  }
  Boundary(index + count);
  const Cursor first = CursorAt(index);
  const Cursor last = CursorAt(index + count);
  // Every line taken out leaves the measure and the index.
  Cursor at = first;
  for (uint64_t n = 0; n < count; ++n, Next(&at)) {
    const Piece& piece = blocks_[at.block].pieces[at.piece];
    const uint64_t line = piece.start + at.offset;
    if (piece.added) {
      AddedLine& added = added_[line];
      AddLineMeasure({added.text, added.end}, added.epoch, -1);
      added.dead = true;
    } else {
      AddLineMeasure(ReadLine(line), 0, -1);
      read_dead_[line] = true;
    }
  }
  // The pieces between the two boundaries go, and blocks left empty.
  const auto erase_pieces = [this](size_t b, size_t from, size_t to) {
    Block& block = blocks_[b];
    for (size_t p = from; p < to; ++p) {
      block.lines -= block.pieces[p].count;
    }
    block.pieces.erase(block.pieces.begin() + static_cast<std::ptrdiff_t>(from),
                       block.pieces.begin() + static_cast<std::ptrdiff_t>(to));
  };
  if (first.block == last.block) {
    erase_pieces(first.block, first.piece, last.piece);
    Rebalance(first.block);
    return;
  }
  erase_pieces(first.block, first.piece, blocks_[first.block].pieces.size());
  if (!AtEnd(last)) {
    erase_pieces(last.block, 0, last.piece);
  }
  const size_t middle_end = std::min(last.block, blocks_.size());
  blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(first.block) + 1,
                blocks_.begin() + static_cast<std::ptrdiff_t>(middle_end));
  if (blocks_[first.block].pieces.empty()) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(first.block));
  }
  // The boundaries may have made the blocks around the place too long.
  for (size_t b = first.block + 2; b-- > first.block;) {
    if (b < blocks_.size()) {
      Rebalance(b);
    }
  }
}

void EditableText::Insert(uint64_t index, std::string_view bytes) {
  if (bytes.empty()) {
    return;
  }
  Cursor at = Boundary(index);
  // The anchor of whatever follows, or the end of the lines read.
  const uint64_t anchor =
      AtEnd(at) ? read_count_ : blocks_[at.block].pieces[at.piece].anchor;
  const uint64_t first_id = added_.size();
  for (size_t at = 0; at < bytes.size();) {
    const TextLine line = ::LineAt(bytes, at, LineEnds::kAny);
    const LineEnd line_end = EndKind(line.end);
    const std::string_view text = line.text;
    const uint32_t hash = LineKeyHash(text);
    added_.push_back(
        AddedLine{std::string(text), line_end, epoch_, anchor, hash});
    AddLineMeasure({text, line_end}, epoch_, 1);
    if (indexed_) {
      added_index_[hash].push_back(added_.size() - 1);
    }
    at += line.length();
  }
  const Piece piece{anchor, first_id, added_.size() - first_id, true};
  if (AtEnd(at)) {
    // After the last piece, or into an empty text.
    if (blocks_.empty()) {
      blocks_.emplace_back();
    }
    at = Cursor{blocks_.size() - 1, blocks_.back().pieces.size(), 0};
  }
  Block& block = blocks_[at.block];
  block.pieces.insert(
      block.pieces.begin() + static_cast<std::ptrdiff_t>(at.piece), piece);
  block.lines += piece.count;
  Rebalance(at.block);
}

void EditableText::Rebalance(size_t b) {
  if (blocks_[b].pieces.size() <= 2 * kBlockPieces) {
    return;
  }
  Block tail;
  std::vector<Piece>& pieces = blocks_[b].pieces;
  const auto middle =
      pieces.begin() + static_cast<std::ptrdiff_t>(pieces.size() / 2);
  tail.pieces.assign(middle, pieces.end());
  pieces.erase(middle, pieces.end());
  for (const Piece& piece : tail.pieces) {
    tail.lines += piece.count;
  }
  blocks_[b].lines -= tail.lines;
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1,
                 std::move(tail));
}

bool EditableText::WriteTo(
    const std::function<bool(std::string_view)>& write) const {
  static constexpr std::string_view kEnds[] = {"", "\n", "\r", "\r\n"};
  const auto write_line = [&write](const LineView& line) {
    return write(line.text) && write(kEnds[static_cast<int>(line.end)]);
  };
  for (const Block& block : blocks_) {
    for (const Piece& piece : block.pieces) {
      if (!piece.added && (lf_below_ == 0 || read_all_lf_)) {
        // Lines read, written as they were read: their bytes stand together.
        const uint64_t begin = ReadStart(piece.start);
        if (!write(std::string_view(
                read_.data() + begin,
                ReadStart(piece.start + piece.count) - begin))) {
          return false;
        }
        continue;
      }
      for (uint64_t i = 0; i < piece.count; ++i) {
        LineView line;
        if (piece.added) {
          const AddedLine& added = added_[piece.start + i];
          line = {added.text, EffectiveEnd(added.end, added.epoch)};
        } else {
          line = ReadLine(piece.start + i);
          line.end = EffectiveEnd(line.end, 0);
        }
        if (!write_line(line)) {
          return false;
        }
      }
    }
  }
  return true;
}

std::string EditableText::Text() const {
  std::string text;
  text.reserve(Size());
  WriteTo([&text](std::string_view bytes) {
    text.append(bytes);
    return true;
  });
  return text;
}
