#pragma once

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
    // Writes the state file's one quoted line, atomically and durably.
    virtual void WriteTextField(const std::string& path, std::string_view value);
    // Reads the state file's first field.
    virtual std::string ReadTextField(const std::string& path);
    // Whether two files hold the same bytes.
    virtual bool SameContent(const std::string& a, const std::string& b);
    // A file's size, 0 when there is none.
    virtual std::uintmax_t FileSize(const std::string& path);
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
