#include "finder/virtual_store.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <array>

namespace finder
{
namespace
{

// The long form of a folder that exists: 8.3 names such as PROGRA~1 are spelled out.
std::wstring LongPath(const std::wstring& path)
{
    std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
    std::wstring spelled(GetLongPathNameW(full.c_str(), nullptr, 0), L'\0');
    spelled.resize(
        GetLongPathNameW(full.c_str(), spelled.data(), static_cast<DWORD>(spelled.size())));
    std::wstring result = spelled.empty() ? full : spelled;
    if (result.starts_with(L"\\\\?\\")) {
        result.erase(0, 4);
    }
    while (result.size() > 3 && result.back() == L'\\') {
        result.pop_back();
    }
    return result;
}

std::wstring KnownFolder(const KNOWNFOLDERID& id)
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path) == S_OK) {
        folder = path;
    }
    CoTaskMemFree(path);
    return folder;
}

// %LOCALAPPDATA%, as Explorer opens it, else the profile's own.
std::wstring LocalAppData()
{
    std::wstring value(GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0), L'\0');
    value.resize(
        GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), static_cast<DWORD>(value.size())));
    return value.empty() ? KnownFolder(FOLDERID_LocalAppData) : value;
}

// Whether `path` is `folder` or lies below it, compared as Windows compares names.
bool Under(const std::wstring& path, const std::wstring& folder)
{
    return !folder.empty() && path.size() >= folder.size() &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL &&
           (path.size() == folder.size() || path[folder.size()] == L'\\');
}

} // namespace

// Windows redirects the Program Files folders of the system drive (both views) into
// %LOCALAPPDATA%\VirtualStore\<the path without its drive>.
std::filesystem::path VirtualStoreFolder(const std::filesystem::path& gameDir)
{
    const std::wstring game = LongPath(gameDir.wstring());
    const std::array<const KNOWNFOLDERID*, 3> programFolders{
        &FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64};
    for (const KNOWNFOLDERID* id : programFolders) {
        if (Under(game, LongPath(KnownFolder(*id)))) {
            const std::wstring local = LocalAppData();
            if (local.empty()) {
                return {};
            }
            return std::filesystem::path(local) / L"VirtualStore" /
                   std::filesystem::path(game).relative_path();
        }
    }
    return {};
}

} // namespace finder
