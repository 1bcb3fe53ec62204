// Feeds arbitrary bytes to both directions of qrlpack. Bytes that qrlconsole
// accepts as a package must come back byte for byte from building their
// description; any other bytes are read as a JSON description, and what
// builds from one must be a package that round-trips in turn. Any crash,
// sanitizer report, hang, oversized allocation or lost byte is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "pack/json/assemble.h"
#include "pack/json/describe.h"

namespace {

// The description, written out and read back, builds `package` again.
void CheckRebuilds(const Json& description, std::string_view package) {
  const Json parsed = Json::parse(description.dump(2));
  std::string rebuilt;
  std::string err;
  Check(AssemblePackage(parsed, &rebuilt, &err));
  Check(rebuilt == package);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Json description;
  DecodeError error;
  if (DescribePackage(bytes, &description, &error)) {
    CheckRebuilds(description, bytes);
    return 0;
  }
  Check(error.offset <= size);
  const Json parsed = Json::parse(bytes, nullptr, false);
  std::string package;
  std::string err;
  if (!parsed.is_discarded() && AssemblePackage(parsed, &package, &err)) {
    Json again;
    Check(DescribePackage(package, &again, &error));
    CheckRebuilds(again, package);
  }
  return 0;
}
