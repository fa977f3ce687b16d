// The program's version resource. A Linux executable carries none, so every existing file
// answers with the block of this build: a VS_VERSIONINFO-shaped header followed by the fixed
// file information, whose file and product versions are the project version.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

struct VersionBlock {
    WORD wLength;
    WORD wValueLength;
    WORD wType;
    WCHAR szKey[16];
    VS_FIXEDFILEINFO value;
};

constexpr WCHAR kVersionKey[] = L"VS_VERSION_INFO";
constexpr DWORD kVersionMS = (VELORIN_VERSION_MAJOR << 16) | VELORIN_VERSION_MINOR;
constexpr DWORD kVersionLS = (VELORIN_VERSION_PATCH << 16) | VELORIN_VERSION_TWEAK;

VersionBlock BuildVersionBlock() {
    VersionBlock block{};
    block.wLength = static_cast<WORD>(sizeof(VersionBlock));
    block.wValueLength = static_cast<WORD>(sizeof(VS_FIXEDFILEINFO));
    std::memcpy(block.szKey, kVersionKey, sizeof(kVersionKey));
    VS_FIXEDFILEINFO& info = block.value;
    info.dwSignature = VS_FFI_SIGNATURE;
    info.dwStrucVersion = VS_FFI_STRUCVERSION;
    info.dwFileVersionMS = info.dwProductVersionMS = kVersionMS;
    info.dwFileVersionLS = info.dwProductVersionLS = kVersionLS;
    info.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    info.dwFileOS = VOS_NT_WINDOWS32;
    info.dwFileType = VFT_APP;
    return block;
}

// File names travel as one unit per byte (see GetModuleFileNameW), so each unit narrows back
// to its byte; a unit above 0xFF names no file here.
bool NarrowPath(LPCWSTR wide, std::string& path) {
    for (; *wide != 0; ++wide) {
        if (static_cast<unsigned long>(*wide) > 0xFF) return false;
        path.push_back(static_cast<char>(*wide));
    }
    return true;
}

bool FileExists(LPCWSTR name) {
    std::string path;
    if (name == nullptr || !NarrowPath(name, path) || path.empty()) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string ExecutablePath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (hModule != nullptr || lpFilename == nullptr || nSize == 0) return 0;
    std::string path = ExecutablePath();
    if (path.empty()) return 0;
    // Like Windows: a name that does not fit is cut to nSize - 1 units and the size returned.
    DWORD length = path.size() < nSize ? static_cast<DWORD>(path.size()) : nSize - 1;
    for (DWORD i = 0; i < length; ++i) {
        lpFilename[i] = static_cast<WCHAR>(static_cast<unsigned char>(path[i]));
    }
    lpFilename[length] = 0;
    return path.size() < nSize ? length : nSize;
}

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle != nullptr) *lpdwHandle = 0;
    return FileExists(lptstrFilename) ? static_cast<DWORD>(sizeof(VersionBlock)) : 0;
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (lpData == nullptr || dwLen < sizeof(VersionBlock) || !FileExists(lptstrFilename)) {
        return FALSE;
    }
    VersionBlock block = BuildVersionBlock();
    std::memcpy(lpData, &block, sizeof(block));
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    if (pBlock == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr) return FALSE;
    if (lpSubBlock[0] != L'\\' || lpSubBlock[1] != 0) return FALSE;
    VersionBlock block;
    std::memcpy(&block, pBlock, sizeof(block));
    if (block.wLength < sizeof(VersionBlock) || block.value.dwSignature != VS_FFI_SIGNATURE) {
        return FALSE;
    }
    const auto* bytes = static_cast<const unsigned char*>(pBlock);
    *lplpBuffer = const_cast<unsigned char*>(bytes + offsetof(VersionBlock, value));
    if (puLen != nullptr) *puLen = static_cast<UINT>(sizeof(VS_FIXEDFILEINFO));
    return TRUE;
}
