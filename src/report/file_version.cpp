#include "report/file_version.h"

#include <cstring>
#include <cwchar>
#include <iterator>
#include <utility>
#include <vector>

namespace velorin::tool {

namespace {

struct VersionCalls {
    decltype(&GetFileVersionInfoSizeW) sizeOf = nullptr;
    decltype(&GetFileVersionInfoW) read = nullptr;
    decltype(&VerQueryValueW) query = nullptr;
};

std::optional<VS_FIXEDFILEINFO> ReadFixedFileVersion(const VersionCalls& calls,
                                                     const wchar_t* path) {
    DWORD handle = 0;
    const DWORD size = calls.sizeOf(path, &handle);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> block(size);
    if (!calls.read(path, 0, size, block.data())) return std::nullopt;
    void* fixed = nullptr;
    UINT fixedLength = 0;
    if (!calls.query(block.data(), L"\\", &fixed, &fixedLength) || fixed == nullptr ||
        fixedLength < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, fixed, sizeof info);
    return info;
}

#ifdef _WIN32

class UniqueModule {
  public:
    explicit UniqueModule(HMODULE adopted) : module_(adopted) {}
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;
    ~UniqueModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};

// GetProcAddress's result as the function type it is known to have; void (*)() is the one
// pointer type that converts to any other without a cast-function-type warning.
template <typename Function>
void FindProc(HMODULE module, const char* name, Function& function) {
    function =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// version.dll from the system folder, named by its full path: a bare name would also match a
// version.dll that something else had already loaded into the process from another folder.
// Its own dependencies come from the system folder as well.
HMODULE LoadSystemVersionLibrary() {
    constexpr wchar_t VERSION_DLL_NAME[] = L"\\version.dll";
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + std::size(VERSION_DLL_NAME) > MAX_PATH) return nullptr;
    std::wmemcpy(path + length, VERSION_DLL_NAME, std::size(VERSION_DLL_NAME));
    return LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

#endif

}  // namespace

std::optional<VS_FIXEDFILEINFO> FixedFileVersionOf(const wchar_t* path) {
    VersionCalls calls;
#ifdef _WIN32
    const UniqueModule library(LoadSystemVersionLibrary());
    if (library.get() == nullptr) return std::nullopt;
    FindProc(library.get(), "GetFileVersionInfoSizeW", calls.sizeOf);
    FindProc(library.get(), "GetFileVersionInfoW", calls.read);
    FindProc(library.get(), "VerQueryValueW", calls.query);
    if (calls.sizeOf == nullptr || calls.read == nullptr || calls.query == nullptr) {
        return std::nullopt;
    }
#else
    calls = {&GetFileVersionInfoSizeW, &GetFileVersionInfoW, &VerQueryValueW};
#endif
    return ReadFixedFileVersion(calls, path);
}

}  // namespace velorin::tool
