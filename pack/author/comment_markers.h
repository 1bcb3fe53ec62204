// The marker lines that frame a level's new code in a file: a comment in
// the file's own syntax naming the level ("/* QRL BEGIN src/a.c#2 */"), so
// a reader sees where the change starts and ends, and reversing finds
// exactly that level's code.
#ifndef QRL_PACK_AUTHOR_COMMENT_MARKERS_H_
#define QRL_PACK_AUTHOR_COMMENT_MARKERS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "services/string_utils.h"

enum class MarkerStyle { kNone, kAuto, kC, kHash, kDash, kSemicolon, kXml };

// "none", "auto", "c", "hash", "dash", "semicolon", "xml"; false for others.
bool ParseMarkerStyle(std::string_view name, MarkerStyle* style);

// The comment syntax for a file: how a comment line starts and ends.
struct CommentSyntax {
  std::string_view open;
  std::string_view close;
};

// The row of `by_name` for the file's name at the end of `path`, else the
// row of `by_extension` for its extension (the text after its last dot,
// not a leading one), compared in lower case; nullptr for neither. Rows
// have a `key`.
template <typename Row, size_t kNames, size_t kExtensions>
const Row* FindFileType(std::string_view path, const Row (&by_name)[kNames],
                        const Row (&by_extension)[kExtensions]) {
  const size_t slash = path.rfind('/');
  const std::string name = LowerCase(
      slash == std::string_view::npos ? path : path.substr(slash + 1));
  for (const Row& row : by_name) {
    if (row.key == name) {
      return &row;
    }
  }
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    return nullptr;
  }
  const std::string_view extension = std::string_view(name).substr(dot + 1);
  for (const Row& row : by_extension) {
    if (row.key == extension) {
      return &row;
    }
  }
  return nullptr;
}

// The style itself, or for kAuto the one the file's name or extension
// gives (kNone for a file of no known type).
MarkerStyle ResolvedStyle(MarkerStyle style, std::string_view path);

// The syntax `style` gives the file at `path`; none for kNone, and for kAuto
// when the file's name or extension is of no known type.
std::optional<CommentSyntax> CommentSyntaxFor(MarkerStyle style,
                                              std::string_view path);

// A marker line: the comment of "QRL <word> <label>", with anything that
// would end the comment early or break the line taken out of the label.
std::string MarkerLine(const CommentSyntax& syntax, std::string_view word,
                       std::string_view label);

#endif  // QRL_PACK_AUTHOR_COMMENT_MARKERS_H_
