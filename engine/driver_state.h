// The working state that the apply and reverse drivers share with the level
// handlers: a copy of the level records, the macro list and the symbol list
// that flow from level to level, the run flags, and the preparation and
// selection of a level for the running level number.
#ifndef QRL_ENGINE_DRIVER_STATE_H_
#define QRL_ENGINE_DRIVER_STATE_H_

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/target_files.h"
#include "fastmemlist/fastmemlist.h"
#include "package/settings_block.h"
#include "services/line_list.h"

enum class Direction { kApply, kReverse };

// Run flags, shared with the complex interpreter.
enum RunFlag : uint8_t {
  kRunSuccess = 1,
  kRunStop = 2,
  kRunRestart = 4,
  kRunFinish = 8,
};

struct DriverState {
  // Copies the levels, decodes the settings' macros and applies their
  // symbols, then adds the running action's name.
  DriverState(const TFASTMEMLIST& level_list, const TSETTINGSBLOCK& settings,
              LineList* output, bool convert, Direction direction, int depth);

  // The action name of the direction: ACTION_APPLY or ACTION_REVERSE.
  std::string_view ActionName() const;

  // Installs pending file rewrites and writes the macros and symbols back
  // into the settings block.
  void Finish(TSETTINGSBLOCK* settings);

  // Decodes level `index` afresh, expands its macros (unless its options
  // say IGNOREMACROS) and converts its separators. A cut expansion adds one
  // report line per level and run.
  void Prepare(uint64_t index, TFASTMEMLIST* level);

  // Prepares level `index` and keeps it for the Prepare of the main pass
  // that follows: between the requirement pass and the main pass of a
  // number nothing can change what preparing gives.
  const TFASTMEMLIST& PrepareAndKeep(uint64_t index);
  // Forgets the levels kept.
  void ForgetPrepared() { prepared_.clear(); }

  // Whether a prepared level runs for `number` under the current symbols.
  bool Selected(const TFASTMEMLIST& level, const std::string& number) const;

  // The first index at or after `from` of a level that may be selected for
  // `number`, or the number of levels. Levels whose number text macro
  // expansion cannot change, and which differ from `number`, are skipped
  // without being prepared: with many level numbers this keeps a run
  // linear instead of preparing every level for every number.
  uint64_t NextCandidate(uint64_t from, const std::string& number);

  // The level to visit after level `index`: the restart flag starts the
  // pass again at the first level, the finish flag ends it (the number of
  // levels); both reset the run flags to success.
  uint64_t NextAfterVisit(uint64_t index, const std::string& number);

  // Visits every level selected for `number` in package order, honouring
  // the restart and finish flags; `visit` gets the prepared level and its
  // index. False when a visit asked to stop the whole run.
  template <typename Visit>
  bool RunPass(const std::string& number, Visit visit);

  // After anything that may have changed the macros or the level records
  // (a Complex, External or Package level), the candidates are found anew.
  void MacrosOrLevelsMayHaveChanged() {
    index_valid_ = false;
    prepared_.clear();
  }

  TFASTMEMLIST levels;  // the working copy of the level records
  TFASTMEMLIST macros;  // name, value, name, value ...
  LineList symbols;
  LineList* output;
  const TSETTINGSBLOCK& settings;  // marker groups for Normal levels
  bool convert;
  Direction direction;
  int depth;  // nesting depth of Package levels; 0 for the package run
  uint8_t run_flags = 0;
  TargetFiles files;  // what Normal levels read and rewrite

 private:
  void BuildCandidateIndex();

  bool index_valid_ = false;
  uint64_t indexed_count_ = 0;
  // Levels by their fixed number text, and the levels whose number text a
  // macro may change; both in package order.
  std::map<std::string, std::vector<uint64_t>, std::less<>> by_number_;
  std::vector<uint64_t> variable_;
  std::set<uint64_t> expansion_cut_reported_;
  std::map<uint64_t, TFASTMEMLIST> prepared_;
};

// The distinct level numbers of the records, ascending, as plain decimal
// texts. A level number that is not an integer raises Failure.
std::vector<std::string> LevelNumbers(const TFASTMEMLIST& levels);

// The integer of a level number or severity text: decimal digits with an
// optional sign, within the signed 32-bit range. Anything else raises
// Failure naming the level (its position in the package) and the text.
int32_t LevelInteger(std::string_view text, std::string_view what,
                     uint64_t position);

// The low byte of a prepared level's severity.
uint8_t LevelSeverity(const TFASTMEMLIST& level, uint64_t position);

// What a level handler reports.
struct LevelOutcome {
  bool success = false;
  std::string message;  // may be empty on failure
  // A Package level fails with the nested run's status as its severity.
  std::optional<uint8_t> severity;

  static LevelOutcome Success() { return {true, {}, {}}; }
  static LevelOutcome Failed(std::string message) {
    return {false, std::move(message), {}};
  }
};

// One visit of one prepared level by a handler.
struct LevelCall {
  const TFASTMEMLIST& level;
  const std::string& number;  // the running level number
  DriverState& state;
};

using LevelHandler = LevelOutcome (*)(const LevelCall& call);

// `text` + N + " PROCESS WITH PRESENTATION: " + P, the tail that every
// failure message of a level ends with.
std::string LevelMessage(std::string_view text, const LevelCall& call);

template <typename Visit>
bool DriverState::RunPass(const std::string& number, Visit visit) {
  TFASTMEMLIST level;
  for (uint64_t i = NextCandidate(0, number); i < levels.Count();
       i = NextAfterVisit(i, number)) {
    Prepare(i, &level);
    if (Selected(level, number)) {
      visit(LevelCall{level, number, *this}, i);
      if ((run_flags & kRunStop) != 0) {
        return false;
      }
    }
  }
  return true;
}

#endif  // QRL_ENGINE_DRIVER_STATE_H_
