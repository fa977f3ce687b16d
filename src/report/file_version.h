// The fixed file information in the version resource of an executable file.
#pragma once

#include <windows.h>

#include <optional>

namespace velorin::tool {

// The file's VS_FIXEDFILEINFO, or nothing when the file has no readable version resource.
// On Windows the version calls come from the system folder's version.dll, loaded for this
// call only: version.dll is not one of the known DLLs, so an import of it would be looked up
// in the executable's own folder first, where anyone who can write there could plant one.
std::optional<VS_FIXEDFILEINFO> FixedFileVersionOf(const wchar_t* path);

}  // namespace velorin::tool
