#include "engine/file_directory_level.h"

#include "package/level_record.h"
#include "services/failure.h"
#include "services/file_services.h"
#include "services/system_path.h"

namespace {

enum class Operation { kCreate, kRemove };

// Carries out one operation on the path. A raised failure (an emptied
// directory that cannot be removed) counts as a failed operation; so does
// the removal of "/", which the tree deletion refuses.
bool Perform(Operation operation, const std::string& path) {
  const bool directory = LastCharacter(path) == '/';
  if (operation == Operation::kCreate) {
    return directory ? MakeDirectoryPath(path) : CreateEmptyFile(path);
  }
  if (!directory) {
    return DeleteFile(path);
  }
  try {
    return DeleteDirectoryTree(path);
  } catch (const Failure&) {
    return false;
  }
}

// The operation of a valid line in the given direction; false for a line
// that is skipped.
bool LineOperation(const std::string& line, Direction direction,
                   Operation* operation) {
  if (line.size() < 3 || (line[0] != '+' && line[0] != '-')) {
    return false;
  }
  const bool create = (line[0] == '+') == (direction == Direction::kApply);
  *operation = create ? Operation::kCreate : Operation::kRemove;
  return true;
}

}  // namespace

LevelOutcome RunFileDirectoryLevel(const LevelCall& call) {
  const Direction direction = call.state.direction;
  LineList lines;
  DataToStrings(call.level.View(kCode), &lines);
  if (!lines.Empty()) {
    lines.Delete(0);  // the code type
  }
  const size_t count = lines.Count();
  for (size_t k = 0; k < count; ++k) {
    const std::string& line =
        lines.Get(direction == Direction::kApply ? k : count - 1 - k);
    Operation operation;
    if (LineOperation(line, direction, &operation) &&
        !Perform(operation, line.substr(2))) {
      return LevelOutcome::Failed(
          LevelMessage("FILE/DIRECTORY " + line +
                           " CAN'T CREATED/REMOVED! CAN'T APPLY LEVEL ",
                       call));
    }
  }
  return LevelOutcome::Success();
}
