#include "platform/win32/common.h"

#include "platform/win32/unicode.h"

#include <optional>

// Wine, as Linux players run the Windows build: what it does differently from Windows, found out
// through what it exports.
namespace platform::win32
{
namespace
{

// The path of what `handle` has open, as Wine names it: where its links led.
std::optional<std::wstring> FinalPath(HANDLE handle)
{
    std::wstring name(MAX_PATH, L'\0');
    DWORD length =
        ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    if (length >= name.size()) {
        name.resize(length);
        length =
            ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    }
    if (length == 0 || length >= name.size()) {
        return std::nullopt;
    }
    name.resize(length);
    return name;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

// kernel32 exports it from Wine 1.0 to 8 and later.
std::string UnixName(const std::wstring& path)
{
    using GetUnixName = char*(CDECL*)(const WCHAR*);
    static const auto unixName =
        SystemFunction<GetUnixName>(L"kernel32.dll", "wine_get_unix_file_name");
    char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
    if (name == nullptr) {
        return {};
    }
    std::string text(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return text;
}

bool UnderWine()
{
    using Version = const char*(CDECL*)();
    static const bool wine = SystemFunction<Version>(L"ntdll.dll", "wine_get_version") != nullptr;
    return wine;
}

// Wine opens a link's target and names the handle by the target's path, so a file reached
// through a link in its last component ends elsewhere than its folder's own final path with its
// name added. Most paths end where they say, which one comparison shows; the folder is opened
// only where a link in a folder above, or a short name, makes the two differ. Letter case aside:
// Wine names a file by the first spelling that matches.
bool ThroughWineLink(HANDLE file, const std::string& path, std::string* target)
{
    if (!UnderWine()) {
        return false;
    }
    const std::optional<std::wstring> final = FinalPath(file);
    if (!final || SamePath(*final, LongPath(path))) {
        return false;
    }
    const Split split = SplitPath(path);
    const Handle folder = Open(split.folder, FILE_READ_ATTRIBUTES, true);
    const std::optional<std::wstring> folderPath =
        folder.Valid() ? FinalPath(folder.Get()) : std::nullopt;
    if (!folderPath ||
        SamePath(*final, Wide(Join(Utf8(*folderPath), split.leaf, PathStyle::Windows)))) {
        return false;
    }
    if (target != nullptr) {
        *target = UnixName(*final);
        *target = target->empty() ? Utf8(*final) : *target;
    }
    return true;
}

} // namespace platform::win32
