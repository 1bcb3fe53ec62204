// The packages the tests build with the package builder, in one place: the
// seed corpus of the fuzzers and the round-trip test of qrlpack take them
// all. Every one of them is a package that qrlconsole accepts.
#ifndef QRL_TESTS_SAMPLE_PACKAGES_H_
#define QRL_TESTS_SAMPLE_PACKAGES_H_

#include <string>
#include <vector>

std::vector<std::string> SamplePackages();

#endif  // QRL_TESTS_SAMPLE_PACKAGES_H_
