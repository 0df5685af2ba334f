#include "platform/native_file_system.h"

#include "platform/fs_error.h"
#include "platform/win32/common.h"
#include "platform/win32/replace.h"
#include "platform/win32/unicode.h"

#include <algorithm>

// Keeping the player's files: moves and links that never replace, and the folders they go to.
namespace platform
{
namespace
{

using namespace win32;

// Errors with which a file system says it has no hard links.
bool NoLinksHere(DWORD error)
{
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_TOO_MANY_LINKS || error == ERROR_NOT_SAME_DEVICE;
}

} // namespace

void NativeFileSystem::KeepFile(const std::string& path, const std::string& kept, Keeping how)
{
    const Existing target = Lookup(path);
    const char* operation = how == Keeping::Move ? "delete" : "replace";
    if (!target.found) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        ThrowLastError(operation, Absolute(path));
    }
    RefuseFolderOrReadOnly(operation, target);
    const std::wstring from = Wide(target.path);
    const std::wstring to = Wide(kept);
    // Neither moves nor links over a name that is taken.
    if (how == Keeping::Move) {
        if (!RetryWhileHeld(
                [&] { return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH); })) {
            ThrowChangeFailure(::GetLastError(), operation, Absolute(target.path), false);
        }
        return;
    }
    if (::CreateHardLinkW(to.c_str(), from.c_str(), nullptr)) {
        return;
    }
    if (!NoLinksHere(::GetLastError())) {
        ThrowLastError("keep a copy of", Absolute(target.path), Intent::Change);
    }
    // FAT and exFAT have no links: a copy, on disk before the original is replaced.
    if (!::CopyFileW(from.c_str(), to.c_str(), TRUE)) {
        ThrowLastError("keep a copy of", Absolute(target.path), Intent::Change);
    }
    const HANDLE copy = ::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool flushed = copy != INVALID_HANDLE_VALUE && ::FlushFileBuffers(copy);
    if (copy != INVALID_HANDLE_VALUE) {
        ::CloseHandle(copy);
    }
    if (!flushed) {
        ThrowLastError("keep a copy of", Absolute(target.path), Intent::Change);
    }
    FlushFolder(SplitPath(kept).folder);
}

void NativeFileSystem::PutBack(const std::string& kept, const std::string& path)
{
    const Existing target = Lookup(path);
    RefuseFolderOrReadOnly("put back", target);
    const std::wstring from = Wide(kept);
    const std::wstring to = Wide(target.path);
    if (!RetryWhileHeld([&] {
            // A backup on another volume is copied back, then taken out of the backup.
            return ::MoveFileExW(from.c_str(), to.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED |
                                     MOVEFILE_WRITE_THROUGH);
        })) {
        ThrowChangeFailure(::GetLastError(), "put back", Absolute(target.path), false);
    }
}

FileIdentity NativeFileSystem::IdentityOf(const std::string& path)
{
    const HANDLE handle =
        ::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    if (!known) {
        return {};
    }
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// A temporary of our own form, made and gone again; no process may make that name but this one.
bool NativeFileSystem::TakesLinks(const std::string& folder)
{
    const std::wstring first = Wide(Join(folder, TemporaryName(::GetCurrentProcessId(), 0)));
    const std::wstring second =
        Wide(Join(folder, TemporaryName(::GetCurrentProcessId(), 1u << 31)));
    const HANDLE made = ::CreateFileW(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (made == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(made);
    const bool linked = ::CreateHardLinkW(second.c_str(), first.c_str(), nullptr) != 0;
    ::DeleteFileW(second.c_str());
    ::DeleteFileW(first.c_str());
    return linked;
}

// A hidden temporary that goes as soon as it is closed, so that nothing can stay behind.
void NativeFileSystem::CheckTakesFiles(const std::string& folder)
{
    const std::string name = Join(folder, TemporaryName(::GetCurrentProcessId(), 0));
    const HANDLE probe = ::CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        ThrowLastError("write into", Absolute(FolderOrHere(folder)), Intent::Create);
    }
    ::CloseHandle(probe);
}

EntryKind NativeFileSystem::KindOf(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return EntryKind::Missing;
    }
    // A junction or a symbolic link to a folder is a reparse point: no folder of ours.
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    return folder ? EntryKind::Folder : EntryKind::Other;
}

bool NativeFileSystem::MakeFolder(const std::string& path)
{
    if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) {
        return true;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS && KindOf(path) == EntryKind::Folder) {
        return false;
    }
    ThrowLastError("make the folder", Absolute(path), Intent::Change);
}

void NativeFileSystem::RemoveFolder(const std::string& path)
{
    if (!::RemoveDirectoryW(Wide(path).c_str())) {
        ThrowLastError("remove the folder", Absolute(path), Intent::Change);
    }
}

std::vector<std::string> NativeFileSystem::ListFolders(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileExW(Wide(Join(folder, "*")).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = Utf8(data.cFileName);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && name != "." &&
            name != "..") {
            names.push_back(name);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace platform
