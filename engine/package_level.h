// A Package level runs a whole nested package, stored in a file or carried
// inside the level, with the running macros and symbols, and takes the
// nested run's final macros and symbols back. Under apply the nested
// package is applied and its status becomes the level's severity; under
// reverse it is reversed.
#ifndef QRL_ENGINE_PACKAGE_LEVEL_H_
#define QRL_ENGINE_PACKAGE_LEVEL_H_

#include "engine/driver_state.h"

// Packages nested deeper than this (a package that runs itself, say) are
// not run: the level fails as one whose data cannot be read.
inline constexpr int kMaxPackageDepth = 64;

// Code type "0": item 1 is the stored path of a package file; any other
// type: item 1 holds the package itself. Data that the package loader
// refuses fails with "INCOMPATIBLE DATA ..."; a failure raised by the
// nested run fails with "UNABLE TO READ DATA ..." and hands nothing back.
LevelOutcome RunPackageLevel(const LevelCall& call);

#endif  // QRL_ENGINE_PACKAGE_LEVEL_H_
