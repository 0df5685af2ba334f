#include "platform/win32/unicode.h"

#include "platform/win32/common.h"

#include <conio.h>
#include <cstdio>
#include <cstdlib>

namespace platform::win32
{

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(
        static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
        L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(),
                          static_cast<int>(wide.size()));
    return wide;
}

std::string Utf8(std::wstring_view utf16)
{
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    std::string utf8(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size,
                                                                    nullptr, 0, nullptr, nullptr)),
                     '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, utf8.data(),
                          static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(Utf8(argv[i]));
    }
    return args;
}

void UseUtf8Console()
{
    // The console's code page outlives the program: the one it had comes back at exit.
    static const UINT previous = ::GetConsoleOutputCP();
    if (previous != 0 && ::SetConsoleOutputCP(CP_UTF8)) {
        std::atexit([] { ::SetConsoleOutputCP(previous); });
    }
}

bool AloneInConsole()
{
    // A script's or launcher's run shares its console, has none shown, or has its input or
    // output elsewhere: it never waits for a key.
    DWORD processes[2] = {};
    DWORD mode = 0;
    const HWND window = ::GetConsoleWindow();
    return ::GetConsoleProcessList(processes, 2) == 1 && window != nullptr &&
           ::IsWindowVisible(window) && ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) &&
           ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

void WaitForKey()
{
    std::fputs("\nPress any key to close this window.", stdout);
    std::fflush(stdout);
    ::FlushConsoleInputBuffer(::GetStdHandle(STD_INPUT_HANDLE));
    _getch();
}

} // namespace platform::win32
