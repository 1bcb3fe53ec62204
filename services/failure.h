// The one exception type of the program. A few failures cannot be reported
// through a result (a level number that is not an integer, a directory that
// cannot be removed during a tree deletion, a working directory that cannot
// be restored); they are raised as a Failure and caught once, at the action
// boundary in the console client, so the report lines already collected are
// still printed.
#ifndef QRL_SERVICES_FAILURE_H_
#define QRL_SERVICES_FAILURE_H_

#include <stdexcept>
#include <string>

class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& what) : std::runtime_error(what) {}
};

#endif  // QRL_SERVICES_FAILURE_H_
