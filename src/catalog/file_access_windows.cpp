// The file access through Win32 calls: files created with CREATE_NEW, and ReplaceFileW or
// MoveFileExW to put a temporary file in its target's place.
#include "catalog/file_access.h"

#include "catalog/file_access_platform.h"
#include "com/unique_handle.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace velorin::tool {

namespace {

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

}  // namespace

namespace file_platform {

const char FOLDER_SEPARATORS[] = "/\\";

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

// A new file takes the folder's inherited security; the target's own is kept by ReplaceFileW.
CreateOutcome CreateTemporary(const std::string& temporary, const std::string& bytes,
                              const std::string&) {
    const std::wstring path = Widened(temporary);
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

}  // namespace file_platform

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
    return file_platform::ReadToEnd(
        static_cast<size_t>(size), maxBytes, bytes,
        [&file](char* buffer, size_t capacity) -> long long {
            DWORD got = 0;
            if (!ReadFile(file.get(), buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
                return -1;
            }
            return static_cast<long long>(got);
        });
}

}  // namespace velorin::tool
