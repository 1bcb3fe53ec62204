#include "services/diagnostics.h"

#include <cstdint>
#include <utility>

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

// The length of the well-formed UTF-8 sequence at the start of `text`
// (no overlong forms, no surrogates, nothing above U+10FFFF), or 0.
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  size_t length = 0;
  uint8_t low = 0x80;  // bounds of the second byte
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) {
      return 0;
    }
  }
  return length;
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
    const size_t length = byte < 0x80 ? 0 : Utf8SequenceLength(line.substr(i));
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
