#include "engine/failure_cause.h"

#include "engine/block_drift.h"
#include "engine/missing_block.h"
#include "engine/normal_level.h"
#include "engine/requirements.h"
#include "engine/target_files.h"
#include "fastmemlist/list_view.h"
#include "package/level_record.h"

namespace {

// Why the content of file entry `index` is not in its file.
std::string ContentCause(const LevelCall& call, uint64_t index,
                         const FileEntryView& entry, HeldFile* file) {
  EditableText& text = file->text();
  if (entry.type == kTypeBinary) {
    return "the bytes of file entry " + std::to_string(index + 1) +
           " are not found";
  }
  const std::vector<std::string> lines(entry.lines.begin(), entry.lines.end());
  const bool own_code = index == 0 && call.view.kind == LevelKind::kNormal;
  if (!own_code) {
    return DriftReason(text, lines, "required code");
  }
  if (call.state.direction == Direction::kApply) {
    const int64_t new_at = NewCodeAt(text, ReadNormalLevelParts(call));
    if (new_at >= 0) {
      return AlreadyAppliedReason(new_at);
    }
  }
  return DriftReason(text, lines, "obsolete code");
}

}  // namespace

std::string FailureCause(const LevelCall& call) {
  const int64_t unmet = FirstUnmetEntry(call.view, &call.state.files);
  if (unmet < 0) {
    return std::string();
  }
  const uint64_t index = static_cast<uint64_t>(unmet);
  const std::string name = "file entry " + std::to_string(index + 1);
  const FileEntryView& entry = call.view.entries[index];
  if (!entry.whole) {
    return name + " is damaged";
  }
  const std::string file(entry.path);
  const std::string_view type = entry.type;
  if (type != kTypeText && type != kTypeBinary) {
    return name + " (" + file + ") has a content type that is never found";
  }
  TargetFiles::Access access;
  HeldFile* held = call.state.files.Hold(file, &access);
  if (held == nullptr) {
    return "the file " + file +
           (access == TargetFiles::Access::kMissing ? " does not exist"
                                                    : " cannot be read");
  }
  return file + ": " + ContentCause(call, index, entry, held);
}
