// The backups of a package kept side by side: NAME (the package's name and
// ".backup") is the newest, then NAME.1 to NAME.9, newest first. Before a
// new backup is put in place, each moves one place on; the oldest of nine
// is dropped only once the new one stands, and when the new one fails
// everything goes back where it was. Works through the file system
// interface; touches nothing but these names.
#ifndef QRL_BACKUP_BACKUP_ROTATION_H_
#define QRL_BACKUP_BACKUP_ROTATION_H_

#include <string>
#include <utility>
#include <vector>

// How many earlier backups are kept besides the newest.
inline constexpr int kKeptBackups = 9;

class BackupRotation {
 public:
  explicit BackupRotation(std::string newest) : newest_(std::move(newest)) {}

  // Moves NAME to NAME.1, NAME.1 to NAME.2 and so on, up to the first free
  // place; with all nine taken, NAME.9 is set aside. A NAME that is not a
  // plain file (a link, a directory) stays where it is and nothing moves.
  // False, with *err, when a move fails; what moved is then back.
  bool MakeRoom(std::string* err);
  // The new backup stands: the one set aside is removed for good.
  void Finish();
  // The new backup failed: every backup goes back where it was.
  void Undo();

  // Where the earlier newest backup stands now, or empty for none.
  const std::string& kept_as() const { return kept_as_; }
  // Whether the oldest was dropped (by Finish) to make room.
  bool dropped_oldest() const { return !set_aside_.empty(); }

 private:
  std::string Place(int place) const;  // 0 is NAME itself

  std::string newest_;
  std::vector<std::pair<std::string, std::string>> moves_;  // in order
  std::string set_aside_;  // where the oldest waits until Finish
  std::string kept_as_;
};

#endif  // QRL_BACKUP_BACKUP_ROTATION_H_
