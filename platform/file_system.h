#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform
{

// The file operations as one object, so a caller can watch or withhold them (a dry run, a
// verbose log) without the code that uses them knowing. The default forwards to file_ops.h.
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    virtual std::string WorkingDir();
    virtual void SetWorkingDir(const std::string& folder);
    virtual std::vector<std::string> ListPlainFiles(const std::string& pattern);
    virtual void DeleteFile(const std::string& name);
    virtual void CopyFile(const std::string& source, const std::string& destination);
    virtual void WriteTextField(const std::string& path, std::string_view value);
    virtual std::string ReadTextField(const std::string& path);
    virtual std::uintmax_t FileSize(const std::string& path);
    virtual std::uintmax_t FreeSpace(const std::string& folder);
    virtual void CheckReplaceable(const std::string& path);
    virtual void FlushToDisk(const std::string& folder);
};

} // namespace platform
