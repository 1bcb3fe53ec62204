// The qrlpack command line: "build" turns a JSON description into a
// package, "dump" turns a package into its description, and each has its
// help. Output files are replaced atomically and only once everything
// succeeded, so a failed run leaves nothing behind.
#ifndef QRL_PACK_PACK_CLIENT_H_
#define QRL_PACK_PACK_CLIENT_H_

#include <ostream>
#include <string>
#include <vector>

// Exit codes.
inline constexpr int kPackExitOk = 0;
inline constexpr int kPackExitInvalid = 1;  // bad input, unreadable file
inline constexpr int kPackExitUsage = 2;

// Runs qrlpack on `args` (args[0] is the program path) and returns the
// exit code. Results go to `out` (dump without -o, help, version); every
// fault is one "qrlpack: ..." line on `err`.
int RunQrlpack(const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err);

#endif  // QRL_PACK_PACK_CLIENT_H_
