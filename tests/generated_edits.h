// Generated files, local changes of them and the edits a later release
// makes, for the property tests of rebase. Every line has an identity that
// an edit keeps when it changes the line's text, so where a local change
// belongs in the edited file is known wherever that is well defined.
#ifndef QRL_TESTS_GENERATED_EDITS_H_
#define QRL_TESTS_GENERATED_EDITS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using Text = std::vector<std::string>;

struct GeneratedLine {
  int id = 0;  // 0 for a line a change put in
  std::string text;
};
using GeneratedFile = std::vector<GeneratedLine>;

Text Texts(const GeneratedFile& file);

// Lines [start, end) of the file become `put`.
struct LocalChange {
  size_t start = 0;
  size_t end = 0;
  Text put;
};

enum class UpstreamEdit {
  kInsertFar,
  kInsertNear,
  kDelete,
  kMove,
  kReindent,
  kCase,
  kRewrite,
  kDuplicate,
  kSameChange,
  kCount,
};
std::string_view EditName(UpstreamEdit edit);

class EditGenerator {
 public:
  explicit EditGenerator(uint32_t seed) : random_(seed) {}

  // From 0 to n - 1; 0 for 0.
  size_t Below(size_t n);
  // Lines that mostly say something, each once, and a quarter of common
  // lines ("}", "", "  return 0;" ...).
  GeneratedFile MakeFile(size_t count);
  // Up to three lines of the file replaced by up to three new ones.
  LocalChange MakeChange(size_t file_size);
  UpstreamEdit PickEdit();
  // Edits `file` (the base until now). The edits that aim at the block
  // take lines [block_first, block_past) of it; the same change is
  // `change`.
  void Apply(UpstreamEdit edit, size_t block_first, size_t block_past,
             const GeneratedFile& base, const LocalChange& change,
             GeneratedFile* file);

 private:
  GeneratedLine Fresh(const std::string& what);

  std::mt19937 random_;
  int next_id_ = 1;
};

// `edited` with the change of `base` applied by the lines' identities;
// nothing when that is not well defined (a changed line is gone or was
// edited, or an insertion's neighbours no longer stand side by side).
std::optional<GeneratedFile> ApplyByIdentity(const GeneratedFile& base,
                                             const GeneratedFile& edited,
                                             const LocalChange& change);

#endif  // QRL_TESTS_GENERATED_EDITS_H_
