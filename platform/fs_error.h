#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace platform
{

// A failure as the host system reports it: its own number and its own explanation.
struct SystemError
{
    int number;
    std::string explanation;
};

// The host's failure for a C library error number (errno): the same on POSIX, the matching
// Windows error on Windows (ENOSPC is "Error 112", EACCES "Error 5").
SystemError FromErrno(int number);

// The one failure the file-system operations raise. It carries the system's error number and
// explanation, what was being done and to which file, so that whoever reports it can tell the
// player what to fix.
class FsError final : public std::runtime_error
{
public:
    // `operation` is a verb phrase that fits "Could not <operation> ..." ("delete", "copy").
    // `detail`, when given, is one more sentence for the player.
    FsError(SystemError error, std::string operation, std::string path, std::string detail = {});
    // A failure because another program holds the file: `holder` names that program, empty
    // when the system cannot tell.
    struct InUseBy
    {
        std::string holder;
    };
    FsError(SystemError error, std::string operation, std::string path, std::string detail,
            InUseBy inUse);
    // `number` is a C library error number, reported as FromErrno gives it.
    FsError(int number, std::string operation, std::string path, std::string detail = {})
        : FsError(FromErrno(number), std::move(operation), std::move(path), std::move(detail))
    {}

    int Number() const { return number_; }
    const std::string& Explanation() const { return explanation_; }
    const std::string& Operation() const { return operation_; }
    const std::string& Path() const { return path_; }
    const std::string& Detail() const { return detail_; }
    // Whether another program holds the file, and which one where known.
    bool InUse() const { return inUse_; }
    const std::string& Holder() const { return holder_; }

    // Two lines: "Error 13: Permission denied" and "Could not delete "HURR.FLT" in /games/krs."
    std::string Report() const;

private:
    int number_;
    std::string explanation_;
    std::string operation_;
    std::string path_;
    std::string detail_;
    bool inUse_ = false;
    std::string holder_;
};

// Raises FsError with the current errno.
[[noreturn]] void ThrowErrno(const std::string& operation, const std::string& path);

} // namespace platform
