// The buffer commands: set, convert, extend at the front (prologue) or the
// end (epilogue), cut, treat as text lines, and test the buffer. A command
// that fails leaves the buffer as it was, except the macro listings, which
// then empty it.
#include "complex/command_table.h"
#include "complex/numbers.h"
#include "engine/macros.h"
#include "engine/separators.h"
#include "services/file_services.h"
#include "services/temporary_names.h"

namespace {

// Setting and converting.

Step Set(ComplexRun& run, std::string_view text) {
  run.buffer = text;
  return Step::Next();
}

// A conversion of the whole buffer.
using Conversion = std::string (*)(std::string_view text);

template <Conversion convert>
Step Convert(ComplexRun& run, std::string_view) {
  run.buffer = convert(run.buffer);
  return Step::Next();
}

std::string TrimLeft(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && static_cast<unsigned char>(text[begin]) <= 32) {
    ++begin;
  }
  return std::string(text.substr(begin));
}

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) {
    --end;
  }
  return std::string(text.substr(0, end));
}

// Prologue and epilogue: a piece of text computed from the run and the
// argument is put before or after the buffer. nullopt is a failure.
using Piece = std::optional<std::string> (*)(ComplexRun& run,
                                             std::string_view argument);

template <Piece piece>
Step Prologue(ComplexRun& run, std::string_view argument) {
  std::optional<std::string> text = piece(run, argument);
  if (!text.has_value()) {
    return Fail(run);
  }
  // The piece takes the buffer behind it (rather than an insert at 0, which
  // GCC 12 at -O3 warns about falsely with -Wrestrict).
  *text += run.buffer;
  run.buffer = std::move(*text);
  return Step::Next();
}

template <Piece piece>
Step Epilogue(ComplexRun& run, std::string_view argument) {
  const std::optional<std::string> text = piece(run, argument);
  if (!text.has_value()) {
    return Fail(run);
  }
  run.buffer += *text;
  return Step::Next();
}

std::optional<std::string> ArgumentPiece(ComplexRun&, std::string_view text) {
  return std::string(text);
}

std::optional<std::string> BytePiece(ComplexRun&, std::string_view number) {
  const std::optional<char> byte = ReadByteValue(number);
  if (!byte.has_value()) {
    return std::nullopt;
  }
  return std::string(1, *byte);
}

// A fixed text of the platform.
template <const char* text>
std::optional<std::string> Constant(ComplexRun&, std::string_view) {
  return std::string(text);
}
constexpr char kDirectorySeparator[] = "/";
constexpr char kTextLineSeparator[] = "\n";
constexpr char kOperatingSystem[] = "Linux";
constexpr char kProcessor[] = "x86_64";

// A text of the file services.
template <std::string (*source)()>
std::optional<std::string> ServicePiece(ComplexRun&, std::string_view) {
  return source();
}

// "TRUE" asks for the system-wide directory, anything else for the user's:
// the same directory here.
std::optional<std::string> TemporaryDirectoryPiece(ComplexRun&,
                                                   std::string_view) {
  return TemporaryDirectory();
}

std::optional<std::string> TemporaryFilePiece(ComplexRun&,
                                              std::string_view directory) {
  return TemporaryFileName(directory);
}

std::optional<std::string> SymbolsPiece(ComplexRun& run, std::string_view) {
  return run.symbols.Text();
}

// The name (item 0) or value (item 1) of the first or last macro; nothing
// when the list is empty.
template <Which which, uint64_t item>
std::optional<std::string> MacroPiece(ComplexRun& run, std::string_view) {
  const std::optional<uint64_t> name = MacroAt(run, which);
  return name.has_value() ? run.macros.Get(*name + item) : std::string();
}

std::optional<std::string> NamedMacroValue(ComplexRun& run,
                                           std::string_view name) {
  const int64_t index = FindNamedMacro(run, name);
  return index < 0 ? std::string() : run.macros.Get(index + 1);
}

Step AssureDirectorySeparatorEpilogue(ComplexRun& run, std::string_view) {
  if (!run.buffer.empty() && run.buffer.back() != '/') {
    run.buffer += '/';
  }
  return Step::Next();
}

// Whole-buffer sources.

Step SetSymbols(ComplexRun& run, std::string_view) {
  run.buffer = run.symbols.Text();
  return Step::Next();
}

// A missing macro empties the buffer without failing.
Step SetFromMacro(ComplexRun& run, std::string_view name) {
  run.buffer = *NamedMacroValue(run, name);
  return Step::Next();
}

// The names (LookIn::kNames) or values that match the operator and pattern
// of the argument, one line each; exact bytes, whatever the case flag. An
// unusable operator fails and empties the buffer.
template <LookIn look_in>
Step SetMacroItems(ComplexRun& run, std::string_view operand) {
  const bool usable = IsMatchOperand(operand);
  std::string lines;
  for (uint64_t i = look_in == LookIn::kNames ? 0 : 1;
       usable && i < run.macros.Count(); i += 2) {
    if (*MatchesOperand(run.macros.View(i), operand)) {
      lines += run.macros.View(i);
      lines += '\n';
    }
  }
  run.buffer = std::move(lines);
  return usable ? Step::Next() : Fail(run);
}

// Cutting: the buffer keeps what lies before (kLeft) or after (kRight) the
// first occurrence of a text or a byte; it is unchanged when there is none.
enum class Side { kLeft, kRight };

void CutBuffer(ComplexRun& run, size_t position, size_t length, Side side) {
  if (position == std::string::npos) {
    return;
  }
  run.buffer = side == Side::kLeft ? run.buffer.substr(0, position)
                                   : run.buffer.substr(position + length);
}

// With case sensitivity off both sides are upper-cased for the search; the
// buffer itself is cut.
template <Side side>
Step GetOfText(ComplexRun& run, std::string_view text) {
  if (text.empty()) {
    return Fail(run);
  }
  const size_t position = run.case_sensitive == CaseSensitive::kYes
                              ? run.buffer.find(text)
                              : UpperCase(run.buffer).find(UpperCase(text));
  CutBuffer(run, position, text.size(), side);
  return Step::Next();
}

template <Side side>
Step GetOfByte(ComplexRun& run, std::string_view number) {
  const std::optional<char> byte = ReadByteValue(number);
  if (!byte.has_value()) {
    return Fail(run);
  }
  CutBuffer(run, run.buffer.find(*byte), 1, side);
  return Step::Next();
}

// Text lines. An empty buffer is left alone.

// The buffer cut at every occurrence of the separator (empty pieces kept),
// or into its lines when the separator is empty.
LineList Pieces(const ComplexRun& run, std::string_view separator) {
  if (separator.empty()) {
    return TextLines(run.buffer);
  }
  LineList pieces;
  SplitByString(run.buffer, &pieces, 0, separator);
  return pieces;
}

Step ChangeSeparatorToDefault(ComplexRun& run, std::string_view separator) {
  if (!run.buffer.empty()) {
    run.buffer = Pieces(run, separator).Text();
  }
  return Step::Next();
}

Step ChangeSeparatorFromDefault(ComplexRun& run, std::string_view separator) {
  if (run.buffer.empty()) {
    return Step::Next();
  }
  if (separator.empty()) {
    return Fail(run);
  }
  run.buffer = JoinWithString(TextLines(run.buffer), separator);
  return Step::Next();
}

template <TextEdit edit>
Step EditBuffer(ComplexRun& run, std::string_view) {
  if (!run.buffer.empty()) {
    run.buffer = edit(run.buffer);
  }
  return Step::Next();
}

// The last line (or the last piece between separators) moves to the front:
// a rotation, not a swap of the two ends.
Step ExchangeFirstWithLast(ComplexRun& run, std::string_view separator) {
  if (run.buffer.empty()) {
    return Step::Next();
  }
  LineList items = Pieces(run, separator);
  if (items.Count() >= 2) {
    std::string last = std::move(items.At(items.Count() - 1));
    items.Delete(items.Count() - 1);
    items.Insert(0, std::move(last));
  }
  run.buffer =
      separator.empty() ? items.Text() : JoinWithString(items, separator);
  return Step::Next();
}

// Conditions.

struct Comparison {
  std::string_view op;
  bool (*holds)(uint64_t count, uint64_t n);
};

// Two-byte operators first, so that "<=" is not read as "<".
constexpr Comparison kComparisons[] = {
    {"<>", [](uint64_t count, uint64_t n) { return count != n; }},
    {"<=", [](uint64_t count, uint64_t n) { return count <= n; }},
    {">=", [](uint64_t count, uint64_t n) { return count >= n; }},
    {"<", [](uint64_t count, uint64_t n) { return count < n; }},
    {">", [](uint64_t count, uint64_t n) { return count > n; }},
    {"=", [](uint64_t count, uint64_t n) { return count == n; }},
};

// An operator, then a number (blanks before it allowed).
std::optional<bool> TextLinesCount(ComplexRun& run, std::string_view argument) {
  for (const Comparison& comparison : kComparisons) {
    if (argument.starts_with(comparison.op)) {
      const std::optional<uint64_t> n =
          ReadNumber(argument.substr(comparison.op.size()));
      if (!n.has_value()) {
        return std::nullopt;
      }
      return comparison.holds(TextLines(run.buffer).Count(), *n);
    }
  }
  return std::nullopt;
}

std::optional<bool> BufferMatches(ComplexRun& run, std::string_view operand) {
  if (run.case_sensitive == CaseSensitive::kYes) {
    return MatchesOperand(run.buffer, operand);
  }
  return MatchesOperand(UpperCase(run.buffer), UpperCase(operand));
}

constexpr ComplexCommand kRows[] = {
    {"BUFFERSET", Set, kNoDefault},
    {"BUFFERUPDATEPATH", Convert<StoredPathToPath>, kNoDefault},
    {"BUFFERLOWERCASE", Convert<LowerCase>, kNoDefault},
    {"BUFFERUPPERCASE", Convert<UpperCase>, kNoDefault},
    {"BUFFERTRIM", Convert<Trim>, kNoDefault},
    {"BUFFERTRIMLEFT", Convert<TrimLeft>, kNoDefault},
    {"BUFFERTRIMRIGHT", Convert<TrimRight>, kNoDefault},

    {"BUFFERPROLOGUE", Prologue<ArgumentPiece>, kNoDefault},
    {"BUFFEREPILOGUE", Epilogue<ArgumentPiece>, kNoDefault},
    {"BUFFERPROLOGUEBYTE", Prologue<BytePiece>, kNoDefault},
    {"BUFFEREPILOGUEBYTE", Epilogue<BytePiece>, kNoDefault},
    {"BUFFERPROLOGUEDIRECTORYSEPARATOR",
     Prologue<Constant<kDirectorySeparator>>, kNoDefault},
    {"BUFFEREPILOGUEDIRECTORYSEPARATOR",
     Epilogue<Constant<kDirectorySeparator>>, kNoDefault},
    {"BUFFERPROLOGUETEXTLINESEPARATOR", Prologue<Constant<kTextLineSeparator>>,
     kNoDefault},
    {"BUFFEREPILOGUETEXTLINESEPARATOR", Epilogue<Constant<kTextLineSeparator>>,
     kNoDefault},
    {"BUFFERPROLOGUEOS", Prologue<Constant<kOperatingSystem>>, kNoDefault},
    {"BUFFEREPILOGUEOS", Epilogue<Constant<kOperatingSystem>>, kNoDefault},
    {"BUFFERPROLOGUECPU", Prologue<Constant<kProcessor>>, kNoDefault},
    {"BUFFEREPILOGUECPU", Epilogue<Constant<kProcessor>>, kNoDefault},
    {"BUFFERPROLOGUEWITHDEFAULTEXECUTABLEEXTENSION",
     Prologue<ServicePiece<DefaultExecutableExtension>>, kNoDefault},
    {"BUFFEREPILOGUEWITHDEFAULTEXECUTABLEEXTENSION",
     Epilogue<ServicePiece<DefaultExecutableExtension>>, kNoDefault},
    {"BUFFERPROLOGUEWITHDEFAULTSCRIPTEXTENSION",
     Prologue<ServicePiece<DefaultScriptExtension>>, kNoDefault},
    {"BUFFEREPILOGUEWITHDEFAULTSCRIPTEXTENSION",
     Epilogue<ServicePiece<DefaultScriptExtension>>, kNoDefault},
    {"BUFFERPROLOGUEWITHDEFAULTLIBRARYEXTENSION",
     Prologue<ServicePiece<DefaultLibraryExtension>>, kNoDefault},
    {"BUFFEREPILOGUEWITHDEFAULTLIBRARYEXTENSION",
     Epilogue<ServicePiece<DefaultLibraryExtension>>, kNoDefault},
    {"BUFFERPROLOGUETEMPORARYDIRECTORY", Prologue<TemporaryDirectoryPiece>,
     kNoDefault},
    {"BUFFEREPILOGUETEMPORARYDIRECTORY", Epilogue<TemporaryDirectoryPiece>,
     kNoDefault},
    {"BUFFERPROLOGUETEMPORARYFILE", Prologue<TemporaryFilePiece>, kNoDefault},
    {"BUFFEREPILOGUETEMPORARYFILE", Epilogue<TemporaryFilePiece>, kNoDefault},
    {"BUFFERPROLOGUESYMBOLS", Prologue<SymbolsPiece>, kNoDefault},
    {"BUFFEREPILOGUESYMBOLS", Epilogue<SymbolsPiece>, kNoDefault},
    {"BUFFERPROLOGUEWITHFIRSTMACRONAME", Prologue<MacroPiece<Which::kFirst, 0>>,
     kNoDefault},
    {"BUFFEREPILOGUEWITHFIRSTMACRONAME", Epilogue<MacroPiece<Which::kFirst, 0>>,
     kNoDefault},
    {"BUFFERPROLOGUEWITHFIRSTMACROVALUE",
     Prologue<MacroPiece<Which::kFirst, 1>>, kNoDefault},
    {"BUFFEREPILOGUEWITHFIRSTMACROVALUE",
     Epilogue<MacroPiece<Which::kFirst, 1>>, kNoDefault},
    {"BUFFERPROLOGUEWITHLASTMACRONAME", Prologue<MacroPiece<Which::kLast, 0>>,
     kNoDefault},
    {"BUFFEREPILOGUEWITHLASTMACRONAME", Epilogue<MacroPiece<Which::kLast, 0>>,
     kNoDefault},
    {"BUFFERPROLOGUEWITHLASTMACROVALUE", Prologue<MacroPiece<Which::kLast, 1>>,
     kNoDefault},
    {"BUFFEREPILOGUEWITHLASTMACROVALUE", Epilogue<MacroPiece<Which::kLast, 1>>,
     kNoDefault},
    {"BUFFERPROLOGUEWITHMACROVALUE", Prologue<NamedMacroValue>, kNoDefault},
    {"BUFFEREPILOGUEWITHMACROVALUE", Epilogue<NamedMacroValue>, kNoDefault},
    {"BUFFERASSUREDIRECTORYSEPARATOREPILOGUE", AssureDirectorySeparatorEpilogue,
     kNoDefault},

    {"BUFFERSETSYMBOLS", SetSymbols, kNoDefault},
    {"BUFFERSETFROMMACRO", SetFromMacro, kBufferDefault},
    {"BUFFERSETMACRONAMES", SetMacroItems<LookIn::kNames>, kBufferDefault},
    {"BUFFERSETMACROVALUES", SetMacroItems<LookIn::kValues>, kBufferDefault},

    {"BUFFERGETLEFTOF", GetOfText<Side::kLeft>, kNoDefault},
    {"BUFFERGETRIGHTOF", GetOfText<Side::kRight>, kNoDefault},
    {"BUFFERGETLEFTOFBYTE", GetOfByte<Side::kLeft>, kNoDefault},
    {"BUFFERGETRIGHTOFBYTE", GetOfByte<Side::kRight>, kNoDefault},

    {"BUFFERCHANGETEXTLINESSEPARATORTODEFAULT", ChangeSeparatorToDefault,
     kNoDefault},
    {"BUFFERCHANGETEXTLINESSEPARATORFROMDEFAULT", ChangeSeparatorFromDefault,
     kNoDefault},
    {"BUFFERDELETETEXTLINEFIRST", EditBuffer<DeleteFirstLine>, kNoDefault},
    {"BUFFERDELETETEXTLINELAST", EditBuffer<DeleteLastLine>, kNoDefault},
    {"BUFFERKEEPTEXTLINEFIRST", EditBuffer<KeepFirstLine>, kNoDefault},
    {"BUFFERKEEPTEXTLINELAST", EditBuffer<KeepLastLine>, kNoDefault},
    {"BUFFEREXCHANGETEXTLINESFIRSTWITHLAST", ExchangeFirstWithLast, kNoDefault},
    {"BUFFERREMOVEDUPLICATETEXTLINES", EditBuffer<RemoveDuplicateTextLines>,
     kNoDefault},

    {"IFBUFFERTEXTLINESCOUNT", If<TextLinesCount>, kNoDefault},
    {"IFBUFFERCONTAINS", If<BufferMatches>, kNoDefault},
    {"IFNOTBUFFERCONTAINS", IfNot<BufferMatches>, kNoDefault},
};

}  // namespace

std::span<const ComplexCommand> BufferCommands() { return kRows; }
