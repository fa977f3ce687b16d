// The resources that the Windows executables must carry, read back from the built files: the
// manifest that asks for administrator rights and the version block that the banner prints.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct BuiltExe {
    const char* path;
    const wchar_t* originalName;
};

const BuiltExe kExes[] = {
    {VELORIN_RELEASE_EXE, L"VelorinBiosConfigTool.exe"},
    {VELORIN_SIM_EXE, L"VelorinBiosConfigTool-sim.exe"},
};

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

std::string ManifestOf(const std::wstring& path) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return "(cannot load)";
    std::string text = "(no manifest)";
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data != nullptr) text.assign(static_cast<const char*>(data), SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

std::vector<BYTE> VersionBlockOf(const std::wstring& path) {
    DWORD handle = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &handle));
    if (block.empty() ||
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
        return {};
    }
    return block;
}

std::wstring StringValue(std::vector<BYTE>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || length == 0) return L"";
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(WindowsResources, ManifestAsksForAdministratorRights) {
    for (const BuiltExe& exe : kExes) {
        SCOPED_TRACE(exe.path);
        const std::string manifest = ManifestOf(Widen(exe.path));
        EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
        EXPECT_NE(manifest.find("version=\"" VELORIN_PROJECT_VERSION "\""), std::string::npos);
    }
}

TEST(WindowsResources, VersionBlockCarriesTheProjectVersion) {
    const DWORD versionMS = (VELORIN_VERSION_MAJOR << 16) | VELORIN_VERSION_MINOR;
    const DWORD versionLS = (VELORIN_VERSION_PATCH << 16) | VELORIN_VERSION_TWEAK;
    for (const BuiltExe& exe : kExes) {
        SCOPED_TRACE(exe.path);
        std::vector<BYTE> block = VersionBlockOf(Widen(exe.path));
        ASSERT_FALSE(block.empty());
        void* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &fixed, &length));
        ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
        const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
        EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(info->dwFileVersionMS, versionMS);
        EXPECT_EQ(info->dwFileVersionLS, versionLS);
        EXPECT_EQ(info->dwProductVersionMS, versionMS);
        EXPECT_EQ(info->dwProductVersionLS, versionLS);
        EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));
        EXPECT_EQ(StringValue(block, L"FileVersion"), Widen(VELORIN_PROJECT_VERSION));
        EXPECT_EQ(StringValue(block, L"ProductVersion"), Widen(VELORIN_PROJECT_VERSION));
        EXPECT_EQ(StringValue(block, L"OriginalFilename"), exe.originalName);
    }
}

}  // namespace

#endif  // _WIN32
