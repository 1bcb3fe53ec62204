#include "complex/complex_run.h"

#include "engine/driver_state.h"
#include "engine/macros.h"

Step Fail(ComplexRun& run) {
  *run.run_flags &= static_cast<uint8_t>(~kRunSuccess);
  return Step::Next();
}

void ReportSuccess(ComplexRun& run, bool succeeded) {
  if (succeeded) {
    *run.run_flags |= kRunSuccess;
  } else {
    Fail(run);
  }
}

Step Decide(ComplexRun& run, std::optional<bool> holds, Sense sense) {
  if (!holds.has_value()) {
    Fail(run);
    return Step::By(2);
  }
  return *holds == (sense == Sense::kIf) ? Step::By(1) : Step::By(2);
}

Step PastOperands(uint64_t operands) { return Step::By(1 + operands); }

std::optional<std::string_view> OperandLine(const ComplexRun& run,
                                            uint64_t offset) {
  if (run.program.Count() - run.pc <= offset) {
    return std::nullopt;
  }
  return run.program.View(run.pc + offset);
}

int64_t FindNamedMacro(const ComplexRun& run, std::string_view name) {
  const int64_t index =
      FindMacro(run.macros, name, LookIn::kNames, run.case_sensitive);
  if (index < 0 || static_cast<uint64_t>(index) + 1 >= run.macros.Count()) {
    return -1;
  }
  return index;
}

std::optional<uint64_t> MacroAt(const ComplexRun& run, Which which) {
  const uint64_t count = run.macros.Count();
  if (count < 2) {
    return std::nullopt;
  }
  return which == Which::kFirst ? 0 : count - 2;
}

LineList TextLines(std::string_view text) {
  LineList lines;
  lines.SetText(text);
  return lines;
}

std::string DeleteFirstLine(std::string_view text) {
  LineList lines = TextLines(text);
  if (!lines.Empty()) {
    lines.Delete(0);
  }
  return lines.Text();
}

std::string DeleteLastLine(std::string_view text) {
  LineList lines = TextLines(text);
  if (!lines.Empty()) {
    lines.Delete(lines.Count() - 1);
  }
  return lines.Text();
}

std::string KeepFirstLine(std::string_view text) {
  const LineList lines = TextLines(text);
  return lines.Empty() ? std::string() : lines.Get(0);
}

std::string KeepLastLine(std::string_view text) {
  const LineList lines = TextLines(text);
  return lines.Empty() ? std::string() : lines.Get(lines.Count() - 1);
}

std::string RemoveDuplicateTextLines(std::string_view text) {
  LineList lines = TextLines(text);
  RemoveDuplicateLines(&lines, CaseSensitive::kYes);
  return lines.Text();
}

std::optional<bool> MatchesOperand(std::string_view item,
                                   std::string_view operand) {
  if (operand.empty()) {
    return std::nullopt;
  }
  const std::string_view pattern = operand.substr(1);
  switch (operand.front()) {
    case '=':
      return item == pattern;
    case '>':
      return item.starts_with(pattern);
    case '<':
      return item.ends_with(pattern);
    case '~':
      return !pattern.empty() && item.find(pattern) != std::string_view::npos;
    default:
      return std::nullopt;
  }
}

bool IsMatchOperand(std::string_view operand) {
  return MatchesOperand("", operand).has_value();
}
