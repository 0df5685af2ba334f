#pragma once

#include "platform/path_text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The file-system operations the switcher is built on, one implementation per platform.
//
// Every name and path given here resolves without regard to letter case, component by
// component. On POSIX an exact match wins, otherwise the byte-wise smallest name that differs
// only in ASCII case; plain files are regular files and links to regular files whose names do
// not begin with a dot; a file that grants write access to nobody is read-only. On Windows,
// Windows resolves case itself; plain files are no folders, no hidden and no system files; the
// read-only attribute makes a file read-only. Deleting or replacing a read-only file fails,
// whoever runs the program. Names and paths are UTF-8 on Windows. Every failure raises
// platform::FsError.
namespace platform
{

// A file's path as the operations resolve it: each folder component the exact name when it is a
// folder, else its smallest case variant that is one; the last component likewise among regular
// files; else as given. On Windows the last component as stored, the rest as given.
std::string ResolvePath(const std::string& path);

// Absolute path of the working folder, without a closing separator except at the root.
std::string WorkingDir();

// `path` as messages show it: a relative one with the working folder in front.
std::string Absolute(const std::string& path);
void SetWorkingDir(const std::string& folder);

// Bare names of the plain files that match `pattern`, sorted byte-wise and taken whole before
// the caller acts on them. Only the last component may hold wildcards; a folder that does not
// exist matches nothing.
std::vector<std::string> ListPlainFiles(const std::string& pattern);

void RemoveFile(const std::string& name);

// Replaces `destination` with a copy of `source` through a hidden temporary in the destination
// folder, so a reader sees the old file or the new one, never a mix; a link at the destination
// is replaced, not written through. The copy is writable and keeps the source's modification
// time. A destination that differs from an existing name only in case replaces that file.
void CopyFileReplacing(const std::string& source, const std::string& destination);

// Replaces a file with `text` as a copy does, atomically, and flushes it to disk.
void WriteTextFile(const std::string& path, std::string_view text);

// Writes `value` as one quoted line ending in CR LF, as WriteTextFile does.
void WriteTextField(const std::string& path, std::string_view value);

// The whole of a small text file (at most kTextFileReadLimit bytes of it).
std::string ReadTextFile(const std::string& path);

inline constexpr std::size_t kTextFileReadLimit = 1 << 20;

// Reads the first field of a text file: the text between the first pair of double quotes when
// the field is quoted (blanks before the quote are skipped, tabs are not), else the text before
// the first comma or line end. Reads at most the first kTextFieldReadLimit bytes; an empty file
// gives the empty field.
std::string ReadTextField(const std::string& path);

inline constexpr std::size_t kTextFieldReadLimit = 4096;

// The text's first field, as ReadTextField takes it from a file's first bytes.
std::string ParseFirstField(std::string_view text);

// The bytes WriteTextField writes: the value in double quotes, then CR LF.
std::string TextFieldLine(std::string_view value);

// Puts on disk everything written, linked and deleted so far on the file system that holds
// `folder`, so that a record written afterwards never names files a power cut could still take.
// On Windows each copy was flushed before its move already; this flushes the folder's own
// record of names where the file system allows it.
void FlushToDisk(const std::string& folder);

// A file as a copy keeps it: its size and last change.
struct FileStamp
{
    bool exists = false;
    std::string path; // as resolved: the stored name's letter case
    std::uintmax_t size = 0;
    std::int64_t modified = 0; // nanoseconds since 1970-01-01 UTC
    bool readOnly = false;
};

// The regular file a path resolves to (following links); `exists` false when there is none.
FileStamp StampOf(const std::string& path);

// Bytes an unprivileged writer may still use on the file system that holds `folder`.
std::uintmax_t FreeSpace(const std::string& folder);

// Fails as replacing `path` by a copy or a state write would (a read-only file, a folder), so
// a command can find out before it changes anything. A missing file passes.
void CheckReplaceable(const std::string& path);

enum class Keeping
{
    Move, // the file leaves its folder
    Link, // the file stays and gets a second name; a copy where the file system has no links
};

// Keeps the file `path` resolves to under the new name `kept`, which must not exist: its folder
// is one this program made, and nothing there is replaced or written through. Folders and
// read-only files are refused as deleting (Move) or replacing (Link) them would be.
void KeepFile(const std::string& path, const std::string& kept, Keeping how);

// Moves the kept file back to `path` in one step, replacing the file that stands there. A
// read-only file or a folder there is refused.
void PutBack(const std::string& kept, const std::string& path);

enum class EntryKind
{
    Missing,
    Folder,
    Other, // a file, or a link, whatever it points to
};

// What stands at `path`, the last component not followed when it is a link.
EntryKind KindOf(const std::string& path);

// Makes the folder `path`. Returns false when a folder (not a link) stands there already;
// raises FsError when anything else does.
bool MakeFolder(const std::string& path);

// Removes an empty folder.
void RemoveFolder(const std::string& path);

// Names of the folders directly in `folder`, links left out, sorted byte-wise.
std::vector<std::string> ListFolders(const std::string& folder);

// Fails, with the text for a file in use and the holding program where the system names it,
// when another program holds `path` so that it could be neither deleted nor replaced now: has it
// open (the running game) or was started from it. A missing, read-only or folder target passes:
// the operation itself refuses those. On POSIX, where an open file or a running program's file
// is replaced and deleted all the same, it does nothing.
void CheckNotInUse(const std::string& path);

// Whether two files hold the same bytes.
bool SameContent(const std::string& a, const std::string& b);

// A file read from its start, in pieces. Raises FsError when it cannot be opened or read.
class FileReader final
{
public:
    explicit FileReader(const std::string& path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Fills `buffer` as far as the file goes; returns how much it filled, 0 at the end.
    std::size_t Read(char* buffer, std::size_t size);

private:
    std::string path_;
    std::intptr_t handle_; // the descriptor (POSIX) or handle (Windows)
};

// While a Batch is alive, each folder is read once and then kept up to date by the
// operations' own changes, so a command touching N files in a folder of M costs O(N + M)
// rather than a folder scan per file. A batch is meant to last one command, while the folder
// lock keeps the other programs of this system out; changes that others make meanwhile are
// not seen. Batches nest; the memory goes with the outermost. On Windows, which resolves names
// itself, a batch only remembers the folders whose leftover temporaries are gone.
class Batch final
{
public:
    Batch();
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
};

} // namespace platform
