#include "pack/rebase/release_run.h"

#include "complex/program_level.h"
#include "console/console_client.h"
#include "engine/apply.h"
#include "engine/driver_state.h"
#include "engine/level_observer.h"
#include "engine/run_context.h"
#include "pack/author/level_failures.h"
#include "package/level_record.h"
#include "services/diagnostics.h"
#include "services/external_tool.h"
#include "services/failure.h"
#include "services/file_services.h"
#include "services/posix_file_system.h"

namespace {

// What a run of the engine may not do here: start a tool or a command
// (it counts as done, without output), or print.
// A run on the overlay, quiet, with tools never started; `observer` hears
// of the levels when given.
RunContext Sandbox(FileSystem* files, LevelObserver* observer = nullptr) {
  RunContext context;
  context.files = files;
  context.tools = [](const ExternalToolRequest&) {
    ExternalToolResult result;
    result.started = true;
    result.wait_status = 0;
    return result;
  };
  context.diagnostics = [](std::string_view) {};
  context.observer = observer;
  context.complex_levels = RunProgramLevel;
  return context;
}

TFASTMEMLIST OneLevel(std::string_view record) {
  TFASTMEMLIST levels;
  levels.Add(record);
  return levels;
}

}  // namespace

ReleaseRun::ReleaseRun(const std::string& root, const TSETTINGSBLOCK& settings)
    : root_(root),
      settings_(settings),
      overlay_(&SystemFileSystem(), SystemFileSystem().WorkingDirectory()) {
  // As qrlconsole takes MACRO{ROOT}=root on its command line.
  TFASTMEMLIST macros;
  MergeCommandLine(LineList{"", "", "", "MACRO{ROOT}=" + root}, &macros,
                   &settings_);
}

TFASTMEMLIST ReleaseRun::Prepared(std::string_view record) const {
  LineList output;
  DriverState state(OneLevel(record), settings_, &output, true,
                    Direction::kApply, 0);
  TFASTMEMLIST level;
  state.Prepare(0, &level);
  return level;
}

bool ReleaseRun::Selected(std::string_view record) const {
  LineList output;
  DriverState state(OneLevel(record), settings_, &output, true,
                    Direction::kApply, 0);
  TFASTMEMLIST level;
  state.Prepare(0, &level);
  return state.Selected(level, std::string(level.View(kLevelNumber)));
}

bool ReleaseRun::Run(std::string_view record, std::string* err) {
  LevelFailures failures;
  const ScopedRun sandbox(Sandbox(&overlay_, &failures));
  LineList output;
  try {
    ApplyLevels(OneLevel(record), &settings_, &output, true);
  } catch (const Failure& failure) {
    *err = failure.what();
    return false;
  }
  *err = failures.first();
  return !failures.failed();
}

bool ReleaseRun::Read(const std::string& path, std::string* content) {
  const ScopedRun sandbox(Sandbox(&overlay_));
  return FileExists(root_ + path) && FileToString(root_ + path, content);
}

bool ReleaseRun::Write(const std::string& path, std::string_view content) {
  const ScopedRun sandbox(Sandbox(&overlay_));
  return StringToFile(root_ + path, content);
}

FileInfo ReleaseRun::Stat(const std::string& path, FollowLinks follow) {
  return overlay_.Stat(root_ + path, follow);
}

std::vector<OverlayChange> ReleaseRun::Changes() {
  std::vector<OverlayChange> changes;
  for (OverlayChange& change : overlay_.Changes()) {
    if (change.path.starts_with(root_)) {
      change.path.erase(0, root_.size());
      changes.push_back(std::move(change));
    }
  }
  return changes;
}
