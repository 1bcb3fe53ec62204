#include "console/console_client.h"

void AppendUsage(LineList* output) {
  static constexpr std::string_view kUsage[] = {
      "Usage:",
      "qrlconsole [filename] [[action] [macros] [symbols]]",
      "",
      "action: apply, reverse, executechecks, showuserinfo, createbackup, "
      "restorebackup",
      "macros: must start with \"MACRO\"",
      "symbols: must start with \"SYMBOL\"",
      "",
      "Examples:",
      "1. To show quorl user informations",
      "qrlconsole quorlfile.qrl showuserinfo",
      "",
      "2. To apply quorl using a macro and symbol +VANILLAIDE",
      "qrlconsole quorlfile.qrl apply "
      "MACRO{MACRO_RAD_DIRECTORY}=/home/user/lazarus/ SYMBOL+VANILLAIDE",
      "",
      "3. To reverse quorl using a macro",
      "qrlconsole quorlfile.qrl reverse "
      "MACRO{MACRO_RAD_DIRECTORY}=/home/user/lazarus/",
      "",
      "4. To create backup using a macro ",
      "qrlconsole quorlfile.qrl createbackup "
      "MACRO{MACRO_RAD_DIRECTORY}=/home/user/lazarus/",
      "",
      "5. To restore backup ",
      "qrlconsole backupfile.qrl.backup restorebackup",
      "",
      "6. To load parameters from text file ",
      "qrlconsole paramteres.txt",
  };
  for (std::string_view line : kUsage) {
    output->Add(std::string(line));
  }
}
