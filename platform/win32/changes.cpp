#include "platform/native_file_system.h"

#include "platform/fs_error.h"
#include "platform/win32/common.h"

#include <memory>
#include <optional>
#include <utility>

// The changes, through Windows' wide-character calls: files written whole under the program's
// temporary names, moves that never replace unless they hand what they replace over, removals
// of the program's own files, and flushes.
namespace platform
{
namespace
{

using namespace win32;

// The attributes a program may set; a file that would have none is "normal".
DWORD Settable(DWORD attributes)
{
    attributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Clears the read-only attribute of one of the program's own files, where it is set.
void MakeWritable(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetFileAttributesW(path.c_str(), Settable(attributes & ~FILE_ATTRIBUTE_READONLY));
    }
}

// A new hidden temporary of our own form in `folder`, open for writing, and its path; `forPath`
// is the file it is written for, which a failure names.
std::pair<Handle, std::string> NewTemporary(const std::string& folder, const std::string& forPath)
{
    static unsigned serial = 0;
    for (;;) {
        std::string path = Join(folder, TemporaryName(ThisProcess(), ++serial));
        Handle file(::CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (file.Valid()) {
            return {std::move(file), std::move(path)};
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            ThrowLastError("write", Absolute(forPath), Intent::Create);
        }
    }
}

// Makes a temporary plain, gives it `lastWrite` where given, and puts its bytes on disk before
// it is closed: only an administrator may flush a whole volume on Windows, so each file is
// flushed on its own.
bool Seal(Handle& file, const FILETIME* lastWrite)
{
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (lastWrite != nullptr) {
        basic.LastWriteTime.LowPart = lastWrite->dwLowDateTime;
        basic.LastWriteTime.HighPart = static_cast<LONG>(lastWrite->dwHighDateTime);
    }
    return ::SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic) &&
           ::FlushFileBuffers(file.Get()) && ::CloseHandle(file.Release());
}

// Removes a temporary that did not take its name, and raises the failure that stopped it.
[[noreturn]] void FailTemporary(Handle& file, const std::string& temporary,
                                const std::string& operation, const std::string& path,
                                Intent intent = Intent::Change)
{
    const DWORD code = ::GetLastError();
    file = Handle();
    ::DeleteFileW(LongPath(temporary).c_str());
    ::SetLastError(code);
    ThrowLastError(operation, Absolute(path), intent);
}

// The folder's own record of names added, moved and removed, on disk where the file system
// takes a flush of a folder; where it does not (some shares), that is no failure: the files
// themselves were flushed before they took their names.
void FlushFolder(const std::string& folder)
{
    const Handle handle = Open(folder, GENERIC_WRITE, true);
    if (handle.Valid()) {
        ::FlushFileBuffers(handle.Get());
    }
}

// Gives the file at `path` the times and attributes of `basic`.
bool SetBasic(const std::wstring& path, FILE_BASIC_INFO basic)
{
    const Handle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    basic.ChangeTime.QuadPart = 0; // the system's own
    basic.FileAttributes = Settable(basic.FileAttributes);
    return file.Valid() &&
           ::SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic);
}

bool MoveAside(const std::wstring& from, const std::wstring& to)
{
    return RetryWhileHeld([&] { return ::MoveFileExW(from.c_str(), to.c_str(), 0) != 0; });
}

// Where something stands at `to`: `from` takes its place as what stood there goes to
// `handedTo`, each with its own bytes, times, attributes and identity. ReplaceFileW does it in
// one call, and gives the incoming file the replaced file's attributes and creation time, so
// the incoming file's own are read first and given back. It takes no read-only file to replace,
// and would act on a link's target: such a file is renamed out of the way, then the new one
// takes its name, each with a name throughout. Nothing where `to` went meanwhile and nothing
// moved.
std::optional<Moved> Replace(const std::string& from, const std::string& to,
                             const std::string& handedTo)
{
    const std::wstring source = LongPath(from);
    const std::wstring target = LongPath(to);
    const std::wstring keeper = LongPath(handedTo);
    FILE_BASIC_INFO own = {};
    if (const Handle file = Open(from, FILE_READ_ATTRIBUTES, false);
        !file.Valid() ||
        !::GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &own, sizeof own)) {
        if (IsMissing(::GetLastError())) {
            return Moved::SourceMissing;
        }
        ThrowLastError("move", Absolute(from), Intent::Change);
    }
    WIN32_FIND_DATAW standing;
    if (!FindName(to, standing)) {
        return std::nullopt;
    }
    if ((standing.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ||
        IsLink(standing.dwFileAttributes, standing.dwReserved0)) {
        if (!MoveAside(target, keeper)) {
            const DWORD code = ::GetLastError();
            if (IsMissing(code) && !Exists(target)) {
                return std::nullopt;
            }
            ThrowChangeFailure(code, "move", Absolute(to), false);
        }
        if (!MoveAside(source, target)) {
            const DWORD code = ::GetLastError();
            ::MoveFileExW(keeper.c_str(), target.c_str(), 0);
            if (IsMissing(code) && !Exists(source)) {
                return Moved::SourceMissing;
            }
            ThrowChangeFailure(code, "move", Absolute(from), false);
        }
        return Moved::HandedOver;
    }
    // A read-only file is not taken as the replacement either; its attribute comes back below.
    if ((own.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        MakeWritable(source);
    }
    if (RetryWhileHeld([&] {
            return ::ReplaceFileW(target.c_str(), source.c_str(), keeper.c_str(),
                                  REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                                  nullptr, nullptr) != 0;
        })) {
        if (!SetBasic(target, own)) {
            ThrowLastError("move", Absolute(to), Intent::Change);
        }
        return Moved::HandedOver;
    }
    const DWORD code = ::GetLastError();
    // The old file went to `handedTo` and the new one did not follow (Windows' error 1177; under
    // Wine, any failure after its first rename): it follows now, or the old file comes back.
    if (!Exists(target) && Exists(keeper)) {
        if (MoveAside(source, target)) {
            if (!SetBasic(target, own)) {
                ThrowLastError("move", Absolute(to), Intent::Change);
            }
            return Moved::HandedOver;
        }
        ::MoveFileExW(keeper.c_str(), target.c_str(), 0);
    }
    // The file that stays where it was, as it was: 1177 gives it the replaced file's attributes.
    SetBasic(source, own);
    if (IsMissing(code) && !Exists(source)) {
        return Moved::SourceMissing;
    }
    if (IsMissing(code) && !Exists(target)) {
        return std::nullopt;
    }
    ThrowChangeFailure(code, "move", Absolute(to), false);
}

} // namespace

void NativeFileSystem::WriteFile(const std::string& path, std::string_view text)
{
    const std::string folder = SplitPath(path).folder;
    auto [file, temporary] = NewTemporary(folder, path);
    DWORD written = 0;
    if (!::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !Seal(file, nullptr)) {
        FailTemporary(file, temporary, "write", path);
    }
    const std::wstring from = LongPath(temporary);
    const std::wstring to = LongPath(path);
    // The program's own records, which Explorer may have made read-only, are replaced all the
    // same.
    MakeWritable(to);
    if (!RetryWhileHeld([&] {
            return ::MoveFileExW(from.c_str(), to.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        })) {
        // The temporary stands in the same folder, so the folder takes new files: access denied
        // comes from the file in place, which another program holds.
        const DWORD code = ::GetLastError();
        ::DeleteFileW(from.c_str());
        ThrowChangeFailure(code, "replace", Absolute(path), true);
    }
    FlushFolder(folder);
}

std::string NativeFileSystem::Stage(const std::string& source, const std::string& folder)
{
    const Handle in = OpenToRead(source);
    BY_HANDLE_FILE_INFORMATION info;
    if (!in.Valid() || !::GetFileInformationByHandle(in.Get(), &info)) {
        ThrowLastError("read", Absolute(source));
    }
    const std::string shown = Join(folder, SplitPath(source).leaf);
    auto [out, temporary] = NewTemporary(folder, shown);
    constexpr DWORD kBufferSize = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(in.Get(), buffer.get(), kBufferSize, &got, nullptr)) {
            FailTemporary(out, temporary, "read", source, Intent::Read);
        }
        if (got == 0) {
            break;
        }
        DWORD written = 0;
        if (!::WriteFile(out.Get(), buffer.get(), got, &written, nullptr) || written != got) {
            FailTemporary(out, temporary, "write", shown);
        }
    }
    if (!Seal(out, &info.ftLastWriteTime)) {
        FailTemporary(out, temporary, "write", shown);
    }
    return temporary;
}

Moved NativeFileSystem::Move(const std::string& from, const std::string& to,
                             const std::string& handedTo)
{
    const std::wstring source = LongPath(from);
    const std::wstring target = LongPath(to);
    // A file that takes the target's name and goes again between the two calls is met again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A rename: a read-only file moves too, and a link is moved, not what it leads to.
        if (MoveAside(source, target)) {
            return Moved::Done;
        }
        const DWORD code = ::GetLastError();
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
            if (IsMissing(code) && !Exists(source)) {
                return Moved::SourceMissing;
            }
            ThrowChangeFailure(code, "move", Absolute(from), false);
        }
        if (handedTo.empty()) {
            return Moved::TargetTaken;
        }
        if (const std::optional<Moved> moved = Replace(from, to, handedTo)) {
            return *moved;
        }
    }
    throw FsError(SystemErrorOf(ERROR_SHARING_VIOLATION), "move", Absolute(to));
}

bool NativeFileSystem::Remove(const std::string& path)
{
    const std::wstring wide = LongPath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && IsMissing(::GetLastError())) {
        return false;
    }
    const bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!folder) {
        MakeWritable(wide);
    }
    if (RetryWhileHeld([&] {
            return (folder ? ::RemoveDirectoryW(wide.c_str()) : ::DeleteFileW(wide.c_str())) != 0;
        })) {
        return true;
    }
    const DWORD code = ::GetLastError();
    if (IsMissing(code)) {
        return false;
    }
    ThrowChangeFailure(code, folder ? "remove" : "delete", Absolute(path), false);
}

bool NativeFileSystem::MakeFolder(const std::string& path)
{
    if (::CreateDirectoryW(LongPath(path).c_str(), nullptr)) {
        return true;
    }
    const DWORD code = ::GetLastError();
    WIN32_FIND_DATAW standing;
    if (code == ERROR_ALREADY_EXISTS && FindName(path, standing) &&
        (standing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        !IsLink(standing.dwFileAttributes, standing.dwReserved0)) {
        return false;
    }
    ::SetLastError(code);
    ThrowLastError("make the folder", Absolute(path), Intent::Create);
}

// Each staged file and each record was flushed before it took its name. What is left is the
// record of names: NTFS writes it to its log, which a flush of the folder commits up to the
// folder's last change, and every change made before it with it.
void NativeFileSystem::Flush(const std::string& folder)
{
    FlushFolder(folder);
}

} // namespace platform
