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

FileStamp FileSystem::StampOf(const std::string& path)
{
    return platform::StampOf(path);
}

void FileSystem::KeepFile(const std::string& path, const std::string& kept, Keeping how)
{
    platform::KeepFile(path, kept, how);
}

void FileSystem::PutBack(const std::string& kept, const std::string& path)
{
    platform::PutBack(kept, path);
}

void FileSystem::WriteTextFile(const std::string& path, std::string_view text)
{
    platform::WriteTextFile(path, text);
}

std::string FileSystem::ReadTextFile(const std::string& path)
{
    return platform::ReadTextFile(path);
}

EntryKind FileSystem::KindOf(const std::string& path)
{
    return platform::KindOf(path);
}

bool FileSystem::MakeFolder(const std::string& path)
{
    return platform::MakeFolder(path);
}

void FileSystem::RemoveFolder(const std::string& path)
{
    platform::RemoveFolder(path);
}

std::vector<std::string> FileSystem::ListFolders(const std::string& folder)
{
    return platform::ListFolders(folder);
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
