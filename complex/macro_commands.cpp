// The macro commands and conditions. They add, insert, delete and move
// whole name-value pairs; a command that fails leaves the macro list as it
// was.
#include "complex/command_table.h"
#include "engine/driver_state.h"
#include "engine/macros.h"
#include "services/file_services.h"

namespace {

// The whole list.

Step Clear(ComplexRun& run, std::string_view) {
  run.macros.Clear();
  return Step::Next();
}

// Each macro once, in list order, case-sensitively, in every level record;
// a name that a value brings in is not expanded again.
Step Apply(ComplexRun& run, std::string_view) {
  if (ExpandMacrosOnce(&run.levels, run.macros, -1, CaseSensitive::kYes)) {
    *run.run_flags |= kRunLevelsChanged;
  }
  return Step::Next();
}

// Every name (LookIn::kNames) or every value converted.
template <LookIn look_in, std::string (*convert)(std::string_view)>
Step ConvertAll(ComplexRun& run, std::string_view) {
  for (uint64_t i = look_in == LookIn::kNames ? 0 : 1; i < run.macros.Count();
       i += 2) {
    run.macros.Put(i, convert(run.macros.View(i)));
  }
  return Step::Next();
}

// With fewer than two pairs nothing happens, and nothing fails.
Step ExchangeFirstWithLast(ComplexRun& run, std::string_view) {
  if (run.macros.Count() >= 4) {
    const uint64_t last = *MacroAt(run, Which::kLast);
    run.macros.Exchange(0, last);
    run.macros.Exchange(1, last + 1);
  }
  return Step::Next();
}

// The first and the last macro. Except for the ADDEMPTY pair, each fails on
// an empty list.

template <Which which>
Step AddEmpty(ComplexRun& run, std::string_view) {
  const uint64_t at = which == Which::kFirst ? 0 : run.macros.Count();
  run.macros.InsertEmpty(at);
  run.macros.InsertEmpty(at);
  return Step::Next();
}

// An edit of the first or last pair, given the index of its name; false
// when it could not be done.
using PairEdit = bool (*)(TFASTMEMLIST& macros, uint64_t name,
                          std::string_view argument);

template <Which which, PairEdit edit>
Step EditPair(ComplexRun& run, std::string_view argument) {
  const std::optional<uint64_t> name = MacroAt(run, which);
  if (!name.has_value() || !edit(run.macros, *name, argument)) {
    return Fail(run);
  }
  return Step::Next();
}

// Puts the argument into the name (item 0) or the value (item 1).
template <uint64_t item>
bool SetItem(TFASTMEMLIST& macros, uint64_t name, std::string_view text) {
  macros.Put(name + item, text);
  return true;
}

bool ExchangeNameAndValue(TFASTMEMLIST& macros, uint64_t name,
                          std::string_view) {
  macros.Exchange(name, name + 1);
  return true;
}

// The file named by the macro's name, read whole, becomes its value; a file
// that cannot be read leaves the value as it was.
bool Import(TFASTMEMLIST& macros, uint64_t name, std::string_view) {
  std::string bytes;
  if (!FileToString(macros.Get(name), &bytes)) {
    return false;
  }
  macros.Put(name + 1, bytes);
  return true;
}

// The value's bytes replace the file named by the macro's name. The file is
// replaced atomically, so a failed write never leaves a truncated file.
bool Export(TFASTMEMLIST& macros, uint64_t name, std::string_view) {
  return StringToFile(macros.Get(name), macros.View(name + 1));
}

bool DeletePair(TFASTMEMLIST& macros, uint64_t name, std::string_view) {
  macros.DeleteRange(name, 2);
  return true;
}

// A named macro: the first pair whose name the argument finds.

// The value is the next program line; a missing macro is appended.
Step SetValue(ComplexRun& run, std::string_view name) {
  const std::optional<std::string_view> value = OperandLine(run, 1);
  if (!value.has_value()) {
    Fail(run);
    return PastOperands(1);
  }
  const int64_t index = FindNamedMacro(run, name);
  if (index >= 0) {
    run.macros.Put(index + 1, *value);
  } else {
    run.macros.Add(name);
    run.macros.Add(*value);
  }
  return PastOperands(1);
}

// The new name is the next program line.
Step SetName(ComplexRun& run, std::string_view name) {
  const std::optional<std::string_view> new_name = OperandLine(run, 1);
  const int64_t index =
      name.empty() || !new_name.has_value() ? -1 : FindNamedMacro(run, name);
  if (index < 0) {
    Fail(run);
  } else {
    run.macros.Put(index, *new_name);
  }
  return PastOperands(1);
}

// A missing macro is appended with an empty value.
Step Empty(ComplexRun& run, std::string_view name) {
  if (name.empty()) {
    return Fail(run);
  }
  const int64_t index = FindNamedMacro(run, name);
  if (index >= 0) {
    run.macros.Put(index + 1, "");
  } else {
    run.macros.Add(name);
    run.macros.AddEmpty();
  }
  return Step::Next();
}

Step Delete(ComplexRun& run, std::string_view name) {
  const int64_t index = FindNamedMacro(run, name);
  if (index < 0) {
    return Fail(run);
  }
  run.macros.DeleteRange(index, 2);
  return Step::Next();
}

// The pair moves to the front or the end; the other pairs keep their order.
template <Which which>
Step MoveTo(ComplexRun& run, std::string_view name) {
  const int64_t index = FindNamedMacro(run, name);
  if (index < 0) {
    return Fail(run);
  }
  const uint64_t from = index;
  if (which == Which::kFirst) {
    run.macros.Move(from, 0);
    run.macros.Move(from + 1, 1);
  } else {
    const uint64_t last = run.macros.Count() - 1;
    run.macros.Move(from, last);  // the value now stands at `from`
    run.macros.Move(from, last);
  }
  return Step::Next();
}

// Every following program line, exactly as written, becomes the value of
// the macro, which moves to the end of the list; the run ends here.
Step SetTextLines(ComplexRun& run, std::string_view name) {
  std::string value;
  for (uint64_t i = run.pc + 1; i < run.program.Count(); ++i) {
    value += run.program.View(i);
    value += '\n';
  }
  // The name may be a view of the buffer's copy, never of the macro list.
  const int64_t index = FindNamedMacro(run, name);
  if (index >= 0) {
    run.macros.DeleteRange(index, 2);
  }
  run.macros.Add(name);
  run.macros.Add(value);
  return Step::End();
}

// The name (LookIn::kNames) or the value of the named macro, edited as
// text lines.
template <LookIn look_in, TextEdit edit>
Step EditText(ComplexRun& run, std::string_view name) {
  const int64_t index = FindNamedMacro(run, name);
  if (index < 0) {
    return Fail(run);
  }
  const uint64_t item = index + (look_in == LookIn::kNames ? 0 : 1);
  if (run.macros.ItemLength(item) > 0) {
    run.macros.Put(item, edit(run.macros.View(item)));
  }
  return Step::Next();
}

// Conditions.

std::optional<bool> NameExists(ComplexRun& run, std::string_view name) {
  return FindNamedMacro(run, name) >= 0;
}

std::optional<bool> ValueExists(ComplexRun& run, std::string_view value) {
  return FindMacro(run.macros, value, LookIn::kValues, run.case_sensitive) >= 0;
}

// Undecidable when there is no such macro.
std::optional<bool> ValueIsEmpty(ComplexRun& run, std::string_view name) {
  const int64_t index = FindNamedMacro(run, name);
  if (index < 0) {
    return std::nullopt;
  }
  return run.macros.ItemLength(index + 1) == 0;
}

// The name (item 0) or value (item 1) of the first or last macro equals the
// argument exactly, whatever the case flag; undecidable on an empty list.
template <Which which, uint64_t item>
std::optional<bool> ItemIs(ComplexRun& run, std::string_view text) {
  const std::optional<uint64_t> name = MacroAt(run, which);
  if (!name.has_value()) {
    return std::nullopt;
  }
  return run.macros.View(*name + item) == text;
}

constexpr Which kFirst = Which::kFirst;
constexpr Which kLast = Which::kLast;
constexpr LookIn kNames = LookIn::kNames;
constexpr LookIn kValues = LookIn::kValues;

constexpr ComplexCommand kRows[] = {
    {"MACROSCLEAR", Clear, kNoDefault},
    {"MACROSAPPLY", Apply, kNoDefault},
    {"MACROSUPPERCASENAME", ConvertAll<kNames, UpperCase>, kNoDefault},
    {"MACROSUPPERCASEVALUE", ConvertAll<kValues, UpperCase>, kNoDefault},
    {"MACROSLOWERCASENAME", ConvertAll<kNames, LowerCase>, kNoDefault},
    {"MACROSLOWERCASEVALUE", ConvertAll<kValues, LowerCase>, kNoDefault},
    {"MACROSEXCHANGEFIRSTWITHLAST", ExchangeFirstWithLast, kNoDefault},

    {"MACROFIRSTADDEMPTY", AddEmpty<kFirst>, kNoDefault},
    {"MACROLASTADDEMPTY", AddEmpty<kLast>, kNoDefault},
    {"MACROFIRSTSETNAME", EditPair<kFirst, SetItem<0>>, kBufferDefault},
    {"MACROFIRSTSETVALUE", EditPair<kFirst, SetItem<1>>, kBufferDefault},
    {"MACROLASTSETNAME", EditPair<kLast, SetItem<0>>, kBufferDefault},
    {"MACROLASTSETVALUE", EditPair<kLast, SetItem<1>>, kBufferDefault},
    {"MACROFIRSTEXCHANGENAMEANDVALUE", EditPair<kFirst, ExchangeNameAndValue>,
     kNoDefault},
    {"MACROLASTEXCHANGENAMEANDVALUE", EditPair<kLast, ExchangeNameAndValue>,
     kNoDefault},
    {"MACROFIRSTIMPORT", EditPair<kFirst, Import>, kNoDefault},
    {"MACROLASTIMPORT", EditPair<kLast, Import>, kNoDefault},
    {"MACROFIRSTEXPORT", EditPair<kFirst, Export>, kNoDefault},
    {"MACROLASTEXPORT", EditPair<kLast, Export>, kNoDefault},
    {"MACROFIRSTDELETE", EditPair<kFirst, DeletePair>, kNoDefault},
    {"MACROLASTDELETE", EditPair<kLast, DeletePair>, kNoDefault},

    {"MACROSETVALUE", SetValue, kBufferDefault},
    {"MACROSETNAME", SetName, kBufferDefault},
    {"MACROEMPTY", Empty, kBufferDefault},
    {"MACRODELETE", Delete, kBufferDefault},
    {"MACROMOVEFIRST", MoveTo<kFirst>, kBufferDefault},
    {"MACROMOVELAST", MoveTo<kLast>, kBufferDefault},
    {"MACROSETTEXTLINES", SetTextLines, kBufferDefault},
    {"MACRODELETETEXTLINEFIRST", EditText<kValues, DeleteFirstLine>,
     kBufferDefault},
    {"MACRODELETETEXTLINELAST", EditText<kValues, DeleteLastLine>,
     kBufferDefault},
    {"MACROKEEPTEXTLINEFIRST", EditText<kValues, KeepFirstLine>,
     kBufferDefault},
    {"MACROKEEPTEXTLINELAST", EditText<kValues, KeepLastLine>, kBufferDefault},
    {"MACRONAMEREMOVEDUPLICATETEXTLINES",
     EditText<kNames, RemoveDuplicateTextLines>, kBufferDefault},
    {"MACROVALUEREMOVEDUPLICATETEXTLINES",
     EditText<kValues, RemoveDuplicateTextLines>, kBufferDefault},

    {"IFMACROWITHNAMEEXISTS", If<NameExists>, kBufferDefault},
    {"IFNOTMACROWITHNAMEEXISTS", IfNot<NameExists>, kBufferDefault},
    {"IFMACROWITHVALUEEXISTS", If<ValueExists>, kBufferDefault},
    {"IFNOTMACROWITHVALUEEXISTS", IfNot<ValueExists>, kBufferDefault},
    {"IFMACROWITHNAMEISEMPTY", If<ValueIsEmpty>, kBufferDefault},
    {"IFNOTMACROWITHNAMEISEMPTY", IfNot<ValueIsEmpty>, kBufferDefault},
    {"IFMACROFIRSTNAMEIS", If<ItemIs<kFirst, 0>>, kBufferDefault},
    {"IFNOTMACROFIRSTNAMEIS", IfNot<ItemIs<kFirst, 0>>, kBufferDefault},
    {"IFMACROFIRSTVALUEIS", If<ItemIs<kFirst, 1>>, kBufferDefault},
    {"IFNOTMACROFIRSTVALUEIS", IfNot<ItemIs<kFirst, 1>>, kBufferDefault},
    {"IFMACROLASTNAMEIS", If<ItemIs<kLast, 0>>, kBufferDefault},
    {"IFNOTMACROLASTNAMEIS", IfNot<ItemIs<kLast, 0>>, kBufferDefault},
    {"IFMACROLASTVALUEIS", If<ItemIs<kLast, 1>>, kBufferDefault},
    {"IFNOTMACROLASTVALUEIS", IfNot<ItemIs<kLast, 1>>, kBufferDefault},
};

}  // namespace

std::span<const ComplexCommand> MacroCommands() { return kRows; }
