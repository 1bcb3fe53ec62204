// Runs the apply and reverse drivers in-process on levels built from specs.
#ifndef QRL_TESTS_DRIVER_RUNS_H_
#define QRL_TESTS_DRIVER_RUNS_H_

#include <cstdint>
#include <vector>

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

#endif  // QRL_TESTS_DRIVER_RUNS_H_
