#include "engine/run_context.h"

#include <string>
#include <vector>

#include "engine/complex_level.h"
#include "gtest/gtest.h"
#include "services/overlay_file_system.h"

namespace {

LevelOutcome NoLevel(const LevelCall&) { return LevelOutcome::Success(); }

class CountingObserver : public LevelObserver {
 public:
  void LevelStarts(const LevelCall&, uint64_t) override {}
  void LevelEnds(const LevelEvent&) override {}
};

// A run installs everything it names for its length, keeps what it leaves
// empty from the run around it, and puts all back when it ends.
TEST(ScopedRun, InstallsItsContextAndRestoresWhatWasInForce) {
  FileSystem* const outer_files = &CurrentFileSystem();
  const LevelHandler outer_handler = ComplexLevelHandler();
  const uint64_t outer_restarts = CurrentRunLimits().restarts;
  std::vector<std::string> said;
  OverlayFileSystem overlay(&SystemFileSystem());
  CountingObserver observer;
  {
    RunContext context;
    context.files = &overlay;
    context.tools = [](const ExternalToolRequest&) {
      ExternalToolResult result;
      result.output = "not run";
      return result;
    };
    context.diagnostics = [&said](std::string_view line) {
      said.emplace_back(line);
    };
    context.observer = &observer;
    context.limits = RunLimits();
    context.limits->restarts = 7;
    context.complex_levels = NoLevel;
    const ScopedRun run(context);
    EXPECT_EQ(&CurrentFileSystem(), &overlay);
    EXPECT_EQ(RunExternalTool(ExternalToolRequest()).output, "not run");
    Diagnose("one");
    EXPECT_EQ(CurrentLevelObserver(), &observer);
    EXPECT_EQ(CurrentRunLimits().restarts, 7u);
    EXPECT_EQ(ComplexLevelHandler(), &NoLevel);
    {
      RunContext inner;
      inner.diagnostics = [&said](std::string_view line) {
        said.emplace_back("inner " + std::string(line));
      };
      const ScopedRun nested(inner);
      EXPECT_EQ(&CurrentFileSystem(), &overlay);
      EXPECT_EQ(CurrentLevelObserver(), &observer);
      EXPECT_EQ(ComplexLevelHandler(), &NoLevel);
      Diagnose("two");
    }
    Diagnose("three");
  }
  EXPECT_EQ(said, (std::vector<std::string>{"one", "inner two", "three"}));
  EXPECT_EQ(&CurrentFileSystem(), outer_files);
  EXPECT_EQ(CurrentLevelObserver(), nullptr);
  EXPECT_EQ(CurrentRunLimits().restarts, outer_restarts);
  EXPECT_EQ(ComplexLevelHandler(), outer_handler);
}

}  // namespace
