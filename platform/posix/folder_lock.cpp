#include "platform/folder_lock.h"

#include "platform/fs_error.h"
#include "platform/posix/resolve.h"

#include <cerrno>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform
{

std::optional<FolderLock> FolderLock::Acquire(const std::string& folder,
                                              std::chrono::milliseconds patience)
{
    const std::string resolved = posix::ResolveFolder(folder);
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        ThrowErrno("open the folder", resolved);
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return FolderLock(fd);
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            ThrowErrno("lock the folder", resolved);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

FolderLock::~FolderLock()
{
    if (handle_ != kNone) {
        ::close(static_cast<int>(handle_)); // closing the last descriptor releases the lock
    }
}

} // namespace platform
