// An External level runs a tool: an executable with parameters, a start
// directory for the program and a running directory for the tool, all taken
// from the level's code list, and may capture the tool's standard output
// into a macro for the levels that follow. The program's working directory
// is the same after the level as before it.
#ifndef QRL_ENGINE_EXTERNAL_LEVEL_H_
#define QRL_ENGINE_EXTERNAL_LEVEL_H_

#include <string_view>

#include "engine/driver_state.h"
#include "services/line_list.h"

// Removes the parameters that the options line's REMOVEPARAMETERS items
// name, item after item: "REMOVEPARAMETERS =v" those equal to v, ">v"
// those beginning with v, "<v" those ending with v, "~v" those containing
// v (an empty v contains nothing). The key ignores letter case; the value
// is taken untrimmed and compared case-sensitively.
void RemoveParameters(std::string_view options, LineList* parameters);

// Runs the level's tool under either direction.
LevelOutcome RunExternalLevel(const LevelCall& call);

#endif  // QRL_ENGINE_EXTERNAL_LEVEL_H_
