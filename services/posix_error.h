// Turns an errno value into report text. This is the one place where the
// program asks the system for the words of an error.
#ifndef QRL_SERVICES_POSIX_ERROR_H_
#define QRL_SERVICES_POSIX_ERROR_H_

#include <string>
#include <string_view>

// "context: <system text for err>".
std::string PosixError(std::string_view context, int err);

#endif  // QRL_SERVICES_POSIX_ERROR_H_
