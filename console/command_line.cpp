#include "console/console_client.h"
#include "services/string_utils.h"

namespace {

constexpr std::string_view kMacroPrefix = "MACRO";
constexpr std::string_view kSymbolPrefix = "SYMBOL";

bool HasPrefixIgnoringCase(std::string_view argument, std::string_view prefix) {
  return argument.size() > prefix.size() &&
         EqualsIgnoringCase(argument.substr(0, prefix.size()), prefix);
}

}  // namespace

void MergeCommandLine(const LineList& arguments, TFASTMEMLIST* macros,
                      TSETTINGSBLOCK* settings) {
  for (size_t i = 3; i < arguments.Count(); ++i) {
    const std::string_view argument = arguments.Get(i);
    if (HasPrefixIgnoringCase(argument, kMacroPrefix)) {
      // MACRO<name>=<value>: the name runs up to the first "=" and is never
      // empty; the value may be empty and may hold further "=".
      const std::string_view rest = argument.substr(kMacroPrefix.size());
      const size_t equals = rest.find('=');
      if (equals != std::string_view::npos && equals > 0) {
        macros->Add(rest.substr(0, equals));
        macros->Add(rest.substr(equals + 1));
      }
    } else if (HasPrefixIgnoringCase(argument, kSymbolPrefix)) {
      // Symbols the package stored come first.
      const std::string_view symbol = argument.substr(kSymbolPrefix.size());
      if (settings->symbols.empty()) {
        settings->symbols = std::string(symbol);
      } else {
        settings->symbols += ',';
        settings->symbols += symbol;
      }
    }
  }
  settings->macros = macros->SaveToString();
}
