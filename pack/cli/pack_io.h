// What every qrlpack command does with its files: reads the input whole
// ("-" is standard input), delivers the result ("-" is standard output;
// a file is replaced atomically, so a failed run leaves nothing behind)
// and reports a fault as one "qrlpack: ..." line.
#ifndef QRL_PACK_CLI_PACK_IO_H_
#define QRL_PACK_CLI_PACK_IO_H_

#include <exception>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "pack/cli/command_line.h"

// Writes "qrlpack: <text>" and returns kPackExitInvalid.
int Fail(std::ostream& err, const std::string& text);

// The whole input; false with the reason when it cannot be read.
bool ReadInput(const std::string& name, std::string* data, std::string* err);

// Writes `data` to the file `name` (replaced atomically) or, for "-", to
// `out`; false with the reason, which does not name the output.
bool WriteOutput(const std::string& name, std::string_view data,
                 std::ostream& out, std::string* err);

// Writes the result, or names the output that could not be written.
int Deliver(const std::string& name, std::string_view data, std::ostream& out,
            std::ostream& err);

// Reads the input named `name` and hands its bytes to `body`, whose exit
// code it returns. An unreadable input, a JSON fault that `body` lets
// escape and running out of memory are reported against the input's name.
int RunOnInput(const std::string& name, const PackStreams& streams,
               const std::function<int(const std::string& data)>& body);

// nlohmann's message without its "[json.exception...] " prefix.
std::string ParseErrorText(const std::exception& error);

#endif  // QRL_PACK_CLI_PACK_IO_H_
