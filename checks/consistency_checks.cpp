#include "checks/consistency_checks.h"

#include <string>
#include <unordered_map>

#include "checks/duplicate_requirements.h"
#include "checks/symbol_checks.h"
#include "engine/level_kinds.h"
#include "fastmemlist/list_view.h"
#include "package/level_record.h"
#include "services/string_utils.h"

namespace {

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

using CodeLines = std::vector<std::string_view>;

std::string_view CodeType(const CodeLines& code) {
  return code.empty() ? std::string_view() : code[0];
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The tail that every "strange directory separator" warning shares.
std::string StrangeSeparator(char separator) {
  return "with strange directory separator: " +
         Quoted(std::string_view(&separator, 1)) +
         ". Usually \"/\" or \"\\\" is used.";
}

// External and FileDirectoryCreationRemoval levels carry their lines as
// text; `kind` names the kind in the warning.
std::string BinaryCodeType(std::string_view kind,
                           std::string_view presentation) {
  return "WARNING! Found binary code type instead of text code type at: " +
         std::string(kind) + " with presentation: " + Quoted(presentation);
}

void CheckPackageCode(const CodeLines& code, std::string_view presentation,
                      LineList* output) {
  if (CodeType(code) != kTypeText) {
    return;  // a package carried inline is not looked into
  }
  if (code.size() != 2) {
    output->Add(
        "WARNING! Found package type with text code type that contains wrong "
        "number of lines. Presentation: " +
        std::string(presentation));
    return;
  }
  const std::string_view line = code[1];
  if (line.size() < 2) {
    output->Add(
        "WARNING! Less than two characters long line at: Package with "
        "presentation: " +
        Quoted(presentation));
  } else if (!IsSeparator(line[0])) {
    output->Add("WARNING! Found " + Quoted(line) +
                " line in Package process type " + StrangeSeparator(line[0]) +
                " Presentation: " + Quoted(presentation));
  }
}

// One of the three path lines of an External level: `empty_message` is
// given when the line is shorter than `minimum` characters.
void CheckExternalPath(std::string_view line, size_t minimum,
                       std::string_view empty_message,
                       std::string_view presentation, LineList* output) {
  if (line.size() < minimum) {
    output->Add("WARNING! " + std::string(empty_message) +
                " at: External with presentation: " + Quoted(presentation));
  } else if (!IsSeparator(line[0])) {
    output->Add("WARNING! Found " + Quoted(line) + " External process " +
                StrangeSeparator(line[0]));
  }
}

void CheckExternalCode(const CodeLines& code, std::string_view presentation,
                       LineList* output) {
  if (CodeType(code) != kTypeText) {
    output->Add(BinaryCodeType("External", presentation));
    return;
  }
  // Code type, options line, start directory, executable, process
  // directory (the parameters may be missing).
  if (code.size() < 5) {
    output->Add(
        "WARNING! Less than 4 external tool lines at: External with "
        "presentation: " +
        Quoted(presentation));
    return;
  }
  CheckExternalPath(code[2], 1, "Initial working directory line is empty",
                    presentation, output);
  CheckExternalPath(code[3], 2,
                    "Executable path has less than two characters long",
                    presentation, output);
  CheckExternalPath(code[4], 1,
                    "Running directory of the executable line is empty",
                    presentation, output);
}

// A line is an operation ("+" create, "-" remove), the separator of the
// path and the path written with it.
void CheckCreationRemovalLine(std::string_view line, LineList* output) {
  const std::string prefix = "WARNING! Found " + Quoted(line) +
                             " file/directory_creation/removal process ";
  if (TrimmedView(line).size() != line.size()) {
    output->Add("WARNING! Unpleasant practice detected at " + Quoted(line) +
                " file/directory_creation/removal process. Use of spaces at "
                "begin/end is higly discouraged.");
  }
  LevelTarget target;
  if (!ParseTargetLine(line, &target)) {
    output->Add(prefix + "with less than 3 characters.");
    return;
  }
  if (target.operation != "+" && target.operation != "-") {
    output->Add(prefix +
                "that starts with a character different than \"+\" or \"-\".");
  }
  if (!IsSeparator(target.separator[0])) {
    output->Add(prefix + StrangeSeparator(target.separator[0]));
  }
}

void CheckCreationRemovalCode(const CodeLines& code,
                              std::string_view presentation, LineList* output) {
  if (CodeType(code) != kTypeText) {
    output->Add(BinaryCodeType("File/Directory_CreationRemoval", presentation));
    return;
  }
  for (uint64_t i = 1; i < code.size(); ++i) {
    CheckCreationRemovalLine(code[i], output);
  }
}

using CodeCheck = void (*)(const CodeLines& code, std::string_view presentation,
                           LineList* output);

// The check of each kind's code; every kind has its case, so a new kind
// is named by the compiler until it has one.
CodeCheck CodeCheckOf(LevelKind kind) {
  switch (kind) {
    case LevelKind::kPackage:
      return CheckPackageCode;
    case LevelKind::kExternal:
      return CheckExternalCode;
    case LevelKind::kFileDirectoryCreationRemoval:
      return CheckCreationRemovalCode;
    case LevelKind::kNormal:
    case LevelKind::kRequirement:
    case LevelKind::kComplex:
    case LevelKind::kFileExport:
    case LevelKind::kUnknown:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

void CheckMacroList(std::string_view macro_data, LineList* output) {
  if (macro_data.empty()) {
    return;
  }
  ListView macros;
  macros.Parse(macro_data);  // malformed data gives an empty list
  // How often each name occurs from the current pair on: a name gives one
  // line for every later occurrence, as comparing every pair would.
  std::unordered_map<std::string_view, uint64_t> remaining;
  for (uint64_t i = 0; i < macros.Count(); i += 2) {
    ++remaining[macros.Item(i)];
  }
  for (uint64_t i = 0; i < macros.Count(); i += 2) {
    const std::string_view name = macros.Item(i);
    if (name.empty()) {
      output->Add(
          "WARNING! Found invalid macro line which doesn't contain a macro "
          "name.");
      continue;
    }
    for (uint64_t later = --remaining[name]; later > 0; --later) {
      output->Add("WARNING! Duplicate macro found " + Quoted(name) + ".");
    }
  }
}

void CheckLevelContents(const TFASTMEMLIST& levels, LineList* output) {
  LevelView level;
  for (uint64_t i = 0; i < levels.Count(); ++i) {
    DecodeLevel(levels.View(i), &level);
    const CodeCheck check = CodeCheckOf(level.kind);
    if (check != nullptr) {
      check(level.code, level.presentation, output);
    }
  }
}

void ExecuteChecks(const TFASTMEMLIST& levels, const TSETTINGSBLOCK& settings,
                   LineList* output) {
  CheckMacroList(settings.macros, output);
  CheckLevelContents(levels, output);
  CheckSettingsSymbols(settings.symbols, output);
  const LineList declared = DeclaredSymbols(levels);
  const LineList required = RequiredSymbols(levels);
  CheckDeclaredAgainstRequired(declared, required, output);
  CheckRequiredAgainstDeclared(declared, required, output);
  CheckDuplicateRequirements(levels, output);
}
