#include "pack/rebase/whole_file_carry.h"

#include "services/line_split.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
  }
  return text;
}

// A conflict shown whole: each side's lines, every marker line ended.
std::string MarkedWhole(std::string_view package, std::string_view base,
                        std::string_view onto) {
  std::string text;
  const auto side = [&](std::string_view marker, std::string_view content) {
    text += std::string(marker) + "\n";
    text += content;
    if (!content.empty() && content.back() != '\n') {
      text += '\n';
    }
  };
  side(kPackageMarker, package);
  side(kBaseMarker, base);
  side(kSidesMarker, onto);
  text += std::string(kNewMarker) + "\n";
  return text;
}

std::vector<std::string> Owned(std::string_view text) {
  const std::vector<std::string_view> lines =
      SplitLinesWithEnds(text, LineEnds::kLfOnly);
  return std::vector<std::string>(lines.begin(), lines.end());
}

WholeFileCarry Conflict(std::string reason, std::string_view package,
                        std::string_view base, std::string_view onto) {
  WholeFileCarry carry;
  carry.reason = std::move(reason);
  carry.sides = {Owned(package), Owned(base), Owned(onto)};
  carry.marked = MarkedWhole(package, base, onto);
  return carry;
}

WholeFileCarry Verdicted(Verdict verdict, const WholeFileChangeOf& carried) {
  WholeFileCarry carry;
  carry.verdict = verdict;
  carry.carried = carried;
  return carry;
}

bool Binary(std::string_view text) {
  return text.find('\0') != std::string_view::npos;
}

}  // namespace

WholeFileCarry CarryWholeFile(const WholeFileChangeOf& change,
                              const ReleaseFile& onto) {
  switch (change.kind) {
    case WholeFileKind::kCreated:
      if (!onto.exists) {
        return Verdicted(Verdict::kUnchanged, change);
      }
      if (onto.content == change.after &&
          onto.executable == change.executable) {
        return Verdicted(Verdict::kAlreadyThere, change);
      }
      return Conflict(
          "NEW has a file of that name already, with other " +
              std::string(onto.content == change.after ? "permissions"
                                                       : "bytes"),
          change.after, "", onto.content);
    case WholeFileKind::kRemoved:
      if (!onto.exists) {
        return Verdicted(Verdict::kAlreadyThere, change);
      }
      if (onto.content != change.before) {
        return Conflict("NEW changed the file that the package removes", "",
                        change.before, onto.content);
      }
      if (onto.executable != change.executable) {
        WholeFileChangeOf carried = change;
        carried.executable = onto.executable;
        return Verdicted(Verdict::kReanchored, carried);
      }
      return Verdicted(Verdict::kUnchanged, change);
    case WholeFileKind::kReplaced:
      break;
  }
  if (!onto.exists) {
    return Conflict("NEW has no such file; the package changes it",
                    change.after, change.before, "");
  }
  if (onto.content == change.before) {
    return Verdicted(Verdict::kUnchanged, change);
  }
  if (onto.content == change.after) {
    return Verdicted(Verdict::kAlreadyThere, change);
  }
  if (Binary(change.before) || Binary(change.after) || Binary(onto.content)) {
    return Conflict("NEW changed a binary file that the package changes",
                    change.after, change.before, onto.content);
  }
  const LineMerge merge =
      MergeLines(SplitLinesWithEnds(change.before, LineEnds::kLfOnly),
                 SplitLinesWithEnds(change.after, LineEnds::kLfOnly),
                 SplitLinesWithEnds(onto.content, LineEnds::kLfOnly));
  if (!merge.ok || !merge.clean) {
    WholeFileCarry carry = Conflict(
        merge.ok ? "NEW changed lines that the package changes, or lines "
                   "next to them"
                 : "the merge failed",
        change.after, change.before, onto.content);
    if (merge.ok) {
      if (!merge.conflicts.empty()) {
        carry.sides = merge.conflicts.front();
      }
      carry.marked.clear();
      for (const std::string& line : merge.lines) {
        const bool marker = line == kPackageMarker || line == kBaseMarker ||
                            line == kSidesMarker || line == kNewMarker;
        carry.marked += line;
        if (marker || (!line.empty() && line.back() != '\n' &&
                       &line != &merge.lines.back())) {
          carry.marked += '\n';
        }
      }
    }
    return carry;
  }
  WholeFileChangeOf carried = change;
  carried.before = onto.content;
  carried.after = Joined(merge.lines);
  carried.executable = onto.executable;
  return Verdicted(
      carried.after == onto.content ? Verdict::kAlreadyThere : Verdict::kMerged,
      carried);
}
