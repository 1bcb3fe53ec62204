// The level kinds in one table: per kind, its handlers under apply and
// reverse, how reverse guards it, which of its file entries are local
// requirements and which are requirement codes, and the paths it writes
// (its targets), which backup and plan read as the handlers act on them.
// The codes and names of the kinds belong to the record and stand beside
// `LevelKind` in package/level_view.h. A new kind adds a row here and its
// handler file; the static_assert, and every switch over the kind that
// has no default (the checks', the JSON form's), name what else is
// missing.
#ifndef QRL_ENGINE_LEVEL_KINDS_H_
#define QRL_ENGINE_LEVEL_KINDS_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/driver_state.h"
#include "package/level_view.h"

// One path a level writes: an operation ("+" writes or creates it, "-"
// removes it), the separator it is written with, and the path; a path
// that ends in the separator names a directory. Every line of a
// FileDirectoryCreationRemoval level is one, cut as the grammar says
// whatever it holds: its handler and plan act only on a "+" or "-" with a
// path, backup records every target with a path.
struct LevelTarget {
  std::string_view operation;  // one byte, or none for an empty line
  std::string_view separator;  // one byte, or none for a shorter line
  std::string_view path;
  bool from_code = false;  // a code line, not a file entry

  // Whether the operation is "+" or "-" and there is a path.
  bool Acts() const {
    return (operation == "+" || operation == "-") && !path.empty();
  }
  // The target as one text: operation, separator, path (a code line as
  // it stands).
  std::string Text() const;
};

// The line grammar of a FileDirectoryCreationRemoval level: operation,
// separator, path. False for a line shorter than 3 bytes, which has no
// path.
bool ParseTargetLine(std::string_view line, LevelTarget* target);

// How reverse treats a kind whose local requirements fail.
enum class ReverseGuard {
  kNone,           // runs without a requirement test
  kLocalSilent,    // runs only when its local requirements hold
  kLocalReported,  // reports unfulfilled local requirements
};

struct LevelKindRow {
  LevelKind kind;
  // nullptr: the driver does nothing for the kind (a Requirement level is
  // tested in the requirement pass; a FileExport level is not undone).
  LevelHandler apply;
  LevelHandler reverse;
  ReverseGuard reverse_guard;
  // The first file entry that the engine tests as a local requirement:
  // a FileExport level's entry 0 names a file still to be written. A
  // Normal level's entry 0 is tested: its obsolete code must be there.
  uint64_t first_local_requirement;
  // The first file entry whose (path, type, content) is a requirement
  // code for the duplicate check, none when the kind has none: a Normal
  // or FileExport level's entry 0 is its target, and two levels that
  // change the same block in turn are no duplicate requirement.
  std::optional<uint64_t> first_requirement_code;
  // Appends the paths the level writes, in the order it writes them.
  void (*targets)(const LevelView& level, std::vector<LevelTarget>* out);
};

// The row of a known kind; nullptr for LevelKind::kUnknown.
const LevelKindRow* FindLevelKind(LevelKind kind);

// The paths the level writes (see LevelKindRow::targets); none for an
// unknown kind.
std::vector<LevelTarget> LevelTargets(const LevelView& level);

#endif  // QRL_ENGINE_LEVEL_KINDS_H_
