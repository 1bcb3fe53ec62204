#include "pack/cli/pack_io.h"

#include <new>

#include "pack/json/json_bytes.h"
#include "services/diagnostics.h"
#include "services/file_services.h"
#include "services/handle_io.h"
#include "services/posix_error.h"

bool WriteOutput(const std::string& name, std::string_view data,
                 std::ostream& out, std::string* err) {
  if (name == "-") {
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    if (!out) {
      *err = "cannot write to standard output";
      return false;
    }
    return true;
  }
  return StringToFile(name, data, err);
}

int Fail(std::ostream& err, const std::string& text) {
  err << "qrlpack: " << EscapeForTerminal(text) << '\n';
  return kPackExitInvalid;
}

bool ReadInput(const std::string& name, std::string* data, std::string* err) {
  if (name != "-") {
    return ReadWholeFile(name, data, err);
  }
  int error = 0;
  if (!ReadWholeHandle(0, data, &error)) {
    *err = PosixError("cannot read", error);
    return false;
  }
  return true;
}

int Deliver(const std::string& name, std::string_view data, std::ostream& out,
            std::ostream& err) {
  std::string why;
  if (!WriteOutput(name, data, out, &why)) {
    return Fail(err, name + ": " + why);
  }
  return kPackExitOk;
}

int RunOnInput(const std::string& name, const PackStreams& streams,
               const std::function<int(const std::string& data)>& body) {
  std::string data;
  std::string why;
  if (!ReadInput(name, &data, &why)) {
    return Fail(streams.err, name + ": " + why);
  }
  try {
    return body(data);
  } catch (const std::bad_alloc&) {
    return Fail(streams.err, name + ": out of memory");
  } catch (const Json::exception& error) {
    return Fail(streams.err, name + ": " + ParseErrorText(error));
  }
}

std::string ParseErrorText(const std::exception& error) {
  const std::string_view text = error.what();
  const size_t end = text.find("] ");
  return std::string(end == std::string_view::npos ? text
                                                   : text.substr(end + 2));
}
