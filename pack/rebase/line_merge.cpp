#include "pack/rebase/line_merge.h"

#include <git2.h>

#include <charconv>

#include "pack/rebase/libgit2_init.h"
#include "services/line_split.h"

namespace {

// The merged text, line by line: numbers stand for lines of the inputs,
// anything else is a marker line.
class MergeReader {
 public:
  explicit MergeReader(const LineNumbering& numbering)
      : numbering_(numbering) {}

  void Read(std::string_view text, LineMerge* merge) {
    enum class Side { kNone, kPackage, kBase, kOnto } side = Side::kNone;
    for (const std::string_view line : SplitLines(text, LineEnds::kLfOnly)) {
      size_t number = 0;
      const auto [past, error] =
          std::from_chars(line.data(), line.data() + line.size(), number);
      if (error == std::errc() && past == line.data() + line.size() &&
          numbering_.Knows(number)) {
        const std::string text_line(numbering_.LineOf(number));
        merge->lines.push_back(text_line);
        if (side == Side::kPackage) {
          merge->conflicts.back().package.push_back(text_line);
        } else if (side == Side::kBase) {
          merge->conflicts.back().base.push_back(text_line);
        } else if (side == Side::kOnto) {
          merge->conflicts.back().onto.push_back(text_line);
        }
        continue;
      }
      // A marker: the library writes its labels after the marker bytes.
      switch (line.empty() ? '\0' : line[0]) {
        case '<':
          merge->conflicts.emplace_back();
          side = Side::kPackage;
          merge->lines.emplace_back(kPackageMarker);
          break;
        case '|':
          side = Side::kBase;
          merge->lines.emplace_back(kBaseMarker);
          break;
        case '=':
          side = Side::kOnto;
          merge->lines.emplace_back(kSidesMarker);
          break;
        default:
          side = Side::kNone;
          merge->lines.emplace_back(kNewMarker);
          break;
      }
    }
  }

 private:
  const LineNumbering& numbering_;
};

}  // namespace

LineMerge MergeLines(const LineViews& base, const LineViews& package,
                     const LineViews& onto) {
  EnsureLibgit2();
  LineMerge merge;
  LineNumbering numbering(LineKey::kExact);
  const std::string texts[] = {numbering.Text(base), numbering.Text(package),
                               numbering.Text(onto)};
  git_merge_file_input inputs[3];
  for (int i = 0; i < 3; ++i) {
    git_merge_file_input_init(&inputs[i], GIT_MERGE_FILE_INPUT_VERSION);
    inputs[i].ptr = texts[i].data();
    inputs[i].size = texts[i].size();
  }
  git_merge_file_options options;
  git_merge_file_options_init(&options, GIT_MERGE_FILE_OPTIONS_VERSION);
  options.ancestor_label = "base";
  options.our_label = "package";
  options.their_label = "NEW";
  options.flags = GIT_MERGE_FILE_STYLE_DIFF3 | GIT_MERGE_FILE_DIFF_PATIENCE;
  git_merge_file_result result = {};
  if (git_merge_file(&result, &inputs[0], &inputs[1], &inputs[2], &options) !=
      0) {
    return merge;
  }
  merge.ok = true;
  merge.clean = result.automergeable != 0;
  MergeReader(numbering).Read(std::string_view(result.ptr, result.len), &merge);
  git_merge_file_result_free(&result);
  return merge;
}

std::vector<std::string> ConflictBlock(const LineViews& package,
                                       const LineViews& base,
                                       const LineViews& onto) {
  std::vector<std::string> block = {std::string(kPackageMarker)};
  block.insert(block.end(), package.begin(), package.end());
  block.emplace_back(kBaseMarker);
  block.insert(block.end(), base.begin(), base.end());
  block.emplace_back(kSidesMarker);
  block.insert(block.end(), onto.begin(), onto.end());
  block.emplace_back(kNewMarker);
  return block;
}
