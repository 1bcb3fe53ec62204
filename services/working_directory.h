// A change of the program's working directory that is undone: the
// directory left is marked (the system keeps it open), so returning works
// even when its path has changed meanwhile.
#ifndef QRL_SERVICES_WORKING_DIRECTORY_H_
#define QRL_SERVICES_WORKING_DIRECTORY_H_

#include <string>

// The program's working directory as the system reports it; empty when it
// cannot say (the directory was removed, or its path is unreadable).
std::string WorkingDirectoryPath();

class WorkingDirectoryChange {
 public:
  WorkingDirectoryChange() = default;
  // Returns to the directory left, unless Restore already did; a failure
  // here can no longer be reported.
  ~WorkingDirectoryChange();
  WorkingDirectoryChange(const WorkingDirectoryChange&) = delete;
  WorkingDirectoryChange& operator=(const WorkingDirectoryChange&) = delete;

  // Enters `directory`, remembering the present one first (only the first
  // directory left is remembered). False, staying where it is, when either
  // step fails.
  bool Enter(const std::string& directory);

  // Returns to the remembered directory; nothing to do when nothing was
  // entered. Raises Failure when the way back is gone: the rest of the run
  // would otherwise work in the wrong place.
  void Restore();

 private:
  int left_ = -1;  // the mark of the directory left
};

#endif  // QRL_SERVICES_WORKING_DIRECTORY_H_
