#include "complex/command_table.h"

#include <unordered_map>

const std::vector<ComplexCommand>& CommandTable() {
  static const std::vector<ComplexCommand> table = [] {
    std::vector<ComplexCommand> rows;
    for (const auto family :
         {ControlCommands(), BufferCommands(), MacroCommands(),
          SymbolCommands(), FileCommands(), ExecutionCommands()}) {
      rows.insert(rows.end(), family.begin(), family.end());
    }
    return rows;
  }();
  return table;
}

const ComplexCommand* FindCommand(std::string_view word) {
  static const std::unordered_map<std::string_view, const ComplexCommand*>
      by_keyword = [] {
        std::unordered_map<std::string_view, const ComplexCommand*> index;
        for (const ComplexCommand& command : CommandTable()) {
          index.emplace(command.keyword, &command);
        }
        return index;
      }();
  const auto found = by_keyword.find(word);
  return found == by_keyword.end() ? nullptr : found->second;
}
