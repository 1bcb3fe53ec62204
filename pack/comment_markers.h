// The marker lines that frame a level's new code in a file: a comment in
// the file's own syntax naming the level ("/* QRL BEGIN src/a.c#2 */"), so
// a reader sees where the change starts and ends, and reversing finds
// exactly that level's code.
#ifndef QRL_PACK_COMMENT_MARKERS_H_
#define QRL_PACK_COMMENT_MARKERS_H_

#include <optional>
#include <string>
#include <string_view>

enum class MarkerStyle { kNone, kAuto, kC, kHash, kDash, kSemicolon, kXml };

// "none", "auto", "c", "hash", "dash", "semicolon", "xml"; false for others.
bool ParseMarkerStyle(std::string_view name, MarkerStyle* style);

// The comment syntax for a file: how a comment line starts and ends.
struct CommentSyntax {
  std::string_view open;
  std::string_view close;
};

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

#endif  // QRL_PACK_COMMENT_MARKERS_H_
