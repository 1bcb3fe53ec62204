// What the hand-run comparisons of the real binaries share: writing a tree
// of files, checking what a run left, and timing one run of a command.
#ifndef QRL_BENCH_RUN_TIMING_H_
#define QRL_BENCH_RUN_TIMING_H_

#include <map>
#include <string>
#include <vector>

// Files by their path relative to a root, with their content.
using Tree = std::map<std::string, std::string>;

// Makes `dir` anew (removing what was there) with the files of `tree`.
void WriteTree(const std::string& dir, const Tree& tree);

// Whether the plain files below `dir` are exactly those of `tree`; the
// first that differs is named on standard error.
bool SameTree(const std::string& dir, const Tree& tree);

// Wall time, and the processor time (user and system) that shows through
// the noise of a busy machine.
struct Timing {
  double seconds;
  double cpu_seconds;
};

// Runs the command with its output thrown away; exits on failure.
Timing Run(const std::vector<std::string>& command);

double Median(std::vector<double> values);

// The I/O floor of turning the tree in `dir` from `from` into `to` in one
// process: each changed file read whole, its new content written beside it
// and renamed over it; new files written (their directories made), removed
// files unlinked. No search, no check: what any atomic rewrite costs.
double IoFloorSeconds(const std::string& dir, const Tree& from, const Tree& to);

// The peak memory of one run of `command`, as GNU time reports it (in KB);
// 0 when /usr/bin/time is not there. `dir` takes its report.
long PeakMemoryKb(const std::vector<std::string>& command,
                  const std::string& dir);

#endif  // QRL_BENCH_RUN_TIMING_H_
