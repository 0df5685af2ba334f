#include "platform/win32/common.h"

#include "platform/win32/unicode.h"

#include <optional>

// Wine, as Linux players run the Windows build: what it does differently from Windows, found out
// through what it exports.
namespace platform::win32
{
namespace
{

// The path Wine ends at when it opens `path`, links followed; nothing where it cannot say.
std::optional<std::wstring> FinalPath(const std::string& path)
{
    const HANDLE handle =
        ::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::wstring name(MAX_PATH, L'\0');
    DWORD length =
        ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    if (length >= name.size()) {
        name.resize(length);
        length =
            ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
    }
    ::CloseHandle(handle);
    if (length == 0 || length >= name.size()) {
        return std::nullopt;
    }
    name.resize(length);
    return name;
}

// Wine's Unix name for a Windows path (kernel32 exports it from Wine 1.0 to 8 and later).
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

} // namespace

bool UnderWine()
{
    using Version = const char*(CDECL*)();
    static const bool wine = SystemFunction<Version>(L"ntdll.dll", "wine_get_version") != nullptr;
    return wine;
}

// Wine opens a link's target and names the handle by the target's path, so a file reached
// through a link in its last component ends elsewhere than its folder's own final path with its
// name added. Letter case aside: Wine names a file by the first spelling that matches.
void RefuseWineLink(const char* operation, const std::string& path, bool nothingChanged)
{
    if (!UnderWine()) {
        return;
    }
    const Split split = SplitPath(path);
    const std::optional<std::wstring> file = FinalPath(path);
    const std::optional<std::wstring> folder = FinalPath(FolderOrHere(split.folder));
    if (!file || !folder) {
        return;
    }
    const std::wstring expected = *folder + L"\\" + Wide(split.leaf);
    if (::CompareStringOrdinal(file->c_str(), static_cast<int>(file->size()), expected.c_str(),
                               static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL) {
        return;
    }
    std::string target = UnixName(*file);
    throw FsError(
        SystemErrorOf(ERROR_NOT_SUPPORTED), operation, Absolute(path), FailureCause::WineLink,
        {.nothingChanged = nothingChanged, .other = target.empty() ? Utf8(*file) : target});
}

} // namespace platform::win32
