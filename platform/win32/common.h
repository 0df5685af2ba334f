#pragma once

#include "platform/fs_error.h"
#include "platform/path_text.h"

#include <windows.h>

#include <functional>
#include <string>

// What the Windows operations share: plain files, and failures as Windows reports them.
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

// The working folder's absolute path, and `path` with it in front where it is relative, as
// messages show paths.
std::string CurrentFolder();
std::string Absolute(const std::string& path);

// Plain files are no folders, no hidden and no system files; read-only and archived files are.
bool IsPlain(DWORD attributes);

SystemError SystemErrorOf(DWORD code);

enum class Intent
{
    Read,
    Change, // deleting, writing or replacing a file
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

// Raises FsError for deleting or replacing the plain, writable file `path` that failed, after
// its retries, with `code`: as in use when another program holds it, with the holder
// where Windows can name it (access denied in Documents or on the Desktop from no named holder
// may be Controlled folder access, too), else as ThrowLastError does. `folderWritten`: a file
// was just created beside it, so access denied cannot be the folder's protection.
// `nothingChanged`: the command found it before its first change.
[[noreturn]] void ThrowChangeFailure(DWORD code, const std::string& operation,
                                     const std::string& path, bool folderWritten,
                                     bool nothingChanged = false);

// Whether this program runs under Wine, whose ntdll says its version.
bool UnderWine();

// Under Wine, a Unix symbolic link shows as a plain file, and deleting or moving it deletes or
// moves the file it points to: raises FsError for `operation` on a `path` that Wine reaches
// through such a link in its last component. Elsewhere, and for anything else, does nothing.
void RefuseWineLink(const char* operation, const std::string& path, bool nothingChanged);

} // namespace platform::win32
