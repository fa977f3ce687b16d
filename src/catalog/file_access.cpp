// The part of the file access that is the same on every platform: the temporary file's name,
// the bounded read loop, and the replacement of several files at once.
#include "catalog/file_access.h"

#include "catalog/file_access_platform.h"

#include <algorithm>
#include <string>
#include <vector>

namespace velorin::tool {

namespace file_platform {

namespace {

constexpr size_t READ_CHUNK_BYTES = size_t{1} << 16;

}  // namespace

FileReadOutcome ReadToEnd(size_t sizeHint, size_t maxBytes, std::string& bytes,
                          const ReadChunk& readChunk) {
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

}  // namespace file_platform

// The calls of this file's platform, from file_access_posix.cpp or file_access_windows.cpp.
using namespace file_platform;

namespace {

// Enough for any number of leftovers from crashed runs; a name still taken after that many
// tries means something else is going on in the folder.
constexpr unsigned MAX_TEMPORARY_ATTEMPTS = 1000;

// Each attempt of the run gets a name of its own, also across several exports in one process.
unsigned NextAttempt() {
    static unsigned attempts = 0;
    return attempts++;
}

std::string FolderOf(const std::string& path) {
    const size_t separator = path.find_last_of(FOLDER_SEPARATORS);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

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

std::string TemporaryFileName(const std::string& target, unsigned long processId,
                              unsigned attempt) {
    return FolderOf(target) + "velorin-export-" + std::to_string(processId) + "-" +
           std::to_string(attempt) + ".tmp";
}

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
