// Where a marker line may stand in a file without changing what the file
// means: never after a line continued with a backslash (a C macro, a
// makefile variable, a shell command), nor before a first line that must
// stay first ("#!", "<?xml"), nor inside a block comment, a
// string that spans lines, a here-document, a make "define", a multi-line
// tag or a code fence, as far as the file's type tells. The scanner reads
// a file line by line and knows the kinds of text its name gives (a C
// file, a shell script, Python, a makefile, ...), else those of its
// comment style; it is no parser, and where it cannot tell it says no.
#ifndef QRL_PACK_AUTHOR_MARKER_PLACES_H_
#define QRL_PACK_AUTHOR_MARKER_PLACES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "pack/author/comment_markers.h"

struct MarkerLexicon;  // the kinds of text of a file type

class MarkerPlaces {
 public:
  // For the file at `path`, whose markers `style` gives (kAuto: by name).
  MarkerPlaces(MarkerStyle style, std::string_view path);

  // Reads the next line of the file (without its line end).
  void Feed(std::string_view line);

  // Empty when a comment line may stand after the lines fed so far and
  // before `next` (nullptr: the end of the file); otherwise where it would
  // stand, in plain words ("after a line continued with a backslash").
  std::string WhyNotBefore(const std::string_view* next) const;

 private:
  enum class In {
    kCode,
    kBlockComment,  // until close_
    kString,        // until close_
    kHeredoc,       // until a line that is close_
    kDefine,        // until "endef"
    kTag,           // until ">"
    kFence,         // until a line that starts with close_
    kBlockScalar,   // while lines are indented deeper than indent_
  };
  void ScanCode(std::string_view line, size_t at);
  // Looks for close_ from `at`; true when found, with *at past it.
  bool Close(std::string_view line, size_t* at, bool escapes) const;

  const MarkerLexicon* lexicon_;
  In in_ = In::kCode;
  std::string close_;
  bool escapes_ = false;     // a backslash escapes the next byte
  bool strip_tabs_ = false;  // of a "<<-" here-document
  size_t indent_ = 0;        // of a block scalar's key line
  int depth_ = 0;            // of nested "define" or "{-" blocks
  bool continued_ = false;   // the last line ended with a backslash
  bool started_ = false;     // a line was fed
  // Here-documents whose bodies start with the next line, in order.
  std::vector<std::pair<std::string, bool>> pending_;
};

#endif  // QRL_PACK_AUTHOR_MARKER_PLACES_H_
