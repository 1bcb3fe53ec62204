#include "backup/backup_checks.h"

#include "engine/apply.h"
#include "engine/run_context.h"
#include "package/level_view.h"
#include "services/diagnostics.h"
#include "services/external_tool.h"
#include "services/file_system.h"
#include "services/overlay_file_system.h"
#include "services/string_utils.h"

bool PassesBackupChecks(const TFASTMEMLIST& levels,
                        const TSETTINGSBLOCK& settings, LineList* output) {
  TFASTMEMLIST checks;
  LevelView level;
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    DecodeLevel(levels.View(i), &level);
    if (TextContainsItem(kBackupCheckOption, level.options, ',',
                         CaseSensitive::kNo)) {
      checks.Add(levels.View(i));
    }
  }
  if (checks.Count() == 0) {
    return true;
  }
  OverlayFileSystem overlay(&CurrentFileSystem());
  RunContext context;
  context.files = &overlay;
  context.tools = [](const ExternalToolRequest&) {
    return ExternalToolResult();
  };
  // The run's own words on standard error would speak of apply.
  context.diagnostics = [](std::string_view) {};
  const ScopedRun in_memory(context);
  TSETTINGSBLOCK run_settings = settings;
  LineList lines;
  const uint8_t status = ApplyLevels(checks, &run_settings, &lines, true);
  if (status < 3) {
    return true;
  }
  *output = std::move(lines);
  return false;
}
