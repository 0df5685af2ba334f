#include "platform/win32/common.h"

#include "platform/file_ops.h"
#include "platform/win32/unicode.h"

#include <cerrno>
#include <system_error>

namespace platform
{

SystemError FromErrno(int number)
{
    switch (number) {
    case EACCES:
    case EISDIR: // what Windows answers when a file operation meets a folder
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

} // namespace

bool IsPlain(DWORD attributes)
{
    return (attributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

SystemError SystemErrorOf(DWORD code)
{
    return {static_cast<int>(code), Explain(code)};
}

void ThrowLastError(const std::string& operation, const std::string& path, Intent intent)
{
    const DWORD code = ::GetLastError();
    std::string detail;
    if (code == ERROR_ACCESS_DENIED && intent == Intent::Change) {
        detail = "The game folder may be in a protected location such as Program Files: run "
                 "JOV Enable-Disable as administrator, or move the game to a folder of your own.";
    }
    throw FsError(SystemErrorOf(code), operation, path, std::move(detail));
}

} // namespace platform::win32
