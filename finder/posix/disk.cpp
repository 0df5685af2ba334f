#include "finder/disk.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace finder
{
namespace
{

FolderId IdOf(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

EntryKind KindOf(mode_t mode)
{
    return S_ISDIR(mode)   ? EntryKind::Folder
           : S_ISREG(mode) ? EntryKind::File
           : S_ISLNK(mode) ? EntryKind::Link
                           : EntryKind::Other;
}

struct CloseFolder
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

bool ListFolder(const std::filesystem::path& folder,
                const std::function<bool(const FolderId&)>& enter,
                const std::function<bool(const std::string&, EntryKind)>& each)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat own
    {};
    std::unique_ptr<DIR, CloseFolder> dir(::fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return false;
    }
    if (::fstat(fd, &own) != 0) {
        return false;
    }
    if (!enter(IdOf(own))) {
        return true;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        EntryKind kind = entry->d_type == DT_DIR   ? EntryKind::Folder
                         : entry->d_type == DT_REG ? EntryKind::File
                         : entry->d_type == DT_LNK ? EntryKind::Link
                                                   : EntryKind::Other;
        struct stat status
        {};
        if (entry->d_type == DT_UNKNOWN) {
            kind = ::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
                       ? KindOf(status.st_mode)
                       : EntryKind::Other;
        }
        if (!each(std::string(name), kind)) {
            break;
        }
    }
    return true;
}

LinkTarget Follow(const std::filesystem::path& link)
{
    struct stat status
    {};
    if (::stat(link.c_str(), &status) != 0) {
        return {};
    }
    if (S_ISREG(status.st_mode)) {
        return {EntryKind::File, {}, {}};
    }
    std::array<char, PATH_MAX> real{};
    if (!S_ISDIR(status.st_mode) || ::realpath(link.c_str(), real.data()) == nullptr) {
        return {};
    }
    return {EntryKind::Folder, real.data(), IdOf(status)};
}

bool IsSystemFolder(const std::filesystem::path& real)
{
    const std::string_view text = real.native();
    if (text == "/") {
        return true;
    }
    for (const std::string_view system : {"/usr", "/proc", "/sys", "/dev"}) {
        if (text.starts_with(system) &&
            (text.size() == system.size() || text[system.size()] == '/')) {
            return true;
        }
    }
    return false;
}

FileBytes ReadRegularFile(const std::filesystem::path& file, std::size_t limit)
{
    using Outcome = FileBytes::Outcome;
    struct stat status
    {};
    if (::stat(file.c_str(), &status) != 0) {
        return FileBytes{errno == ENOENT || errno == ENOTDIR ? Outcome::Missing
                                                             : Outcome::Unreadable};
    }
    if (!S_ISREG(status.st_mode)) {
        return FileBytes{Outcome::Unreadable};
    }
    // Without blocking, and checked once open: a FIFO may have taken the file's place meanwhile.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return FileBytes{Outcome::Unreadable};
    }
    FileBytes read{Outcome::Read};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return FileBytes{Outcome::Unreadable};
    }
    // As large as the file says it is, and one byte more to see whether it grew past the limit.
    read.bytes.resize(std::min(static_cast<std::size_t>(status.st_size), limit) + 1);
    std::size_t got = 0;
    while (got < read.bytes.size()) {
        const ssize_t n = ::read(fd, read.bytes.data() + got, read.bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            read.outcome = Outcome::Unreadable;
            break;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
        if (got == read.bytes.size() && got <= limit) {
            read.bytes.resize(std::min(got * 2, limit + 1));
        }
    }
    ::close(fd);
    read.whole = got <= limit;
    read.bytes.resize(std::min(got, limit));
    return read;
}

} // namespace finder
