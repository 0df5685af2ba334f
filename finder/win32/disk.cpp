#include "finder/disk.h"

#include "finder/finder.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace finder
{
namespace
{

struct CloseHandleOf
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, CloseHandleOf>;

struct CloseFind
{
    void operator()(HANDLE handle) const { FindClose(handle); }
};

// Opened to read its attributes only, following links; folders too.
Handle OpenToInspect(const std::filesystem::path& path)
{
    const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

std::optional<BY_HANDLE_FILE_INFORMATION> InfoOf(const Handle& handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) {
        return std::nullopt;
    }
    return info;
}

FolderId IdOf(const BY_HANDLE_FILE_INFORMATION& info)
{
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Letter case aside, as Windows compares names.
bool SameText(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

bool ListFolder(const std::filesystem::path& folder,
                const std::function<bool(const FolderId&)>& enter,
                const std::function<bool(const std::string&, EntryKind)>& each)
{
    const auto info = InfoOf(OpenToInspect(folder));
    if (!info || (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    if (!enter(IdOf(*info))) {
        return true;
    }
    WIN32_FIND_DATAW data{};
    const HANDLE first =
        FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (first == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::unique_ptr<void, CloseFind> find(first);
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const DWORD attributes = data.dwFileAttributes;
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                          (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                           data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
        const EntryKind kind = link                                           ? EntryKind::Link
                               : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder
                               : (attributes & FILE_ATTRIBUTE_DEVICE) != 0    ? EntryKind::Other
                                                                              : EntryKind::File;
        if (!each(Utf8(std::filesystem::path(name)), kind)) {
            break;
        }
    } while (FindNextFileW(find.get(), &data));
    return true;
}

LinkTarget Follow(const std::filesystem::path& link)
{
    const Handle handle = OpenToInspect(link);
    const auto info = InfoOf(handle);
    if (!info) {
        return {};
    }
    if ((info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return {GetFileType(handle.get()) == FILE_TYPE_DISK ? EntryKind::File : EntryKind::Other,
                {},
                {}};
    }
    std::wstring real(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle.get(), real.data(),
                                                       static_cast<DWORD>(real.size()), 0);
        if (length == 0) {
            return {};
        }
        if (length < real.size()) {
            real.resize(length);
            break;
        }
        real.resize(length + 1);
    }
    // \\?\C:\Games, as the call gives it; \\?\UNC\server\share for a network folder.
    if (real.starts_with(LR"(\\?\UNC\)")) {
        real.replace(0, 8, LR"(\\)");
    } else if (real.starts_with(LR"(\\?\)")) {
        real.erase(0, 4);
    }
    return {EntryKind::Folder, real, IdOf(*info)};
}

bool IsSystemFolder(const std::filesystem::path& real)
{
    if (real.has_root_path() && real.relative_path().empty()) {
        return true; // a drive's root
    }
    std::wstring windows(MAX_PATH, L'\0');
    windows.resize(GetWindowsDirectoryW(windows.data(), MAX_PATH));
    const std::wstring text = real.wstring();
    return !windows.empty() && text.size() >= windows.size() &&
           SameText(std::wstring_view(text).substr(0, windows.size()), windows) &&
           (text.size() == windows.size() || text[windows.size()] == L'\\');
}

FileBytes ReadRegularFile(const std::filesystem::path& file, std::size_t limit)
{
    using Outcome = FileBytes::Outcome;
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return FileBytes{error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                             ? Outcome::Missing
                             : Outcome::Unreadable};
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return FileBytes{Outcome::Unreadable};
    }
    const HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    const Handle handle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
    LARGE_INTEGER size{};
    // A disk file only: not a pipe, a console or a device behind the name.
    if (!handle || GetFileType(handle.get()) != FILE_TYPE_DISK ||
        !GetFileSizeEx(handle.get(), &size)) {
        return FileBytes{Outcome::Unreadable};
    }
    FileBytes read{Outcome::Read};
    read.bytes.resize(std::min(static_cast<std::size_t>(size.QuadPart), limit) + 1);
    std::size_t got = 0;
    while (got < read.bytes.size()) {
        DWORD n = 0;
        const DWORD wanted =
            static_cast<DWORD>(std::min<std::size_t>(read.bytes.size() - got, 1 << 20));
        if (!ReadFile(handle.get(), read.bytes.data() + got, wanted, &n, nullptr)) {
            read.outcome = Outcome::Unreadable;
            break;
        }
        if (n == 0) {
            break;
        }
        got += n;
        if (got == read.bytes.size() && got <= limit) {
            read.bytes.resize(std::min(got * 2, limit + 1));
        }
    }
    read.whole = got <= limit;
    read.bytes.resize(std::min(got, limit));
    return read;
}

} // namespace finder
