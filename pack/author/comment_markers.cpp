#include "pack/author/comment_markers.h"

#include <array>

#include "services/string_utils.h"

namespace {

constexpr CommentSyntax kCSyntax{"/*", "*/"};
constexpr CommentSyntax kHashSyntax{"#", ""};
constexpr CommentSyntax kDashSyntax{"--", ""};
constexpr CommentSyntax kSemicolonSyntax{";", ""};
constexpr CommentSyntax kXmlSyntax{"<!--", "-->"};

struct NamedStyle {
  std::string_view name;
  MarkerStyle style;
};

constexpr std::array<NamedStyle, 7> kStyles{{
    {"none", MarkerStyle::kNone},
    {"auto", MarkerStyle::kAuto},
    {"c", MarkerStyle::kC},
    {"hash", MarkerStyle::kHash},
    {"dash", MarkerStyle::kDash},
    {"semicolon", MarkerStyle::kSemicolon},
    {"xml", MarkerStyle::kXml},
}};

// File types by extension (lower case, without the dot) or by whole name.
struct FileType {
  std::string_view key;
  MarkerStyle style;
};

constexpr FileType kExtensions[] = {
    {"c", MarkerStyle::kC},           {"h", MarkerStyle::kC},
    {"cc", MarkerStyle::kC},          {"cpp", MarkerStyle::kC},
    {"cxx", MarkerStyle::kC},         {"hh", MarkerStyle::kC},
    {"hpp", MarkerStyle::kC},         {"hxx", MarkerStyle::kC},
    {"inl", MarkerStyle::kC},         {"java", MarkerStyle::kC},
    {"js", MarkerStyle::kC},          {"mjs", MarkerStyle::kC},
    {"ts", MarkerStyle::kC},          {"jsx", MarkerStyle::kC},
    {"tsx", MarkerStyle::kC},         {"cs", MarkerStyle::kC},
    {"go", MarkerStyle::kC},          {"rs", MarkerStyle::kC},
    {"swift", MarkerStyle::kC},       {"kt", MarkerStyle::kC},
    {"scala", MarkerStyle::kC},       {"m", MarkerStyle::kC},
    {"mm", MarkerStyle::kC},          {"css", MarkerStyle::kC},
    {"scss", MarkerStyle::kC},        {"less", MarkerStyle::kC},
    {"php", MarkerStyle::kC},         {"dart", MarkerStyle::kC},
    {"groovy", MarkerStyle::kC},      {"pas", MarkerStyle::kC},
    {"sh", MarkerStyle::kHash},       {"bash", MarkerStyle::kHash},
    {"zsh", MarkerStyle::kHash},      {"py", MarkerStyle::kHash},
    {"rb", MarkerStyle::kHash},       {"pl", MarkerStyle::kHash},
    {"pm", MarkerStyle::kHash},       {"cmake", MarkerStyle::kHash},
    {"mk", MarkerStyle::kHash},       {"yaml", MarkerStyle::kHash},
    {"yml", MarkerStyle::kHash},      {"toml", MarkerStyle::kHash},
    {"conf", MarkerStyle::kHash},     {"cfg", MarkerStyle::kHash},
    {"r", MarkerStyle::kHash},        {"tcl", MarkerStyle::kHash},
    {"awk", MarkerStyle::kHash},      {"ps1", MarkerStyle::kHash},
    {"sql", MarkerStyle::kDash},      {"lua", MarkerStyle::kDash},
    {"hs", MarkerStyle::kDash},       {"ada", MarkerStyle::kDash},
    {"adb", MarkerStyle::kDash},      {"ads", MarkerStyle::kDash},
    {"vhd", MarkerStyle::kDash},      {"vhdl", MarkerStyle::kDash},
    {"elm", MarkerStyle::kDash},      {"ini", MarkerStyle::kSemicolon},
    {"asm", MarkerStyle::kSemicolon}, {"lisp", MarkerStyle::kSemicolon},
    {"el", MarkerStyle::kSemicolon},  {"clj", MarkerStyle::kSemicolon},
    {"scm", MarkerStyle::kSemicolon}, {"xml", MarkerStyle::kXml},
    {"html", MarkerStyle::kXml},      {"htm", MarkerStyle::kXml},
    {"xhtml", MarkerStyle::kXml},     {"svg", MarkerStyle::kXml},
    {"xsl", MarkerStyle::kXml},       {"xslt", MarkerStyle::kXml},
    {"xsd", MarkerStyle::kXml},       {"plist", MarkerStyle::kXml},
    {"md", MarkerStyle::kXml},
};

constexpr FileType kNames[] = {
    {"makefile", MarkerStyle::kHash},       {"gnumakefile", MarkerStyle::kHash},
    {"cmakelists.txt", MarkerStyle::kHash}, {"dockerfile", MarkerStyle::kHash},
    {"kconfig", MarkerStyle::kHash},
};

MarkerStyle StyleByName(std::string_view path) {
  const FileType* type = FindFileType(path, kNames, kExtensions);
  return type == nullptr ? MarkerStyle::kNone : type->style;
}

}  // namespace

bool ParseMarkerStyle(std::string_view name, MarkerStyle* style) {
  for (const NamedStyle& named : kStyles) {
    if (named.name == name) {
      *style = named.style;
      return true;
    }
  }
  return false;
}

MarkerStyle ResolvedStyle(MarkerStyle style, std::string_view path) {
  return style == MarkerStyle::kAuto ? StyleByName(path) : style;
}

std::optional<CommentSyntax> CommentSyntaxFor(MarkerStyle style,
                                              std::string_view path) {
  switch (ResolvedStyle(style, path)) {
    case MarkerStyle::kC:
      return kCSyntax;
    case MarkerStyle::kHash:
      return kHashSyntax;
    case MarkerStyle::kDash:
      return kDashSyntax;
    case MarkerStyle::kSemicolon:
      return kSemicolonSyntax;
    case MarkerStyle::kXml:
      return kXmlSyntax;
    case MarkerStyle::kNone:
    case MarkerStyle::kAuto:
      break;
  }
  return std::nullopt;
}

std::string MarkerLine(const CommentSyntax& syntax, std::string_view word,
                       std::string_view label) {
  std::string clean;
  for (const char c : label) {
    const unsigned char byte = static_cast<unsigned char>(c);
    clean += byte < 32 ? '?' : c;
    // A comment's closing text, or "--" inside an XML comment, would end
    // the comment early: break it with a blank.
    if ((!syntax.close.empty() && clean.ends_with(syntax.close)) ||
        (syntax.open == kXmlSyntax.open && clean.ends_with("--"))) {
      clean.insert(clean.size() - 1, " ");
    }
  }
  std::string line =
      std::string(syntax.open) + " QRL " + std::string(word) + " " + clean;
  if (!syntax.close.empty()) {
    line += " " + std::string(syntax.close);
  }
  return line;
}
