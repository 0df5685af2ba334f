#pragma once

#include "platform/file_ops.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform
{

// The file operations as one object, so a caller can watch or withhold them (a dry run, a
// verbose log, a test's record) without the code that uses them knowing. Each forwards to the
// operation of the same name in file_ops.h, which says what it guarantees.
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // The working folder's absolute path.
    virtual std::string WorkingDir();
    // Makes a folder the working folder.
    virtual void SetWorkingDir(const std::string& folder);
    // Bare names of the plain files matching a pattern, sorted.
    virtual std::vector<std::string> ListPlainFiles(const std::string& pattern);
    // Deletes one file; a read-only file is refused.
    virtual void RemoveFile(const std::string& name);
    // Replaces a file with a copy of another, atomically.
    virtual void CopyFileReplacing(const std::string& source, const std::string& destination);
    // Keeps a file under a new name, moved there or linked.
    virtual void KeepFile(const std::string& path, const std::string& kept, Keeping how);
    // Moves a kept file back, replacing the file at `path`.
    virtual void PutBack(const std::string& kept, const std::string& path);
    // Writes the state file's one quoted line, atomically and durably.
    virtual void WriteTextField(const std::string& path, std::string_view value);
    // Reads the state file's first field.
    virtual std::string ReadTextField(const std::string& path);
    // Replaces a text file atomically and durably.
    virtual void WriteTextFile(const std::string& path, std::string_view text);
    // The whole of a small text file.
    virtual std::string ReadTextFile(const std::string& path);
    // What stands at a path: nothing, a folder, or something else.
    virtual EntryKind KindOf(const std::string& path);
    // Makes a folder; false when one stands there already.
    virtual bool MakeFolder(const std::string& path);
    // Removes an empty folder.
    virtual void RemoveFolder(const std::string& path);
    // The folders directly in a folder, sorted.
    virtual std::vector<std::string> ListFolders(const std::string& folder);
    // Whether two files hold the same bytes.
    virtual bool SameContent(const std::string& a, const std::string& b);
    // A file's size and last change.
    virtual FileStamp StampOf(const std::string& path);
    // Bytes still free on the file system holding a folder.
    virtual std::uintmax_t FreeSpace(const std::string& folder);
    // Fails as replacing the file would (read-only, a folder); a missing file passes.
    virtual void CheckReplaceable(const std::string& path);
    // Fails when another program holds the file (Windows); a missing file passes.
    virtual void CheckNotInUse(const std::string& path);
    // Puts everything changed so far on the folder's file system on disk.
    virtual void FlushToDisk(const std::string& folder);
};

} // namespace platform
