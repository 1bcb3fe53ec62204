// Feeds arbitrary bytes to the parameter file reader of qrlconsole and to
// the merge of the arguments it gives: the action word, MACRO and SYMBOL
// arguments. Any crash, sanitizer report, hang or oversized allocation is a
// finding; so is a kept argument that is a comment or blank line or holds a
// line break, or a merged macro list that does not decode into pairs.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/actions.h"
#include "console/console_client.h"
#include "fastmemlist/fastmemlist.h"
#include "fuzz/fuzz_check.h"
#include "services/string_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  LineList arguments = {"qrlconsole", "parameters.txt"};
  ParseParameterText(bytes, &arguments);
  Check(arguments.Count() >= 1 && arguments.Get(0) == "qrlconsole");
  for (size_t i = 1; i < arguments.Count(); ++i) {
    const std::string& argument = arguments.Get(i);
    Check(!Trim(argument).empty() && argument[0] != '#');
    Check(argument.find_first_of("\r\n") == std::string::npos);
  }
  if (arguments.Count() >= 3) {
    FindConsoleAction(UpperCase(arguments.Get(2)));
  }
  TFASTMEMLIST macros;
  TSETTINGSBLOCK settings;
  MergeCommandLine(arguments, &macros, &settings);
  Check(macros.Count() % 2 == 0);
  TFASTMEMLIST stored;
  Check(stored.LoadFromData(settings.macros));
  Check(stored.SaveToString() == macros.SaveToString());
  return 0;
}
