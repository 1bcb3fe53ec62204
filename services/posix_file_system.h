// The system's own file system: every call of FileSystem made with the
// POSIX call that does it, in the process's working directory. It holds no
// state of its own; a mark is an open descriptor of the marked directory.
#ifndef QRL_SERVICES_POSIX_FILE_SYSTEM_H_
#define QRL_SERVICES_POSIX_FILE_SYSTEM_H_

#include <memory>
#include <string>
#include <vector>

#include "services/file_system.h"

class PosixFileSystem : public FileSystem {
 public:
  FileInfo Stat(const std::string& path, FollowLinks follow,
                int* error = nullptr) override;
  bool ReadLink(const std::string& path, std::string* target,
                int* error = nullptr) override;
  DirectoryRead ReadDirectory(const std::string& directory,
                              std::vector<DirectoryEntry>* entries) override;
  std::unique_ptr<OpenedFile> Open(const std::string& path,
                                   int* error) override;
  std::unique_ptr<FileReplacement> NewReplacement() override;
  StreamRead ReadToEnd(const std::string& path, std::string* out,
                       int* error) override;

  bool MakeDirectory(const std::string& path, int* error = nullptr) override;
  bool MakeLink(const std::string& target, const std::string& path,
                int* error = nullptr) override;
  bool RemoveFile(const std::string& path, int* error = nullptr) override;
  bool RemoveDirectory(const std::string& path, int* error = nullptr) override;
  bool Rename(const std::string& from, const std::string& to,
              int* error = nullptr) override;
  bool SetMode(const std::string& path, mode_t mode,
               int* error = nullptr) override;

  std::string WorkingDirectory() override;
  bool ChangeWorkingDirectory(const std::string& directory,
                              int* error = nullptr) override;
  int MarkWorkingDirectory(int* error = nullptr) override;
  bool ReturnTo(int mark, int* error = nullptr) override;
  void ForgetMark(int mark) override;
};

#endif  // QRL_SERVICES_POSIX_FILE_SYSTEM_H_
