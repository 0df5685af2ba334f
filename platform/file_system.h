#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The one interface to the file system. NativeFileSystem is its implementation on this platform
// (native_file_system.h); ProxyFileSystem wraps another one and forwards every call, so a report
// or a test's recorder can watch or change a few calls without knowing the rest.
//
// Every name and path given here resolves without regard to letter case, component by
// component. On POSIX an exact match wins, otherwise the byte-wise smallest name that differs
// only in case; plain files are regular files and links to regular files whose names do not
// begin with a dot; a file that grants write access to nobody is read-only. On Windows, Windows
// resolves case itself; plain files are no folders, no hidden and no system files; the read-only
// attribute makes a file read-only. Deleting or replacing a read-only file fails, whoever runs
// the program. Names and paths are UTF-8. Every failure raises platform::FsError.
namespace platform
{

// A file as it stands: what a command decides on, and what tells it apart from another file.
struct FileStamp
{
    bool exists = false;
    std::string path; // as resolved: the stored name's letter case
    std::uintmax_t size = 0;
    std::int64_t modified = 0; // nanoseconds since 1970-01-01 UTC
    // When the file itself last changed (its content, names or attributes), which no program
    // can set: nanoseconds since 1970-01-01 UTC, 0 where the system does not say.
    std::int64_t changed = 0;
    bool readOnly = false;
    // The file itself: two names with the same identity are one file (a link).
    std::uint64_t device = 0; // the device (POSIX) or volume serial number (Windows)
    std::uint64_t inode = 0;  // the inode (POSIX) or file ID (Windows)
};

// What makes a file or folder itself, whatever names it has: two paths with the same identity are
// one (a link). Zero where nothing stands.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool Known() const { return inode != 0 || device != 0; }
    bool operator==(const FileIdentity&) const = default;
};

enum class Keeping
{
    Move, // the file leaves its folder
    Link, // the file stays and gets a second name; a copy where the file system has no links
};

enum class EntryKind
{
    Missing,
    Folder,
    Other, // a file, or a link, whatever it points to
};

class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // Absolute path of the working folder, without a closing separator except at the root.
    virtual std::string WorkingDir() = 0;
    virtual void SetWorkingDir(const std::string& folder) = 0;
    // `path` as messages show it: a relative one with the working folder in front.
    virtual std::string Absolute(const std::string& path) = 0;

    // Bare names of the plain files that match `pattern`, sorted byte-wise and taken whole before
    // the caller acts on them. Only the last component may hold wildcards (`*`); a folder that
    // does not exist matches nothing.
    virtual std::vector<std::string> ListPlainFiles(const std::string& pattern) = 0;
    // Names of the folders directly in `folder`, links left out, sorted byte-wise.
    virtual std::vector<std::string> ListFolders(const std::string& folder) = 0;
    // The regular file a path resolves to (following links); `exists` false when there is none.
    virtual FileStamp StampOf(const std::string& path) = 0;
    // What stands at `path`, the last component not followed when it is a link.
    virtual EntryKind KindOf(const std::string& path) = 0;
    // The file or folder a path leads to, links followed.
    virtual FileIdentity IdentityOf(const std::string& path) = 0;
    // Whether the file system holding `folder` gives a file a second name (a hard link); it is
    // tried once with a temporary of our own.
    virtual bool TakesLinks(const std::string& folder) = 0;
    // Bytes an unprivileged writer may still use on the file system that holds `folder`.
    virtual std::uintmax_t FreeSpace(const std::string& folder) = 0;
    // Whether two files hold the same bytes.
    virtual bool SameContent(const std::string& a, const std::string& b) = 0;
    // The first `limit` bytes of a file, all of it when it is shorter.
    virtual std::string ReadTextFile(const std::string& path, std::size_t limit) = 0;

    // Fails as replacing `path` by a copy or a state write would (a read-only file, a folder),
    // so a command can find out before it changes anything. A missing file passes.
    virtual void CheckReplaceable(const std::string& path) = 0;
    // Fails as the first file written into `folder` would (a folder closed to this user or to
    // every user, a read-only file system), so a command can find out before it changes
    // anything; nothing of it stays.
    virtual void CheckTakesFiles(const std::string& folder) = 0;
    // Fails, as in use, when another program holds `path` so that it could be neither deleted
    // nor replaced now: has it open (the running game) or was started from it. A missing,
    // read-only or folder target passes: the operation itself refuses those. On POSIX, where an
    // open file or a running program's file is replaced and deleted all the same, it does
    // nothing.
    virtual void CheckNotInUse(const std::string& path) = 0;

    virtual void RemoveFile(const std::string& name) = 0;
    // Replaces `destination` with a copy of `source` through a hidden temporary in the
    // destination folder, so a reader sees the old file or the new one, never a mix; a link at
    // the destination is replaced, not written through. The copy is writable and keeps the
    // source's modification time. A destination that differs from an existing name only in case
    // replaces that file.
    virtual void CopyFileReplacing(const std::string& source, const std::string& destination) = 0;
    // Replaces a file with `text` as a copy does, atomically, and flushes it to disk.
    virtual void WriteTextFile(const std::string& path, std::string_view text) = 0;
    // Keeps the file `path` resolves to under the new name `kept`, which must not exist: its
    // folder is one this program made, and nothing there is replaced or written through. Folders
    // and read-only files are refused as deleting (Move) or replacing (Link) them would be.
    virtual void KeepFile(const std::string& path, const std::string& kept, Keeping how) = 0;
    // Moves the kept file back to `path` in one step, replacing the file that stands there. A
    // read-only file or a folder there is refused.
    virtual void PutBack(const std::string& kept, const std::string& path) = 0;
    // Makes the folder `path`. Returns false when a folder (not a link) stands there already;
    // raises FsError when anything else does.
    virtual bool MakeFolder(const std::string& path) = 0;
    // Removes an empty folder.
    virtual void RemoveFolder(const std::string& path) = 0;
    // Puts on disk everything written, linked and deleted so far on the file system that holds
    // `folder`, so that a record written afterwards never names files a power cut could still
    // take.
    virtual void FlushToDisk(const std::string& folder) = 0;

    // Between the two, each folder is read once and then kept up to date by this object's own
    // changes, so a command touching N files in a folder of M costs O(N + M) rather than a
    // folder scan per file. Meant to last one command, while the folder lock keeps the other
    // programs of this system out; changes that others make meanwhile are not seen. Nests.
    virtual void BeginBatch() = 0;
    virtual void EndBatch() = 0;
};

// A batch for the life of a scope.
class Batch final
{
public:
    explicit Batch(FileSystem& files) : files_(files) { files_.BeginBatch(); }
    ~Batch() { files_.EndBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

private:
    FileSystem& files_;
};

// Forwards every call to the file system it wraps; a decorator overrides what it watches.
class ProxyFileSystem : public FileSystem
{
public:
    explicit ProxyFileSystem(FileSystem& inner) : inner_(inner) {}

    std::string WorkingDir() override { return inner_.WorkingDir(); }
    void SetWorkingDir(const std::string& folder) override { inner_.SetWorkingDir(folder); }
    std::string Absolute(const std::string& path) override { return inner_.Absolute(path); }
    std::vector<std::string> ListPlainFiles(const std::string& pattern) override
    {
        return inner_.ListPlainFiles(pattern);
    }
    std::vector<std::string> ListFolders(const std::string& folder) override
    {
        return inner_.ListFolders(folder);
    }
    FileStamp StampOf(const std::string& path) override { return inner_.StampOf(path); }
    EntryKind KindOf(const std::string& path) override { return inner_.KindOf(path); }
    FileIdentity IdentityOf(const std::string& path) override { return inner_.IdentityOf(path); }
    bool TakesLinks(const std::string& folder) override { return inner_.TakesLinks(folder); }
    void CheckTakesFiles(const std::string& folder) override { inner_.CheckTakesFiles(folder); }
    std::uintmax_t FreeSpace(const std::string& folder) override
    {
        return inner_.FreeSpace(folder);
    }
    bool SameContent(const std::string& a, const std::string& b) override
    {
        return inner_.SameContent(a, b);
    }
    std::string ReadTextFile(const std::string& path, std::size_t limit) override
    {
        return inner_.ReadTextFile(path, limit);
    }
    void CheckReplaceable(const std::string& path) override { inner_.CheckReplaceable(path); }
    void CheckNotInUse(const std::string& path) override { inner_.CheckNotInUse(path); }
    void RemoveFile(const std::string& name) override { inner_.RemoveFile(name); }
    void CopyFileReplacing(const std::string& source, const std::string& destination) override
    {
        inner_.CopyFileReplacing(source, destination);
    }
    void WriteTextFile(const std::string& path, std::string_view text) override
    {
        inner_.WriteTextFile(path, text);
    }
    void KeepFile(const std::string& path, const std::string& kept, Keeping how) override
    {
        inner_.KeepFile(path, kept, how);
    }
    void PutBack(const std::string& kept, const std::string& path) override
    {
        inner_.PutBack(kept, path);
    }
    bool MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
    void RemoveFolder(const std::string& path) override { inner_.RemoveFolder(path); }
    void FlushToDisk(const std::string& folder) override { inner_.FlushToDisk(folder); }
    void BeginBatch() override { inner_.BeginBatch(); }
    void EndBatch() override { inner_.EndBatch(); }

private:
    FileSystem& inner_;
};

} // namespace platform
