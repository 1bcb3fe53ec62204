#include "engine/external_level.h"

#include "engine/macros.h"
#include "engine/run_limits.h"
#include "engine/separators.h"
#include "package/level_record.h"
#include "services/external_tool.h"
#include "services/file_services.h"
#include "services/string_utils.h"
#include "services/working_directory.h"

namespace {

// The code list of an External level, after its code type.
enum ExternalCodeItem : size_t {
  kOptionsLine = 1,
  kStartDirectory = 2,
  kExecutable = 3,
  kProcessDirectory = 4,
  kFirstParameter = 5,
};

constexpr std::string_view kIgnoreExitCode = "IGNOREEXITCODE";
constexpr std::string_view kAppendExecutableExtension =
    "APPENDDEFAULTEXECUTABLEEXTENSION";
constexpr std::string_view kAppendScriptExtension =
    "APPENDDEFAULTSCRIPTEXTENSION";
constexpr std::string_view kUseEnvironment = "USEENVIRONMENTVARIABLES";
constexpr std::string_view kAssureExecute = "TRYTOASSUREEXECUTEPERMISSIONS";
constexpr std::string_view kReplaceSeparators =
    "REPLACEDIRECTORYSEPARATORSWITHINPARAMETERS";
// "OUTPUTMACRO", one character (normally "="), then the macro name.
constexpr std::string_view kOutputMacro = "OUTPUTMACRO";
constexpr size_t kOutputMacroNameStart = kOutputMacro.size() + 1;
// "REMOVEPARAMETERS ", the form's character, then the value.
constexpr std::string_view kRemoveParameters = "REMOVEPARAMETERS ";
constexpr size_t kRemovalValueStart = kRemoveParameters.size() + 1;

struct RemovalForm {
  char form;
  bool (*matches)(std::string_view parameter, std::string_view value);
};

constexpr RemovalForm kRemovalForms[] = {
    {'=', [](std::string_view p, std::string_view v) { return p == v; }},
    {'>',
     [](std::string_view p, std::string_view v) { return p.starts_with(v); }},
    {'<',
     [](std::string_view p, std::string_view v) { return p.ends_with(v); }},
    {'~',
     [](std::string_view p, std::string_view v) {
       return !v.empty() && p.find(v) != std::string_view::npos;
     }},
};

const RemovalForm* FindRemovalForm(std::string_view item) {
  if (item.size() < kRemovalValueStart ||
      UpperCase(item.substr(0, kRemoveParameters.size())) !=
          kRemoveParameters) {
    return nullptr;
  }
  for (const RemovalForm& form : kRemovalForms) {
    if (form.form == item[kRemoveParameters.size()]) {
      return &form;
    }
  }
  return nullptr;
}

bool HasOption(std::string_view options, std::string_view word) {
  return TextContainsItem(word, options, ',', CaseSensitive::kNo);
}

// An item of the code list; empty when the list is shorter.
std::string CodeItem(const LineList& code, size_t item) {
  return item < code.Count() ? code.Get(item) : std::string();
}

// The captured output becomes the value of the macro the output item
// names: an existing macro (names compared case-sensitively) gets it in
// place, otherwise the pair is added, even with an empty name.
void StoreOutput(std::string_view output_item, std::string output,
                 DriverState& state) {
  const std::string name(output_item.size() > kOutputMacroNameStart
                             ? output_item.substr(kOutputMacroNameStart)
                             : std::string_view());
  const int64_t at =
      name.empty()
          ? -1
          : FindMacro(state.macros, name, LookIn::kNames, CaseSensitive::kYes);
  if (at < 0) {
    state.macros.Add(name);
  }
  if (at >= 0 && static_cast<uint64_t>(at) + 1 < state.macros.Count()) {
    state.macros.Put(static_cast<uint64_t>(at) + 1, output);
  } else {
    state.macros.Add(output);
  }
  state.MacrosOrLevelsMayHaveChanged();
}

// Everything but the return to the working directory.
LevelOutcome RunTool(const LevelCall& call, WorkingDirectoryChange* cwd) {
  const LevelOutcome cannot_execute = LevelOutcome::Failed(
      LevelMessage("EXTERNAL TOOL CAN'T BE EXECUTED! LEVEL ", call));
  LineList code;
  for (std::string_view line : call.view.code) {
    code.Add(std::string(line));
  }
  const std::string options = CodeItem(code, kOptionsLine);

  // A start directory that does not exist is silently not entered.
  const std::string start = StoredPathToPath(CodeItem(code, kStartDirectory));
  const bool entered =
      start.empty() || !DirectoryExists(start) || cwd->Enter(start);

  ExternalToolRequest request;
  request.executable = StoredPathToPath(CodeItem(code, kExecutable));
  if (HasOption(options, kAppendExecutableExtension)) {
    request.executable += DefaultExecutableExtension();
  }
  if (HasOption(options, kAppendScriptExtension)) {
    request.executable += DefaultScriptExtension();
  }
  request.running_directory =
      StoredPathToPath(CodeItem(code, kProcessDirectory));
  for (size_t i = kFirstParameter; i < code.Count(); ++i) {
    request.parameters.Add(code.Get(i));
  }
  if (entered && HasOption(options, kAssureExecute)) {
    AssureExecutePermissions(request.executable);  // a failure is no matter
  }
  if (HasOption(options, kReplaceSeparators)) {
    StoredPathsToPaths(&request.parameters);
  }
  RemoveParameters(options, &request.parameters);
  if (HasOption(options, kUseEnvironment)) {
    request.environment = ProgramEnvironment();
  }
  const std::string output_item =
      FindItemWithPrefix(kOutputMacro, options, ',');
  request.capture_output = !output_item.empty();
  // The output becomes a macro: it may grow no larger than the macros.
  request.output_limit = CurrentRunLimits().macro_bytes;

  ExternalToolResult result;
  if (entered) {
    result = RunExternalTool(request);
  }
  if (result.output_cut) {
    throw RunLimitExceeded(LevelMessage("level ", call) +
                           ": the tool's output grew past " +
                           std::to_string(request.output_limit) + " bytes");
  }
  // The output macro gets what the tool printed, nothing when it did not
  // run, before the outcome is decided: later levels never see the value
  // from before the level.
  if (request.capture_output) {
    StoreOutput(output_item,
                result.started ? std::move(result.output) : std::string(),
                call.state);
  }
  if (!result.started) {
    return cannot_execute;
  }
  if (result.wait_status != 0 && !HasOption(options, kIgnoreExitCode)) {
    return LevelOutcome::Failed(
        LevelMessage("EXTERNAL TOOL RETURNED AN ERROR! LEVEL ", call));
  }
  return LevelOutcome::Success();
}

}  // namespace

void RemoveParameters(std::string_view options, LineList* parameters) {
  LineList items;
  SplitByCharacter(options, &items, 0, ',');
  for (const std::string& item : items) {
    const RemovalForm* form = FindRemovalForm(item);
    if (form == nullptr) {
      continue;
    }
    const std::string_view value =
        std::string_view(item).substr(kRemovalValueStart);
    for (size_t i = parameters->Count(); i-- > 0;) {
      if (form->matches(parameters->Get(i), value)) {
        parameters->Delete(i);
      }
    }
  }
}

LevelOutcome RunExternalLevel(const LevelCall& call) {
  WorkingDirectoryChange cwd;
  const LevelOutcome outcome = RunTool(call, &cwd);
  cwd.Restore();
  return outcome;
}
