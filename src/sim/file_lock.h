// The few file operations that differ between POSIX and Windows: an exclusive lock that
// cooperating processes wait for, and replacing a file in one step.
#pragma once

#include <string>

namespace velorin::sim {

// Opens the file at `path` (creating it when missing) and holds an exclusive lock on it for
// its lifetime. A writer that replaced the file while this one waited leaves it locking a
// file that no longer has the name, so the lock is only granted once the locked file is
// still the one the path names. On Windows the lock is taken on `path`.lock instead.
class ExclusiveFileLock {
  public:
    explicit ExclusiveFileLock(const std::string& path);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    bool Locked() const { return locked_; }

  private:
    bool TryLockOnce(const std::string& path);
    void Close();

#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    bool locked_ = false;
};

// Renames `from` over `to`; readers see either the old or the new file, never a mix.
bool ReplaceFileAtomically(const std::string& from, const std::string& to);

// A name for a temporary file beside `path`, unique to this process and call.
std::string TemporaryNameBeside(const std::string& path);

}  // namespace velorin::sim
