#include "pack/rebase/normal_carry.h"

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/string_utils.h"

namespace {

using Text = std::vector<std::string>;

// A line of a generated file: who it is and what it reads. Upstream edits
// keep a line's identity when they change its text.
struct Line {
  int id;
  std::string text;
};
using File = std::vector<Line>;

Text Texts(const File& file) {
  Text texts;
  for (const Line& line : file) {
    texts.push_back(line.text);
  }
  return texts;
}

// What each generated case did upstream.
enum class Edit {
  kInsertFar,
  kInsertNear,
  kDelete,
  kMove,
  kReindent,
  kCase,
  kRewrite,
  kDuplicate,
  kSameChange,
  kCount,
};
constexpr const char* kEditNames[] = {
    "insert far",  "insert near", "delete",    "move",        "re-indent",
    "change case", "rewrite",     "duplicate", "same change",
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  size_t Below(size_t n) {
    return n == 0 ? 0
                  : std::uniform_int_distribution<size_t>(0, n - 1)(random_);
  }

  std::string Common() {
    static const char* const kCommon[] = {"}", "",         "  return 0;",
                                          "{", "  break;", "  }"};
    return kCommon[Below(6)];
  }

  Line Fresh(const std::string& what) {
    const int id = next_id_++;
    if (what == "code" && Below(4) == 0) {
      return {id, Common()};
    }
    return {id, "  " + what + "_" + std::to_string(id) + "(x, " +
                    std::to_string(id % 7) + ");"};
  }

  File MakeFile(size_t count) {
    File file;
    for (size_t i = 0; i < count; ++i) {
      file.push_back(Fresh("code"));
    }
    return file;
  }

  std::mt19937 random_;

 private:
  int next_id_ = 1;
};

// The level a package would carry for a change of `base`: lines [start,
// end) become `put`, with three lines of context grown until the blocks
// are the first matches.
std::optional<AnchoredChange> MakeLevel(const Text& base, size_t start,
                                        size_t end, const Text& put) {
  const LineViews file = ViewsOf(base);
  const LineChange change{start, end, ViewsOf(put)};
  ContextGrowth growth(change, 0, base.size());
  for (int i = 0; i < 6 && growth.Grow(); ++i) {
  }
  AnchoredChange level;
  do {
    if (AnchorWithContext(
            file, change, growth.above(), growth.below(), [](LineList*) {},
            &level)) {
      return level;
    }
  } while (growth.Grow());
  return std::nullopt;
}

std::optional<size_t> IndexOf(const File& file, int id) {
  for (size_t i = 0; i < file.size(); ++i) {
    if (file[i].id == id) {
      return i;
    }
  }
  return std::nullopt;
}

// The change applied to the edited file by the lines' identities, where
// that is well defined.
std::optional<Text> Truth(const File& base, const File& edited, size_t start,
                          size_t end, const Text& put) {
  std::vector<Line> result = edited;
  if (end > start) {
    const std::optional<size_t> first = IndexOf(edited, base[start].id);
    if (!first.has_value() || *first + (end - start) > edited.size()) {
      return std::nullopt;
    }
    for (size_t i = start; i < end; ++i) {
      const Line& line = edited[*first + i - start];
      if (line.id != base[i].id || line.text != base[i].text) {
        return std::nullopt;
      }
    }
    result.erase(result.begin() + static_cast<ptrdiff_t>(*first),
                 result.begin() + static_cast<ptrdiff_t>(*first + end - start));
    Text texts = Texts(result);
    texts.insert(texts.begin() + static_cast<ptrdiff_t>(*first), put.begin(),
                 put.end());
    return texts;
  }
  // An insertion: its neighbours must still stand side by side.
  size_t at = 0;
  if (start > 0) {
    const std::optional<size_t> above = IndexOf(edited, base[start - 1].id);
    if (!above.has_value()) {
      return std::nullopt;
    }
    at = *above + 1;
  }
  if (start < base.size()) {
    const std::optional<size_t> below = IndexOf(edited, base[start].id);
    if (!below.has_value() || *below != at) {
      return std::nullopt;
    }
  } else if (at != edited.size()) {
    return std::nullopt;
  }
  Text texts = Texts(result);
  texts.insert(texts.begin() + static_cast<ptrdiff_t>(at), put.begin(),
               put.end());
  return texts;
}

void ApplyEdit(Edit edit, Generator& gen, size_t block_first, size_t block_past,
               size_t start, size_t end, const Text& put, File* file) {
  const auto run = [&](size_t most) {
    const size_t first = gen.Below(file->size());
    return std::make_pair(first,
                          std::min(file->size(), first + 1 + gen.Below(most)));
  };
  // A place in or around the block, or anywhere.
  const auto near = [&] {
    const size_t lo = block_first > 2 ? block_first - 2 : 0;
    return std::min(file->size(), lo + gen.Below(block_past - lo + 3));
  };
  switch (edit) {
    case Edit::kInsertFar:
    case Edit::kInsertNear: {
      const size_t at =
          edit == Edit::kInsertNear ? near() : gen.Below(file->size() + 1);
      const size_t count = 1 + gen.Below(3);
      for (size_t i = 0; i < count; ++i) {
        file->insert(file->begin() + static_cast<ptrdiff_t>(at),
                     gen.Fresh("upstream"));
      }
      break;
    }
    case Edit::kDelete: {
      const size_t at = gen.Below(2) == 0 ? near() : gen.Below(file->size());
      const size_t past = std::min(file->size(), at + 1 + gen.Below(3));
      file->erase(file->begin() + static_cast<ptrdiff_t>(at),
                  file->begin() + static_cast<ptrdiff_t>(past));
      break;
    }
    case Edit::kMove: {
      // The block's lines, or others, move elsewhere.
      auto [first, past] = run(8);
      if (gen.Below(2) == 0) {
        first = block_first;
        past = block_past;
      }
      const File moved(file->begin() + static_cast<ptrdiff_t>(first),
                       file->begin() + static_cast<ptrdiff_t>(past));
      file->erase(file->begin() + static_cast<ptrdiff_t>(first),
                  file->begin() + static_cast<ptrdiff_t>(past));
      const size_t to = gen.Below(file->size() + 1);
      file->insert(file->begin() + static_cast<ptrdiff_t>(to), moved.begin(),
                   moved.end());
      break;
    }
    case Edit::kReindent:
    case Edit::kCase:
    case Edit::kRewrite: {
      const size_t at = gen.Below(2) == 0 ? near() : gen.Below(file->size());
      const size_t past = std::min(file->size(), at + 1 + gen.Below(3));
      for (size_t i = at; i < past; ++i) {
        std::string& text = (*file)[i].text;
        text = edit == Edit::kReindent ? "    " + text
               : edit == Edit::kCase   ? UpperCase(text)
                                       : text + " /* upstream */";
      }
      break;
    }
    case Edit::kDuplicate: {
      // A copy of the block, with a line or two around it, elsewhere.
      const size_t first = block_first > 0 ? block_first - gen.Below(2) : 0;
      const size_t past = std::min(file->size(), block_past + gen.Below(2));
      File copy(file->begin() + static_cast<ptrdiff_t>(first),
                file->begin() + static_cast<ptrdiff_t>(past));
      for (Line& line : copy) {
        line.id = -line.id;
      }
      // Not next to the original: then no one could tell which is which.
      size_t to = gen.Below(file->size() + 1);
      if (to + 2 >= first && to <= past + 2) {
        to = std::min(file->size(), past + 3);
      }
      file->insert(file->begin() + static_cast<ptrdiff_t>(to), copy.begin(),
                   copy.end());
      break;
    }
    case Edit::kSameChange: {
      File changed(file->begin(),
                   file->begin() + static_cast<ptrdiff_t>(start));
      for (const std::string& text : put) {
        changed.push_back(gen.Fresh("x"));
        changed.back().text = text;
      }
      changed.insert(changed.end(), file->begin() + static_cast<ptrdiff_t>(end),
                     file->end());
      *file = std::move(changed);
      break;
    }
    case Edit::kCount:
      break;
  }
}

// The case, for a failure message.
std::string Shown(const Text& base, const Text& edited, size_t start,
                  size_t end, const AnchoredChange& level,
                  const NormalCarry& carry) {
  std::string text = "\nchange of lines [" + std::to_string(start) + ", " +
                     std::to_string(end) + "), level block [" +
                     std::to_string(level.first) + ", " +
                     std::to_string(level.past) + "), verdict " +
                     std::to_string(static_cast<int>(carry.verdict)) +
                     " at line " + std::to_string(carry.line) + "\nbase:\n";
  for (const Text* lines : {&base, &edited}) {
    for (size_t i = 0; i < lines->size(); ++i) {
      text += std::to_string(i) + ": " + (*lines)[i] + "\n";
    }
    text += lines == &base ? "NEW:\n" : "";
  }
  return text;
}

struct Tally {
  size_t carried = 0;
  size_t conflicts = 0;
  size_t ambiguous = 0;  // cases without a well-defined truth
};

// Generated files, local changes and upstream edits: every carried level
// gives the truth, where it is defined, and every case without one is a
// conflict. With the old release as base, and without.
TEST(NormalCarry, CarriedLevelsGiveTheTruthAndUnclearCasesConflict) {
#ifdef QRL_SANITIZED
  constexpr int kCases = 400;
#else
  constexpr int kCases = 3000;
#endif
  Generator gen(19);
  std::map<std::string, Tally> tallies;
  for (int n = 0; n < kCases; ++n) {
    const File base = gen.MakeFile(20 + gen.Below(60));
    const size_t start = gen.Below(base.size() + 1);
    const size_t end = std::min(base.size(), start + gen.Below(4));
    Text put;
    for (size_t i = 0, count = gen.Below(4) + (end == start ? 1 : 0); i < count;
         ++i) {
      put.push_back(gen.Fresh("mine").text);
    }
    const Text base_text = Texts(base);
    const std::optional<AnchoredChange> level =
        MakeLevel(base_text, start, end, put);
    if (!level.has_value()) {
      continue;
    }
    const Edit edit =
        static_cast<Edit>(gen.Below(static_cast<size_t>(Edit::kCount)));
    File edited = base;
    ApplyEdit(edit, gen, level->first, level->past, start, end, put, &edited);
    const std::optional<Text> truth =
        edit == Edit::kSameChange ? std::optional<Text>(Texts(edited))
                                  : Truth(base, edited, start, end, put);
    const Text new_text = Texts(edited);
    for (const bool with_base : {false, true}) {
      SCOPED_TRACE(testing::Message()
                   << "case " << n << ", " << kEditNames[static_cast<int>(edit)]
                   << (with_base ? ", with base" : ", without base"));
      const BaseFile old_file{ViewsOf(base_text), level->first};
      NormalCarryInput input{
          ViewsOf(new_text),
          {ViewsOf(level->obsolete.lines()), ViewsOf(level->code.lines())},
          [](LineList*) {},
          with_base ? &old_file : nullptr};
      const NormalCarry carry = CarryNormalLevel(input);
      Tally& tally = tallies[std::string(kEditNames[static_cast<int>(edit)]) +
                             (with_base ? " (base)" : "")];
      if (!truth.has_value()) {
        ++tally.ambiguous;
        EXPECT_EQ(carry.verdict, Verdict::kConflict)
            << "carried a case whose truth is not defined"
            << Shown(base_text, new_text, start, end, *level, carry);
        continue;
      }
      if (carry.verdict == Verdict::kConflict) {
        ++tally.conflicts;
        continue;
      }
      ++tally.carried;
      Text result = new_text;
      if (carry.verdict != Verdict::kAlreadyThere) {
        const AnchoredChange& carried =
            carry.verdict == Verdict::kUnchanged ? *level : carry.level;
        const int64_t at = FindLineBlock(ViewsOf(new_text), carried.obsolete);
        ASSERT_GE(at, 0);
        if (carry.verdict != Verdict::kUnchanged) {
          EXPECT_EQ(static_cast<size_t>(at), carried.first);
        }
        result.erase(result.begin() + at,
                     result.begin() + at +
                         static_cast<ptrdiff_t>(carried.obsolete.Count()));
        result.insert(result.begin() + at, carried.code.begin(),
                      carried.code.end());
      }
      EXPECT_EQ(result, *truth)
          << Shown(base_text, new_text, start, end, *level, carry);
    }
  }
  for (const auto& [name, tally] : tallies) {
    std::cout << "[ carried  ] " << name << ": " << tally.carried
              << " carried, " << tally.conflicts << " conflicts, "
              << tally.ambiguous << " without a truth\n";
  }
}

}  // namespace
