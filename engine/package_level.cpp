#include "engine/package_level.h"

#include "engine/apply.h"
#include "engine/reverse.h"
#include "engine/run_limits.h"
#include "engine/separators.h"
#include "engine/symbols.h"
#include "package/level_record.h"
#include "package/package.h"
#include "services/failure.h"
#include "services/string_utils.h"

namespace {

// Loads the nested package from the level's code; false when the data is
// not a package the loader accepts (a missing file included).
bool LoadNestedPackage(const LevelView& level, TFASTMEMLIST* levels,
                       TSETTINGSBLOCK* settings) {
  const std::vector<std::string_view>& code = level.code;
  if (code.size() < 2) {
    return false;
  }
  if (code[0] == kTypeText) {
    std::string err;
    return LoadPackage(StoredPathToPath(code[1]), levels, settings, &err);
  }
  return LoadPackageFromData(code[1], levels, settings, nullptr);
}

}  // namespace

LevelOutcome RunPackageLevel(const LevelCall& call) {
  DriverState& state = call.state;
  const int depth = state.depth + 1;
  if (depth > kMaxPackageDepth) {
    return LevelOutcome::Failed(
        LevelMessage("UNABLE TO READ DATA FOR LEVEL ", call));
  }
  TFASTMEMLIST levels;
  TSETTINGSBLOCK settings;
  if (!LoadNestedPackage(call.view, &levels, &settings)) {
    return LevelOutcome::Failed(
        LevelMessage("INCOMPATIBLE DATA FOR LEVEL ", call));
  }
  // The nested package's own macros come first, so they win in its run;
  // the running symbols follow its own.
  settings.macros = DataAddList(settings.macros, state.macros);
  AppendWithSeparator(JoinWithCharacter(state.symbols, ','), ',',
                      &settings.symbols);
  uint8_t status = 0;
  try {
    if (state.direction == Direction::kApply) {
      status =
          ApplyLevels(levels, &settings, state.output, state.convert, depth);
    } else {
      ReverseLevels(levels, &settings, state.output, state.convert, depth);
    }
  } catch (const RunLimitExceeded&) {
    throw;  // the whole run ends, not only the nested one
  } catch (const Failure&) {
    return LevelOutcome::Failed(
        LevelMessage("UNABLE TO READ DATA FOR LEVEL ", call));
  }
  state.macros.Clear();
  if (!settings.macros.empty()) {
    state.macros.LoadFromData(settings.macros);
  }
  state.symbols.Clear();
  UpdateSymbols(settings.symbols, &state.symbols);
  AddActionName(state.ActionName(), &state.symbols);
  state.MacrosOrLevelsMayHaveChanged();
  if (status > 0) {
    return {false, std::string(), status};
  }
  return LevelOutcome::Success();
}
