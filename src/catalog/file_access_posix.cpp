// The file access through POSIX calls: descriptors opened without following links where a
// file is created, and a rename that replaces whatever stands at the target's name.
#include "catalog/file_access.h"

#include "catalog/file_access_platform.h"
#include "com/unique_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace velorin::tool {

namespace {

struct FileDescriptor {
    using Handle = int;
    static Handle None() { return -1; }
    static bool Free(int fd) { return ::close(fd) == 0; }
};
using UniqueFile = UniqueHandle<FileDescriptor>;

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

long long ReadRetrying(int fd, char* buffer, size_t capacity) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, capacity);
        if (got < 0 && errno == EINTR) continue;
        return static_cast<long long>(got);
    }
}

}  // namespace

namespace file_platform {

const char FOLDER_SEPARATORS[] = "/";

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

// The permissions of a regular target carry over to the file that replaces it.
CreateOutcome CreateTemporary(const std::string& temporary, const std::string& bytes,
                              const std::string& target) {
    UniqueFile file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file) return errno == EEXIST ? CreateOutcome::NameTaken : CreateOutcome::Failed;
    struct stat targetStatus = {};
    bool written = true;
    if (::lstat(target.c_str(), &targetStatus) == 0 && S_ISREG(targetStatus.st_mode)) {
        written = ::fchmod(file.get(), targetStatus.st_mode & 0777) == 0;
    }
    written = written && WriteAll(file.get(), bytes);
    if (!file.close() || !written) {
        ::unlink(temporary.c_str());
        return CreateOutcome::Failed;
    }
    return CreateOutcome::Created;
}

bool RemoveTemporary(const std::string& temporary) { return ::unlink(temporary.c_str()) == 0; }

bool IsFolder(const std::string& path) {
    struct stat status = {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// rename replaces a link planted at the target instead of following it.
bool MoveTemporaryOver(const std::string& temporary, const std::string& path) {
    return ::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace file_platform

FileReadOutcome ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    // Without O_NONBLOCK, opening a FIFO would wait for a writer before the type check.
    UniqueFile file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status = {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return FileReadOutcome::Unreadable;
    }
    if (static_cast<uint64_t>(status.st_size) > maxBytes) return FileReadOutcome::TooLarge;
    return file_platform::ReadToEnd(static_cast<size_t>(status.st_size), maxBytes, bytes,
                                    [&file](char* buffer, size_t capacity) {
                                        return ReadRetrying(file.get(), buffer, capacity);
                                    });
}

}  // namespace velorin::tool
