#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// What the search asks of the disk, one implementation per platform (posix/disk.cpp,
// win32/disk.cpp). Nothing here waits on another program: special files are never opened, and
// files are opened without blocking.
namespace finder
{

// A folder's identity, the same whichever path leads to it: device and inode, or volume serial
// number and file index.
struct FolderId
{
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FolderId&) const = default;
};

enum class EntryKind
{
    Folder,
    File, // a regular file
    Link, // a symbolic link or junction, not followed
    Other,
};

// Lists `folder` (following it when it is a link) once `enter` has agreed, given the folder's
// identity; calls `each` with every entry's name (as Utf8 gives it) and kind until it returns
// false. Returns false when the folder cannot be read.
bool ListFolder(const std::filesystem::path& folder,
                const std::function<bool(const FolderId&)>& enter,
                const std::function<bool(const std::string&, EntryKind)>& each);

// Where a link leads, followed to its end: a folder's real path and identity, or a regular file.
struct LinkTarget
{
    EntryKind kind = EntryKind::Other; // Folder, File or Other
    std::filesystem::path real;
    FolderId id;
};
LinkTarget Follow(const std::filesystem::path& link);

// Whether a real path is the root of a drive or lies in a system folder (/usr, /proc, /sys and
// /dev; the Windows folder), where a link the search finds never takes it.
bool IsSystemFolder(const std::filesystem::path& real);

struct FileBytes
{
    enum class Outcome
    {
        Missing,    // nothing by that name
        Unreadable, // not a regular file, or opening or reading it failed
        Read,
    } outcome = Outcome::Missing;
    std::string bytes = {}; // the first `limit` bytes
    bool whole = true;      // false when the file holds more than `limit` bytes
};

// Reads a regular file's first bytes; special files (FIFOs, devices, sockets) are not opened.
FileBytes ReadRegularFile(const std::filesystem::path& file, std::size_t limit);

} // namespace finder
