// What every fuzzer does with a property that must hold: a violated one
// ends the run at once, which libFuzzer reports as a finding with the
// input that caused it.
#ifndef QRL_FUZZ_FUZZ_CHECK_H_
#define QRL_FUZZ_FUZZ_CHECK_H_

#include <cstdlib>

inline void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

#endif  // QRL_FUZZ_FUZZ_CHECK_H_
