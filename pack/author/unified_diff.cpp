#include "pack/author/unified_diff.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "services/line_split.h"
#include "services/string_utils.h"

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view WithoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return line;
}

// A name in git's C-style quotes ("a/t\303\244st"), unquoted; *rest gets
// what follows the closing quote. False for a broken quote.
bool Unquote(std::string_view text, std::string* name, std::string_view* rest) {
  name->clear();
  size_t i = 1;
  while (i < text.size() && text[i] != '"') {
    char c = text[i++];
    if (c == '\\') {
      if (i == text.size()) {
        return false;
      }
      c = text[i++];
      switch (c) {
        case 'n':
          c = '\n';
          break;
        case 't':
          c = '\t';
          break;
        case 'r':
          c = '\r';
          break;
        case 'a':
          c = '\a';
          break;
        case 'b':
          c = '\b';
          break;
        case 'f':
          c = '\f';
          break;
        case 'v':
          c = '\v';
          break;
        default:
          if (c >= '0' && c <= '7') {
            int value = c - '0';
            for (int k = 0;
                 k < 2 && i < text.size() && text[i] >= '0' && text[i] <= '7';
                 ++k) {
              value = value * 8 + (text[i++] - '0');
            }
            c = static_cast<char>(value & 0xff);
          }
      }
    }
    name->push_back(c);
  }
  if (i == text.size()) {
    return false;
  }
  *rest = text.substr(i + 1);
  return true;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::optional<int64_t> Number(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() ||
      text.empty() || text.front() == '-') {
    return std::nullopt;
  }
  return value;
}

// Whether a time stamp after a name is the epoch, which "diff -N" writes for
// a side that does not exist ("1970-01-01 01:00:00.000000000 +0100" too).
bool IsEpoch(std::string_view stamp) {
  // "YYYY-MM-DD HH:MM:SS[.fraction] [+-]HHMM"
  if (stamp.size() >= 19 && stamp[4] == '-' && stamp[7] == '-' &&
      stamp[10] == ' ' && stamp[13] == ':' && stamp[16] == ':') {
    const auto year = Number(stamp.substr(0, 4));
    const auto month = Number(stamp.substr(5, 2));
    const auto day = Number(stamp.substr(8, 2));
    const auto hour = Number(stamp.substr(11, 2));
    const auto minute = Number(stamp.substr(14, 2));
    const auto second = Number(stamp.substr(17, 2));
    if (!year || !month || !day || !hour || !minute || !second) {
      return false;
    }
    std::string_view rest = stamp.substr(19);
    if (!rest.empty() && rest.front() == '.') {
      const size_t end = rest.find(' ');
      const std::string_view fraction = rest.substr(1, end - 1);
      if (fraction.find_first_not_of('0') != std::string_view::npos) {
        return false;
      }
      rest = end == std::string_view::npos ? "" : rest.substr(end);
    }
    int64_t zone = 0;
    if (rest.size() == 6 && rest[0] == ' ' &&
        (rest[1] == '+' || rest[1] == '-')) {
      const auto hours = Number(rest.substr(2, 2));
      const auto minutes = Number(rest.substr(4, 2));
      if (!hours || !minutes) {
        return false;
      }
      zone = (*hours * 60 + *minutes) * 60 * (rest[1] == '-' ? -1 : 1);
    } else if (!rest.empty()) {
      return false;
    }
    const int64_t seconds = DaysFromCivil(*year, *month, *day) * 86400 +
                            *hour * 3600 + *minute * 60 + *second - zone;
    return seconds == 0;
  }
  // The traditional form, "Thu Jan  1 00:00:00 1970".
  return stamp.find("Jan  1 00:00:00 1970") != std::string_view::npos ||
         stamp.find("Jan 1 00:00:00 1970") != std::string_view::npos;
}

// The name of a "--- " or "+++ " line and whether its stamp is the epoch.
struct HeaderName {
  std::string name;
  bool epoch = false;
};

bool ParseHeaderName(std::string_view rest, HeaderName* header) {
  rest = WithoutCarriageReturn(rest);
  std::string_view stamp;
  if (!rest.empty() && rest.front() == '"') {
    std::string_view after;
    if (!Unquote(rest, &header->name, &after)) {
      return false;
    }
    stamp = after.empty() ? after : after.substr(1);
  } else {
    const size_t tab = rest.find('\t');
    std::string_view name = rest.substr(0, tab);
    if (tab == std::string_view::npos) {
      while (!name.empty() && (name.back() == ' ')) {
        name.remove_suffix(1);
      }
    } else {
      stamp = rest.substr(tab + 1);
    }
    header->name = std::string(name);
  }
  header->epoch = IsEpoch(stamp);
  return !header->name.empty();
}

// The two names of "diff --git a/x b/x". Unquoted names may hold spaces:
// the split that gives two equal names after their first component wins,
// as it does for every change but a rename.
bool ParseGitNames(std::string_view rest, std::string* old_name,
                   std::string* new_name) {
  rest = WithoutCarriageReturn(rest);
  if (!rest.empty() && rest.front() == '"') {
    std::string_view after;
    if (!Unquote(rest, old_name, &after) || after.size() < 2) {
      return false;
    }
    after.remove_prefix(1);
    if (after.front() == '"') {
      std::string_view end;
      return Unquote(after, new_name, &end);
    }
    *new_name = std::string(after);
    return true;
  }
  const auto tail = [](std::string_view name) {
    const size_t slash = name.find('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
  };
  for (size_t space = rest.find(' '); space != std::string_view::npos;
       space = rest.find(' ', space + 1)) {
    const std::string_view first = rest.substr(0, space);
    const std::string_view second = rest.substr(space + 1);
    if (tail(first) == tail(second)) {
      *old_name = std::string(first);
      *new_name = std::string(second);
      return true;
    }
  }
  const size_t space = rest.find(' ');
  if (space == std::string_view::npos) {
    return false;
  }
  *old_name = std::string(rest.substr(0, space));
  *new_name = std::string(rest.substr(space + 1));
  return true;
}

// "-a,b" or "+c,d" (the count defaults to 1).
bool ParseRange(std::string_view text, char sign, int64_t* start,
                int64_t* count) {
  if (text.empty() || text.front() != sign) {
    return false;
  }
  text.remove_prefix(1);
  const size_t comma = text.find(',');
  const auto first = Number(text.substr(0, comma));
  const auto second = comma == std::string_view::npos
                          ? std::optional<int64_t>(1)
                          : Number(text.substr(comma + 1));
  if (!first || !second || *first > (int64_t{1} << 40) ||
      *second > (int64_t{1} << 40)) {
    return false;
  }
  *start = *first;
  *count = *second;
  return true;
}

class Parser {
 public:
  Parser(std::string_view text, std::vector<DiffFile>* files,
         std::vector<std::string>* errors, std::vector<std::string>* series)
      : lines_(SplitLines(text, LineEnds::kLfOnly)),
        files_(files),
        errors_(errors),
        series_(series) {}

  void Run();

 private:
  void Error(size_t index, const std::string& what) {
    errors_->push_back("diff line " + std::to_string(index + 1) + ": " + what);
  }
  std::string_view Line(size_t index) const {
    return index < lines_.size() ? lines_[index] : std::string_view();
  }
  // A "diff --git" header with its extended lines; returns the index after.
  size_t ParseGitHeader(size_t index, DiffFile* file, bool* refused);
  // "--- " and "+++ " at `index`, then the hunks; returns the index after.
  size_t ParseFile(size_t index, DiffFile* file);
  // One hunk at `index`; returns the index after, or 0 on error.
  size_t ParseHunk(size_t index, const DiffFile& file, DiffHunk* hunk);
  // Whether the line at `index`, right after a hunk, reads like one more
  // line of it: then the hunk's counts are wrong. The start of the next
  // file ("--- " with "+++ " after it) and a mail signature ("-- ") are
  // not.
  bool GoesOnLikeAHunk(size_t index) const;
  std::string Name(const DiffFile& file) const {
    return file.new_absent || file.new_name.empty() ? file.old_name
                                                    : file.new_name;
  }

  // A mail header of a series: "From <commit> ..." starts a patch, whose
  // "Subject:" (perhaps folded over lines) names it. Returns the index
  // after what it read.
  size_t ReadMailHeader(size_t index);

  std::vector<std::string_view> lines_;
  std::vector<DiffFile>* files_;
  std::vector<std::string>* errors_;
  std::vector<std::string>* series_;
  size_t patch_ = 0;  // the patch of the series that is being read
};

bool IsCommitLine(std::string_view line) {
  if (!StartsWith(line, "From ") || line.size() < 46 || line[45] != ' ') {
    return false;
  }
  for (size_t i = 5; i < 45; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(line[i]))) {
      return false;
    }
  }
  return true;
}

// A subject without the "[PATCH n/m]" that format-patch puts before it.
std::string PlainSubject(std::string_view subject) {
  subject = TrimmedView(subject);
  if (subject.starts_with('[')) {
    const size_t close = subject.find(']');
    if (close != std::string_view::npos &&
        UpperCase(subject.substr(0, close)).find("PATCH") !=
            std::string::npos) {
      subject = TrimmedView(subject.substr(close + 1));
    }
  }
  return std::string(subject);
}

size_t Parser::ReadMailHeader(size_t index) {
  ++patch_;
  std::string subject;
  size_t i = index + 1;
  for (; i < lines_.size(); ++i) {
    const std::string_view line = WithoutCarriageReturn(lines_[i]);
    if (line.empty() || StartsWith(line, "diff ") || StartsWith(line, "--- ")) {
      break;
    }
    if (StartsWith(line, "Subject: ")) {
      subject = std::string(line.substr(9));
      while (i + 1 < lines_.size() && (StartsWith(lines_[i + 1], " ") ||
                                       StartsWith(lines_[i + 1], "\t"))) {
        subject +=
            " " + std::string(TrimmedView(WithoutCarriageReturn(lines_[++i])));
      }
    }
  }
  if (series_ != nullptr) {
    series_->push_back(PlainSubject(subject));
  }
  return i;
}

size_t Parser::ParseGitHeader(size_t index, DiffFile* file, bool* refused) {
  file->git = true;
  file->line = index + 1;
  if (!ParseGitNames(Line(index).substr(11), &file->old_name,
                     &file->new_name)) {
    Error(index, "cannot read the names of \"" +
                     std::string(WithoutCarriageReturn(Line(index))) + "\"");
    *refused = true;
  }
  std::string old_mode;
  std::string new_mode;
  std::string link_mode;  // of a symbolic link or a submodule
  const auto note_mode = [&link_mode](std::string_view mode) {
    if (StartsWith(mode, "120") || StartsWith(mode, "160")) {
      link_mode = std::string(mode);
    }
  };
  size_t i = index + 1;
  for (; i < lines_.size(); ++i) {
    const std::string_view line = WithoutCarriageReturn(lines_[i]);
    if (StartsWith(line, "index ") && line.rfind(' ') > 6) {
      note_mode(line.substr(line.rfind(' ') + 1));
    } else if (StartsWith(line, "deleted file mode ")) {
      note_mode(line.substr(18));
    }
    if (StartsWith(line, "new file mode ")) {
      note_mode(line.substr(14));
      file->old_absent = true;
      file->new_file_mode = std::string(line.substr(14));
    } else if (StartsWith(line, "deleted file mode ")) {
      file->new_absent = true;
    } else if (StartsWith(line, "old mode ")) {
      old_mode = std::string(line.substr(9));
    } else if (StartsWith(line, "new mode ")) {
      new_mode = std::string(line.substr(9));
    } else if (StartsWith(line, "rename from ") ||
               StartsWith(line, "copy from ")) {
      Error(i, Name(*file) + ": " +
                   std::string(line.substr(0, line.find(' '))) +
                   " of a file: a package cannot rename or copy files; make "
                   "the diff without rename detection (git diff --no-renames)");
      *refused = true;
    } else if (StartsWith(line, "GIT binary patch") ||
               (StartsWith(line, "Binary files ") &&
                line.ends_with(" differ"))) {
      Error(i, Name(*file) +
                   ": binary change: a diff cannot carry it; make the "
                   "package with qrlpack from-trees OLD NEW instead");
      *refused = true;
    } else if (!(StartsWith(line, "index ") ||
                 StartsWith(line, "similarity index ") ||
                 StartsWith(line, "dissimilarity index ") ||
                 StartsWith(line, "rename to ") ||
                 StartsWith(line, "copy to "))) {
      break;
    }
  }
  note_mode(old_mode);
  note_mode(new_mode);
  if (!link_mode.empty()) {
    Error(index, Name(*file) + ": a symbolic link or a submodule (mode " +
                     link_mode +
                     "): a package carries only files and directories");
    *refused = true;
  } else if (!old_mode.empty() && !new_mode.empty() && old_mode != new_mode) {
    Error(index, Name(*file) + ": mode change from " + old_mode + " to " +
                     new_mode + ": a package cannot change a file's mode");
    *refused = true;
  }
  return i;
}

size_t Parser::ParseHunk(size_t index, const DiffFile& file, DiffHunk* hunk) {
  const std::string_view header = WithoutCarriageReturn(lines_[index]);
  hunk->line = index + 1;
  // "@@ -a,b +c,d @@ heading"
  const size_t close = header.find(" @@", 3);
  const std::string_view ranges = close == std::string_view::npos
                                      ? std::string_view()
                                      : header.substr(3, close - 3);
  const size_t space = ranges.find(' ');
  if (space == std::string_view::npos ||
      !ParseRange(ranges.substr(0, space), '-', &hunk->old_start,
                  &hunk->old_count) ||
      !ParseRange(ranges.substr(space + 1), '+', &hunk->new_start,
                  &hunk->new_count)) {
    Error(index, Name(file) + ": malformed hunk header \"" +
                     std::string(header) + "\"");
    return 0;
  }
  hunk->header = header.substr(0, close + 3);
  std::string_view heading = header.substr(close + 3);
  if (!heading.empty() && heading.front() == ' ') {
    heading.remove_prefix(1);
  }
  hunk->heading = heading;
  int64_t old_left = hunk->old_count;
  int64_t new_left = hunk->new_count;
  bool changed = false;
  char previous = 0;
  size_t i = index + 1;
  const auto marker = [&](size_t at) {
    return at < lines_.size() && StartsWith(lines_[at], "\\");
  };
  while (old_left > 0 || new_left > 0) {
    if (i >= lines_.size()) {
      Error(index, Name(file) + ": the hunk " + std::string(hunk->header) +
                       " ends before its last line");
      return 0;
    }
    const std::string_view line = lines_[i];
    const char kind = line.empty() ? ' ' : line.front();
    const std::string_view content = line.empty() ? line : line.substr(1);
    if (kind == ' ' && old_left > 0 && new_left > 0) {
      hunk->old_lines.push_back(content);
      hunk->new_lines.push_back(content);
      --old_left;
      --new_left;
      if (changed) {
        ++hunk->trailing_context;
      } else {
        ++hunk->leading_context;
      }
    } else if (kind == '-' && old_left > 0) {
      hunk->old_lines.push_back(content);
      --old_left;
      changed = true;
      hunk->trailing_context = 0;
    } else if (kind == '+' && new_left > 0) {
      hunk->new_lines.push_back(content);
      --new_left;
      changed = true;
      hunk->trailing_context = 0;
    } else if (kind == '\\' && previous != 0) {
      ++i;
      continue;
    } else {
      Error(i, Name(file) + ": line " + std::to_string(i - index) +
                   " of the hunk " + std::string(hunk->header) +
                   " does not fit its line counts");
      return 0;
    }
    previous = kind;
    ++i;
    if (marker(i)) {
      // "\ No newline at end of file" for the line just read. An empty
      // line without its line end has no byte: no file holds one.
      if (content.empty()) {
        Error(i, Name(file) + ": the hunk " + std::string(hunk->header) +
                     " ends in an empty line without a line end, which no "
                     "file can hold");
        return 0;
      }
      if (kind != '+') {
        hunk->old_missing_eol = true;
      }
      if (kind != '-') {
        hunk->new_missing_eol = true;
      }
      ++i;
    }
  }
  if (GoesOnLikeAHunk(i)) {
    Error(i, Name(file) + ": the hunk " + std::string(hunk->header) +
                 " of diff line " + std::to_string(index + 1) +
                 " goes on past its line counts");
    return 0;
  }
  return i;
}

bool Parser::GoesOnLikeAHunk(size_t index) const {
  const std::string_view line = WithoutCarriageReturn(Line(index));
  if (line.empty()) {
    return false;  // a blank line ends a hunk in mail as well
  }
  if (line.front() == '-') {
    return line != "--" && line != "-- " &&
           !(StartsWith(line, "--- ") && StartsWith(Line(index + 1), "+++ "));
  }
  return line.front() == ' ' || line.front() == '+';
}

size_t Parser::ParseFile(size_t index, DiffFile* file) {
  HeaderName old_header;
  HeaderName new_header;
  if (file->line == 0) {
    file->line = index + 1;
  }
  if (!ParseHeaderName(lines_[index].substr(4), &old_header) ||
      !ParseHeaderName(lines_[index + 1].substr(4), &new_header)) {
    Error(index, "cannot read the file names of \"" +
                     std::string(WithoutCarriageReturn(lines_[index])) + "\"");
    return index + 2;
  }
  file->old_name = old_header.name;
  file->new_name = new_header.name;
  file->old_absent =
      file->old_absent || old_header.name == "/dev/null" || old_header.epoch;
  file->new_absent =
      file->new_absent || new_header.name == "/dev/null" || new_header.epoch;
  size_t i = index + 2;
  bool refused = false;
  while (i < lines_.size() && StartsWith(lines_[i], "@@ ")) {
    DiffHunk hunk;
    const size_t next = ParseHunk(i, *file, &hunk);
    if (next == 0) {
      refused = true;
      // Skip to the next header; the file is already refused.
      for (++i;
           i < lines_.size() && !StartsWith(lines_[i], "@@ ") &&
           !StartsWith(lines_[i], "diff ") && !StartsWith(lines_[i], "--- ");
           ++i) {
      }
      continue;
    }
    file->hunks.push_back(std::move(hunk));
    i = next;
  }
  if (file->hunks.empty() && !refused) {
    Error(index, Name(*file) + ": the file header has no hunks");
  }
  return i;
}

void Parser::Run() {
  // A diff whose own lines end in CR LF (one that went through a system
  // with those line ends) loses the CRs, as patch does it.
  for (const std::string_view line : lines_) {
    if (StartsWith(line, "--- ")) {
      if (line.ends_with('\r')) {
        for (std::string_view& each : lines_) {
          each = WithoutCarriageReturn(each);
        }
      }
      break;
    }
  }
  size_t i = 0;
  while (i < lines_.size()) {
    const std::string_view line = WithoutCarriageReturn(lines_[i]);
    if (IsCommitLine(line)) {
      i = ReadMailHeader(i);
      continue;
    }
    DiffFile file;
    file.patch = patch_;
    bool refused = false;
    if (StartsWith(line, "diff --git ")) {
      i = ParseGitHeader(i, &file, &refused);
      if (i + 1 < lines_.size() && StartsWith(lines_[i], "--- ") &&
          StartsWith(lines_[i + 1], "+++ ")) {
        i = ParseFile(i, &file);
      } else if (file.old_absent && file.new_absent) {
        Error(file.line - 1, Name(file) + ": both new and deleted");
        refused = true;
      }
      if (!refused) {
        files_->push_back(std::move(file));
      }
      continue;
    }
    if (StartsWith(line, "--- ") && i + 1 < lines_.size() &&
        StartsWith(lines_[i + 1], "+++ ")) {
      i = ParseFile(i, &file);
      files_->push_back(std::move(file));
      continue;
    }
    if (StartsWith(line, "Binary files ") && line.ends_with(" differ")) {
      Error(i, std::string(line) +
                   ": binary change: a diff cannot carry it; make the "
                   "package with qrlpack from-trees OLD NEW instead");
    } else if (StartsWith(line, "Only in ")) {
      Error(i, "\"" + std::string(line) +
                   "\": the diff does not carry this file; make it with "
                   "diff -ruN (-N carries new and removed files)");
    } else if (StartsWith(line, "File ") &&
               line.find(" while file ") != std::string_view::npos) {
      Error(i, "\"" + std::string(line) +
                   "\": a package cannot turn a file into a directory or "
                   "back");
    } else if (StartsWith(line, "@@ ")) {
      Error(i,
            "a hunk without the \"---\" and \"+++\" lines that name its "
            "file");
    }
    ++i;  // any other text is commentary
  }
}

}  // namespace

bool ParseUnifiedDiff(std::string_view text, std::vector<DiffFile>* files,
                      std::vector<std::string>* errors,
                      std::vector<std::string>* series) {
  files->clear();
  const size_t errors_before = errors->size();
  if (series != nullptr) {
    series->clear();
  }
  Parser(text, files, errors, series).Run();
  if (files->empty() && errors->size() == errors_before) {
    errors->push_back("no file changes found in the diff");
  }
  return errors->size() == errors_before;
}

bool StripPathComponents(std::string_view name, int strip, std::string* out) {
  size_t at = 0;
  for (int k = 0; k < strip; ++k) {
    const size_t slash = name.find('/', at);
    if (slash == std::string_view::npos) {
      return false;
    }
    at = name.find_first_not_of('/', slash);
    if (at == std::string_view::npos) {
      return false;
    }
  }
  *out = std::string(name.substr(at));
  return !out->empty();
}
