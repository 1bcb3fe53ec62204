// A file system for an overlay to read through: it hands the reads to
// another one and counts them, and fails the test on every call that would
// change the tree or the working directory (nothing is passed on then).
#ifndef QRL_TESTS_GUARDED_FILE_SYSTEM_H_
#define QRL_TESTS_GUARDED_FILE_SYSTEM_H_

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gtest/gtest.h"
#include "services/file_system.h"

class GuardedFileSystem : public FileSystem {
 public:
  explicit GuardedFileSystem(FileSystem* inner) : inner_(inner) {}

  // The calls passed on so far.
  int calls() const { return stats_ + links_ + listings_ + opens_; }
  int listings() const { return listings_; }
  int opens() const { return opens_; }

  FileInfo Stat(const std::string& path, FollowLinks follow,
                int* error) override {
    ++stats_;
    return inner_->Stat(path, follow, error);
  }
  bool ReadLink(const std::string& path, std::string* target,
                int* error) override {
    ++links_;
    return inner_->ReadLink(path, target, error);
  }
  DirectoryRead ReadDirectory(const std::string& directory,
                              std::vector<DirectoryEntry>* entries) override {
    ++listings_;
    return inner_->ReadDirectory(directory, entries);
  }
  std::unique_ptr<OpenedFile> Open(const std::string& path,
                                   int* error) override {
    ++opens_;
    return inner_->Open(path, error);
  }
  std::string WorkingDirectory() override { return inner_->WorkingDirectory(); }

  std::unique_ptr<FileReplacement> NewReplacement() override {
    Refuse("NewReplacement", "", nullptr);
    return nullptr;
  }
  bool MakeDirectory(const std::string& path, int* error) override {
    return Refuse("MakeDirectory", path, error);
  }
  bool MakeLink(const std::string&, const std::string& path,
                int* error) override {
    return Refuse("MakeLink", path, error);
  }
  bool RemoveFile(const std::string& path, int* error) override {
    return Refuse("RemoveFile", path, error);
  }
  bool RemoveDirectory(const std::string& path, int* error) override {
    return Refuse("RemoveDirectory", path, error);
  }
  bool Rename(const std::string& from, const std::string&,
              int* error) override {
    return Refuse("Rename", from, error);
  }
  bool SetMode(const std::string& path, mode_t, int* error) override {
    return Refuse("SetMode", path, error);
  }
  bool ChangeWorkingDirectory(const std::string& directory,
                              int* error) override {
    return Refuse("ChangeWorkingDirectory", directory, error);
  }
  int MarkWorkingDirectory(int* error) override {
    Refuse("MarkWorkingDirectory", "", error);
    return -1;
  }
  bool ReturnTo(int, int* error) override {
    return Refuse("ReturnTo", "", error);
  }
  void ForgetMark(int) override { Refuse("ForgetMark", "", nullptr); }

 private:
  static bool Refuse(std::string_view call, const std::string& path,
                     int* error) {
    ADD_FAILURE() << "the lower file system was asked to " << call << " "
                  << path;
    if (error != nullptr) {
      *error = EPERM;
    }
    return false;
  }

  FileSystem* inner_;
  int stats_ = 0;
  int links_ = 0;
  int listings_ = 0;
  int opens_ = 0;
};

#endif  // QRL_TESTS_GUARDED_FILE_SYSTEM_H_
