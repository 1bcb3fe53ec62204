#include "pack/author/marker_places.h"

#include <cctype>

#include "services/string_utils.h"

// The kinds of text a file type has that a comment line must not enter.
struct MarkerLexicon {
  std::string_view line_comment = {};  // the rest of the line is a comment
  bool comment_at_word_start = false;  // only there ("#" of a shell)
  std::string_view block_open = {};    // a comment that spans lines
  std::string_view block_close = {};
  bool nested_blocks = false;
  bool double_quotes = false;  // "..." is a string
  bool single_quotes = false;  // '...' is a string
  bool quotes_span = false;    // and may span lines
  bool single_escapes = true;  // a backslash escapes inside '...'
  bool triple_quotes = false;  // """...""" and '''...'''
  bool raw_strings = false;    // R"x(...)x"
  bool backticks = false;      // `...`, spanning lines
  bool heredocs = false;       // <<WORD
  bool heredoc_space = false;  // "<< WORD" too
  bool make_define = false;    // define ... endef
  bool long_brackets = false;  // [[ ... ]], [==[ ... ]==]
  bool xml = false;            // tags, <![CDATA[ ... ]]>
  bool fences = false;         // ``` and ~~~ code blocks
  bool block_scalars = false;  // YAML "key: |"
  bool ruby_docs = false;      // =begin ... =end
};

namespace {

using Lexicon = MarkerLexicon;

constexpr Lexicon kCLike{.line_comment = "//",
                         .block_open = "/*",
                         .block_close = "*/",
                         .double_quotes = true,
                         .single_quotes = true};
constexpr Lexicon kCpp{.line_comment = "//",
                       .block_open = "/*",
                       .block_close = "*/",
                       .double_quotes = true,
                       .single_quotes = true,
                       .raw_strings = true};
constexpr Lexicon kTextBlocks{.line_comment = "//",
                              .block_open = "/*",
                              .block_close = "*/",
                              .double_quotes = true,
                              .single_quotes = true,
                              .triple_quotes = true};
constexpr Lexicon kScript{.line_comment = "//",
                          .block_open = "/*",
                          .block_close = "*/",
                          .double_quotes = true,
                          .single_quotes = true,
                          .backticks = true};
constexpr Lexicon kRust{.line_comment = "//",
                        .block_open = "/*",
                        .block_close = "*/",
                        .double_quotes = true,
                        .quotes_span = true};
constexpr Lexicon kCss{.block_open = "/*",
                       .block_close = "*/",
                       .double_quotes = true,
                       .single_quotes = true};
constexpr Lexicon kShell{.line_comment = "#",
                         .comment_at_word_start = true,
                         .double_quotes = true,
                         .single_quotes = true,
                         .quotes_span = true,
                         .single_escapes = false,
                         .backticks = true,
                         .heredocs = true,
                         .heredoc_space = true};
constexpr Lexicon kPython{.line_comment = "#",
                          .double_quotes = true,
                          .single_quotes = true,
                          .triple_quotes = true};
constexpr Lexicon kRuby{.line_comment = "#",
                        .double_quotes = true,
                        .single_quotes = true,
                        .quotes_span = true,
                        .heredocs = true,
                        .ruby_docs = true};
constexpr Lexicon kPerl{.line_comment = "#",
                        .double_quotes = true,
                        .single_quotes = true,
                        .quotes_span = true,
                        .heredocs = true};
constexpr Lexicon kCmake{.line_comment = "#",
                         .double_quotes = true,
                         .quotes_span = true,
                         .long_brackets = true};
constexpr Lexicon kMake{.line_comment = "#", .make_define = true};
constexpr Lexicon kYaml{.line_comment = "#", .block_scalars = true};
constexpr Lexicon kToml{.line_comment = "#",
                        .double_quotes = true,
                        .single_quotes = true,
                        .triple_quotes = true};
constexpr Lexicon kDocker{
    .line_comment = "#", .heredocs = true, .heredoc_space = true};
constexpr Lexicon kHash{.line_comment = "#"};
constexpr Lexicon kSql{.line_comment = "--",
                       .block_open = "/*",
                       .block_close = "*/",
                       .double_quotes = true,
                       .single_quotes = true,
                       .quotes_span = true};
constexpr Lexicon kLua{.line_comment = "--",
                       .double_quotes = true,
                       .single_quotes = true,
                       .long_brackets = true};
constexpr Lexicon kHaskell{.line_comment = "--",
                           .block_open = "{-",
                           .block_close = "-}",
                           .nested_blocks = true,
                           .double_quotes = true};
constexpr Lexicon kDash{.line_comment = "--", .double_quotes = true};
constexpr Lexicon kLisp{.line_comment = ";",
                        .block_open = "#|",
                        .block_close = "|#",
                        .nested_blocks = true,
                        .double_quotes = true,
                        .quotes_span = true};
constexpr Lexicon kSemicolon{.line_comment = ";"};
constexpr Lexicon kXml{.block_open = "<!--", .block_close = "-->", .xml = true};
constexpr Lexicon kMarkdown{
    .block_open = "<!--", .block_close = "-->", .fences = true};

// By whole name (lower case) or by extension.
struct Typed {
  std::string_view key;
  const Lexicon* lexicon;
};

constexpr Typed kByName[] = {
    {"makefile", &kMake},
    {"gnumakefile", &kMake},
    {"cmakelists.txt", &kCmake},
    {"dockerfile", &kDocker},
};

constexpr Typed kByExtension[] = {
    {"c", &kCpp},
    {"h", &kCpp},
    {"cc", &kCpp},
    {"cpp", &kCpp},
    {"cxx", &kCpp},
    {"hh", &kCpp},
    {"hpp", &kCpp},
    {"hxx", &kCpp},
    {"inl", &kCpp},
    {"m", &kCLike},
    {"mm", &kCpp},
    {"cs", &kCLike},
    {"php", &kCLike},
    {"java", &kTextBlocks},
    {"kt", &kTextBlocks},
    {"swift", &kTextBlocks},
    {"scala", &kTextBlocks},
    {"dart", &kTextBlocks},
    {"groovy", &kTextBlocks},
    {"js", &kScript},
    {"mjs", &kScript},
    {"ts", &kScript},
    {"jsx", &kScript},
    {"tsx", &kScript},
    {"go", &kScript},
    {"rs", &kRust},
    {"css", &kCss},
    {"scss", &kCLike},
    {"less", &kCLike},
    {"sh", &kShell},
    {"bash", &kShell},
    {"zsh", &kShell},
    {"py", &kPython},
    {"rb", &kRuby},
    {"pl", &kPerl},
    {"pm", &kPerl},
    {"cmake", &kCmake},
    {"mk", &kMake},
    {"yaml", &kYaml},
    {"yml", &kYaml},
    {"toml", &kToml},
    {"sql", &kSql},
    {"lua", &kLua},
    {"hs", &kHaskell},
    {"elm", &kHaskell},
    {"lisp", &kLisp},
    {"el", &kLisp},
    {"clj", &kLisp},
    {"scm", &kLisp},
    {"md", &kMarkdown},
};

const Lexicon* LexiconFor(MarkerStyle style, std::string_view path) {
  if (const Typed* typed = FindFileType(path, kByName, kByExtension)) {
    return typed->lexicon;
  }
  switch (ResolvedStyle(style, path)) {
    case MarkerStyle::kC:
      return &kCLike;
    case MarkerStyle::kDash:
      return &kDash;
    case MarkerStyle::kSemicolon:
      return &kSemicolon;
    case MarkerStyle::kXml:
      return &kXml;
    default:
      return &kHash;
  }
}

bool At(std::string_view line, size_t at, std::string_view text) {
  return !text.empty() && line.substr(at).starts_with(text);
}

size_t Indent(std::string_view line) {
  size_t indent = 0;
  while (indent < line.size() &&
         (line[indent] == ' ' || line[indent] == '\t')) {
    ++indent;
  }
  return indent;
}

bool Blank(std::string_view line) { return Indent(line) == line.size(); }

std::string_view WithoutLeadingTabs(std::string_view line) {
  const size_t start = line.find_first_not_of('\t');
  return start == std::string_view::npos ? std::string_view()
                                         : line.substr(start);
}

// The closing bracket of a long bracket opening at `at` ("[[", "[==["), or
// empty.
std::string LongBracketClose(std::string_view line, size_t at) {
  if (at >= line.size() || line[at] != '[') {
    return std::string();
  }
  size_t level = 0;
  while (at + 1 + level < line.size() && line[at + 1 + level] == '=') {
    ++level;
  }
  if (at + 1 + level >= line.size() || line[at + 1 + level] != '[') {
    return std::string();
  }
  return "]" + std::string(level, '=') + "]";
}

bool IsWordByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

}  // namespace

MarkerPlaces::MarkerPlaces(MarkerStyle style, std::string_view path)
    : lexicon_(LexiconFor(style, path)) {}

bool MarkerPlaces::Close(std::string_view line, size_t* at,
                         bool escapes) const {
  for (size_t i = *at; i < line.size(); ++i) {
    if (escapes && line[i] == '\\') {
      ++i;
      continue;
    }
    if (At(line, i, close_)) {
      *at = i + close_.size();
      return true;
    }
  }
  *at = line.size();
  return false;
}

void MarkerPlaces::ScanCode(std::string_view line, size_t i) {
  const MarkerLexicon& lex = *lexicon_;
  const auto enter = [this](In in, std::string close, bool escapes) {
    in_ = in;
    close_ = std::move(close);
    escapes_ = escapes;
    depth_ = 1;
  };
  while (i < line.size()) {
    if (in_ == In::kBlockComment && lex.nested_blocks &&
        At(line, i, lex.block_open)) {
      ++depth_;
      i += lex.block_open.size();
      continue;
    }
    if (in_ == In::kBlockComment || in_ == In::kString || in_ == In::kTag) {
      if (in_ == In::kBlockComment && lex.nested_blocks) {
        // One byte at a time: an opening may come before the closing.
        if (At(line, i, close_)) {
          i += close_.size();
          in_ = --depth_ == 0 ? In::kCode : in_;
        } else {
          ++i;
        }
        continue;
      }
      if (!Close(line, &i, escapes_)) {
        return;
      }
      in_ = In::kCode;
      continue;
    }
    const char c = line[i];
    if (At(line, i, lex.block_open)) {
      enter(In::kBlockComment, std::string(lex.block_close), false);
      i += lex.block_open.size();
      continue;
    }
    if (lex.xml && At(line, i, "<![CDATA[")) {
      enter(In::kBlockComment, "]]>", false);
      i += 9;
      continue;
    }
    if (At(line, i, lex.line_comment) &&
        (!lex.comment_at_word_start || i == 0 || line[i - 1] == ' ' ||
         line[i - 1] == '\t' || line[i - 1] == ';')) {
      const size_t after = i + lex.line_comment.size();
      const std::string close =
          lex.long_brackets ? LongBracketClose(line, after) : "";
      if (close.empty()) {
        return;  // the rest is a comment
      }
      enter(In::kBlockComment, close, false);
      i = after + close.size();
      continue;
    }
    if (lex.long_brackets) {
      if (std::string close = LongBracketClose(line, i); !close.empty()) {
        enter(In::kString, close, false);
        i += close.size();
        continue;
      }
    }
    if (lex.triple_quotes && (At(line, i, "\"\"\"") || At(line, i, "'''"))) {
      enter(In::kString, std::string(line.substr(i, 3)), true);
      i += 3;
      continue;
    }
    if (lex.raw_strings && c == 'R' && At(line, i + 1, "\"") &&
        (i == 0 || !IsWordByte(line[i - 1]))) {
      const size_t open = line.find('(', i + 2);
      if (open != std::string_view::npos) {
        enter(In::kString,
              ")" + std::string(line.substr(i + 2, open - i - 2)) + "\"",
              false);
        i = open + 1;
        continue;
      }
    }
    if ((lex.backticks && c == '`') || (lex.double_quotes && c == '"') ||
        (lex.single_quotes && c == '\'')) {
      enter(In::kString, std::string(1, c), c != '\'' || lex.single_escapes);
      ++i;
      continue;
    }
    if (lex.heredocs && At(line, i, "<<") && !At(line, i, "<<<")) {
      size_t j = i + 2;
      const bool strip = j < line.size() && (line[j] == '-' || line[j] == '~');
      j += strip ? 1 : 0;
      while (lex.heredoc_space && j < line.size() && line[j] == ' ') {
        ++j;
      }
      const char quote =
          j < line.size() && (line[j] == '\'' || line[j] == '"') ? line[j] : 0;
      j += quote != 0 ? 1 : 0;
      size_t end = j;
      while (end < line.size() && IsWordByte(line[end])) {
        ++end;
      }
      if (end > j && !std::isdigit(static_cast<unsigned char>(line[j]))) {
        pending_.emplace_back(std::string(line.substr(j, end - j)), strip);
        i = end + (quote != 0 && end < line.size() ? 1 : 0);
        continue;
      }
    }
    if (lex.xml && c == '<' && i + 1 < line.size() &&
        (std::isalpha(static_cast<unsigned char>(line[i + 1])) != 0 ||
         line[i + 1] == '/' || line[i + 1] == '!' || line[i + 1] == '?')) {
      enter(In::kTag, ">", false);
      ++i;
      continue;
    }
    ++i;
  }
}

void MarkerPlaces::Feed(std::string_view line) {
  const MarkerLexicon& lex = *lexicon_;
  const std::string_view trimmed = line.substr(Indent(line));
  continued_ = false;
  started_ = true;
  switch (in_) {
    case In::kHeredoc:
      if ((strip_tabs_ ? WithoutLeadingTabs(line) : line) == close_) {
        in_ = In::kCode;
      }
      break;
    case In::kDefine:
      if (trimmed.starts_with("endef")) {
        in_ = --depth_ == 0 ? In::kCode : In::kDefine;
      } else if (trimmed.starts_with("define ")) {
        ++depth_;
      }
      return;
    case In::kFence:
      if (trimmed.starts_with(close_)) {
        in_ = In::kCode;
      }
      return;
    case In::kBlockScalar:
      if (!Blank(line) && Indent(line) <= indent_) {
        in_ = In::kCode;
        Feed(line);
      }
      return;
    default:
      if (in_ == In::kCode && lex.make_define &&
          (trimmed.starts_with("define ") || trimmed == "define")) {
        in_ = In::kDefine;
        depth_ = 1;
        return;
      }
      if (in_ == In::kCode && ((lex.fences && (trimmed.starts_with("```") ||
                                               trimmed.starts_with("~~~"))) ||
                               (lex.ruby_docs && line.starts_with("=begin")))) {
        in_ = In::kFence;
        close_ = lex.ruby_docs ? "=end" : std::string(trimmed.substr(0, 3));
        return;
      }
      ScanCode(line, 0);
      // Quotes that may not span lines end with theirs.
      if (in_ == In::kString && !lex.quotes_span && close_.size() == 1 &&
          close_ != "`") {
        in_ = In::kCode;
      }
      if (in_ == In::kCode && lex.block_scalars) {
        const size_t hash = line.find(" #");
        std::string_view value = TrimmedView(line.substr(0, hash));
        while (!value.empty() &&
               (value.back() == '+' || value.back() == '-' ||
                std::isdigit(static_cast<unsigned char>(value.back())) != 0)) {
          value.remove_suffix(1);
        }
        if (value.ends_with(": |") || value.ends_with(": >") || value == "|" ||
            value == ">" || value.ends_with("- |") || value.ends_with("- >")) {
          in_ = In::kBlockScalar;
          indent_ = Indent(line);
        }
      }
      break;
  }
  if (in_ == In::kCode && !pending_.empty()) {
    in_ = In::kHeredoc;
    close_ = pending_.front().first;
    strip_tabs_ = pending_.front().second;
    pending_.erase(pending_.begin());
  }
  continued_ = line.ends_with('\\');
}

std::string MarkerPlaces::WhyNotBefore(const std::string_view* next) const {
  if (continued_) {
    return "after a line continued with a backslash";
  }
  if (!started_ && next != nullptr &&
      (next->starts_with("#!") || next->starts_with("<?xml"))) {
    return "before the first line, which must stay first";
  }
  switch (in_) {
    case In::kCode:
      return std::string();
    case In::kBlockComment:
      return "inside a comment that spans lines";
    case In::kString:
      return "inside a string that spans lines";
    case In::kHeredoc:
      return "inside a here-document";
    case In::kDefine:
      return "inside a make define";
    case In::kTag:
      return "inside a tag that spans lines";
    case In::kFence:
      return "inside a code block";
    case In::kBlockScalar:
      if (next == nullptr || (!Blank(*next) && Indent(*next) <= indent_)) {
        return std::string();
      }
      return "inside a block of text";
  }
  return std::string();
}
