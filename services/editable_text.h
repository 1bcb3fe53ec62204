// A text held as lines while many edits search and change it, at a cost
// that grows with what each edit touches, not with the size of the text.
// Nothing here reads or writes files.
//
// The bytes given at the start stay in one string; the text is a sequence
// of pieces, each a run of consecutive lines either of those bytes (lines
// "read") or of lines that edits put in ("added"). Pieces sit in blocks of
// about kBlockPieces, so an edit splices one block, and splits it when it
// grows too long, whatever the size of the text. Lines read never change
// their relative order, which gives every piece an anchor (the index of the
// first line read at or after it) that never decreases along the sequence:
// a line read is found by binary search over blocks and pieces.
//
// Blocks of lines match when every line equals its file line without
// leading and trailing blanks (bytes up to 32) and ignoring the case of a
// to z: the line's key. A block is looked for through one of its lines: the
// places of that line, in text order, are the only places the block can
// start from, so the first that holds the whole block is the first match
// from the top. Most texts are searched a few times only, and keying every
// line would cost more than the searches: so at first the bytes read are
// scanned for the block's longest key (a byte filter, sixteen bytes at a
// time, then the key compared ignoring case and the blanks around it
// checked up to the line ends), and only the lines found are keyed, with
// the lines that edits added. Once the scans have cost a few passes over
// the text, the keys of the lines read are hashed once, into an index of
// hash buckets that chain their lines in text order; added lines are
// indexed as they come, and the block's rarest line leads the search.
//
// Line ends: the lines are always the split of the text at LF, CR and CR LF
// (a final line end does not start another line), and each line keeps the
// end it has in the text. Replacing lines first ends every line with LF, as
// rebuilding a text from its lines does; replacing bytes keeps every other
// byte as it is.
#ifndef QRL_SERVICES_EDITABLE_TEXT_H_
#define QRL_SERVICES_EDITABLE_TEXT_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// A block of lines prepared for searching: the key of every line and its
// hash, computed once.
class LineBlock {
 public:
  explicit LineBlock(const std::vector<std::string_view>& lines);
  explicit LineBlock(const std::vector<std::string>& lines);

  size_t Count() const { return keys_.size(); }
  const std::string& Key(size_t i) const { return keys_[i]; }
  uint32_t Hash(size_t i) const { return hashes_[i]; }

 private:
  void Add(std::string_view line);

  std::vector<std::string> keys_;
  std::vector<uint32_t> hashes_;
};

// The hash of a line's key: the line trimmed and upper-cased.
uint32_t LineKeyHash(std::string_view line);

class EditableText {
 public:
  explicit EditableText(std::string bytes = {});
  // Takes `size` bytes that need not have been set to anything before they
  // were read (a std::string would set them first). They are never changed,
  // so their owner may share them with others (an opened file's bytes).
  EditableText(std::shared_ptr<const char[]> bytes, size_t size);
  EditableText(EditableText&&) = default;
  EditableText& operator=(EditableText&&) = default;

  uint64_t LineCount() const { return line_count_; }
  // Changes with every edit.
  uint64_t Version() const { return epoch_; }
  // The length of the text in bytes, as WriteTo hands it out.
  uint64_t Size() const;
  // The line at `index` (< LineCount()), without its line end.
  std::string_view Line(uint64_t index) const;

  // The index of the first line from the top (at `from` or below) where
  // every line of `block` stands in turn; -1 when it stands nowhere. An
  // empty block never stands.
  int64_t FindLines(const LineBlock& block, uint64_t from = 0);

  // When searches build the index of keys: once scans have repaid it (the
  // default), at the first search, or never. The result is the same.
  enum class Indexing { kWhenRepaid, kAtOnce, kNever };
  void SetIndexing(Indexing indexing) { indexing_ = indexing; }

  // Calls `visit` with the index and text of every line, from the top.
  void ForEachLine(
      const std::function<void(uint64_t index, std::string_view line)>& visit)
      const;

  // What Size() would be after ReplaceLines(index, count, put).
  uint64_t SizeAfterReplaceLines(uint64_t index, uint64_t count,
                                 std::string_view put) const;
  // Ends every line with LF, then puts the lines of `put` in place of the
  // `count` lines at `index` (index + count <= LineCount()). `put` is empty
  // or ends with LF; its lines keep their own ends.
  void ReplaceLines(uint64_t index, uint64_t count, std::string_view put);
  // Ends every line with LF, the last one included.
  void EndLinesWithLf();
  // What Size() would be after EndLinesWithLf().
  uint64_t SizeWithLfEnds() const { return text_bytes_ + line_count_; }

  // The offset of the first occurrence of `pattern` in the text; an empty
  // pattern stands at 0.
  bool FindBytes(std::string_view pattern, uint64_t* offset) const;
  // Puts `put` in place of the `length` bytes at `offset` (offset + length
  // <= Size()).
  void ReplaceBytes(uint64_t offset, uint64_t length, std::string_view put);

  // Hands the text to `write` in order, piece by piece, without copying:
  // runs of lines read, added lines and their ends. The pieces stay valid
  // until WriteTo returns. Stops with false as soon as `write` returns
  // false.
  bool WriteTo(const std::function<bool(std::string_view)>& write) const;
  std::string Text() const;

 private:
  enum class LineEnd : uint8_t { kNone, kLf, kCr, kCrLf };

  struct Piece {
    uint64_t anchor;  // the index of the first line read at or after it
    uint64_t start;   // its first line: an index into the lines read or added_
    uint64_t count;
    bool added;
  };
  struct Block {
    std::vector<Piece> pieces;
    uint64_t lines = 0;
  };
  // A line's place: block, piece in the block, line in the piece. The end
  // of the text is {blocks_.size(), 0, 0}.
  struct Cursor {
    size_t block = 0;
    size_t piece = 0;
    uint64_t offset = 0;
  };
  struct AddedLine {
    std::string text;
    LineEnd end;
    uint64_t epoch;   // the edit that put it in
    uint64_t anchor;  // the anchor of its piece, which splits keep
    uint32_t hash;    // of its key
    bool dead = false;
  };
  // One line of the text as it stands: its bytes and its end.
  struct LineView {
    std::string_view text;
    LineEnd end;
  };

  static constexpr size_t kBlockPieces = 128;

  // Lines read.
  LineView ReadLine(uint64_t i) const;
  // The kind of a line end as the line splitter gives it.
  static LineEnd EndKind(std::string_view end);
  // The end a line is written with: LF for every line older than the last
  // EndLinesWithLf.
  LineEnd EffectiveEnd(LineEnd own, uint64_t epoch) const;
  LineView LineAt(const Cursor& at) const;
  uint64_t RenderedLength(const LineView& line) const;
  static void AppendLine(const LineView& line, std::string* bytes);

  // Navigation.
  bool AtEnd(const Cursor& at) const { return at.block >= blocks_.size(); }
  bool Next(Cursor* at) const;
  bool Previous(Cursor* at) const;
  Cursor CursorAt(uint64_t index) const;
  uint64_t IndexOf(const Cursor& at) const;
  // Where line read `i` stands; false when an edit took it out.
  bool LocateRead(uint64_t i, Cursor* at) const;
  bool LocateAdded(uint64_t id, Cursor* at) const;

  // Index.
  void BuildIndex();
  // Whether the block's lines stand from `start` on.
  bool BlockAt(const LineBlock& block, Cursor start) const;
  // Whether the block stands with its line k at `at` and starts at `from`
  // or below; *start then tells where it begins.
  bool HoldsAround(const LineBlock& block, size_t k, uint64_t from, Cursor at,
                   Cursor* start) const;
  // Tries the occurrences of block line `k` in the index; the first place
  // where the whole block stands, or -1.
  int64_t FindThrough(const LineBlock& block, size_t k, uint64_t from);
  // The same without the index: the bytes read are scanned for the key of
  // block line `k` (not empty), and the added lines tried by its hash.
  int64_t ScanFor(const LineBlock& block, size_t k, uint64_t from);
  // Goes through the lines one by one (for a block of blank lines only).
  int64_t WalkFor(const LineBlock& block, uint64_t from);
  // The line read that holds byte `offset` of the bytes read.
  uint64_t ReadLineHolding(uint64_t offset) const;

  // Editing.
  // Makes a piece begin at line `index` and returns where it stands.
  Cursor Boundary(uint64_t index);
  // Takes the lines [index, index + count) out.
  void Remove(uint64_t index, uint64_t count);
  // Puts the lines of `bytes` in before line `index`, each with its own
  // end; `bytes` may end without a line end only at the end of the text.
  void Insert(uint64_t index, std::string_view bytes);
  void Rebalance(size_t block);
  void AddLineMeasure(const LineView& line, uint64_t epoch, int sign);

  void AddReadStart(uint64_t offset);
  // Where line read `i` starts; ReadStart(read_count_) is the end.
  uint64_t ReadStart(uint64_t i) const;

  // Splits the bytes read into lines.
  void SplitRead();

  std::shared_ptr<const char[]> read_owner_;
  std::string_view read_;
  uint64_t read_count_ = 0;  // lines read
  // The starts of the lines read take four bytes each: their low 32 bits,
  // and the lines from which on each further 4 GiB begins.
  std::vector<uint32_t> read_start_low_;
  std::vector<uint64_t> read_start_wraps_;
  std::vector<bool> read_dead_;
  bool read_all_lf_ = true;  // every line read ends with LF

  std::vector<AddedLine> added_;
  std::vector<Block> blocks_;

  // The text's measure: Size() = text bytes + lines + extra end bytes.
  uint64_t line_count_ = 0;
  uint64_t text_bytes_ = 0;
  int64_t extra_end_bytes_ = 0;  // over one byte per line, own ends only

  uint64_t epoch_ = 0;     // counts edits
  uint64_t lf_below_ = 0;  // lines of an older epoch end with LF

  Indexing indexing_ = Indexing::kWhenRepaid;
  // What the searches without the index have cost, in bytes gone through.
  uint64_t scanned_ = 0;
  bool indexed_ = false;
  // The lines read by the top bits of their key's hash: bucket b's chain
  // starts at bucket_head_[b] and goes on through next_in_bucket_, in text
  // order, to kNoLine.
  static constexpr uint32_t kNoLine = 0xFFFFFFFF;
  int bucket_shift_ = 32;
  std::vector<uint32_t> bucket_head_;
  std::vector<uint32_t> bucket_count_;
  std::vector<uint32_t> next_in_bucket_;
  std::unordered_map<uint32_t, std::vector<uint64_t>> added_index_;
};

#endif  // QRL_SERVICES_EDITABLE_TEXT_H_
