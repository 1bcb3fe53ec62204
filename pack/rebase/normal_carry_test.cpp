#include "pack/rebase/normal_carry.h"

#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "services/string_utils.h"
#include "tests/generated_edits.h"

namespace {

// The level a package would carry for a change of `base`: three lines of
// context grown until the blocks are the first matches.
std::optional<AnchoredChange> MakeLevel(const Text& base,
                                        const LocalChange& local) {
  const LineChange change{local.start, local.end, ViewsOf(local.put)};
  ContextGrowth growth(change, 0, base.size());
  for (int i = 0; i < 6 && growth.Grow(); ++i) {
  }
  AnchoredChange level;
  do {
    if (AnchorWithContext(
            ViewsOf(base), change, growth.above(), growth.below(),
            [](LineList*) {}, &level)) {
      return level;
    }
  } while (growth.Grow());
  return std::nullopt;
}

// The case, for a failure message.
std::string Shown(const Text& base, const Text& edited,
                  const LocalChange& change, const AnchoredChange& level,
                  const NormalCarry& carry) {
  std::string text = "\nchange of lines [" + std::to_string(change.start) +
                     ", " + std::to_string(change.end) + "), level block [" +
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

// What the level leaves in the file: its obsolete code, found as the
// engine finds it, replaced by its code.
Text Applied(const Text& file, const AnchoredChange& level) {
  Text result = file;
  const int64_t at = WhereApplyFinds(ViewsOf(file), level.obsolete);
  EXPECT_GE(at, 0);
  if (at >= 0) {
    result.erase(
        result.begin() + at,
        result.begin() + at + static_cast<ptrdiff_t>(level.obsolete.Count()));
    result.insert(result.begin() + at, level.code.begin(), level.code.end());
  }
  return result;
}

struct Tally {
  size_t carried = 0;
  size_t conflicts = 0;
  size_t undefined = 0;  // cases without a well-defined truth
};

// Generated files, local changes and upstream edits: every carried level
// gives the truth, where it is defined, and every case without one is a
// conflict. With the old release as base, and without.
TEST(NormalCarry, CarriedLevelsGiveTheTruthAndUnclearCasesConflict) {
#ifdef QRL_SANITIZED
  constexpr int kCases = 300;
#else
  constexpr int kCases = 2000;
#endif
  EditGenerator gen(19);
  std::map<std::string, Tally> tallies;
  for (int n = 0; n < kCases; ++n) {
    const GeneratedFile base = gen.MakeFile(20 + gen.Below(60));
    const LocalChange change = gen.MakeChange(base.size());
    const Text base_text = Texts(base);
    const std::optional<AnchoredChange> level = MakeLevel(base_text, change);
    if (!level.has_value()) {
      continue;
    }
    const UpstreamEdit edit = gen.PickEdit();
    GeneratedFile edited = base;
    gen.Apply(edit, level->first, level->past, base, change, &edited);
    std::optional<Text> truth;
    if (edit == UpstreamEdit::kSameChange) {
      truth = Texts(edited);
    } else if (const std::optional<GeneratedFile> changed =
                   ApplyByIdentity(base, edited, change)) {
      truth = Texts(*changed);
    }
    const Text new_text = Texts(edited);
    for (const bool with_base : {false, true}) {
      SCOPED_TRACE(testing::Message()
                   << "case " << n << ", " << EditName(edit)
                   << (with_base ? ", with base" : ", without base"));
      const BaseFile old_file{ViewsOf(base_text), level->first};
      const NormalCarry carry = CarryNormalLevel(
          {ViewsOf(new_text),
           {ViewsOf(level->obsolete.lines()), ViewsOf(level->code.lines())},
           [](LineList*) {},
           with_base ? &old_file : nullptr});
      Tally& tally =
          tallies[std::string(EditName(edit)) + (with_base ? " (base)" : "")];
      if (!truth.has_value()) {
        ++tally.undefined;
        EXPECT_EQ(carry.verdict, Verdict::kConflict)
            << "carried a case whose truth is not defined"
            << Shown(base_text, new_text, change, *level, carry);
      } else if (carry.verdict == Verdict::kConflict) {
        ++tally.conflicts;
      } else {
        ++tally.carried;
        const Text result = carry.verdict == Verdict::kAlreadyThere ? new_text
                            : carry.verdict == Verdict::kUnchanged
                                ? Applied(new_text, *level)
                                : Applied(new_text, carry.level);
        EXPECT_EQ(result, *truth)
            << Shown(base_text, new_text, change, *level, carry);
      }
    }
  }
  for (const auto& [name, tally] : tallies) {
    std::cout << "[ carried  ] " << name << ": " << tally.carried
              << " carried, " << tally.conflicts << " conflicts, "
              << tally.undefined << " without a truth\n";
  }
}

}  // namespace
