// Runs the apply and reverse drivers in-process on levels built from specs.
#ifndef QRL_TESTS_DRIVER_RUNS_H_
#define QRL_TESTS_DRIVER_RUNS_H_

#include <cstdint>
#include <vector>

#include "engine/driver_state.h"
#include "package/settings_block.h"
#include "services/line_list.h"
#include "tests/package_builder.h"

struct DriverRun {
  uint8_t status = 0;
  LineList output;
  TSETTINGSBLOCK settings;  // as the driver left it
};

DriverRun RunApply(const std::vector<LevelSpec>& levels,
                   TSETTINGSBLOCK settings = {});
DriverRun RunReverse(const std::vector<LevelSpec>& levels,
                     TSETTINGSBLOCK settings = {});

// Calls one level handler on a decoded record, outside a driver run, with
// an empty working state.
LevelOutcome RunHandler(LevelHandler handler, const TFASTMEMLIST& level,
                        const std::string& number,
                        Direction direction = Direction::kApply);

#endif  // QRL_TESTS_DRIVER_RUNS_H_
