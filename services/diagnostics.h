// Lines for standard error: why something failed, where the report lines of
// standard output cannot say it. Any part of the program may add one; the
// program decides where they go (the console client sends them to standard
// error, a test or a dry run may collect them). Never writes to standard
// output.
#ifndef QRL_SERVICES_DIAGNOSTICS_H_
#define QRL_SERVICES_DIAGNOSTICS_H_

#include <functional>
#include <string>
#include <string_view>

// Hands one line (without its line end) to the installed sink; without a
// sink the line is dropped.
void Diagnose(std::string_view line);

// The line as it may be shown on a terminal: control characters (C0, DEL
// and the C1 range), and bytes that are not part of well-formed UTF-8, are
// written as "\n", "\r", "\t" or "\xNN"; everything else stays as it is.
// Whatever prints a diagnostic line that quotes input passes it through
// here, so that input cannot move the cursor, colour the terminal or forge
// a line of its own.
std::string EscapeForTerminal(std::string_view line);

using DiagnosticSink = std::function<void(std::string_view line)>;

// Installs `sink` for as long as the object lives and puts the one before
// it back afterwards.
class ScopedDiagnosticSink {
 public:
  explicit ScopedDiagnosticSink(DiagnosticSink sink);
  ~ScopedDiagnosticSink();
  ScopedDiagnosticSink(const ScopedDiagnosticSink&) = delete;
  ScopedDiagnosticSink& operator=(const ScopedDiagnosticSink&) = delete;

 private:
  DiagnosticSink previous_;
};

#endif  // QRL_SERVICES_DIAGNOSTICS_H_
