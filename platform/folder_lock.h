#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace platform
{

// Keeps the other JOV Enable-Disable programs out of one game folder while it is held. The
// lock is an advisory lock on the folder itself, so it writes no file and goes with the
// process however that ends.
class FolderLock final
{
public:
    // Waits up to `patience` for the lock; nothing when another program still holds it then.
    // Raises FsError when the folder cannot be opened.
    static std::optional<FolderLock> Acquire(const std::string& folder,
                                             std::chrono::milliseconds patience);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    explicit FolderLock(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace platform
