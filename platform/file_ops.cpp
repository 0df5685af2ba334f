#include "platform/file_ops.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform
{
namespace
{

constexpr std::size_t kStateFileReadLimit = 4096;

// ---- small POSIX helpers -------------------------------------------------------------------

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

struct Split
{
    std::string folder; // empty: the working folder
    std::string leaf;
};

Split SplitPath(const std::string& path)
{
    const auto cut = path.rfind(kSeparator);
    if (cut == std::string::npos) {
        return {"", path};
    }
    return {path.substr(0, cut == 0 ? 1 : cut), path.substr(cut + 1)};
}

std::string Join(const std::string& folder, const std::string& leaf)
{
    if (folder.empty()) {
        return leaf;
    }
    return folder.back() == kSeparator ? folder + leaf : folder + kSeparator + leaf;
}

std::string FolderOrHere(const std::string& folder)
{
    return folder.empty() ? std::string(".") : folder;
}

std::string CurrentFolder()
{
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            ThrowErrno("find the working folder", ".");
        }
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

// For messages: a relative name is reported with the working folder in front.
std::string Absolute(const std::string& path)
{
    if (!path.empty() && path.front() == kSeparator) {
        return path;
    }
    try {
        return Join(CurrentFolder(), path);
    } catch (const FsError&) {
        return path;
    }
}

bool IsHiddenName(const std::string& name)
{
    return !name.empty() && name.front() == '.';
}

bool IsReadOnly(const struct stat& info)
{
    return !S_ISLNK(info.st_mode) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool IsRegularFollowingLinks(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// ---- folder contents, remembered within a batch ---------------------------------------------

struct Entry
{
    std::string name;
    unsigned char type; // d_type; DT_UNKNOWN when the file system does not say
};

struct FolderScan
{
    std::vector<Entry> entries;
};

// Reads a folder whole. Returns nothing when the folder does not exist or is no folder.
std::optional<FolderScan> ScanFolder(const std::string& folder)
{
    FolderScan scan;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        ThrowErrno("list", folder);
    }
    errno = 0;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..") {
            scan.entries.push_back({std::string(name), item->d_type});
        }
        errno = 0;
    }
    if (errno != 0) {
        ThrowErrno("list", folder);
    }
    return scan;
}

// Case variants of every name in one folder, each list sorted byte-wise.
struct FolderIndex
{
    std::unordered_map<std::string, std::vector<std::string>> variants;
    std::vector<std::string> temporaries;

    explicit FolderIndex(const FolderScan& scan)
    {
        variants.reserve(scan.entries.size());
        for (const Entry& entry : scan.entries) {
            variants[FoldCase(entry.name)].push_back(entry.name);
            if (entry.name.starts_with(kTemporaryPrefix)) {
                temporaries.push_back(entry.name);
            }
        }
        for (auto& [folded, names] : variants) {
            std::sort(names.begin(), names.end());
        }
    }

    const std::vector<std::string>* VariantsOf(const std::string& name) const
    {
        const auto found = variants.find(FoldCase(name));
        return found == variants.end() ? nullptr : &found->second;
    }

    void Add(const std::string& name)
    {
        auto& names = variants[FoldCase(name)];
        const auto at = std::lower_bound(names.begin(), names.end(), name);
        if (at == names.end() || *at != name) {
            names.insert(at, name);
        }
    }

    void Remove(const std::string& name)
    {
        const auto found = variants.find(FoldCase(name));
        if (found == variants.end()) {
            return;
        }
        std::erase(found->second, name);
        if (found->second.empty()) {
            variants.erase(found);
        }
    }
};

struct FolderKey
{
    dev_t device;
    ino_t inode;
    auto operator<=>(const FolderKey&) const = default;
};

// What a batch remembers: each folder's index, and which folder each path names. A relative
// path's folder depends on the working folder, so those names are forgotten when it changes.
struct BatchMemory
{
    std::map<FolderKey, FolderIndex> indexes;
    std::unordered_map<std::string, FolderKey> folders;
    std::unordered_map<std::string, std::string> resolved;
};

int batchDepth = 0;
BatchMemory memory;

std::optional<FolderKey> KeyOf(const std::string& folder)
{
    if (batchDepth > 0) {
        if (const auto known = memory.folders.find(folder); known != memory.folders.end()) {
            return known->second;
        }
    }
    struct stat info = {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    const FolderKey key{info.st_dev, info.st_ino};
    if (batchDepth > 0) {
        memory.folders.emplace(folder, key);
    }
    return key;
}

// The index of `folder`: read afresh outside a batch, once within one. Null when the folder
// does not exist. Outside a batch the result lives until the next call.
FolderIndex* IndexOf(const std::string& folder)
{
    static std::optional<FolderIndex> scratch;
    const auto key = KeyOf(folder);
    if (!key) {
        return nullptr;
    }
    if (batchDepth > 0) {
        if (const auto found = memory.indexes.find(*key); found != memory.indexes.end()) {
            return &found->second;
        }
    }
    const auto scan = ScanFolder(folder);
    if (!scan) {
        return nullptr;
    }
    if (batchDepth > 0) {
        return &memory.indexes.insert_or_assign(*key, FolderIndex(*scan)).first->second;
    }
    scratch.emplace(*scan);
    return &*scratch;
}

void Remember(const std::string& folder, const FolderScan& scan)
{
    if (batchDepth > 0) {
        if (const auto key = KeyOf(folder)) {
            memory.indexes.insert_or_assign(*key, FolderIndex(scan));
        }
    }
}

// Keeps a remembered folder in step with a change this process made to it.
template <typename Change> void NoteChange(const std::string& folder, Change change)
{
    if (batchDepth == 0) {
        return;
    }
    if (const auto key = KeyOf(folder)) {
        if (const auto found = memory.indexes.find(*key); found != memory.indexes.end()) {
            change(found->second);
        }
    }
}

std::string Resolve(const std::string& path);

bool IsRoot(const std::string& folder)
{
    return folder.size() == 1 && folder.front() == kSeparator;
}

// A folder path resolved; within a batch each existing folder is resolved once.
std::string ResolveFolder(const std::string& folder)
{
    if (folder.empty() || IsRoot(folder)) {
        return folder;
    }
    if (batchDepth > 0) {
        if (const auto known = memory.resolved.find(folder); known != memory.resolved.end()) {
            return known->second;
        }
    }
    std::string resolved = Resolve(folder);
    if (batchDepth > 0 && KeyOf(resolved)) {
        memory.resolved.emplace(folder, resolved);
    }
    return resolved;
}

// Resolves every component without regard to case: the exact name when it exists, else the
// smallest case variant, else the name as given (the operation then fails on it). Within a
// batch the remembered folder contents answer without a system call.
std::string Resolve(const std::string& path)
{
    const Split split = SplitPath(path);
    if (path.empty() || split.leaf.empty() || split.leaf == "." || split.leaf == "..") {
        return path;
    }
    if (batchDepth == 0) {
        struct stat info = {};
        if (::lstat(path.c_str(), &info) == 0) {
            return path;
        }
    }
    const std::string folder = ResolveFolder(split.folder);
    if (const FolderIndex* index = IndexOf(FolderOrHere(folder))) {
        if (const auto* names = index->VariantsOf(split.leaf)) {
            const bool exact = std::binary_search(names->begin(), names->end(), split.leaf);
            return Join(folder, exact ? split.leaf : names->front());
        }
    }
    return Join(folder, split.leaf);
}

// True when a batch remembers the folder of `path` and no name in it matches the leaf in any
// case: the file is known not to exist without asking the file system.
bool KnownMissing(const std::string& path)
{
    if (batchDepth == 0) {
        return false;
    }
    const Split split = SplitPath(path);
    const auto known = memory.resolved.find(split.folder);
    const std::string& folder = known != memory.resolved.end() ? known->second : split.folder;
    const auto key = memory.folders.find(FolderOrHere(folder));
    if (key == memory.folders.end()) {
        return false;
    }
    const auto index = memory.indexes.find(key->second);
    return index != memory.indexes.end() && index->second.VariantsOf(split.leaf) == nullptr;
}

// ---- writing through temporaries ------------------------------------------------------------

bool ProcessIsGone(const std::string& temporaryName)
{
    // Names are <prefix><pid>-<serial>.tmp; anything else with the prefix counts as stale.
    const std::string rest = temporaryName.substr(kTemporaryPrefix.size());
    char* end = nullptr;
    const long pid = std::strtol(rest.c_str(), &end, 10);
    if (end == rest.c_str() || *end != '-' || pid <= 0) {
        return true;
    }
    return pid == ::getpid() || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
}

void RemoveStaleTemporaries(const std::string& folder)
{
    FolderIndex* index = IndexOf(FolderOrHere(folder));
    if (index == nullptr || index->temporaries.empty()) {
        return;
    }
    for (const std::string& name : index->temporaries) {
        if (ProcessIsGone(name) && ::unlink(Join(FolderOrHere(folder), name).c_str()) == 0) {
            index->Remove(name);
        }
    }
    index->temporaries.clear();
}

// Folders and read-only files are neither deleted nor replaced, whoever runs the program.
void RefuseFolderOrReadOnly(const struct stat& info, const char* operation,
                            const std::string& target)
{
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        ThrowErrno(operation, Absolute(target));
    }
    if (IsReadOnly(info)) {
        errno = EACCES;
        ThrowErrno(operation, Absolute(target));
    }
}

// Returns whether the target exists.
bool CheckResolvedReplaceable(const std::string& target)
{
    struct stat info = {};
    if (::lstat(target.c_str(), &info) != 0) {
        return false;
    }
    RefuseFolderOrReadOnly(info, "replace", target);
    return true;
}

struct Temporary
{
    Fd fd;
    std::string path;
};

std::string NextTemporaryName()
{
    static unsigned serial = 0;
    static const std::string stem =
        std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-";
    return stem + std::to_string(++serial) + ".tmp";
}

Temporary CreateTemporary(const std::string& folder, mode_t mode, const std::string& target)
{
    for (;;) {
        const std::string path = Join(folder, NextTemporaryName());
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            return {Fd(fd), path};
        }
        if (errno != EEXIST) {
            ThrowErrno("write", Absolute(target));
        }
    }
}

// Whether a file made without a name can be given one later (Linux, through /proc).
bool CanNameUnnamedFiles()
{
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Writes the new content beside the target and puts it in place whole. A new file is written
// without a name and linked in at the end, so nothing of it shows or stays behind if the
// program is killed; a file that replaces another is written under a hidden temporary name and
// renamed over it. Removes the temporary unless Commit() put it in place.
class PendingReplace final
{
public:
    PendingReplace(const std::string& target, mode_t mode)
        : target_(target), folder_(SplitPath(target).folder)
    {
        const bool exists = !KnownMissing(target) && CheckResolvedReplaceable(target);
        RemoveStaleTemporaries(folder_);
        if (!exists && CanNameUnnamedFiles()) {
            const int fd =
                ::open(FolderOrHere(folder_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (fd >= 0) {
                temporary_.fd = Fd(fd);
                return;
            }
        }
        temporary_ = CreateTemporary(FolderOrHere(folder_), mode, target);
    }

    ~PendingReplace()
    {
        if (!temporary_.path.empty()) {
            ::unlink(temporary_.path.c_str());
        }
    }

    PendingReplace(const PendingReplace&) = delete;
    PendingReplace& operator=(const PendingReplace&) = delete;

    int Descriptor() const { return temporary_.fd.Get(); }

    [[noreturn]] void Fail(const std::string& operation, const std::string& path)
    {
        const int saved = errno;
        if (!temporary_.path.empty()) {
            ::unlink(temporary_.path.c_str());
            temporary_.path.clear();
        }
        errno = saved;
        ThrowErrno(operation, path);
    }

    void Commit()
    {
        if (temporary_.path.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(temporary_.fd.Get());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) ==
                0) {
                Finish();
                return;
            }
            if (errno != EEXIST) {
                Fail("write", Absolute(target_));
            }
            // The target appeared meanwhile: name the file, then replace the target with it.
            for (;;) {
                temporary_.path = Join(FolderOrHere(folder_), NextTemporaryName());
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.path.c_str(),
                             AT_SYMLINK_FOLLOW) == 0) {
                    break;
                }
                if (errno != EEXIST) {
                    temporary_.path.clear();
                    Fail("write", Absolute(target_));
                }
            }
        }
        if (::close(temporary_.fd.Release()) != 0) {
            Fail("write", Absolute(target_));
        }
        if (::rename(temporary_.path.c_str(), target_.c_str()) != 0) {
            Fail("replace", Absolute(target_));
        }
        temporary_.path.clear();
        Finish();
    }

    const std::string& Folder() const { return folder_; }

private:
    void Finish()
    {
        if (temporary_.fd.Get() >= 0 && ::close(temporary_.fd.Release()) != 0) {
            Fail("write", Absolute(target_));
        }
        const std::string leaf = SplitPath(target_).leaf;
        NoteChange(FolderOrHere(folder_), [&](FolderIndex& index) { index.Add(leaf); });
    }

    std::string target_;
    std::string folder_;
    Temporary temporary_;
};

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
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

} // namespace

// ---- the operations ---------------------------------------------------------------------------

Batch::Batch()
{
    ++batchDepth;
}

Batch::~Batch()
{
    if (--batchDepth == 0) {
        memory = {};
    }
}

std::string ResolvePath(const std::string& path)
{
    return Resolve(path);
}

std::string WorkingDir()
{
    return CurrentFolder();
}

void SetWorkingDir(const std::string& folder)
{
    const std::string resolved = ResolveFolder(folder);
    if (::chdir(resolved.c_str()) != 0) {
        ThrowErrno("open the folder", Absolute(resolved));
    }
    const auto relative = [](const auto& known) {
        return known.first.empty() || known.first.front() != kSeparator;
    };
    std::erase_if(memory.folders, relative);
    std::erase_if(memory.resolved, relative);
}

std::vector<std::string> ListPlainFiles(const std::string& pattern)
{
    const Split split = SplitPath(pattern);
    const std::string folder = FolderOrHere(ResolveFolder(split.folder));
    std::vector<std::string> names;
    if (split.leaf.empty()) {
        return names;
    }
    if (!HasWildcard(split.leaf)) {
        if (const FolderIndex* index = IndexOf(folder)) {
            if (const auto* variants = index->VariantsOf(split.leaf)) {
                for (const std::string& name : *variants) {
                    if (!IsHiddenName(name) && IsRegularFollowingLinks(Join(folder, name))) {
                        names.push_back(name);
                    }
                }
            }
        }
        return names;
    }
    const auto scan = ScanFolder(folder);
    if (!scan) {
        return names;
    }
    Remember(folder, *scan);
    for (const Entry& entry : scan->entries) {
        if (IsHiddenName(entry.name) || !MatchesPattern(entry.name, split.leaf)) {
            continue;
        }
        const bool plain =
            entry.type == DT_REG || ((entry.type == DT_LNK || entry.type == DT_UNKNOWN) &&
                                     IsRegularFollowingLinks(Join(folder, entry.name)));
        if (plain) {
            names.push_back(entry.name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

void DeleteFile(const std::string& name)
{
    const std::string target = Resolve(name);
    struct stat info = {};
    if (::lstat(target.c_str(), &info) != 0) {
        ThrowErrno("delete", Absolute(target));
    }
    RefuseFolderOrReadOnly(info, "delete", target);
    if (::unlink(target.c_str()) != 0) {
        ThrowErrno("delete", Absolute(target));
    }
    const Split split = SplitPath(target);
    NoteChange(FolderOrHere(split.folder), [&](FolderIndex& index) { index.Remove(split.leaf); });
}

void CopyFile(const std::string& source, const std::string& destination)
{
    // The exact name first: a listing hands over names as they are stored.
    std::string from = source;
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0 && errno == ENOENT) {
        from = Resolve(source);
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

    const std::string target = Resolve(destination);
    // Created with the source's permissions, and writable whatever they are.
    PendingReplace replace(target, (info.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO)) | S_IWUSR);
    switch (CopyContents(in.Get(), replace.Descriptor())) {
    case CopyFault::Read:
        replace.Fail("read", Absolute(from));
    case CopyFault::Write:
        replace.Fail("write", Absolute(target));
    case CopyFault::None:
        break;
    }
    const std::array<timespec, 2> times{info.st_atim, info.st_mtim};
    if (::futimens(replace.Descriptor(), times.data()) != 0) {
        replace.Fail("write", Absolute(target));
    }
    replace.Commit();
}

void WriteTextField(const std::string& path, std::string_view value)
{
    const std::string target = Resolve(path);
    PendingReplace replace(target, 0666);
    std::string line;
    line.reserve(value.size() + 4);
    line.append("\"").append(value).append("\"\r\n");
    if (!WriteAll(replace.Descriptor(), line.data(), line.size()) ||
        ::fsync(replace.Descriptor()) != 0) {
        replace.Fail("write", Absolute(target));
    }
    replace.Commit();
    // The rename itself reaches the disk only with its folder.
    Fd folder(::open(FolderOrHere(replace.Folder()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0) {
        ::fsync(folder.Get());
    }
}

std::string ReadTextField(const std::string& path)
{
    const std::string target = Resolve(path);
    Fd in(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) {
        ThrowErrno("read", Absolute(target));
    }
    std::string text(kStateFileReadLimit, '\0');
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t got = ::read(in.Get(), text.data() + size, text.size() - size);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno("read", Absolute(target));
        }
        size += static_cast<std::size_t>(got);
    }
    text.resize(size);
    return ParseFirstField(text);
}

std::string ParseFirstField(std::string_view text)
{
    const std::size_t at = text.find_first_not_of(" \t");
    if (at == std::string_view::npos) {
        return {};
    }
    if (text[at] == '"') {
        const std::size_t close = text.find('"', at + 1);
        return std::string(text.substr(
            at + 1, close == std::string_view::npos ? std::string_view::npos : close - at - 1));
    }
    std::string field(text.substr(at, text.find_first_of(",\r\n", at) - at));
    field.erase(field.find_last_not_of(" \t") + 1);
    return field;
}

std::uintmax_t FileSize(const std::string& path)
{
    if (KnownMissing(path)) {
        return 0;
    }
    struct stat info = {};
    const bool found = ::stat(Resolve(path).c_str(), &info) == 0;
    return found && S_ISREG(info.st_mode) ? static_cast<std::uintmax_t>(info.st_size) : 0;
}

std::uintmax_t FreeSpace(const std::string& folder)
{
    const std::string resolved = Resolve(folder);
    struct statvfs info = {};
    if (::statvfs(resolved.c_str(), &info) != 0) {
        ThrowErrno("measure the free space of", Absolute(resolved));
    }
    return static_cast<std::uintmax_t>(info.f_bavail) * info.f_frsize;
}

void CheckReplaceable(const std::string& path)
{
    CheckResolvedReplaceable(Resolve(path));
}

} // namespace platform
