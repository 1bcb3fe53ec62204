#include "pack/author/level_anchor.h"

#include <string>

#include "services/editable_text.h"

int64_t WhereApplyFinds(const std::vector<std::string_view>& file,
                        const LineList& block) {
  // The engine's own search over the file as apply reads it: the lines
  // hold no line end, so the text of them splits back into them.
  size_t size = 0;
  for (const std::string_view line : file) {
    size += line.size() + 1;
  }
  std::string text;
  text.reserve(size);
  for (const std::string_view line : file) {
    text += line;
    text += '\n';
  }
  EditableText held(std::move(text));
  return held.FindLines(LineBlock(block.lines()));
}

bool AnchorWithContext(const std::vector<std::string_view>& file,
                       const LineChange& change, size_t above, size_t below,
                       const FrameCode& frame, AnchoredChange* anchored) {
  const size_t first = change.start - above;
  const size_t past = change.end + below;
  anchored->first = first;
  anchored->past = past;
  anchored->obsolete.Clear();
  anchored->code.Clear();
  anchored->framed.Clear();
  for (size_t i = first; i < past; ++i) {
    anchored->obsolete.Add(std::string(file[i]));
  }
  for (size_t i = first; i < change.start; ++i) {
    anchored->code.Add(std::string(file[i]));
  }
  for (std::string_view line : change.put) {
    anchored->code.Add(std::string(line));
  }
  for (size_t i = change.end; i < past; ++i) {
    anchored->code.Add(std::string(file[i]));
  }
  if (anchored->obsolete.Empty() || WhereApplyFinds(file, anchored->obsolete) !=
                                        static_cast<int64_t>(first)) {
    return false;
  }
  LineList framed = anchored->code;
  frame(&framed);
  if (framed.Empty()) {
    return false;
  }
  // Reverse must find the framed code first where apply put it.
  std::vector<std::string_view> next(file.begin(), file.begin() + first);
  next.insert(next.end(), framed.begin(), framed.end());
  next.insert(next.end(), file.begin() + past, file.end());
  if (WhereApplyFinds(next, framed) != static_cast<int64_t>(first)) {
    return false;
  }
  anchored->framed = std::move(framed);
  return true;
}

bool ContextGrowth::Grow() {
  const bool can_down = end_ + below_ < highest_;
  const bool can_up = start_ - above_ > lowest_;
  if ((!can_down && !can_up) || above_ + below_ >= kMaxContextGrowth) {
    return false;
  }
  if ((downward_ && can_down) || !can_up) {
    ++below_;
  } else {
    ++above_;
  }
  downward_ = !downward_;
  return true;
}
