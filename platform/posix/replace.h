#pragma once

#include "platform/posix/resolve.h"

#include <string>
#include <utility>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace platform::posix
{

class Fd final
{
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size);

// A file that grants write access to nobody; a link never is.
bool IsReadOnly(const struct stat& info);

// Folders and read-only files are neither deleted nor replaced, whoever runs the program:
// raises FsError for `operation` on such a target. Returns whether the target exists (errno
// tells why not).
bool RefuseFolderOrReadOnly(const char* operation, const std::string& target);

// Writes new content beside the target and puts it in place whole, so a reader sees the old
// file or the new one, never a mix. A new file is written without a name and linked in at the
// end, so nothing of it shows or stays behind if the program is killed; a file that replaces
// another is written under a hidden temporary name and renamed over it. Leftovers of
// interrupted runs in the folder go first. The temporary goes unless Commit() put it in place.
class PendingReplace final
{
public:
    PendingReplace(Names& names, const ResolvedFile& target, mode_t mode);
    ~PendingReplace();
    PendingReplace(const PendingReplace&) = delete;
    PendingReplace& operator=(const PendingReplace&) = delete;

    int Descriptor() const { return fd_.Get(); }
    const std::string& Folder() const { return folder_; }

    // Removes the temporary and raises FsError for `operation` on `path` with the current errno.
    [[noreturn]] void Fail(const std::string& operation, const std::string& path);
    void Commit();

private:
    void Finish();

    Names& names_;
    std::string target_;
    std::string folder_;
    Fd fd_;
    std::string temporary_; // empty while the new file has no name
};

} // namespace platform::posix
