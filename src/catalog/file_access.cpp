#include "catalog/file_access.h"

#include "com/unique_handle.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velorin::tool {

namespace {

// Enough for any number of leftovers from crashed runs; a name still taken after that many
// tries means something else is going on in the folder.
constexpr unsigned MAX_TEMPORARY_ATTEMPTS = 1000;
constexpr size_t READ_CHUNK_BYTES = size_t{1} << 16;

// Each attempt of the run gets a name of its own, also across several exports in one process.
unsigned NextAttempt() {
    static unsigned attempts = 0;
    return attempts++;
}

#ifdef _WIN32
constexpr char FOLDER_SEPARATORS[] = "/\\";
#else
constexpr char FOLDER_SEPARATORS[] = "/";
#endif

std::string FolderOf(const std::string& path) {
    const size_t separator = path.find_last_of(FOLDER_SEPARATORS);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// Reads through `readChunk(buffer, size)` (bytes read, 0 at the end, negative on failure)
// until the end, stopping as soon as the limit is passed.
template <typename ReadChunk>
FileReadOutcome ReadToEnd(size_t sizeHint, size_t maxBytes, std::string& bytes,
                          ReadChunk&& readChunk) {
    bytes.clear();
    // Room for the whole file and the read that finds its end, so the buffer is not regrown.
    bytes.reserve(std::min(sizeHint, maxBytes) + READ_CHUNK_BYTES);
    for (;;) {
        const size_t used = bytes.size();
        bytes.resize(used + READ_CHUNK_BYTES);
        const long long got = readChunk(&bytes[used], READ_CHUNK_BYTES);
        if (got < 0) {
            bytes.clear();
            return FileReadOutcome::Unreadable;
        }
        bytes.resize(used + static_cast<size_t>(got));
        if (bytes.size() > maxBytes) {
            bytes.clear();
            return FileReadOutcome::TooLarge;
        }
        if (got == 0) return FileReadOutcome::Read;
    }
}

#ifdef _WIN32

// A file handle; CreateFileW answers INVALID_HANDLE_VALUE when it opens nothing.
struct FileHandle {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static bool Free(HANDLE handle) { return CloseHandle(handle) != 0; }
};
using UniqueFile = UniqueHandle<FileHandle>;

// File names arrive as the narrow bytes of the command line, in the ANSI code page.
std::wstring Widened(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int units =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    return wide;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

enum class CreateOutcome { Created, NameTaken, Failed };

CreateOutcome WriteNewFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                   ? CreateOutcome::NameTaken
                   : CreateOutcome::Failed;
    }
    const bool written = WriteAll(file.get(), bytes);
    if (!file.close() || !written) {
        DeleteFileW(path.c_str());
        return CreateOutcome::Failed;
    }
    return CreateOutcome::Created;
}

// Some implementations of ReplaceFileW refuse relative names (ERROR_DIRECTORY).
std::wstring FullPath(const std::wstring& path) {
    const DWORD units = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (units == 0) return path;
    std::wstring full(units, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), units, &full[0], nullptr);
    if (written == 0 || written >= units) return path;
    full.resize(written);
    return full;
}

// ReplaceFileW keeps the target's security descriptor and attributes; a target that does not
// exist (or vanished meanwhile) is simply taken over by the rename. A link at the target's name
// is replaced itself by the rename: ReplaceFileW would work through it on the file it names.
bool MoveOverTarget(const std::wstring& relativeTemporary, const std::wstring& relativeTarget) {
    const std::wstring temporary = FullPath(relativeTemporary);
    const std::wstring target = FullPath(relativeTarget);
    constexpr int MAX_ATTEMPTS = 20;  // another run may hold the target open for a moment
    for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt) {
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
        const bool regular = attributes != INVALID_FILE_ATTRIBUTES &&
                             (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        if (regular && ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            return true;
        }
        if (!regular && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return true;
        }
        Sleep(10);
    }
    return false;
}

#else  // POSIX

struct FileDescriptor {
    using Handle = int;
    static Handle None() { return -1; }
    static bool Free(int fd) { return ::close(fd) == 0; }
};
using UniqueFile = UniqueHandle<FileDescriptor>;

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

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

enum class CreateOutcome { Created, NameTaken, Failed };

// The name must not exist in any form, a dangling link included; the permissions of a regular
// target carry over to the file that replaces it.
CreateOutcome WriteNewFile(const std::string& path, const std::string& bytes,
                           const std::string& target) {
    UniqueFile file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file) return errno == EEXIST ? CreateOutcome::NameTaken : CreateOutcome::Failed;
    struct stat targetStatus = {};
    bool written = true;
    if (::lstat(target.c_str(), &targetStatus) == 0 && S_ISREG(targetStatus.st_mode)) {
        written = ::fchmod(file.get(), targetStatus.st_mode & 0777) == 0;
    }
    written = written && WriteAll(file.get(), bytes);
    if (!file.close() || !written) {
        ::unlink(path.c_str());
        return CreateOutcome::Failed;
    }
    return CreateOutcome::Created;
}

#endif

}  // namespace

std::string TemporaryFileName(const std::string& target, unsigned long processId,
                              unsigned attempt) {
    return FolderOf(target) + "velorin-export-" + std::to_string(processId) + "-" +
           std::to_string(attempt) + ".tmp";
}

#ifdef _WIN32

FileReadOutcome ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    UniqueFile file(CreateFileW(Widened(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) {
        return FileReadOutcome::Unreadable;
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return FileReadOutcome::Unreadable;
    }
    const uint64_t size =
        (uint64_t{information.nFileSizeHigh} << 32) | uint64_t{information.nFileSizeLow};
    if (size > maxBytes) return FileReadOutcome::TooLarge;
    return ReadToEnd(
        static_cast<size_t>(size), maxBytes, bytes,
        [&file](char* buffer, size_t capacity) -> long long {
            DWORD got = 0;
            if (!ReadFile(file.get(), buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
                return -1;
            }
            return static_cast<long long>(got);
        });
}

namespace {

CreateOutcome CreateTemporary(const std::string& temporary, const std::string& bytes,
                              const std::string&) {
    return WriteNewFile(Widened(temporary), bytes);
}

bool RemoveTemporary(const std::string& temporary) {
    return DeleteFileW(Widened(temporary).c_str()) != 0;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widened(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MoveTemporaryOver(const std::string& temporary, const std::string& path) {
    return MoveOverTarget(Widened(temporary), Widened(path));
}

}  // namespace

#else  // POSIX

FileReadOutcome ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    // Without O_NONBLOCK, opening a FIFO would wait for a writer before the type check.
    UniqueFile file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status = {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return FileReadOutcome::Unreadable;
    }
    if (static_cast<uint64_t>(status.st_size) > maxBytes) return FileReadOutcome::TooLarge;
    return ReadToEnd(static_cast<size_t>(status.st_size), maxBytes, bytes,
                     [&file](char* buffer, size_t capacity) -> long long {
                         for (;;) {
                             const ssize_t got = ::read(file.get(), buffer, capacity);
                             if (got < 0 && errno == EINTR) continue;
                             return static_cast<long long>(got);
                         }
                     });
}

namespace {

CreateOutcome CreateTemporary(const std::string& temporary, const std::string& bytes,
                              const std::string& target) {
    return WriteNewFile(temporary, bytes, target);
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

}  // namespace

#endif

namespace {

// Writes `bytes` to a new temporary file beside `path`; its name goes to `temporary`.
bool CreateTemporaryBeside(const std::string& path, const std::string& bytes,
                           std::string& temporary) {
    if (path.empty()) return false;
    for (unsigned tries = 0; tries < MAX_TEMPORARY_ATTEMPTS; ++tries) {
        temporary = TemporaryFileName(path, CurrentProcessId(), NextAttempt());
        const CreateOutcome created = CreateTemporary(temporary, bytes, path);
        if (created == CreateOutcome::NameTaken) continue;
        return created == CreateOutcome::Created;
    }
    return false;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& bytes) {
    return ReplaceFilesContents({{path, bytes}});
}

// Every temporary file is complete before the first target is touched, and a target that is
// a folder (which no rename can replace) is found before any; what remains is a rename in the
// same folder.
bool ReplaceFilesContents(const std::vector<FileContents>& files) {
    std::vector<std::string> temporaries;
    bool ready = true;
    for (const FileContents& file : files) {
        std::string temporary;
        ready = !IsFolder(file.path) && CreateTemporaryBeside(file.path, file.bytes, temporary);
        if (!ready) break;
        temporaries.push_back(temporary);
    }
    size_t moved = 0;
    while (ready && moved < temporaries.size() &&
           MoveTemporaryOver(temporaries[moved], files[moved].path)) {
        ++moved;
    }
    for (size_t left = moved; left < temporaries.size(); ++left) RemoveTemporary(temporaries[left]);
    return moved == files.size();
}

}  // namespace velorin::tool
