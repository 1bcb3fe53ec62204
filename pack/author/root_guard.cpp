#include "pack/author/root_guard.h"

#include <algorithm>
#include <charconv>

#include "backup/backup_checks.h"
#include "fastmemlist/list_view.h"
#include "package/level_record.h"

namespace {

// The first line of every guard program: how a guard level is recognised.
constexpr std::string_view kTag = "# QRL ROOT GUARD";
// The macro that names the fault and the symbol that says there is one.
constexpr std::string_view kFaultMacro = "{QRL_TREE}";
constexpr std::string_view kFaultSymbol = "QRL_WRONG_TREE";

constexpr std::string_view kRightTree =
    "the tree is the one this package was made for";

// The lines of a program that names `fault` unless `test` holds for the
// path in the buffer.
void AddTest(std::string_view fault, std::string_view test,
             std::vector<std::string>* program) {
  program->push_back("MACROSETVALUE " + std::string(kFaultMacro));
  program->push_back(std::string(fault));
  program->push_back(std::string(test));
  program->push_back("GOTO #WRONG");
}

// Whether a check wants the files there or not.
enum class Wanted { kThere, kAbsent };

void AddFileTests(const std::vector<std::string>& paths, Wanted wanted,
                  std::string_view why, std::vector<std::string>* program) {
  const bool there = wanted == Wanted::kThere;
  for (const std::string& path : paths) {
    program->push_back("BUFFERSETFROMMACRO " + std::string(kRootMacro));
    program->push_back("BUFFEREPILOGUE " + path);
    AddTest(there ? "this tree lacks " + path + ", which " + std::string(why)
                  : "this tree has " + path + ", which " + std::string(why),
            there ? "IFNOTFILEEXISTS" : "IFFILEEXISTS", program);
  }
}

// The check: {ROOT} is given, ends with "/" and is a directory; the files
// that must be there are, the others are not. It reads {ROOT} by name, so
// paths stay as written whatever the macros hold.
LevelFields CheckLevel(int64_t number, bool apply,
                       const RootGuardPaths& paths) {
  LevelFields level = NewLevel(number, kKindComplex,
                               "Check that {ROOT} is the tree this package "
                               "was made for (root guard)");
  level.requirements = apply ? kApplyOnly : kReverseOnly;
  level.options = "IGNOREMACROS";
  if (apply) {
    level.options += "," + std::string(kBackupCheckOption);
  }
  std::vector<std::string>& program = level.code;
  program = {
      std::string(kTag) + ": the first fault of the tree goes into the macro " +
          std::string(kFaultMacro) + ", and the next level stops on it.",
      "SYMBOLSAPPLY -" + std::string(kFaultSymbol),
  };
  AddTest("ROOT is not given (MACRO{ROOT}=/path/to/tree/)",
          "IFNOTMACROWITHNAMEEXISTS " + std::string(kRootMacro), &program);
  program.push_back("BUFFERSETFROMMACRO " + std::string(kRootMacro));
  AddTest("ROOT must end with /", "IFNOTBUFFERCONTAINS </", &program);
  AddTest("ROOT is not a directory", "IFNOTDIRECTORYEXISTS", &program);
  if (apply) {
    AddFileTests(paths.modified, Wanted::kThere, "the package changes",
                 &program);
    AddFileTests(paths.deleted, Wanted::kThere, "the package deletes",
                 &program);
    AddFileTests(paths.created, Wanted::kAbsent, "the package creates",
                 &program);
  } else {
    AddFileTests(paths.modified, Wanted::kThere, "the package changes",
                 &program);
    AddFileTests(paths.created, Wanted::kThere,
                 "the package creates and reverse removes", &program);
    AddFileTests(paths.deleted, Wanted::kAbsent,
                 "the package deletes and reverse brings back", &program);
  }
  program.push_back("MACROSETVALUE " + std::string(kFaultMacro));
  program.push_back(std::string(kRightTree));
  program.push_back("GOTO #END");
  program.push_back("#WRONG");
  program.push_back("SYMBOLSAPPLY +" + std::string(kFaultSymbol));
  program.push_back("#END");
  return level;
}

// The stop: its presentation, the macro, names the fault in the line that
// the failure prints.
LevelFields StopLevel(int64_t number, bool apply) {
  LevelFields level = NewLevel(number, kKindComplex, std::string(kFaultMacro));
  level.requirements = apply ? kApplyOnly : kReverseOnly;
  if (apply) {
    level.options = std::string(kBackupCheckOption);
  }
  level.code = {
      std::string(kTag) + ": stops the run when the check found a fault.",
      "IFSYMBOLSDEFINED -" + std::string(kFaultSymbol),
      "GOTO #END",
      "RETURN FALSE",
      "HALT",
      "#END",
  };
  return level;
}

int64_t NumberOf(std::string_view record) {
  ListView level;
  level.Parse(record);
  const std::string_view text = level.ItemOrEmpty(kLevelNumber);
  int64_t number = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size() ? number : 0;
}

}  // namespace

std::vector<LevelFields> RootGuardLevels(const RootGuardPaths& paths,
                                         int64_t first, int64_t last) {
  return {CheckLevel(first, true, paths), StopLevel(first, true),
          CheckLevel(last, false, paths), StopLevel(last, false)};
}

bool IsRootGuardLevel(std::string_view record) {
  ListView level;
  ListView code;
  return level.Parse(record) && level.ItemOrEmpty(kKindCode) == kKindComplex &&
         code.Parse(level.ItemOrEmpty(kCode)) && code.Count() > 1 &&
         code.Item(1).starts_with(kTag);
}

void PutRootGuard(const RootGuardPaths& paths, TFASTMEMLIST* levels) {
  TFASTMEMLIST kept;
  for (uint64_t i = 0; i < levels->Count(); ++i) {
    if (!IsRootGuardLevel(levels->View(i))) {
      kept.Add(levels->View(i));
    }
  }
  int64_t first = 0;
  int64_t last = 0;
  for (uint64_t i = 0; i < kept.Count(); ++i) {
    const int64_t number = NumberOf(kept.View(i));
    first = i == 0 ? number : std::min(first, number);
    last = i == 0 ? number : std::max(last, number);
  }
  const std::vector<LevelFields> guard = RootGuardLevels(paths, first, last);
  TFASTMEMLIST result;
  result.Add(LevelRecordData(guard[0]));
  result.Add(LevelRecordData(guard[1]));
  bool reverse_side_placed = false;
  for (uint64_t i = 0; i < kept.Count(); ++i) {
    if (!reverse_side_placed && NumberOf(kept.View(i)) == last) {
      result.Add(LevelRecordData(guard[2]));
      result.Add(LevelRecordData(guard[3]));
      reverse_side_placed = true;
    }
    result.Add(kept.View(i));
  }
  if (!reverse_side_placed) {
    result.Add(LevelRecordData(guard[2]));
    result.Add(LevelRecordData(guard[3]));
  }
  *levels = std::move(result);
}
