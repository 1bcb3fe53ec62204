// The working state that the apply and reverse drivers share with the level
// handlers: a copy of the level records, the macro list and the symbol list
// that flow from level to level, the run flags, and the preparation and
// selection of a level for the running level number.
#ifndef QRL_ENGINE_DRIVER_STATE_H_
#define QRL_ENGINE_DRIVER_STATE_H_

#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/target_files.h"
#include "fastmemlist/fastmemlist.h"
#include "package/level_view.h"
#include "package/settings_block.h"
#include "services/line_list.h"

enum class Direction { kApply, kReverse };

// Run flags, shared with the complex interpreter. The last one tells the
// driver that a program changed the working level records (MACROSAPPLY).
enum RunFlag : uint8_t {
  kRunSuccess = 1,
  kRunStop = 2,
  kRunRestart = 4,
  kRunFinish = 8,
  kRunLevelsChanged = 16,
};

struct DriverState {
  // Takes the levels (a copy, or the caller's own list moved in), decodes
  // the settings' macros and applies their symbols, then adds the running
  // action's name.
  DriverState(TFASTMEMLIST level_list, const TSETTINGSBLOCK& settings,
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
  // levels); both reset the run flags to success. Raises RunLimitExceeded
  // when the report or the macros grew too large, or when the pass was
  // restarted too often.
  uint64_t NextAfterVisit(uint64_t index, const std::string& number);

  // Visits every level selected for `number` in package order, honouring
  // the restart and finish flags; `visit` gets the prepared level and its
  // index. False when a visit asked to stop the whole run.
  template <typename Visit>
  bool RunPass(const std::string& number, Visit visit);

  // After anything that may have changed the macros (a Complex, External
  // or Package level) the index is checked before it is used again: it is
  // built anew only when the macro names that could stand in a level
  // number changed, so a run of many such levels stays linear.
  // Levels kept prepared are prepared anew in either case.
  void MacrosOrLevelsMayHaveChanged() {
    index_checked_ = false;
    prepared_.clear();
  }
  // After a change of the level records themselves.
  void LevelRecordsChanged() {
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
  // The names of the macro list that could stand in a level number: those
  // made only of bytes that occur in some level number text. Sorted.
  std::vector<std::string> NumberNames() const;

  bool index_valid_ = false;
  bool index_checked_ = true;
  uint64_t indexed_count_ = 0;
  std::bitset<256> number_bytes_;          // bytes of the level number texts
  std::vector<std::string> number_names_;  // NumberNames() at the build
  // Levels by their fixed number text, and the levels whose number text a
  // macro may change; both in package order.
  std::unordered_map<std::string, std::vector<uint64_t>> by_number_;
  std::vector<uint64_t> variable_;
  std::set<uint64_t> expansion_cut_reported_;
  std::map<uint64_t, TFASTMEMLIST> prepared_;
  uint64_t restarts_ = 0;  // of the pass that runs
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
uint8_t LevelSeverity(const LevelView& level, uint64_t position);

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

// One visit of one prepared level by a handler: the prepared record and
// its decoded form, decoded once for the whole visit.
struct LevelCall {
  const TFASTMEMLIST& level;
  const LevelView& view;
  const std::string& number;  // the running level number
  DriverState& state;
};

using LevelHandler = LevelOutcome (*)(const LevelCall& call);

// `text` + N + " PROCESS WITH PRESENTATION: " + P, the tail that every
// failure message of a level ends with.
std::string LevelMessage(std::string_view text, const LevelCall& call);

// Tells the level observer, if any, that the level is left out of `number`
// by its action names or symbols (or is not of that number).
void NotifyLevelNotSelected(const LevelCall& call, uint64_t index);

template <typename Visit>
bool DriverState::RunPass(const std::string& number, Visit visit) {
  restarts_ = 0;
  TFASTMEMLIST level;
  LevelView view;
  for (uint64_t i = NextCandidate(0, number); i < levels.Count();
       i = NextAfterVisit(i, number)) {
    Prepare(i, &level);
    DecodeLevel(level, &view);  // a malformed record reads what it can
    if (!Selected(level, number)) {
      NotifyLevelNotSelected(LevelCall{level, view, number, *this}, i);
    } else {
      visit(LevelCall{level, view, number, *this}, i);
      if ((run_flags & kRunStop) != 0) {
        return false;
      }
    }
  }
  return true;
}

#endif  // QRL_ENGINE_DRIVER_STATE_H_
