// The files the tool reads and writes, through the platform's own calls: a configuration file is
// read only when it is a regular file and only up to a size limit, and an export replaces its
// target through a temporary file that was created exclusively, so no link planted beside the
// target is ever followed. One implementation for POSIX systems and one for Windows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velorin::tool {

enum class FileReadOutcome {
    Read,        // `bytes` holds the whole file
    Unreadable,  // missing, not a regular file, or a read failed before the end
    TooLarge,    // more than the limit; `bytes` holds no usable text
};

// Reads the whole regular file `path` (a link to one is followed) into `bytes`. The file is opened
// without blocking and its type checked on the open handle, so a device, pipe, socket or directory
// is refused before a byte is read: the call can neither block nor read without end.
FileReadOutcome ReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes);

// Replaces the contents of `path` with `bytes` at once: the bytes go to a new file beside it
// which then takes its name. An existing target keeps its permissions. On failure `path` is
// left as it was and the temporary file is gone.
bool ReplaceFileContents(const std::string& path, const std::string& bytes);

struct FileContents {
    std::string path;
    std::string bytes;
};

// Replaces several files as ReplaceFileContents does one. Every new content is written before
// the first target is replaced, so a failed write leaves all of them as they were; the targets
// then take their new contents in the order given.
bool ReplaceFilesContents(const std::vector<FileContents>& files);

// The name of the `attempt`th temporary file that a process tries beside `target`. It does not
// grow with the target's name, so a long target name cannot make it too long.
std::string TemporaryFileName(const std::string& target, unsigned long processId, unsigned attempt);

}  // namespace velorin::tool
