// The one rule that cuts a byte string into lines, in the two forms the
// program needs: the engine's (a line ends at LF, CR or CR LF) and the
// diff tools' (only LF ends a line, a CR is an ordinary byte). In both a
// final line end does not start another line, and a NUL byte is ordinary.
// Views only: nothing here copies or allocates but the vector of views.
#ifndef QRL_SERVICES_LINE_SPLIT_H_
#define QRL_SERVICES_LINE_SPLIT_H_

#include <cstddef>
#include <string_view>
#include <vector>

enum class LineEnds {
  kAny,     // LF, CR, or CR LF as one end
  kLfOnly,  // LF only
};

// One line of a text: its bytes, and the bytes that end it (empty for a
// last line without an end).
struct TextLine {
  std::string_view text;
  std::string_view end;

  // Where the next line starts, as an offset from the line's start.
  size_t length() const { return text.size() + end.size(); }
};

// The line that starts at offset `at` (< text.size()).
TextLine LineAt(std::string_view text, size_t at, LineEnds ends);

// The lines of `text` without their ends.
std::vector<std::string_view> SplitLines(std::string_view text,
                                         LineEnds ends = LineEnds::kAny);
// The lines of `text` with their ends, so that a last line without an end
// differs from the same line with one.
std::vector<std::string_view> SplitLinesWithEnds(std::string_view text,
                                                 LineEnds ends);

// How many bytes at the back of `line` are a line end under kAny: 2 for
// CR LF, 1 for LF or CR, else 0. Reads a line known to end where it ends.
size_t TrailingLineEnd(std::string_view line);

#endif  // QRL_SERVICES_LINE_SPLIT_H_
