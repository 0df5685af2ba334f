#include "platform/native_file_system.h"

#include "platform/file_reader.h"
#include "platform/fs_error.h"
#include "platform/name_match.h"
#include "platform/posix/replace.h"
#include "platform/posix/resolve.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform
{
namespace
{

using namespace posix;

bool IsHiddenName(const std::string& name)
{
    return !name.empty() && name.front() == '.';
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

// Puts a file's data, or a folder's names, on disk.
bool SyncFile(const std::string& path)
{
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.Get() >= 0 && ::fsync(fd.Get()) == 0;
}

struct Source
{
    Fd fd;
    std::string path;
    struct stat info;
};

// The exact name first, as a listing hands names over; another case variant only when that is
// no regular file.
Source OpenSource(Names& names, const std::string& name)
{
    Source source{Fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC)), name, {}};
    const auto regular = [&] {
        return source.fd.Get() >= 0 && ::fstat(source.fd.Get(), &source.info) == 0 &&
               S_ISREG(source.info.st_mode);
    };
    if (regular()) {
        return source;
    }
    source.path = names.ResolveFile(name).path;
    source.fd = Fd(::open(source.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.fd.Get() < 0 || ::fstat(source.fd.Get(), &source.info) != 0) {
        ThrowErrno("read", Absolute(source.path));
    }
    if (!S_ISREG(source.info.st_mode)) {
        errno = S_ISDIR(source.info.st_mode) ? EISDIR : EINVAL;
        ThrowErrno("read", Absolute(source.path));
    }
    return source;
}

} // namespace

struct NativeFileSystem::State
{
    Names names;
};

NativeFileSystem::NativeFileSystem() : state_(std::make_unique<State>()) {}

NativeFileSystem::~NativeFileSystem() = default;

void NativeFileSystem::BeginBatch()
{
    state_->names.BeginBatch();
}

void NativeFileSystem::EndBatch()
{
    state_->names.EndBatch();
}

std::string NativeFileSystem::WorkingDir()
{
    return CurrentFolder();
}

std::string NativeFileSystem::Absolute(const std::string& path)
{
    return posix::Absolute(path);
}

void NativeFileSystem::SetWorkingDir(const std::string& folder)
{
    const std::string resolved = state_->names.ResolveFolder(folder);
    if (::chdir(resolved.c_str()) != 0) {
        ThrowErrno("open the folder", posix::Absolute(resolved));
    }
    state_->names.ForgetRelativeNames();
}

std::vector<std::string> NativeFileSystem::ListPlainFiles(const std::string& pattern)
{
    const Split split = SplitPath(pattern);
    std::vector<std::string> names;
    if (split.leaf.empty()) {
        return names;
    }
    const std::string folder = FolderOrHere(state_->names.ResolveFolder(split.folder));
    const FolderIndex* index = state_->names.ListedIndex(folder);
    if (index == nullptr) {
        return names;
    }
    const auto take = [&](const Entry& entry) {
        if (!IsHiddenName(entry.name) && IsRegularEntry(folder, entry)) {
            names.push_back(entry.name);
        }
    };
    if (!HasWildcard(split.leaf)) {
        if (const auto* variants = index->VariantsOf(split.leaf)) {
            std::for_each(variants->begin(), variants->end(), take);
        }
        return names;
    }
    index->ForEach([&](const Entry& entry) {
        if (MatchesPattern(entry.name, split.leaf)) {
            take(entry);
        }
    });
    std::sort(names.begin(), names.end());
    return names;
}

void NativeFileSystem::RemoveFile(const std::string& name)
{
    const std::string target = state_->names.ResolveFile(name).path;
    if (!RefuseFolderOrReadOnly("delete", target) || ::unlink(target.c_str()) != 0) {
        ThrowErrno("delete", Absolute(target));
    }
    const Split split = SplitPath(target);
    state_->names.NoteRemoved(FolderOrHere(split.folder), split.leaf);
}

void NativeFileSystem::CopyFileReplacing(const std::string& source, const std::string& destination)
{
    const Source from = OpenSource(state_->names, source);
    const ResolvedFile to = state_->names.ResolveFile(destination);
    // Created with the source's permissions, and writable whatever they are.
    PendingReplace replace(state_->names, to,
                           (from.info.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)) | S_IWUSR);
    switch (CopyContents(from.fd.Get(), replace.Descriptor())) {
    case CopyFault::Read:
        replace.Fail("read", Absolute(from.path));
    case CopyFault::Write:
        replace.Fail("write", Absolute(to.path));
    case CopyFault::None:
        break;
    }
    const std::array<timespec, 2> times{from.info.st_atim, from.info.st_mtim};
    if (::futimens(replace.Descriptor(), times.data()) != 0) {
        replace.Fail("write", Absolute(to.path));
    }
    replace.Commit();
}

void NativeFileSystem::WriteTextFile(const std::string& path, std::string_view text)
{
    const ResolvedFile target = state_->names.ResolveFile(path);
    PendingReplace replace(state_->names, target, 0666);
    if (!WriteAll(replace.Descriptor(), text.data(), text.size()) ||
        ::fsync(replace.Descriptor()) != 0) {
        replace.Fail("write", Absolute(target.path));
    }
    replace.Commit();
    // The rename itself reaches the disk only with its folder.
    Fd folder(::open(replace.Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0) {
        ::fsync(folder.Get());
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

FileStamp NativeFileSystem::StampOf(const std::string& path)
{
    const ResolvedFile file = state_->names.ResolveFile(path);
    struct stat entry = {};
    if (file.knownMissing || ::lstat(file.path.c_str(), &entry) != 0) {
        return {};
    }
    // A link's target is the file; the link itself is never read-only.
    struct stat info = entry;
    if (S_ISLNK(entry.st_mode) && ::stat(file.path.c_str(), &info) != 0) {
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        return {};
    }
    FileStamp stamp;
    stamp.exists = true;
    stamp.path = file.path;
    stamp.size = static_cast<std::uintmax_t>(info.st_size);
    stamp.modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.readOnly = IsReadOnly(entry);
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

bool NativeFileSystem::SameContent(const std::string& a, const std::string& b)
{
    return SameBytes(state_->names.ResolveFile(a).path, state_->names.ResolveFile(b).path);
}

std::string NativeFileSystem::ReadTextFile(const std::string& path, std::size_t limit)
{
    return ReadUpTo(state_->names.ResolveFile(path).path, limit);
}

void NativeFileSystem::KeepFile(const std::string& path, const std::string& kept, Keeping how)
{
    const std::string target = state_->names.ResolveFile(path).path;
    const Split to = SplitPath(kept);
    const std::string keptFolder = FolderOrHere(state_->names.ResolveFolder(to.folder));
    const std::string keptPath = Join(keptFolder, to.leaf);
    const char* operation = how == Keeping::Move ? "delete" : "replace";
    if (!RefuseFolderOrReadOnly(operation, target)) {
        ThrowErrno(operation, Absolute(target));
    }
    // Neither a new link nor a move without replacing ever takes the place of a file there.
    bool done = how == Keeping::Move ? ::renameat2(AT_FDCWD, target.c_str(), AT_FDCWD,
                                                   keptPath.c_str(), RENAME_NOREPLACE) == 0
                                     : ::link(target.c_str(), keptPath.c_str()) == 0;
    if (!done && how == Keeping::Move && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without a move that never replaces (exFAT, FAT, some shares) still
        // moves: the run's folder is this command's own, kept by the folder lock, and the name
        // is free there.
        struct stat info = {};
        if (::lstat(keptPath.c_str(), &info) == 0) {
            errno = EEXIST;
            ThrowErrno("keep a copy of", Absolute(target));
        }
        done = ::rename(target.c_str(), keptPath.c_str()) == 0;
    }
    if (!done) {
        // A file system without links, or another file system, gets a copy.
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS &&
            errno != EINVAL && errno != EXDEV) {
            ThrowErrno("keep a copy of", Absolute(target));
        }
        if (KindOf(keptPath) != EntryKind::Missing) {
            errno = EEXIST;
            ThrowErrno("keep a copy of", Absolute(target));
        }
        CopyFileReplacing(target, keptPath);
        // The copy and its name are on disk before the original is replaced or removed.
        if (!SyncFile(keptPath) || !SyncFile(keptFolder)) {
            ThrowErrno("keep a copy of", Absolute(target));
        }
        if (how == Keeping::Move && ::unlink(target.c_str()) != 0) {
            ThrowErrno(operation, Absolute(target));
        }
    }
    state_->names.NoteAdded(keptFolder, to.leaf);
    if (how == Keeping::Move) {
        const Split from = SplitPath(target);
        state_->names.NoteRemoved(FolderOrHere(from.folder), from.leaf);
    }
}

void NativeFileSystem::PutBack(const std::string& kept, const std::string& path)
{
    const std::string target = state_->names.ResolveFile(path).path;
    const std::string from = state_->names.ResolveFile(kept).path;
    RefuseFolderOrReadOnly("put back", target);
    if (::rename(from.c_str(), target.c_str()) != 0) {
        struct stat info = {};
        if (::lstat(from.c_str(), &info) != 0) {
            ThrowErrno("put back", Absolute(from)); // the backup's file is what fails
        }
        if (errno != EXDEV) {
            ThrowErrno("put back", Absolute(target));
        }
        // The backup on another file system: copied back whole and put on disk, then taken out
        // of the backup.
        CopyFileReplacing(from, target);
        if (!SyncFile(target) || !SyncFile(FolderOrHere(SplitPath(target).folder))) {
            ThrowErrno("put back", Absolute(target));
        }
        if (::unlink(from.c_str()) != 0) {
            ThrowErrno("put back", Absolute(from));
        }
    }
    const Split gone = SplitPath(from);
    const Split to = SplitPath(target);
    state_->names.NoteRemoved(FolderOrHere(gone.folder), gone.leaf);
    state_->names.NoteAdded(FolderOrHere(to.folder), to.leaf);
}

EntryKind NativeFileSystem::KindOf(const std::string& path)
{
    struct stat info = {};
    if (::lstat(state_->names.ResolveFolder(path).c_str(), &info) != 0) {
        return EntryKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::Other;
}

FileIdentity NativeFileSystem::IdentityOf(const std::string& path)
{
    struct stat info = {};
    if (::stat(state_->names.ResolveFolder(path).c_str(), &info) != 0) {
        return {};
    }
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// A temporary of our own form, made and gone again; no process may make that name but this one.
bool NativeFileSystem::TakesLinks(const std::string& folder)
{
    const std::string here = FolderOrHere(state_->names.ResolveFolder(folder));
    const std::string first = Join(here, TemporaryName(static_cast<unsigned long>(::getpid()), 0));
    const std::string second =
        Join(here, TemporaryName(static_cast<unsigned long>(::getpid()), 1u << 31));
    const Fd made(::open(first.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (made.Get() < 0) {
        return false;
    }
    const bool linked = ::link(first.c_str(), second.c_str()) == 0;
    ::unlink(second.c_str());
    ::unlink(first.c_str());
    return linked;
}

void NativeFileSystem::CheckTakesFiles(const std::string& folder)
{
    const std::string here = FolderOrHere(state_->names.ResolveFolder(folder));
    // A file without a name where the system makes one, so that nothing can stay behind.
    Fd probe(::open(here.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (probe.Get() < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        const std::string name =
            Join(here, TemporaryName(static_cast<unsigned long>(::getpid()), 0));
        probe = Fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        ::unlink(name.c_str());
    }
    if (probe.Get() < 0) {
        ThrowErrno("write into", Absolute(here));
    }
}

bool NativeFileSystem::MakeFolder(const std::string& path)
{
    const std::string resolved = state_->names.ResolveFolder(path);
    if (::mkdir(resolved.c_str(), 0777) == 0) {
        const Split split = SplitPath(resolved);
        state_->names.NoteAdded(FolderOrHere(split.folder), split.leaf, DT_DIR);
        return true;
    }
    if (errno == EEXIST && KindOf(resolved) == EntryKind::Folder) {
        return false;
    }
    ThrowErrno("make the folder", Absolute(resolved));
}

void NativeFileSystem::RemoveFolder(const std::string& path)
{
    const std::string resolved = state_->names.ResolveFolder(path);
    if (::rmdir(resolved.c_str()) != 0) {
        ThrowErrno("remove the folder", Absolute(resolved));
    }
    const Split split = SplitPath(resolved);
    state_->names.NoteRemoved(FolderOrHere(split.folder), split.leaf);
}

std::vector<std::string> NativeFileSystem::ListFolders(const std::string& folder)
{
    const std::string resolved = FolderOrHere(state_->names.ResolveFolder(folder));
    std::vector<std::string> names;
    if (const FolderIndex* index = state_->names.ListedIndex(resolved)) {
        index->ForEach([&](const Entry& entry) {
            if (IsRealFolderEntry(resolved, entry)) {
                names.push_back(entry.name);
            }
        });
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::uintmax_t NativeFileSystem::FreeSpace(const std::string& folder)
{
    const std::string resolved = FolderOrHere(state_->names.ResolveFolder(folder));
    struct statvfs info = {};
    if (::statvfs(resolved.c_str(), &info) != 0) {
        ThrowErrno("measure the free space of", Absolute(resolved));
    }
    return static_cast<std::uintmax_t>(info.f_bavail) * info.f_frsize;
}

void NativeFileSystem::CheckReplaceable(const std::string& path)
{
    RefuseFolderOrReadOnly("replace", state_->names.ResolveFile(path).path);
}

// A file another program has open is deleted and replaced all the same.
void NativeFileSystem::CheckNotInUse(const std::string&) {}

void NativeFileSystem::FlushToDisk(const std::string& folder)
{
    const std::string resolved = FolderOrHere(state_->names.ResolveFolder(folder));
    const Fd fd(::open(resolved.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0 || ::syncfs(fd.Get()) != 0) {
        ThrowErrno("save to disk the changes in", Absolute(resolved));
    }
}

} // namespace platform
