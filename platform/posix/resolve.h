#pragma once

#include "platform/file_system.h"
#include "platform/path_text.h"

#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

// Case-blind names on a file system that tells case apart. A path whose every component exists
// as written costs the call that uses it and lists nothing; a folder is listed only to find a
// name that is not there as written. A folder the program only passes through is never listed,
// so it may deny listing.
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

// The names in `folder` with their kinds, links counted as what they point to; `found` false
// when it is no folder.
Listing Scan(const std::string& folder);

// A folder path with each component the exact name when it is a folder, else its smallest case
// variant that is one, else as given.
std::string ResolveFolder(const std::string& folder);

// A path whose folder part resolves as ResolveFolder does and whose last component is the exact
// name when something stands there (a file, with `file`), else the smallest case variant that
// is a file, else (without `file`) the smallest variant at all, else as given.
std::string ResolvePath(const std::string& path, bool file = false);

// The working folder's absolute path, and `path` with it in front where it is relative, as
// messages show paths.
std::string CurrentFolder();
std::string Absolute(const std::string& path);

} // namespace platform::posix
