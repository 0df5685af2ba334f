#include "host.h"

#include "game_folder.h"

#include <windows.h>

namespace
{

// As the C runtime's parser reads it back: backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& arg)
{
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

HANDLE Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(path.wstring().c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Programs started here end when this process ends, however it ends.
HANDLE Job()
{
    static const HANDLE job = [] {
        const HANDLE created = ::CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                  sizeof limits);
        return created;
    }();
    return job;
}

std::string Text(std::string bytes)
{
    std::erase(bytes, '\r');
    return bytes;
}

} // namespace

Child StartChild(std::vector<std::string> argv, const ChildOptions& options)
{
    std::wstring commandLine;
    for (const std::string& arg : argv) {
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(FromUtf8(arg).wstring());
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inheritable("NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = Inheritable(options.output / "stdout", GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = Inheritable(options.output / "stderr", GENERIC_WRITE, CREATE_ALWAYS);
    if (!options.environment.empty() || options.fileSizeLimit >= 0 || options.asNobody) {
        ADD_FAILURE() << "a child option that only POSIX has";
    }
    PROCESS_INFORMATION process = {};
    const BOOL started =
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    for (const HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        ::CloseHandle(handle);
    }
    if (!started) {
        ADD_FAILURE() << "cannot start " << argv.front() << ": error " << ::GetLastError();
        return reinterpret_cast<Child>(INVALID_HANDLE_VALUE);
    }
    ::AssignProcessToJobObject(Job(), process.hProcess);
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);
    return reinterpret_cast<Child>(process.hProcess);
}

Outcome WaitChild(Child child, const ChildOptions& options)
{
    const auto process = reinterpret_cast<HANDLE>(child);
    if (process == INVALID_HANDLE_VALUE) {
        return {};
    }
    DWORD status = static_cast<DWORD>(-1);
    ::WaitForSingleObject(process, INFINITE);
    ::GetExitCodeProcess(process, &status);
    ::CloseHandle(process);
    return {static_cast<int>(status), Text(Slurp(options.output / "stdout")),
            Text(Slurp(options.output / "stderr"))};
}

bool KillChild(Child child)
{
    const auto process = reinterpret_cast<HANDLE>(child);
    if (process == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, INFINITE);
    ::CloseHandle(process);
    return running;
}

long OwnProcessId()
{
    return static_cast<long>(::GetCurrentProcessId());
}

long EndedProcessId()
{
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                          nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start a process: error " << ::GetLastError();
        return 0;
    }
    ::TerminateProcess(process.hProcess, 0);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<long>(process.dwProcessId);
}

// Counted one by one: under Wine GetProcessHandleCount always answers 0.
std::size_t OpenHandles()
{
    std::size_t count = 0;
    for (std::uintptr_t value = 4; value < (1u << 16); value += 4) {
        DWORD flags = 0;
        count += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}

std::size_t AllocatedBytes()
{
    std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr));
    heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    std::size_t bytes = 0;
    for (const HANDLE heap : heaps) {
        ::HeapLock(heap);
        PROCESS_HEAP_ENTRY entry = {};
        while (::HeapWalk(heap, &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                bytes += entry.cbData;
            }
        }
        ::HeapUnlock(heap);
    }
    return bytes;
}

void HideIfDotName(const std::filesystem::path& path)
{
    if (path.filename().native().starts_with(L'.')) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
}
