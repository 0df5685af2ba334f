#include "platform/posix/replace.h"

#include "platform/fs_error.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>

namespace platform::posix
{
namespace
{

bool ProcessIsAlive(unsigned long id)
{
    const auto pid = static_cast<pid_t>(id);
    if (pid <= 0 || static_cast<unsigned long>(pid) != id) {
        return false;
    }
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

void RemoveStaleTemporaries(Names& names, const std::string& folder)
{
    FolderIndex* index = names.ListedIndex(folder);
    if (index == nullptr) {
        return;
    }
    for (const std::string& name : index->TakeTemporaries()) {
        if (IsStaleTemporary(name, static_cast<unsigned long>(::getpid()), ProcessIsAlive) &&
            ::unlink(Join(folder, name).c_str()) == 0) {
            index->Remove(name);
        }
    }
}

std::string NextTemporaryName()
{
    static unsigned serial = 0;
    return TemporaryName(static_cast<unsigned long>(::getpid()), ++serial);
}

// Whether a file made without a name can be given one later (Linux, through /proc).
bool CanNameUnnamedFiles()
{
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

} // namespace

bool IsReadOnly(const struct stat& info)
{
    return !S_ISLNK(info.st_mode) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

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

bool RefuseFolderOrReadOnly(const char* operation, const std::string& target)
{
    struct stat info = {};
    if (::lstat(target.c_str(), &info) != 0) {
        return false;
    }
    if (S_ISDIR(info.st_mode) || IsReadOnly(info)) {
        const bool folder = S_ISDIR(info.st_mode);
        errno = folder ? EISDIR : EACCES;
        ThrowErrno(operation, Absolute(target),
                   folder ? FailureCause::Other : FailureCause::ReadOnly);
    }
    return true;
}

PendingReplace::PendingReplace(Names& names, const ResolvedFile& target, mode_t mode)
    : names_(names), target_(target.path), folder_(FolderOrHere(SplitPath(target.path).folder))
{
    const bool exists = !target.knownMissing && RefuseFolderOrReadOnly("replace", target_);
    RemoveStaleTemporaries(names_, folder_);
    if (!exists && CanNameUnnamedFiles()) {
        const int fd = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = Fd(fd);
            return;
        }
    }
    for (;;) {
        temporary_ = Join(folder_, NextTemporaryName());
        const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = Fd(fd);
            return;
        }
        if (errno != EEXIST) {
            temporary_.clear();
            ThrowErrno("write", Absolute(target_));
        }
    }
}

PendingReplace::~PendingReplace()
{
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

void PendingReplace::Fail(const std::string& operation, const std::string& path)
{
    const int saved = errno;
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    errno = saved;
    ThrowErrno(operation, path);
}

void PendingReplace::Commit()
{
    if (temporary_.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            Finish();
            return;
        }
        if (errno != EEXIST) {
            Fail("write", Absolute(target_));
        }
        // The target appeared meanwhile: name the file, then replace the target with it.
        for (;;) {
            temporary_ = Join(folder_, NextTemporaryName());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) ==
                0) {
                break;
            }
            if (errno != EEXIST) {
                temporary_.clear();
                Fail("write", Absolute(target_));
            }
        }
    }
    if (::close(fd_.Release()) != 0) {
        Fail("write", Absolute(target_));
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        Fail("replace", Absolute(target_));
    }
    temporary_.clear();
    Finish();
}

void PendingReplace::Finish()
{
    if (fd_.Get() >= 0 && ::close(fd_.Release()) != 0) {
        Fail("write", Absolute(target_));
    }
    names_.NoteAdded(folder_, SplitPath(target_).leaf);
}

} // namespace platform::posix
