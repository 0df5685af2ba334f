#include "platform/native_file_system.h"

#include "platform/file_reader.h"
#include "platform/fs_error.h"
#include "platform/posix/resolve.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace platform
{
namespace
{

using namespace posix;

bool Missing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

// The file `path` names: as written where it is a file, else as case-blind resolution finds it.
std::string ExistingFile(const std::string& path)
{
    return ResolvePath(path, true);
}

// The path in its resolved folder, the last name as given.
std::string InResolvedFolder(const std::string& path)
{
    const Split split = SplitPath(path);
    return split.folder.empty() ? path : Join(ResolveFolder(split.folder), split.leaf);
}

std::int64_t Nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

enum class CopyFault
{
    None,
    Read,
    Write
};

// Copies in the kernel where it can, else through a buffer.
CopyFault CopyContents(int in, int out)
{
    bool kernelCopy = true;
    std::unique_ptr<char[]> buffer; // only where the kernel cannot copy, and left unfilled
    constexpr std::size_t kBufferSize = 1 << 17;
    for (;;) {
        if (kernelCopy) {
            const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (copied > 0) {
                continue;
            }
            if (copied == 0) {
                return CopyFault::None;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
                return errno == EIO ? CopyFault::Read : CopyFault::Write;
            }
            kernelCopy = false;
            buffer.reset(new char[kBufferSize]);
        }
        const ssize_t got = ::read(in, buffer.get(), kBufferSize);
        if (got == 0) {
            return CopyFault::None;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return CopyFault::Read;
        }
        if (!WriteAll(out, buffer.get(), static_cast<std::size_t>(got))) {
            return CopyFault::Write;
        }
    }
}

// A new temporary of our own form in `folder` (resolved only where it is not there as written),
// and its path; the caller owns both.
std::pair<Fd, std::string> NewTemporary(const std::string& folder, mode_t mode,
                                        const std::string& forPath)
{
    static unsigned serial = 0;
    std::string here = FolderOrHere(folder);
    for (bool resolved = false;;) {
        std::string path = Join(here, TemporaryName(ThisProcess(), ++serial));
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            return {Fd(fd), std::move(path)};
        }
        if (Missing(errno) && !resolved) {
            here = FolderOrHere(ResolveFolder(folder));
            resolved = true;
        } else if (errno != EEXIST) {
            ThrowErrno("write", Absolute(forPath));
        }
    }
}

// Removes a temporary that did not take its name, and raises the failure that stopped it.
[[noreturn]] void FailTemporary(const std::string& temporary, const std::string& operation,
                                const std::string& path)
{
    const int saved = errno;
    ::unlink(temporary.c_str());
    errno = saved;
    ThrowErrno(operation, Absolute(path));
}

bool SyncFolder(const std::string& folder)
{
    const Fd fd(::open(FolderOrHere(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.Get() >= 0 && ::fsync(fd.Get()) == 0;
}

int RenameAt(const std::string& from, const std::string& to, unsigned flags)
{
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags);
}

[[noreturn]] void FailMove(const std::string& path, int error)
{
    errno = error;
    ThrowErrno("move", Absolute(path));
}

bool Unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

unsigned long ThisProcess()
{
    return static_cast<unsigned long>(::getpid());
}

bool ProcessIsAlive(unsigned long id)
{
    const auto pid = static_cast<pid_t>(id);
    if (pid <= 0 || static_cast<unsigned long>(pid) != id) {
        return false;
    }
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

std::string NativeFileSystem::WorkingDir()
{
    return CurrentFolder();
}

void NativeFileSystem::SetWorkingDir(const std::string& folder)
{
    const std::string resolved = ResolveFolder(folder);
    if (::chdir(resolved.c_str()) != 0) {
        ThrowErrno("open the folder", Absolute(resolved));
    }
}

Listing NativeFileSystem::List(const std::string& folder)
{
    Listing listing = Scan(folder);
    if (!listing.found) {
        const std::string resolved = ResolveFolder(folder);
        if (resolved != folder) {
            listing = Scan(resolved);
        }
    }
    return listing;
}

FileStamp NativeFileSystem::Status(const std::string& path)
{
    FileStamp stamp;
    stamp.path = path;
    struct stat entry = {};
    if (::lstat(path.c_str(), &entry) != 0) {
        stamp.path = ResolvePath(path);
        if (stamp.path == path || ::lstat(stamp.path.c_str(), &entry) != 0) {
            return stamp;
        }
    }
    stamp.hidden = SplitPath(stamp.path).leaf.starts_with('.');
    stamp.link = S_ISLNK(entry.st_mode);
    struct stat info = entry;
    if (stamp.link && ::stat(stamp.path.c_str(), &info) != 0) {
        stamp.kind = EntryKind::Other;
        return stamp;
    }
    stamp.kind = S_ISDIR(entry.st_mode)  ? EntryKind::Folder
                 : S_ISREG(info.st_mode) ? EntryKind::File
                                         : EntryKind::Other;
    stamp.readOnly = IsReadOnly(entry);
    stamp.size = stamp.IsFile() ? static_cast<std::uintmax_t>(info.st_size) : 0;
    stamp.modified = Nanoseconds(info.st_mtim);
    stamp.changed = Nanoseconds(info.st_ctim);
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

Volume NativeFileSystem::VolumeOf(const std::string& folder)
{
    const std::string resolved = FolderOrHere(ResolveFolder(folder));
    struct statvfs info = {};
    if (::statvfs(resolved.c_str(), &info) != 0) {
        ThrowErrno("measure the free space of", Absolute(resolved));
    }
    return {static_cast<std::uintmax_t>(info.f_bavail) * info.f_frsize,
            static_cast<std::uintmax_t>(info.f_bsize)};
}

// A file another program has open is moved, deleted and replaced all the same: only a folder's
// readiness to take files is asked, with a file that has no name, or one that goes at once.
void NativeFileSystem::Probe(const std::string& path, Access access)
{
    if (access != Access::Create) {
        return;
    }
    const std::string here = FolderOrHere(ResolveFolder(path));
    Fd probe(::open(here.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (probe.Get() < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        const std::string name = Join(here, TemporaryName(ThisProcess(), 0));
        probe = Fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        ::unlink(name.c_str());
    }
    if (probe.Get() < 0) {
        ThrowErrno("write into", Absolute(here));
    }
}

std::string NativeFileSystem::ReadFile(const std::string& path, std::size_t limit)
{
    return ReadUpTo(ExistingFile(path), limit);
}

bool NativeFileSystem::SameContent(const std::string& a, const std::string& b)
{
    return SameBytes(ExistingFile(a), ExistingFile(b));
}

void NativeFileSystem::WriteFile(const std::string& path, std::string_view text)
{
    auto [fd, temporary] = NewTemporary(SplitPath(path).folder, 0666, path);
    const std::string folder = SplitPath(temporary).folder;
    const std::string target = Join(folder, SplitPath(path).leaf);
    if (!WriteAll(fd.Get(), text.data(), text.size()) || ::fsync(fd.Get()) != 0 ||
        ::close(fd.Release()) != 0) {
        FailTemporary(temporary, "write", target);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        FailTemporary(temporary, "replace", target);
    }
    // The rename itself reaches the disk only with its folder.
    SyncFolder(folder);
}

std::string NativeFileSystem::Stage(const std::string& source, const std::string& folder)
{
    std::string from = source;
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0 && Missing(errno)) {
        from = ResolvePath(source);
        in = Fd(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    }
    struct stat info = {};
    if (in.Get() < 0 || ::fstat(in.Get(), &info) != 0) {
        ThrowErrno("read", Absolute(from));
    }
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ThrowErrno("read", Absolute(from));
    }
    // Created with the source's permissions, and writable whatever they are.
    const std::string shown = Join(folder, SplitPath(from).leaf);
    auto [out, temporary] =
        NewTemporary(folder, (info.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)) | S_IWUSR, shown);
    switch (CopyContents(in.Get(), out.Get())) {
    case CopyFault::Read:
        FailTemporary(temporary, "read", from);
    case CopyFault::Write:
        FailTemporary(temporary, "write", shown);
    case CopyFault::None:
        break;
    }
    const std::array<timespec, 2> times{info.st_atim, info.st_mtim};
    if (::futimens(out.Get(), times.data()) != 0 || ::close(out.Release()) != 0) {
        FailTemporary(temporary, "write", shown);
    }
    return temporary;
}

Moved NativeFileSystem::Move(const std::string& from, const std::string& to,
                             const std::string& handedTo)
{
    std::string source = from;
    std::string target = to;
    int error = MoveNoReplace(source, target);
    // Names not there as written: resolved now, and only now.
    if (Missing(error)) {
        struct stat info = {};
        if (::lstat(source.c_str(), &info) != 0) {
            source = ResolvePath(from);
            if (::lstat(source.c_str(), &info) != 0) {
                return Moved::SourceMissing;
            }
        }
        target = InResolvedFolder(to);
        error = MoveNoReplace(source, target);
    }
    if (error == 0) {
        return Moved::Done;
    }
    if (error != EEXIST) {
        FailMove(target, error);
    }
    if (handedTo.empty()) {
        return Moved::TargetTaken;
    }
    return HandOver(source, target, handedTo);
}

// The new file at `source` takes `target`'s place; the old one goes to `handedTo`.
Moved NativeFileSystem::HandOver(const std::string& source, const std::string& target,
                                 const std::string& handedTo)
{
    int error = 0;
    std::string keeper = handedTo;
    if (exchange_) {
        // The new file takes the name that is to receive the old one, then the two swap: the
        // old file is never under a name of ours that a later command would sweep away.
        error = MoveNoReplace(source, keeper);
        if (Missing(error)) {
            keeper = InResolvedFolder(handedTo);
            error = MoveNoReplace(source, keeper);
        }
        if (error != 0) {
            FailMove(keeper, error);
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (RenameAt(keeper, target, RENAME_EXCHANGE) == 0) {
                return Moved::HandedOver;
            }
            error = errno;
            if (Missing(error)) { // the target went meanwhile, and may come again
                error = MoveNoReplace(keeper, target);
                if (error == 0) {
                    return Moved::Done;
                }
            }
            if (Unsupported(error)) {
                // Back where it was, for the two moves below.
                exchange_ = false;
                error = MoveNoReplace(keeper, source);
                if (error != 0) {
                    FailMove(keeper, error);
                }
                break;
            }
            if (error != EEXIST) {
                FailMove(target, error);
            }
        }
        if (exchange_) { // another program kept putting files at the target
            FailMove(target, EBUSY);
        }
    }
    // No swap here: the old file goes first, then the new one takes its name. For a moment
    // neither is at the target, but each has a name.
    keeper = InResolvedFolder(handedTo);
    error = MoveNoReplace(target, keeper);
    if (error != 0 && !Missing(error)) {
        FailMove(keeper, error);
    }
    const bool handed = error == 0;
    error = MoveNoReplace(source, target);
    if (error != 0) {
        FailMove(target, error);
    }
    return handed ? Moved::HandedOver : Moved::Done;
}

int NativeFileSystem::MoveNoReplace(const std::string& from, const std::string& to)
{
    if (renameFlags_) {
        if (RenameAt(from, to, RENAME_NOREPLACE) == 0) {
            return 0;
        }
        if (!Unsupported(errno)) {
            return errno;
        }
        renameFlags_ = false;
    }
    // exFAT, FAT and some shares have no move that never replaces: a look, then a plain move.
    struct stat info = {};
    if (::lstat(from.c_str(), &info) != 0) {
        return errno;
    }
    if (::lstat(to.c_str(), &info) == 0) {
        return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool NativeFileSystem::Remove(const std::string& path)
{
    std::string target = path;
    for (int round = 0; round < 2; ++round) {
        if (::unlink(target.c_str()) == 0) {
            return true;
        }
        if (errno == EISDIR || errno == EPERM) {
            if (::rmdir(target.c_str()) == 0) {
                return true;
            }
            if (errno != ENOTDIR) {
                ThrowErrno("remove", Absolute(target));
            }
            errno = EPERM;
        }
        if (!Missing(errno)) {
            ThrowErrno("delete", Absolute(target));
        }
        const std::string resolved = ResolvePath(path);
        if (resolved == target) {
            break;
        }
        target = resolved;
    }
    return false;
}

bool NativeFileSystem::MakeFolder(const std::string& path)
{
    std::string resolved = path;
    if (::mkdir(resolved.c_str(), 0777) == 0 ||
        (Missing(errno) && ::mkdir((resolved = InResolvedFolder(path)).c_str(), 0777) == 0)) {
        return true;
    }
    const int error = errno;
    struct stat info = {};
    if (error == EEXIST && ::lstat(resolved.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return false;
    }
    errno = error;
    ThrowErrno("make the folder", Absolute(resolved));
}

void NativeFileSystem::Flush(const std::string& folder)
{
    const std::string resolved = FolderOrHere(ResolveFolder(folder));
    const Fd fd(::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0 || ::syncfs(fd.Get()) != 0) {
        ThrowErrno("save to disk the changes in", Absolute(resolved));
    }
}

FileReader::FileReader(const std::string& path)
    : path_(path), handle_(::open(path_.c_str(), O_RDONLY | O_CLOEXEC))
{
    if (handle_ < 0) {
        ThrowErrno("read", Absolute(path_));
    }
}

FileReader::~FileReader()
{
    ::close(static_cast<int>(handle_));
}

std::size_t FileReader::Read(char* buffer, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(static_cast<int>(handle_), buffer + filled, size - filled);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno("read", Absolute(path_));
        }
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

} // namespace platform
