// The platform's half of file_access.h, for the file_access*.cpp files alone. CMake compiles
// one of file_access_posix.cpp and file_access_windows.cpp, which define these calls and the
// reads of ReadRegularFile; file_access.cpp builds the shared part on them.
#pragma once

#include "catalog/file_access.h"

#include <cstddef>
#include <functional>
#include <string>

namespace velorin::tool::file_platform {

// The characters that end a folder in a path.
extern const char FOLDER_SEPARATORS[];

enum class CreateOutcome { Created, NameTaken, Failed };

unsigned long CurrentProcessId();

// Writes `bytes` to the new file `temporary`, whose name must not exist in any form (a
// dangling link included). Where the platform keeps permissions in the file's mode, those of a
// regular `target` carry over. A failed write leaves no file behind.
CreateOutcome CreateTemporary(const std::string& temporary, const std::string& bytes,
                              const std::string& target);
bool RemoveTemporary(const std::string& temporary);
// A folder at `path` itself, not one a link there names.
bool IsFolder(const std::string& path);
// Gives the temporary file the name `path`; a link at that name is replaced, never followed.
bool MoveTemporaryOver(const std::string& temporary, const std::string& path);

// Reads up to `capacity` bytes into `buffer`: how many it read, 0 at the end, negative on
// failure.
using ReadChunk = std::function<long long(char* buffer, size_t capacity)>;

// Reads through `readChunk` until the end into `bytes`, stopping as soon as `maxBytes` is
// passed. `sizeHint` is the size the file had when opened.
FileReadOutcome ReadToEnd(size_t sizeHint, size_t maxBytes, std::string& bytes,
                          const ReadChunk& readChunk);

}  // namespace velorin::tool::file_platform
