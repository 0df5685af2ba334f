#pragma once

#include "platform/fs_error.h"
#include "platform/path_text.h"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

// What the Windows operations share: paths in the form every call takes, handles, and failures
// as Windows reports them.
namespace platform::win32
{

// A function of a system library, loaded from the system folder only, or null where this
// version of Windows lacks it.
template <typename Function> Function SystemFunction(const wchar_t* library, const char* name)
{
    HMODULE module = ::GetModuleHandleW(library);
    if (module == nullptr) {
        module = ::LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    if (module == nullptr) {
        return nullptr;
    }
    // Through the generic function type, which GCC lets pass to any other.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// A handle that closes itself.
class Handle final
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle()
    {
        if (Valid()) {
            ::CloseHandle(handle_);
        }
    }
    Handle(Handle&& other) noexcept : handle_(other.Release()) {}
    Handle& operator=(Handle&& other) noexcept
    {
        std::swap(handle_, other.handle_);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

// `path` as every call here hands it to Windows: absolute, in the long form ("\\?\C:\...",
// "\\?\UNC\server\share\...") that takes 32,767 characters whatever LongPathsEnabled says, so a
// kept file deep under a game folder in Documents passes 260 characters freely. Messages show
// paths as the player knows them (Absolute), never in this form.
std::wstring LongPath(const std::string& path);

// Opens what stands at `path` for `access`, sharing everything, a folder too: as it is when
// `followLink` is false, else what a link leads to.
Handle Open(const std::string& path, DWORD access, bool followLink);

// Opens a file to read its bytes, sharing everything, after a scanner has let go of it.
Handle OpenToRead(const std::string& path);

// Whether an error says that nothing stands at a path.
bool IsMissing(DWORD code);

// The directory entry of the name `path` ends in, a link not followed: its stored long name,
// also where `path` gives its 8.3 short name. False for a root, "." and "..", and where nothing
// stands.
bool FindName(const std::string& path, WIN32_FIND_DATAW& data);

// A reparse point is a link unless its tag says the file keeps its data in place (a cloud
// file's placeholder, a deduplicated file): symbolic links and junctions are name surrogates.
// Wine gives a link to a folder no tag.
bool IsLink(DWORD attributes, DWORD tag);

// The working folder's absolute path, and `path` with it in front where it is relative, as
// messages show paths.
std::string CurrentFolder();
std::string Absolute(const std::string& path);

SystemError SystemErrorOf(DWORD code);

enum class Intent
{
    Read,
    Change, // deleting, moving or replacing a file
    Create, // creating a new file in a folder: the first write there
};

// The failure of a change to `path` with `code`, and its cause: for access denied, the protected
// folder or, under the user's Documents or Desktop, Windows Security's Controlled folder access
// (the former, and the latter too, where Windows cannot tell); for a file not found while
// creating one there, the latter too; a full disk as no room.
FsError Refusal(DWORD code, Intent intent, const std::string& operation, const std::string& path);

// Raises Refusal's FsError for GetLastError().
[[noreturn]] void ThrowLastError(const std::string& operation, const std::string& path,
                                 Intent intent = Intent::Read);

// A scanner, the search indexer or a sync client holds a fresh file for some milliseconds:
// while `attempt` fails with access denied, a sharing or a lock violation, it is made again,
// after growing pauses, for about two seconds in all. Returns whether it succeeded at last;
// GetLastError() then gives the last failure.
bool RetryWhileHeld(const std::function<bool()>& attempt);

// Raises FsError for deleting, moving or replacing the file `path` that failed, after its
// retries, with `code`: as in use when another program holds it, with the holder where Windows
// can name it (access denied in Documents or on the Desktop from no named holder may be
// Controlled folder access, too), else as ThrowLastError does. `folderWritten`: a file was just
// created beside it, so access denied cannot be the folder's protection. `nothingChanged`: the
// command found it before its first change.
[[noreturn]] void ThrowChangeFailure(DWORD code, const std::string& operation,
                                     const std::string& path, bool folderWritten,
                                     bool nothingChanged = false);

// Whether this program runs under Wine, whose ntdll says its version.
bool UnderWine();

// Wine's Unix name for a Windows path; empty elsewhere.
std::string UnixName(const std::wstring& path);

// Under Wine a Unix symbolic link shows as a plain file, and deleting or moving it deletes or
// moves the file it points to: whether `file`, opened from `path` (its stored long name), was
// reached through such a link in its last component. Its target's path, as Linux names it, goes
// to `target`. False elsewhere, and for a hard link, which is a name of the file itself.
bool ThroughWineLink(HANDLE file, const std::string& path, std::string* target = nullptr);

} // namespace platform::win32
