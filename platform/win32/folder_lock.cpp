#include "platform/folder_lock.h"

#include "platform/fs_error.h"
#include "platform/win32/common.h"

#include <cstdio>
#include <utility>

namespace platform
{

// A named mutex keyed by the folder's identity: the programs of one session see it, two
// spellings of the folder share it, no file is written, and a process that ends however it
// ends gives it up (its waiter gets it as abandoned, which is as good as released).
std::optional<FolderLock> FolderLock::Acquire(const std::string& folder,
                                              std::chrono::milliseconds patience)
{
    const win32::Handle handle = win32::Open(folder, 0, true);
    if (!handle.Valid()) {
        win32::ThrowLastError("open the folder", win32::Absolute(folder));
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle.Get(), &info)) {
        win32::ThrowLastError("lock the folder", win32::Absolute(folder));
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\jov-enable-%08lx-%08lx%08lx", info.dwVolumeSerialNumber,
                  info.nFileIndexHigh, info.nFileIndexLow);
    // A copy running as administrator made a lock that this one may not open: the folder is
    // busy until that copy ends and its lock goes with it.
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(patience.count());
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
    while (mutex == nullptr && ::GetLastError() == ERROR_ACCESS_DENIED) {
        if (::GetTickCount64() >= deadline) {
            return std::nullopt;
        }
        ::Sleep(50);
        mutex = ::CreateMutexW(nullptr, FALSE, name);
    }
    if (mutex == nullptr) {
        win32::ThrowLastError("lock the folder", win32::Absolute(folder));
    }
    const ULONGLONG now = ::GetTickCount64();
    const DWORD waited =
        ::WaitForSingleObject(mutex, static_cast<DWORD>(deadline > now ? deadline - now : 0));
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        return FolderLock(reinterpret_cast<std::intptr_t>(mutex));
    }
    const DWORD failure = ::GetLastError();
    ::CloseHandle(mutex);
    if (waited == WAIT_TIMEOUT) {
        return std::nullopt;
    }
    ::SetLastError(failure);
    win32::ThrowLastError("lock the folder", win32::Absolute(folder));
}

FolderLock::~FolderLock()
{
    if (handle_ != kNone) {
        const auto mutex = reinterpret_cast<HANDLE>(handle_);
        ::ReleaseMutex(mutex);
        ::CloseHandle(mutex);
    }
}

} // namespace platform
