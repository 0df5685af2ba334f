#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The one interface to the file system. NativeFileSystem is its implementation on this platform
// (native_file_system.h); ProxyFileSystem wraps another one and forwards every call, so a report
// or a test's recorder can watch or change a few calls without knowing the rest.
//
// Every folder in a path given here resolves without regard to letter case, component by
// component; so does the last component of a path that must exist (what is read, moved or
// removed). A name that is there as written costs no lookup. On POSIX an exact match wins,
// otherwise the byte-wise smallest name that differs only in case; on Windows, Windows resolves
// case itself. Names and paths are UTF-8. Every failure raises platform::FsError.
//
// The layer decides nothing for the player: it neither refuses read-only files nor keeps
// anything. What may be changed is the switcher's question, asked over a plan before its first
// change; this layer only carries out and reports what stands where.
namespace platform
{

enum class EntryKind
{
    Missing,
    File,   // a regular file, or a link to one
    Folder, // a folder itself, not a link to one
    Other,  // a link to a folder, a dangling link, a device, a pipe, a socket
};

// What stands at a path: a file with what tells it apart from any other, or a folder with its
// identity. Two paths with the same device and inode are one file or folder (a link).
struct FileStamp
{
    EntryKind kind = EntryKind::Missing;
    std::string path;    // as resolved: the stored name's letter case
    bool link = false;   // the name is a symbolic link (on Windows a reparse point, under Wine a
                         // Unix link): the data lives under another name
    bool hidden = false; // a dot-name on POSIX; hidden or system on Windows
    bool readOnly = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0; // nanoseconds since 1970-01-01 UTC
    // When the file itself last changed (its content, names or attributes), which no program
    // can set: nanoseconds since 1970-01-01 UTC, 0 where the system does not say.
    std::int64_t changed = 0;
    std::uint64_t device = 0; // the device (POSIX) or volume serial number (Windows)
    std::uint64_t inode = 0;  // the inode (POSIX) or file ID (Windows)

    bool IsFile() const { return kind == EntryKind::File; }
    bool SameIdentity(const FileStamp& other) const
    {
        return inode != 0 && device == other.device && inode == other.inode;
    }
};

// One name in a folder, as a listing gives it.
struct Entry
{
    std::string name;
    EntryKind kind = EntryKind::Missing;
    bool hidden = false;
};

struct Listing
{
    std::string folder; // as resolved; the path given where it does not exist
    bool found = false;
    std::vector<Entry> entries; // sorted byte-wise by name
};

struct Volume
{
    std::uintmax_t free = 0;      // bytes an unprivileged writer may still use
    std::uintmax_t blockSize = 0; // what each file and each name takes at least
};

enum class Access
{
    Change, // the file at the path is to be moved away, deleted or replaced
    Create, // new files are to be written into the folder at the path
};

enum class Moved
{
    Done,          // moved; nothing stood at the target
    HandedOver,    // moved; what stood at the target is now at `handedTo`
    SourceMissing, // nothing stood at the source: nothing moved
    TargetTaken,   // something stood at the target and no `handedTo` was given: nothing moved
};

class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // Absolute path of the working folder, without a closing separator except at the root.
    virtual std::string WorkingDir() = 0;
    virtual void SetWorkingDir(const std::string& folder) = 0;

    // Every name directly in `folder`, hidden ones included, read whole before the caller acts
    // on it. A link counts as what it points to (a file, or Other); `found` is false when there
    // is no such folder.
    virtual Listing List(const std::string& folder) = 0;
    // What stands at `path`: its kind with the link not followed, and for a file (or a link to
    // one) its stamp, the link followed.
    virtual FileStamp Status(const std::string& path) = 0;
    // The file system that holds `folder`.
    virtual Volume VolumeOf(const std::string& folder) = 0;
    // Fails as the change would, so that a command can find out before it changes anything:
    // Change, where another program holds the file (the running game), where the name is
    // another file's 8.3 short name, where Wine would act through a Unix link; Create, where
    // the folder takes no new files. A missing file passes; nothing of the probe stays.
    virtual void Probe(const std::string& path, Access access) = 0;

    // The first `limit` bytes of a file, all of it when it is shorter.
    virtual std::string ReadFile(const std::string& path, std::size_t limit) = 0;
    // Whether two files hold the same bytes.
    virtual bool SameContent(const std::string& a, const std::string& b) = 0;

    // Replaces the file at `path` (exactly that name) with `text` through a temporary beside it,
    // put on disk before it takes the name, so a reader sees the old file or the new one, never
    // a mix, even after a power cut. A read-only file there is replaced too.
    virtual void WriteFile(const std::string& path, std::string_view text) = 0;
    // Writes a copy of the file `source` into a new hidden temporary in `folder` and returns the
    // temporary's path. The copy is writable whatever the source's permissions and keeps its
    // modification time; its bytes are on disk once the next Flush of `folder` returns.
    virtual std::string Stage(const std::string& source, const std::string& folder) = 0;
    // Moves the file `from` to the name `to` (exactly that name). Where something stands at
    // `to`, it is handed over to `handedTo` (a free name in a folder on the same drive) in the
    // same step as `from` takes its place, so neither is ever lost; without `handedTo` nothing
    // moves then. A link at `to` is moved, never written through.
    virtual Moved Move(const std::string& from, const std::string& to,
                       const std::string& handedTo = {}) = 0;
    // Removes a file or an empty folder; false when nothing stood there. A read-only file goes
    // too: only the program's own files are removed.
    virtual bool Remove(const std::string& path) = 0;
    // Makes the folder `path`. Returns false when a folder (not a link) stands there already;
    // raises FsError when anything else does.
    virtual bool MakeFolder(const std::string& path) = 0;
    // Puts on disk everything written, moved and removed so far on the file system that holds
    // `folder`, so that what is written afterwards never names files a power cut could still
    // take.
    virtual void Flush(const std::string& folder) = 0;
};

// Forwards every call to the file system it wraps; a decorator overrides what it watches.
class ProxyFileSystem : public FileSystem
{
public:
    explicit ProxyFileSystem(FileSystem& inner) : inner_(inner) {}

    std::string WorkingDir() override { return inner_.WorkingDir(); }
    void SetWorkingDir(const std::string& folder) override { inner_.SetWorkingDir(folder); }
    Listing List(const std::string& folder) override { return inner_.List(folder); }
    FileStamp Status(const std::string& path) override { return inner_.Status(path); }
    Volume VolumeOf(const std::string& folder) override { return inner_.VolumeOf(folder); }
    void Probe(const std::string& path, Access access) override { inner_.Probe(path, access); }
    std::string ReadFile(const std::string& path, std::size_t limit) override
    {
        return inner_.ReadFile(path, limit);
    }
    bool SameContent(const std::string& a, const std::string& b) override
    {
        return inner_.SameContent(a, b);
    }
    void WriteFile(const std::string& path, std::string_view text) override
    {
        inner_.WriteFile(path, text);
    }
    std::string Stage(const std::string& source, const std::string& folder) override
    {
        return inner_.Stage(source, folder);
    }
    Moved Move(const std::string& from, const std::string& to,
               const std::string& handedTo = {}) override
    {
        return inner_.Move(from, to, handedTo);
    }
    bool Remove(const std::string& path) override { return inner_.Remove(path); }
    bool MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
    void Flush(const std::string& folder) override { inner_.Flush(folder); }

private:
    FileSystem& inner_;
};

// The plain files of `pattern`'s folder whose names match its last component (wildcards `*`
// only there), sorted byte-wise: files and links to files, neither hidden nor the program's
// own temporaries.
std::vector<std::string> ListPlainFiles(FileSystem& files, const std::string& pattern);

// The folders directly in `folder`, links left out, sorted byte-wise.
std::vector<std::string> ListFolders(FileSystem& files, const std::string& folder);

} // namespace platform
