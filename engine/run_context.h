// The run context: what a run of the drivers works with besides its
// package and settings. The file system, the runner of external tools, the
// sink of diagnostics, the observer of levels, the run limits and the
// handler of Complex levels are installed together by one ScopedRun, the
// entry point of every program that runs packages: the console, plan, the
// verification of a made package, createbackup's checks and rebase.
//
// Why installed rather than passed down: the engine reaches them from deep
// inside (a macro language file command, a nested package's level, the
// file services every handler uses, the failure text of a level), and a
// context argument would run through nearly every signature of the drivers,
// the handlers, the interpreter's table of commands and the services,
// while a run only ever has one setting. So the setting stays ambient, but
// it is made in one place, visible at the entry point, and undone when
// the run ends. The single Scoped* classes remain for tests of one service.
#ifndef QRL_ENGINE_RUN_CONTEXT_H_
#define QRL_ENGINE_RUN_CONTEXT_H_

#include <optional>

#include "engine/driver_state.h"
#include "engine/level_observer.h"
#include "engine/run_limits.h"
#include "services/diagnostics.h"
#include "services/external_tool.h"
#include "services/file_system.h"

// A member left empty keeps what is in force when the run starts (the
// system's file system, real tools, the diagnostics on standard error, no
// observer, the default limits, no Complex handler, unless an outer run
// installed others).
struct RunContext {
  FileSystem* files = nullptr;
  ToolRunner tools;
  DiagnosticSink diagnostics;
  LevelObserver* observer = nullptr;
  std::optional<RunLimits> limits;
  LevelHandler complex_levels = nullptr;
};

// Installs the context for as long as the object lives and puts what was in
// force before back afterwards.
class ScopedRun {
 public:
  explicit ScopedRun(const RunContext& context);
  ~ScopedRun();
  ScopedRun(const ScopedRun&) = delete;
  ScopedRun& operator=(const ScopedRun&) = delete;

 private:
  std::optional<ScopedFileSystem> files_;
  std::optional<ScopedToolRunner> tools_;
  std::optional<ScopedDiagnosticSink> diagnostics_;
  std::optional<ScopedLevelObserver> observer_;
  std::optional<ScopedRunLimits> limits_;
  LevelHandler previous_complex_levels_ = nullptr;
  bool complex_levels_set_ = false;
};

#endif  // QRL_ENGINE_RUN_CONTEXT_H_
