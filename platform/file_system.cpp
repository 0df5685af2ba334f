#include "platform/file_system.h"

#include "platform/file_ops.h"

namespace platform
{

std::string FileSystem::WorkingDir()
{
    return platform::WorkingDir();
}

void FileSystem::SetWorkingDir(const std::string& folder)
{
    platform::SetWorkingDir(folder);
}

std::vector<std::string> FileSystem::ListPlainFiles(const std::string& pattern)
{
    return platform::ListPlainFiles(pattern);
}

void FileSystem::RemoveFile(const std::string& name)
{
    platform::RemoveFile(name);
}

void FileSystem::CopyFileReplacing(const std::string& source, const std::string& destination)
{
    platform::CopyFileReplacing(source, destination);
}

void FileSystem::WriteTextField(const std::string& path, std::string_view value)
{
    platform::WriteTextField(path, value);
}

std::string FileSystem::ReadTextField(const std::string& path)
{
    return platform::ReadTextField(path);
}

bool FileSystem::SameContent(const std::string& a, const std::string& b)
{
    return platform::SameContent(a, b);
}

std::uintmax_t FileSystem::FileSize(const std::string& path)
{
    return platform::FileSize(path);
}

std::uintmax_t FileSystem::FreeSpace(const std::string& folder)
{
    return platform::FreeSpace(folder);
}

void FileSystem::CheckReplaceable(const std::string& path)
{
    platform::CheckReplaceable(path);
}

void FileSystem::CheckNotInUse(const std::string& path)
{
    platform::CheckNotInUse(path);
}

void FileSystem::FlushToDisk(const std::string& folder)
{
    platform::FlushToDisk(folder);
}

} // namespace platform
