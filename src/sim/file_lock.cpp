#include "sim/file_lock.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velorin::sim {
namespace {

// Enough for any number of writers that keep replacing the file; each round means another
// writer finished, so running out means something else keeps the file in motion.
constexpr int kLockRounds = 1000;

unsigned long ProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

}  // namespace

ExclusiveFileLock::ExclusiveFileLock(const std::string& path) {
    for (int round = 0; round < kLockRounds && !locked_; ++round) {
        if (!TryLockOnce(path)) break;
    }
}

ExclusiveFileLock::~ExclusiveFileLock() { Close(); }

std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned long> counter{0};
    return path + ".tmp" + std::to_string(ProcessId()) + "-" + std::to_string(++counter);
}

#ifdef _WIN32

// Windows cannot rename a file over one that is held open, so the lock lives on a companion
// file that is never replaced; the name check of the POSIX side is then not needed.
bool ExclusiveFileLock::TryLockOnce(const std::string& path) {
    std::wstring name = std::filesystem::u8path(path + ".lock").wstring();
    handle_ =
        CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        handle_ = nullptr;
        return false;
    }
    OVERLAPPED whole = {};
    locked_ = LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
    if (!locked_) Close();
    return locked_;
}

void ExclusiveFileLock::Close() {
    if (handle_ == nullptr) return;
    CloseHandle(handle_);  // releases the lock with the handle
    handle_ = nullptr;
    locked_ = false;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    std::wstring source = std::filesystem::u8path(from).wstring();
    std::wstring target = std::filesystem::u8path(to).wstring();
    // A reader that has the file open without delete sharing blocks the rename for a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

#else

bool ExclusiveFileLock::TryLockOnce(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    int rc;
    do {
        rc = flock(fd_, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    struct stat locked;
    struct stat named;
    if (rc != 0 || fstat(fd_, &locked) != 0) {
        Close();
        return false;
    }
    locked_ = stat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
              named.st_ino == locked.st_ino;
    if (!locked_) Close();
    return true;
}

void ExclusiveFileLock::Close() {
    if (fd_ < 0) return;
    close(fd_);  // releases the flock with the last descriptor of the open file
    fd_ = -1;
    locked_ = false;
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

#endif

}  // namespace velorin::sim
