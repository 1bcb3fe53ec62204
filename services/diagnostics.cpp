#include "services/diagnostics.h"

#include <cstdint>
#include <utility>

#include "services/string_utils.h"

namespace {

// One run is one thread; the sink is the program's, not a run's.
DiagnosticSink& CurrentSink() {
  static DiagnosticSink sink;
  return sink;
}

void AppendHexEscape(uint8_t byte, std::string* out) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  *out += "\\x";
  *out += kDigits[byte >> 4];
  *out += kDigits[byte & 0xF];
}

}  // namespace

std::string EscapeForTerminal(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (size_t i = 0; i < line.size();) {
    const auto byte = static_cast<uint8_t>(line[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      out += line[i++];
      continue;
    }
    const size_t length = byte < 0x80 ? 0 : Utf8SequenceLength(line, i);
    // U+0080 to U+009F, the C1 controls, are 0xC2 0x80 to 0xC2 0x9F.
    const bool c1_control =
        length == 2 && byte == 0xC2 && static_cast<uint8_t>(line[i + 1]) < 0xA0;
    if (length > 0 && !c1_control) {
      out.append(line.substr(i, length));
      i += length;
      continue;
    }
    const size_t escaped = c1_control ? 2 : 1;
    for (size_t j = i; j < i + escaped; ++j) {
      switch (line[j]) {
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          AppendHexEscape(static_cast<uint8_t>(line[j]), &out);
      }
    }
    i += escaped;
  }
  return out;
}

void Diagnose(std::string_view line) {
  if (const DiagnosticSink& sink = CurrentSink()) {
    sink(line);
  }
}

ScopedDiagnosticSink::ScopedDiagnosticSink(DiagnosticSink sink)
    : previous_(std::exchange(CurrentSink(), std::move(sink))) {}

ScopedDiagnosticSink::~ScopedDiagnosticSink() {
  CurrentSink() = std::move(previous_);
}
