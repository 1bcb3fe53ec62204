// Why a level failed, in the words a person needs beyond its report line,
// for the standard error of a run that stopped. Reads the files through
// the run's held files; changes nothing.
#ifndef QRL_ENGINE_FAILURE_CAUSE_H_
#define QRL_ENGINE_FAILURE_CAUSE_H_

#include <string>

#include "engine/driver_state.h"

// For a level whose file entries are not all fulfilled, the first that is
// not: the file that is missing or cannot be read, or the file and where
// it drifted from the entry's lines, as plan words it (for a Normal
// level's own obsolete code also that its new code stands already). Empty
// when the entries are fulfilled.
std::string FailureCause(const LevelCall& call);

#endif  // QRL_ENGINE_FAILURE_CAUSE_H_
