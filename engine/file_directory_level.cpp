#include "engine/file_directory_level.h"

#include "engine/level_kinds.h"
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

// The operation of a target in the given direction; false for one that
// is skipped.
bool TargetOperation(const LevelTarget& target, Direction direction,
                     Operation* operation) {
  if (!target.Acts()) {
    return false;
  }
  const bool create =
      (target.operation == "+") == (direction == Direction::kApply);
  *operation = create ? Operation::kCreate : Operation::kRemove;
  return true;
}

}  // namespace

LevelOutcome RunFileDirectoryLevel(const LevelCall& call) {
  const Direction direction = call.state.direction;
  const std::vector<LevelTarget> targets = LevelTargets(call.view);
  const size_t count = targets.size();
  for (size_t k = 0; k < count; ++k) {
    const LevelTarget& target =
        targets[direction == Direction::kApply ? k : count - 1 - k];
    Operation operation;
    if (TargetOperation(target, direction, &operation) &&
        !Perform(operation, std::string(target.path))) {
      return LevelOutcome::Failed(
          LevelMessage("FILE/DIRECTORY " + target.Text() +
                           " CAN'T CREATED/REMOVED! CAN'T APPLY LEVEL ",
                       call));
    }
  }
  return LevelOutcome::Success();
}
