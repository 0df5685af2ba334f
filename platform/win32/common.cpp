#include "platform/win32/common.h"

#include "platform/win32/unicode.h"

#include <knownfolders.h>
#include <restartmanager.h>
#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <optional>
#include <system_error>
#include <vector>

namespace platform
{

SystemError FromErrno(int number)
{
    // The few C library numbers that still reach here, as Windows words them; the switcher's own
    // refusals carry a cause and no number.
    switch (number) {
    case EACCES:
        return win32::SystemErrorOf(ERROR_ACCESS_DENIED);
    case ENOSPC:
        return win32::SystemErrorOf(ERROR_DISK_FULL);
    case ENOENT:
        return win32::SystemErrorOf(ERROR_FILE_NOT_FOUND);
    default:
        return {number, std::generic_category().message(number)};
    }
}

} // namespace platform

namespace platform::win32
{
namespace
{

// The system's text in English where Windows has it, else in the user's language.
std::string Explain(DWORD code)
{
    constexpr DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t* text = nullptr;
    DWORD length = 0;
    for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
        length = ::FormatMessageW(flags, nullptr, code, language, reinterpret_cast<LPWSTR>(&text),
                                  0, nullptr);
        if (length != 0) {
            break;
        }
    }
    if (length == 0) {
        return "Unknown error " + std::to_string(code);
    }
    std::string explanation = Utf8(std::wstring_view(text, length));
    ::LocalFree(text);
    explanation.erase(explanation.find_last_not_of(" \r\n") + 1);
    return explanation;
}

std::wstring FullPath(const std::string& path)
{
    const std::wstring wide = Wide(path);
    std::wstring full(::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(
        ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
    return full.empty() ? wide : full;
}

// Whether `path` lies in the user's Documents or on the Desktop, where Controlled folder access
// guards it; nothing where Windows cannot tell.
std::optional<bool> InUserFolder(const std::string& path)
{
    using GetFolder = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    using Free = void(WINAPI*)(LPVOID);
    static const auto getFolder = SystemFunction<GetFolder>(L"shell32.dll", "SHGetKnownFolderPath");
    static const auto free = SystemFunction<Free>(L"ole32.dll", "CoTaskMemFree");
    if (getFolder == nullptr || free == nullptr) {
        return std::nullopt;
    }
    const std::wstring full = FullPath(path);
    std::optional<bool> inside = false;
    for (const KNOWNFOLDERID* id : {&FOLDERID_Documents, &FOLDERID_Desktop}) {
        PWSTR folder = nullptr;
        if (FAILED(getFolder(*id, 0, nullptr, &folder))) {
            inside = std::nullopt;
        } else {
            const int length = static_cast<int>(std::wcslen(folder));
            if (full.size() > static_cast<std::size_t>(length) && full[length] == L'\\' &&
                ::CompareStringOrdinal(full.c_str(), length, folder, length, TRUE) == CSTR_EQUAL) {
                inside = true;
            }
        }
        free(folder);
        if (inside == true) {
            break;
        }
    }
    return inside;
}

// The programs that hold `path`, as the Restart Manager names them; empty where it cannot.
std::string HolderOf(const std::string& path)
{
    using Start = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
    using Register =
        DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
    using List = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
    using End = DWORD(WINAPI*)(DWORD);
    static const auto start = SystemFunction<Start>(L"rstrtmgr.dll", "RmStartSession");
    static const auto add = SystemFunction<Register>(L"rstrtmgr.dll", "RmRegisterResources");
    static const auto list = SystemFunction<List>(L"rstrtmgr.dll", "RmGetList");
    static const auto end = SystemFunction<End>(L"rstrtmgr.dll", "RmEndSession");
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start == nullptr || add == nullptr || list == nullptr || end == nullptr ||
        start(&session, 0, key) != ERROR_SUCCESS) {
        return {};
    }
    const std::wstring full = FullPath(path);
    LPCWSTR files[] = {full.c_str()};
    std::vector<RM_PROCESS_INFO> found(4);
    UINT count = 0;
    DWORD listed = ERROR_MORE_DATA;
    if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
        for (int round = 0; round < 3 && listed == ERROR_MORE_DATA; ++round) {
            UINT needed = 0;
            DWORD reasons = 0;
            count = static_cast<UINT>(found.size());
            listed = list(session, &needed, &count, found.data(), &reasons);
            found.resize(std::max<std::size_t>(needed, found.size()));
        }
    }
    end(session);
    std::string names;
    for (UINT i = 0; listed == ERROR_SUCCESS && i < count; ++i) {
        if (found[i].Process.dwProcessId != ::GetCurrentProcessId() &&
            found[i].strAppName[0] != L'\0') {
            names += (names.empty() ? "" : " and ") + Utf8(found[i].strAppName);
        }
    }
    return names;
}

// Whether another program holds `path` that Windows would not delete, although it is neither
// read-only nor a folder: it cannot be opened to be deleted while the folder takes new files,
// or it can, and is still refused, as the program file of a running program is.
bool HeldElsewhere(const std::string& path)
{
    const Handle file(::CreateFileW(LongPath(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.Valid()) {
        return true;
    }
    const DWORD code = ::GetLastError();
    if (code != ERROR_ACCESS_DENIED) {
        return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
    }
    return Open(SplitPath(path).folder, FILE_ADD_FILE, true).Valid();
}

} // namespace

std::wstring LongPath(const std::string& path)
{
    const std::wstring full = FullPath(FolderOrHere(path));
    // Already long, or a device ("\\.\NUL"): as it is.
    if (full.starts_with(LR"(\\?\)") || full.starts_with(LR"(\\.\)")) {
        return full;
    }
    return full.starts_with(LR"(\\)") ? LR"(\\?\UNC\)" + full.substr(2) : LR"(\\?\)" + full;
}

Handle Open(const std::string& path, DWORD access, bool followLink)
{
    return Handle(::CreateFileW(
        LongPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr));
}

Handle OpenToRead(const std::string& path)
{
    const std::wstring wide = LongPath(path);
    HANDLE handle = INVALID_HANDLE_VALUE;
    RetryWhileHeld([&] {
        handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    return Handle(handle);
}

bool FindName(const std::string& path, WIN32_FIND_DATAW& data)
{
    const std::string leaf = SplitPath(path).leaf;
    if (leaf.empty() || leaf == "." || leaf == ".." || leaf.find_first_of("*?") != leaf.npos) {
        return false;
    }
    const HANDLE find = ::FindFirstFileExW(LongPath(path).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(find);
    return true;
}

bool IsLink(DWORD attributes, DWORD tag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (tag == 0 || IsReparseTagNameSurrogate(tag));
}

bool IsMissing(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_INVALID_NAME || code == ERROR_DIRECTORY;
}

std::string CurrentFolder()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            ThrowLastError("find the working folder", ".");
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return Utf8(buffer);
        }
        buffer.resize(length);
    }
}

std::string Absolute(const std::string& path)
{
    try {
        return Shown(path, IsAbsolute(path) ? std::string() : CurrentFolder());
    } catch (const FsError&) {
        return path;
    }
}

SystemError SystemErrorOf(DWORD code)
{
    return {static_cast<int>(code), Explain(code)};
}

FsError Refusal(DWORD code, Intent intent, const std::string& operation, const std::string& path)
{
    const bool denied = code == ERROR_ACCESS_DENIED;
    FailureCause cause = code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL
                             ? FailureCause::NoRoom
                             : FailureCause::Other;
    FailureFigures figures;
    if (intent != Intent::Read &&
        (denied || (code == ERROR_FILE_NOT_FOUND && intent == Intent::Create))) {
        const std::optional<bool> inUserFolder = InUserFolder(path);
        if (denied && inUserFolder != true) {
            cause = FailureCause::Protected;
            figures.alsoControlled = inUserFolder != false;
        } else if (inUserFolder != false) {
            cause = FailureCause::ControlledFolderAccess;
        }
    }
    return FsError(SystemErrorOf(code), operation, path, cause, std::move(figures));
}

void ThrowLastError(const std::string& operation, const std::string& path, Intent intent)
{
    throw Refusal(::GetLastError(), intent, operation, path);
}

bool RetryWhileHeld(const std::function<bool()>& attempt)
{
    constexpr DWORD kPatience = 2000; // milliseconds
    DWORD waited = 0;
    for (DWORD pause = 10;; pause *= 2) {
        if (attempt()) {
            return true;
        }
        const DWORD code = ::GetLastError();
        const bool held = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ||
                          code == ERROR_LOCK_VIOLATION;
        if (!held || waited >= kPatience) {
            ::SetLastError(code);
            return false;
        }
        pause = std::min(pause, kPatience - waited);
        ::Sleep(pause);
        waited += pause;
    }
}

void ThrowChangeFailure(DWORD code, const std::string& operation, const std::string& path,
                        bool folderWritten, bool nothingChanged)
{
    // Windows could not rename the file it was to replace: held, as access denied is.
    const bool denied = code == ERROR_ACCESS_DENIED || code == ERROR_UNABLE_TO_REMOVE_REPLACED;
    const bool inUse = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
                       (denied && (folderWritten || HeldElsewhere(path)));
    if (!inUse) {
        ::SetLastError(code);
        ThrowLastError(operation, path, Intent::Change);
    }
    FailureFigures figures{.holder = HolderOf(path), .nothingChanged = nothingChanged};
    // Controlled folder access refuses as a holder does, but names no program.
    figures.alsoControlled =
        denied && !folderWritten && figures.holder.empty() && InUserFolder(path) != false;
    throw FsError(SystemErrorOf(code), operation, path, FailureCause::InUse, std::move(figures));
}

} // namespace platform::win32
