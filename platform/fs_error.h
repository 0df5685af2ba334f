#pragma once

#include "platform/file_system.h"

#include <cstdint>
#include <stdexcept>
#include <string>

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

// Why a file operation failed, as the platform decides it from the system's codes. The
// front-ends word each cause for the player; this layer writes no sentence.
enum class FailureCause
{
    InUse,     // another program holds the file
    Protected, // a protected folder, such as Program Files, takes no changes from the player
    ControlledFolderAccess, // Windows Security guards the user's Documents and Desktop
    ReadOnly,
    NoRoom,
    NotAFolder, // something that is not a folder stands where one belongs
    SameFile,   // a set's file or folder is the game's own, through a link: `other` names it
    ShortName,  // the name is another file's 8.3 short name: Windows would change that file
    WineLink,   // a Unix symbolic link, which Wine deletes and moves through to its target
    Occupied,   // something other than a file stands where a file is to be written: `kind`
    TooLong,    // a path the command would make is longer than the system takes: `needed`
    OtherDrive, // the backup folder is on another drive than the game folder
    Other,
};

// What the words for a failure may use besides its cause, number, operation and path.
struct FailureFigures
{
    std::string holder = {};     // in use: the program holding the file, empty when unknown
    bool alsoControlled = false; // Controlled folder access may be what refuses, too
    bool nothingChanged = false; // found before the command's first change
    std::uintmax_t needed = 0;   // no room: the bytes the copies need and the bytes free, both
    std::uintmax_t free = 0;     // 0 when the system ran out of room in the middle of a write
    // Same file: its other name; short name: the file whose short name it is; link: its target.
    std::string other = {};
    EntryKind kind = EntryKind::Missing; // occupied, not a folder: what stands there
};

// The one failure the file-system operations raise: why, the system's error number and
// explanation, what was being done and to which file, so that whoever reports it can tell the
// player what to fix.
class FsError final : public std::runtime_error
{
public:
    // `operation` is a verb phrase that fits "Could not <operation> ..." ("delete", "copy").
    FsError(SystemError error, std::string operation, std::string path,
            FailureCause cause = FailureCause::Other, FailureFigures figures = {});
    // `number` is a C library error number, reported as FromErrno gives it.
    FsError(int number, std::string operation, std::string path,
            FailureCause cause = FailureCause::Other, FailureFigures figures = {});

    FailureCause Cause() const { return cause_; }
    int Number() const { return number_; }
    const std::string& Explanation() const { return explanation_; }
    const std::string& Operation() const { return operation_; }
    const std::string& Path() const { return path_; }
    const FailureFigures& Figures() const { return figures_; }

private:
    FailureCause cause_;
    int number_;
    std::string explanation_;
    std::string operation_;
    std::string path_;
    FailureFigures figures_;
};

// A refusal of the program's own, found before the first change: it has a cause and no system
// error number (0), so its words come from the cause alone.
FsError Refused(FailureCause cause, std::string operation, std::string path,
                FailureFigures figures);

// POSIX: raises FsError with the current errno, for `cause` where the operation knows it (a
// read-only file refused by our own check), else for the cause errno tells.
[[noreturn]] void ThrowErrno(const std::string& operation, const std::string& path,
                             FailureCause cause = FailureCause::Other);

} // namespace platform
