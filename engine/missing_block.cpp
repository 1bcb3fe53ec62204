#include "engine/missing_block.h"

#include "engine/block_drift.h"
#include "fastmemlist/list_view.h"
#include "package/level_record.h"

namespace {

// Whether two blocks are the same lines once blanks at the ends and letter
// case are left out.
bool SameKeys(const LineBlock& a, const LineBlock& b) {
  if (a.Count() != b.Count()) {
    return false;
  }
  for (size_t i = 0; i < a.Count(); ++i) {
    if (a.Key(i) != b.Key(i)) {
      return false;
    }
  }
  return true;
}

// The marker line of a group with its text, when the group is written.
bool MarkerLine(const TMARKERGROUP& group, std::string_view text,
                std::string* line) {
  if (group.position != kMarkerBefore && group.position != kMarkerAfter) {
    return false;
  }
  *line = group.prefix + std::string(text) + group.suffix;
  return true;
}

}  // namespace

std::vector<std::string> BlockLines(std::string_view data) {
  std::vector<std::string> lines;
  ListView list;
  if (list.Parse(data)) {
    lines.reserve(list.Count());
    for (uint64_t i = 0; i < list.Count(); ++i) {
      lines.emplace_back(list.Item(i));
    }
  }
  return lines;
}

int64_t NewCodeAt(EditableText& text, const NormalLevelParts& parts) {
  if (!parts.text_code || parts.old_type != kTypeText ||
      parts.wrapped.Empty()) {
    return -1;
  }
  const LineBlock new_block(
      std::vector<std::string>(parts.wrapped.begin(), parts.wrapped.end()));
  if (SameKeys(new_block, LineBlock(BlockLines(parts.old_code)))) {
    return -1;
  }
  return text.FindLines(new_block);
}

std::string AlreadyAppliedReason(int64_t new_at) {
  return "the obsolete code is gone and the new code stands at line " +
         LineNumberOf(new_at);
}

std::string MissingFramedCodeReason(const LevelCall& call, EditableText& text,
                                    const std::vector<std::string>& framed) {
  if (framed.empty()) {
    return "the new code has no lines and no markers frame it: reverse has "
           "nothing to look for";
  }
  // Are the markers there, framing other code?
  const TSETTINGSBLOCK& settings = call.state.settings;
  std::string marker;
  int64_t marker_at = -1;
  if (MarkerLine(settings.level_marker, call.number, &marker) ||
      MarkerLine(settings.label_marker, call.view.label, &marker)) {
    marker_at = text.FindLines(LineBlock(std::vector<std::string>{marker}));
  }
  if (marker_at >= 0) {
    return "the markers are there (line " + LineNumberOf(marker_at) + " " +
           QuotedLine(marker) + ") but the code they frame differs: " +
           DriftReason(text, framed, "framed code");
  }
  return "the framed new code is missing: " +
         DriftReason(text, framed, "framed code");
}
