#include "platform/win32/replace.h"

#include "platform/win32/unicode.h"

#include <cerrno>
#include <set>
#include <utility>

namespace platform::win32
{
namespace
{

bool ProcessIsAlive(unsigned long id)
{
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) {
        return ::GetLastError() == ERROR_ACCESS_DENIED; // another user's process is alive
    }
    const bool running = ::WaitForSingleObject(process, 0) != WAIT_OBJECT_0;
    ::CloseHandle(process);
    return running;
}

void RemoveStaleTemporaries(const std::string& folder, std::set<std::string>* swept)
{
    if (swept != nullptr && !swept->insert(folder).second) {
        return;
    }
    WIN32_FIND_DATAW data;
    const std::wstring pattern = Wide(Join(folder, std::string(kTemporaryPrefix) + "*"));
    const HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string name = Utf8(data.cFileName);
        if (IsStaleTemporary(name, ::GetCurrentProcessId(), ProcessIsAlive)) {
            ::DeleteFileW(Wide(Join(folder, name)).c_str());
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

std::string NextTemporaryName()
{
    static unsigned serial = 0;
    return TemporaryName(::GetCurrentProcessId(), ++serial);
}

} // namespace

Existing Lookup(const std::string& path)
{
    Existing existing{false, 0, path};
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileExW(Wide(path).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
        ::FindClose(find);
        const Split split = SplitPath(path);
        // Windows and Wine also find a file by its short name: "HURR~TGQ.FLT" for
        // "hurricane fighter.flt".
        const std::wstring leaf = Wide(split.leaf);
        const bool longName =
            ::CompareStringOrdinal(data.cFileName, -1, leaf.c_str(), static_cast<int>(leaf.size()),
                                   TRUE) == CSTR_EQUAL;
        existing = {true, data.dwFileAttributes,
                    longName ? Join(split.folder, Utf8(data.cFileName)) : path,
                    longName ? std::string() : Utf8(data.cFileName)};
    }
    return existing;
}

void RefuseAnotherFile(const char* operation, const Existing& target, bool nothingChanged)
{
    if (!target.shortNameOf.empty()) {
        throw FsError(SystemErrorOf(ERROR_FILE_EXISTS), operation, Absolute(target.path),
                      FailureCause::ShortName,
                      {.nothingChanged = nothingChanged, .other = target.shortNameOf});
    }
    if (target.found) {
        RefuseWineLink(operation, target.path, nothingChanged);
    }
}

void RefuseFolderOrReadOnly(const char* operation, const Existing& target)
{
    if ((target.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw FsError(EISDIR, operation, Absolute(target.path));
    }
    if ((target.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throw FsError(EACCES, operation, Absolute(target.path), FailureCause::ReadOnly);
    }
    RefuseAnotherFile(operation, target, false);
}

PendingReplace::PendingReplace(const Existing& target, std::set<std::string>* swept)
    : target_(target.path), folder_(SplitPath(target.path).folder)
{
    RefuseFolderOrReadOnly("replace", target);
    RemoveStaleTemporaries(FolderOrHere(folder_), swept);
    for (;;) {
        temporary_ = Join(folder_, NextTemporaryName());
        handle_ = ::CreateFileW(Wide(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle_ != INVALID_HANDLE_VALUE) {
            return;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            temporary_.clear();
            ThrowLastError("write", Absolute(target_), Intent::Create);
        }
    }
}

PendingReplace::~PendingReplace()
{
    Discard();
}

void PendingReplace::Discard()
{
    if (handle_ != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    if (!temporary_.empty()) {
        ::DeleteFileW(Wide(temporary_).c_str());
        temporary_.clear();
    }
}

void PendingReplace::Fail(const std::string& operation, const std::string& path, Intent intent)
{
    const DWORD saved = ::GetLastError();
    Discard();
    ::SetLastError(saved);
    ThrowLastError(operation, path, intent);
}

void PendingReplace::Commit(const FILETIME* lastWrite)
{
    // Plain before it is moved: a player's folder never holds a hidden copy, even when the
    // program is stopped right after the move.
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (lastWrite != nullptr) {
        basic.LastWriteTime.LowPart = lastWrite->dwLowDateTime;
        basic.LastWriteTime.HighPart = static_cast<LONG>(lastWrite->dwHighDateTime);
    }
    if (!::SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic) ||
        !::FlushFileBuffers(handle_)) {
        Fail("write", Absolute(target_));
    }
    ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    const std::wstring from = Wide(temporary_);
    const std::wstring to = Wide(target_);
    if (!RetryWhileHeld([&] {
            return ::MoveFileExW(from.c_str(), to.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        })) {
        // The temporary stands in the same folder, so the folder takes new files: access denied
        // comes from the file in place, which another program holds.
        const DWORD code = ::GetLastError();
        Discard();
        ThrowChangeFailure(code, "replace", Absolute(target_), true);
    }
    temporary_.clear();
}

bool FlushFolder(const std::string& folder)
{
    const HANDLE handle =
        ::CreateFileW(Wide(FolderOrHere(folder)).c_str(), GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool flushed = ::FlushFileBuffers(handle) != 0;
    ::CloseHandle(handle);
    return flushed;
}

} // namespace platform::win32
