#include "engine/level_kinds.h"

#include <array>
#include <string>

#include "engine/complex_level.h"
#include "engine/external_level.h"
#include "engine/file_directory_level.h"
#include "engine/file_export_level.h"
#include "engine/normal_level.h"
#include "engine/package_level.h"

namespace {

// A Normal or FileExport level writes the file of its entry 0.
void EntryZeroTarget(const LevelView& level, std::vector<LevelTarget>* out) {
  if (!level.entries.empty()) {
    out->push_back(
        {"+", level.entries[0].separator, level.entries[0].path, false});
  }
}

// A FileDirectoryCreationRemoval level: each code line after the type.
void CodeLineTargets(const LevelView& level, std::vector<LevelTarget>* out) {
  for (size_t i = 1; i < level.code.size(); ++i) {
    LevelTarget target;
    ParseTargetLine(level.code[i], &target);
    out->push_back(target);
  }
}

void NoTargets(const LevelView&, std::vector<LevelTarget>*) {}

using enum LevelKind;

// In the order of LevelKind.
constexpr LevelKindRow kRows[] = {
    {kNormal, ApplyNormalLevel, ReverseNormalLevel, ReverseGuard::kNone, 0, 1,
     EntryZeroTarget},
    {kRequirement, nullptr, nullptr, ReverseGuard::kNone, 0, 0, NoTargets},
    {kComplex, RunComplexLevel, RunComplexLevel, ReverseGuard::kLocalSilent, 0,
     0, NoTargets},
    {kFileExport, ApplyFileExportLevel, nullptr, ReverseGuard::kNone, 1, 1,
     EntryZeroTarget},
    {kFileDirectoryCreationRemoval, RunFileDirectoryLevel,
     RunFileDirectoryLevel, ReverseGuard::kNone, 0, 0, CodeLineTargets},
    {kExternal, RunExternalLevel, RunExternalLevel, ReverseGuard::kLocalSilent,
     0, std::nullopt, NoTargets},
    {kPackage, RunPackageLevel, RunPackageLevel, ReverseGuard::kLocalReported,
     0, std::nullopt, NoTargets},
};

static_assert(RowsFollowLevelKinds(kRows),
              "kRows needs one row per LevelKind, in the enum's order");

}  // namespace

std::string LevelTarget::Text() const {
  std::string text(operation);
  text += separator;
  text += path;
  return text;
}

bool ParseTargetLine(std::string_view line, LevelTarget* target) {
  const size_t size = line.size();
  *target = {line.substr(0, 1), size > 1 ? line.substr(1, 1) : "",
             size > 2 ? line.substr(2) : "", true};
  return size >= 3;
}

const LevelKindRow* FindLevelKind(LevelKind kind) {
  const auto i = static_cast<size_t>(kind);
  return i < std::size(kRows) ? &kRows[i] : nullptr;
}

std::vector<LevelTarget> LevelTargets(const LevelView& level) {
  std::vector<LevelTarget> targets;
  if (const LevelKindRow* row = FindLevelKind(level.kind)) {
    row->targets(level, &targets);
  }
  return targets;
}
