#include "engine/apply.h"

#include "gtest/gtest.h"
#include "services/failure.h"
#include "tests/driver_runs.h"
#include "tests/test_util.h"

namespace {

// A level of a kind without a handler: it keeps its severity, so severity
// "0" succeeds and applies its success symbols. Enough to watch the order
// and the weighing of levels.
LevelSpec Marker(std::string number, std::string success,
                 std::string severity = "0") {
  LevelSpec level;
  level.number = std::move(number);
  level.kind = "9";
  level.presentation = "P" + level.number;
  level.severity = std::move(severity);
  level.success_symbols = std::move(success);
  level.failure_symbols = "+FAILED" + level.number;
  return level;
}

LevelSpec Requirement(std::string number, std::string severity,
                      std::string requirements) {
  LevelSpec level = Marker(std::move(number), "+MET", std::move(severity));
  level.kind = "1";
  level.presentation = "Needs";
  level.requirements = std::move(requirements);
  return level;
}

TEST(ApplyLevels, RunsLevelNumbersAscendingAndLevelsInPackageOrder) {
  const DriverRun run =
      RunApply({Marker("5", "+A"), Marker("2", "+B"), Marker("5", "+C"),
                Marker("9", "+D"), Marker("07", "+NEVER"), Marker("-3", "+E")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.settings.symbols, "ACTION_APPLY,+E,+B,+A,+C,+D");
}

TEST(ApplyLevels, EmptyListStillWritesMacrosAndSymbolsBack) {
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"{A}", "1"}});
  settings.symbols = "+S,junk";
  const DriverRun run = RunApply({}, settings);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.settings.macros, MacroData({{"{A}", "1"}}));
  EXPECT_EQ(run.settings.symbols, "+S,ACTION_APPLY");
  EXPECT_EQ(RunApply({}).settings.macros, std::string("\x01\x00", 2));
}

TEST(ApplyLevels, SeverityDecidesSymbolsLinesStatusAndStop) {
  struct Case {
    std::string severity;
    std::string symbols;
    LineList output;
    uint8_t status;
  };
  const std::vector<Case> cases = {
      {"0", "ACTION_APPLY,+OK,+AFTER", {}, 0},
      {"1", "ACTION_APPLY,+FAILED1,+AFTER", {}, 1},
      {"2",
       "ACTION_APPLY,+FAILED1,+AFTER",
       {"WARNING! GLOBAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 1 PROCESS "
        "WITH PRESENTATION: P1"},
       2},
      {"3",
       "ACTION_APPLY,+FAILED1",
       {"ERROR! GLOBAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 1 PROCESS "
        "WITH PRESENTATION: P1"},
       3},
      {"7", "ACTION_APPLY,+AFTER", {}, 7},
      {"263", "ACTION_APPLY,+AFTER", {}, 7},  // only the low byte counts
  };
  for (const Case& c : cases) {
    // A Normal level whose global requirement fails: its severity weighs.
    LevelSpec failing = Marker("1", "+OK", c.severity);
    failing.kind = "0";
    failing.requirements = "+MISSING";
    const DriverRun run = RunApply({failing, Marker("2", "+AFTER")});
    EXPECT_EQ(run.settings.symbols, c.symbols) << c.severity;
    EXPECT_EQ(run.output, c.output) << c.severity;
    EXPECT_EQ(run.status, c.status) << c.severity;
  }
}

TEST(ApplyLevels, RequirementPassRunsFirstAndMayStopTheRun) {
  // Unfulfilled with severity 1: failure symbols first, then the success
  // symbols once more in the main pass.
  LevelSpec soft = Requirement("1", "1", "+ABSENT");
  soft.failure_symbols = "+SOFT";
  DriverRun run = RunApply({Marker("1", "+BEFORE"), soft});
  EXPECT_EQ(run.settings.symbols, "ACTION_APPLY,+SOFT,+BEFORE,+MET");
  EXPECT_EQ(run.status, 0);

  // Unfulfilled with severity 3: the error line ends the run, which is an
  // error of the whole run.
  run = RunApply({Marker("1", "+A"), Requirement("2", "3", "+ABSENT"),
                  Marker("2", "+NEVER"), Marker("3", "+NEVER")});
  EXPECT_EQ(run.output,
            (LineList{"ERROR! LOCAL REQUIREMENTS ARE NOT FULFILLED FOR LEVEL 2 "
                      "PROCESS WITH PRESENTATION: Needs"}));
  EXPECT_EQ(run.settings.symbols, "ACTION_APPLY,+A,+FAILED2");
  EXPECT_EQ(run.status, 3);

  // Fulfilled requirements pass silently.
  TSETTINGSBLOCK defined;
  defined.symbols = "+A";
  run = RunApply({Requirement("1", "3", "+A"), Marker("1", "+A")}, defined);
  EXPECT_TRUE(run.output.Empty());
  EXPECT_EQ(run.status, 0);
}

TEST(ApplyLevels, ActionNamesSelectLevels) {
  LevelSpec reverse_only = Marker("1", "+REVERSE_ONLY");
  reverse_only.requirements = "ACTION_REVERSE";
  LevelSpec both = Marker("1", "+BOTH");
  both.requirements = "ACTION_REVERSE,ACTION_APPLY";
  LevelSpec apply_only = Marker("1", "+APPLY_ONLY");
  apply_only.requirements = "ACTION_APPLY";
  const DriverRun run = RunApply({reverse_only, both, apply_only});
  EXPECT_EQ(run.settings.symbols, "ACTION_APPLY,+BOTH,+APPLY_ONLY");
}

TEST(ApplyLevels, MacrosExpandInEveryVisitUnlessIgnored) {
  TSETTINGSBLOCK settings;
  // A macro may even rename a level number (which is read unexpanded to
  // list the numbers): level 7 runs as level 2 and never as 7.
  settings.macros = MacroData({{"7", "2"}, {"{S}", "+EXPANDED"}});
  LevelSpec numbered = Marker("7", "{S}");
  LevelSpec ignoring = Marker("2", "{S}");
  ignoring.options = "x,ignoremacros";
  const DriverRun run =
      RunApply({Marker("1", "+ONE"), numbered, ignoring}, settings);
  EXPECT_EQ(run.settings.symbols, "ACTION_APPLY,+ONE,+EXPANDED");
  // "{S}" has no state character, so the ignoring level adds nothing.
}

TEST(ApplyLevels, CutExpansionIsReportedOnceWithItsCauseAndTheRunGoesOn) {
  struct Case {
    std::string value;  // of {LOOP}, which the presentation names
    std::string presentation;
    std::string cause;
  };
  const std::vector<Case> cases = {
      {"again {LOOP}", "{LOOP}", " (A MACRO VALUE BRINGS BACK ITS OWN NAME)"},
      // Cut for its size, but still a name that comes back.
      {"{LOOP}{LOOP}", "again {LOOP}",
       " (A MACRO VALUE BRINGS BACK ITS OWN NAME)"},
      // Only large: twenty times 1 MiB passes the 16 MiB bound.
      {"again " + std::string(1u << 20, 'x'), std::string(),
       " (THE EXPANDED LEVEL GROWS TOO LARGE)"},
  };
  for (const Case& c : cases) {
    TSETTINGSBLOCK settings;
    settings.macros = MacroData({{"{LOOP}", c.value}});
    LevelSpec looping = Marker("1", "+RAN");
    looping.presentation = c.presentation;
    for (int i = 0; c.presentation.empty() && i < 20; ++i) {
      looping.presentation += "{LOOP}";
    }
    const DriverRun run = RunApply(
        {looping, Marker("2", "+NEXT"), Marker("3", "+LAST")}, settings);
    ASSERT_EQ(run.output.Count(), 1u);
    const std::string& line = run.output.Get(0);
    EXPECT_TRUE(line.starts_with(
        "MACRO EXPANSION CUT FOR LEVEL 1 PROCESS WITH PRESENTATION: again "))
        << line.substr(0, 80);
    EXPECT_TRUE(line.ends_with(c.cause)) << line.substr(line.size() - 80);
    EXPECT_EQ(run.settings.symbols, "ACTION_APPLY,+RAN,+NEXT,+LAST");
  }
}

TEST(ApplyLevels, ProgramsThatRenumberLevelsAreFollowed) {
  // Level 1 makes the macro "2" stand for "3", so the level numbered "2"
  // runs in the pass of 3; with MACROSAPPLY the change is written into the
  // record and lasts after the macro is gone.
  const std::vector<std::string> add_macro = {
      "0", "MACROFIRSTADDEMPTY", "MACROFIRSTSETNAME 2", "BUFFERSET 3",
      "MACROFIRSTSETVALUE"};
  struct Case {
    std::vector<std::string> program;
    std::string symbols;
  };
  std::vector<std::string> applied = add_macro;
  applied.insert(applied.end(), {"MACROSAPPLY", "MACROFIRSTDELETE"});
  std::vector<std::string> forgotten = add_macro;
  forgotten.push_back("MACROFIRSTDELETE");
  const std::vector<Case> cases = {
      {add_macro, "ACTION_APPLY,+THREE,+RENUMBERED"},
      {applied, "ACTION_APPLY,+THREE,+RENUMBERED"},
      {forgotten, "ACTION_APPLY,+RENUMBERED,+THREE"},
  };
  for (const Case& c : cases) {
    LevelSpec renumber;
    renumber.kind = "2";
    renumber.code = c.program;
    const DriverRun run =
        RunApply({renumber, Marker("3", "+THREE"), Marker("2", "+RENUMBERED")});
    EXPECT_EQ(run.settings.symbols, c.symbols) << c.program.size();
  }
}

TEST(ApplyLevels, NonIntegerNumberOrSeverityRaisesAndKeepsTheSettings) {
  TSETTINGSBLOCK settings;
  settings.symbols = "+KEEP";
  LevelSpec bad_number = Marker("x1", "+A");
  LineList output;
  try {
    ApplyLevels(LevelList({Marker("1", "+A"), bad_number}), &settings, &output,
                true);
    FAIL() << "no failure raised";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(),
                 "level record 2: the level number \"x1\" is not an integer");
  }
  EXPECT_EQ(settings.symbols, "+KEEP");

  LevelSpec bad_severity = Marker("2", "+B", "high");
  try {
    ApplyLevels(LevelList({Marker("1", "+A"), bad_severity}), &settings,
                &output, true);
    FAIL() << "no failure raised";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(),
                 "level record 2: the severity \"high\" is not an integer");
  }
  EXPECT_EQ(settings.symbols, "+KEEP");
  // Beyond the signed 32-bit range is not an integer either.
  EXPECT_THROW(ApplyLevels(LevelList({Marker("2147483648", "")}), &settings,
                           &output, true),
               Failure);
}

TEST(ApplyLevels, ManyLevelNumbersVisitOnlyTheirLevels) {
  // A level whose number a macro changes stays a candidate for every
  // number; the rest are found by number. The outcome equals a visit of
  // every level.
  std::vector<LevelSpec> levels;
  std::string expected = "ACTION_APPLY";
  for (int i = 300; i > 0; --i) {
    levels.push_back(Marker(std::to_string(i), "+L" + std::to_string(i)));
  }
  levels.push_back(Marker("999", "+MACRO"));
  for (int i = 1; i <= 300; ++i) {
    expected += ",+L" + std::to_string(i);
    if (i == 150) {
      expected += ",+MACRO";
    }
  }
  TSETTINGSBLOCK settings;
  settings.macros = MacroData({{"999", "150"}});
  EXPECT_EQ(RunApply(levels, settings).settings.symbols, expected);
}

}  // namespace

namespace {

// A Normal level's visit decodes its record once, whether it applies,
// fails and is explained, or is reversed: its requirements, its handler
// and the failure weighing all read the one decoded level.
TEST(ApplyLevels, NormalLevelDecodesItsRecordOncePerVisit) {
  ScratchDir dir;
  const std::string file = dir.Path("a.txt");
  LevelSpec level = NormalLevel("1");
  level.entries[0].path = file;
  level.severity = "3";
  struct Case {
    const char* content;  // of the file before the run
    bool apply;
  };
  for (const Case& c :
       {Case{"old\n", true}, Case{"other\n", true}, Case{"new\n", false}}) {
    WriteFile(file, c.content);
    const uint64_t before = LevelDecodeCount();
    if (c.apply) {
      RunApply({level});
    } else {
      RunReverse({level});
    }
    EXPECT_EQ(LevelDecodeCount() - before, 1u) << c.content;
  }
}

}  // namespace
