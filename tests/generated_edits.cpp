#include "tests/generated_edits.h"

#include <algorithm>

#include "services/string_utils.h"

namespace {

constexpr std::string_view kEditNames[] = {
    "insert far",  "insert near", "delete",    "move",        "re-indent",
    "change case", "rewrite",     "duplicate", "same change",
};

std::optional<size_t> IndexOf(const GeneratedFile& file, int id) {
  for (size_t i = 0; i < file.size(); ++i) {
    if (file[i].id == id) {
      return i;
    }
  }
  return std::nullopt;
}

ptrdiff_t At(size_t index) { return static_cast<ptrdiff_t>(index); }

// `put` between the lines that stood before base line `start` and from base
// line `end` on, where those still stand side by side; nothing otherwise.
std::optional<GeneratedFile> Between(const GeneratedFile& base,
                                     const GeneratedFile& edited, size_t start,
                                     size_t end,
                                     const std::vector<GeneratedLine>& put) {
  size_t at = 0;
  if (start > 0) {
    const std::optional<size_t> above = IndexOf(edited, base[start - 1].id);
    if (!above.has_value()) {
      return std::nullopt;
    }
    at = *above + 1;
  }
  if (end < base.size()) {
    const std::optional<size_t> below = IndexOf(edited, base[end].id);
    if (!below.has_value() || *below != at) {
      return std::nullopt;
    }
  } else if (at != edited.size()) {
    return std::nullopt;
  }
  GeneratedFile result = edited;
  result.insert(result.begin() + At(at), put.begin(), put.end());
  return result;
}

}  // namespace

Text Texts(const GeneratedFile& file) {
  Text texts;
  for (const GeneratedLine& line : file) {
    texts.push_back(line.text);
  }
  return texts;
}

std::string_view EditName(UpstreamEdit edit) {
  return kEditNames[static_cast<size_t>(edit)];
}

size_t EditGenerator::Below(size_t n) {
  return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random_);
}

GeneratedLine EditGenerator::Fresh(const std::string& what) {
  const int id = next_id_++;
  if (what == "code" && Below(4) == 0) {
    static const char* const kCommon[] = {"}", "",         "  return 0;",
                                          "{", "  break;", "  }"};
    return {id, kCommon[Below(6)]};
  }
  return {id, "  " + what + "_" + std::to_string(id) + "(x, " +
                  std::to_string(id % 7) + ");"};
}

GeneratedFile EditGenerator::MakeFile(size_t count) {
  GeneratedFile file;
  for (size_t i = 0; i < count; ++i) {
    file.push_back(Fresh("code"));
  }
  return file;
}

LocalChange EditGenerator::MakeChange(size_t file_size) {
  LocalChange change;
  change.start = Below(file_size + 1);
  change.end = std::min(file_size, change.start + Below(4));
  for (size_t i = 0, count = Below(4) + (change.end == change.start ? 1 : 0);
       i < count; ++i) {
    change.put.push_back(Fresh("mine").text);
  }
  return change;
}

UpstreamEdit EditGenerator::PickEdit() {
  return static_cast<UpstreamEdit>(
      Below(static_cast<size_t>(UpstreamEdit::kCount)));
}

void EditGenerator::Apply(UpstreamEdit edit, size_t block_first,
                          size_t block_past, const GeneratedFile& base,
                          const LocalChange& change, GeneratedFile* file) {
  const size_t size = file->size();
  // A place in or around the block, or anywhere.
  const auto near = [&] {
    const size_t lo = block_first > 2 ? block_first - 2 : 0;
    return std::min(size, lo + Below(block_past - lo + 3));
  };
  const auto somewhere = [&] { return Below(2) == 0 ? near() : Below(size); };
  switch (edit) {
    case UpstreamEdit::kInsertFar:
    case UpstreamEdit::kInsertNear: {
      const size_t at =
          edit == UpstreamEdit::kInsertNear ? near() : Below(size + 1);
      for (size_t i = 0, count = 1 + Below(3); i < count; ++i) {
        file->insert(file->begin() + At(at), Fresh("upstream"));
      }
      break;
    }
    case UpstreamEdit::kDelete: {
      const size_t at = somewhere();
      file->erase(file->begin() + At(at),
                  file->begin() + At(std::min(size, at + 1 + Below(3))));
      break;
    }
    case UpstreamEdit::kMove: {
      // The block's lines, or others, move elsewhere.
      size_t first = block_first;
      size_t past = block_past;
      if (Below(2) == 0) {
        first = Below(size);
        past = std::min(size, first + 1 + Below(8));
      }
      const GeneratedFile moved(file->begin() + At(first),
                                file->begin() + At(past));
      file->erase(file->begin() + At(first), file->begin() + At(past));
      const size_t to = Below(file->size() + 1);
      file->insert(file->begin() + At(to), moved.begin(), moved.end());
      break;
    }
    case UpstreamEdit::kReindent:
    case UpstreamEdit::kCase:
    case UpstreamEdit::kRewrite: {
      const size_t at = somewhere();
      for (size_t i = at, past = std::min(size, at + 1 + Below(3)); i < past;
           ++i) {
        std::string& text = (*file)[i].text;
        text = edit == UpstreamEdit::kReindent ? "    " + text
               : edit == UpstreamEdit::kCase   ? UpperCase(text)
                                               : text + " /* upstream */";
      }
      break;
    }
    case UpstreamEdit::kDuplicate: {
      // A copy of the block, with a line or two around it, elsewhere.
      const size_t first = block_first > 0 ? block_first - Below(2) : 0;
      const size_t past = std::min(size, block_past + Below(2));
      GeneratedFile copy(file->begin() + At(first), file->begin() + At(past));
      for (GeneratedLine& line : copy) {
        line.id = -line.id;
      }
      // Not next to the original: then no one could tell which is which.
      size_t to = Below(size + 1);
      if (to + 2 >= first && to <= past + 2) {
        to = std::min(size, past + 3);
      }
      file->insert(file->begin() + At(to), copy.begin(), copy.end());
      break;
    }
    case UpstreamEdit::kSameChange: {
      std::optional<GeneratedFile> changed =
          ApplyByIdentity(base, *file, change);
      if (changed.has_value()) {
        for (GeneratedLine& line : *changed) {
          line.id = line.id == 0 ? next_id_++ : line.id;
        }
        *file = std::move(*changed);
      }
      break;
    }
    case UpstreamEdit::kCount:
      break;
  }
}

std::optional<GeneratedFile> ApplyByIdentity(const GeneratedFile& base,
                                             const GeneratedFile& edited,
                                             const LocalChange& change) {
  GeneratedFile result = edited;
  std::vector<GeneratedLine> put;
  for (const std::string& text : change.put) {
    put.push_back({0, text});
  }
  const size_t count = change.end - change.start;
  if (count > 0) {
    const std::optional<size_t> first = IndexOf(edited, base[change.start].id);
    if (!first.has_value() && change.put.empty()) {
      // Lines it only removes, removed upstream too: the change is in.
      for (size_t i = change.start; i < change.end; ++i) {
        if (IndexOf(edited, base[i].id).has_value()) {
          return std::nullopt;
        }
      }
      return Between(base, edited, change.start, change.end, put);
    }
    if (!first.has_value() || *first + count > edited.size()) {
      return std::nullopt;
    }
    for (size_t i = 0; i < count; ++i) {
      const GeneratedLine& line = edited[*first + i];
      const GeneratedLine& was = base[change.start + i];
      if (line.id != was.id || line.text != was.text) {
        return std::nullopt;
      }
    }
    result.erase(result.begin() + At(*first),
                 result.begin() + At(*first + count));
    result.insert(result.begin() + At(*first), put.begin(), put.end());
    return result;
  }
  return Between(base, edited, change.start, change.start, put);
}
