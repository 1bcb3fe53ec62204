#include "tests/driver_runs.h"

#include "complex/program_level.h"
#include "engine/apply.h"
#include "engine/reverse.h"

DriverRun RunApply(const std::vector<LevelSpec>& levels,
                   TSETTINGSBLOCK settings) {
  InstallProgramLevel();
  DriverRun run;
  run.settings = std::move(settings);
  run.status = ApplyLevels(LevelList(levels), &run.settings, &run.output,
                           /*convert=*/true);
  return run;
}

DriverRun RunReverse(const std::vector<LevelSpec>& levels,
                     TSETTINGSBLOCK settings) {
  InstallProgramLevel();
  DriverRun run;
  run.settings = std::move(settings);
  ReverseLevels(LevelList(levels), &run.settings, &run.output,
                /*convert=*/true);
  return run;
}

LevelOutcome RunHandler(LevelHandler handler, const TFASTMEMLIST& level,
                        const std::string& number, Direction direction) {
  LineList output;
  const TSETTINGSBLOCK settings;
  DriverState state(TFASTMEMLIST(), settings, &output, /*convert=*/true,
                    direction, 0);
  LevelView view;
  DecodeLevel(level, &view);
  return handler({level, view, number, state});
}
