#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace platform
{

// Keeps the other JOV Enable-Disable programs out of one game folder while it is held. The
// lock is an advisory lock on the folder itself (POSIX) or a named mutex keyed by the folder's
// identity (Windows), so it writes no file, any spelling of the folder shares it, and it goes
// with the process however that ends.
class FolderLock final
{
public:
    // Waits up to `patience` for the lock; nothing when another program still holds it then.
    // Raises FsError when the folder cannot be opened.
    static std::optional<FolderLock> Acquire(const std::string& folder,
                                             std::chrono::milliseconds patience);

    FolderLock(FolderLock&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
    FolderLock& operator=(FolderLock&& other) noexcept
    {
        std::swap(handle_, other.handle_);
        return *this;
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    static constexpr std::intptr_t kNone = -1;
    explicit FolderLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_; // the folder's open descriptor (POSIX), the held mutex (Windows)
};

} // namespace platform
