#pragma once

#include "platform/file_system.h"

#include <memory>

namespace platform
{

// The file system of this platform, through POSIX calls (posix/) or Windows' wide-character
// calls (win32/). It owns what a batch remembers.
class NativeFileSystem final : public FileSystem
{
public:
    NativeFileSystem();
    ~NativeFileSystem() override;
    NativeFileSystem(const NativeFileSystem&) = delete;
    NativeFileSystem& operator=(const NativeFileSystem&) = delete;

    std::string WorkingDir() override;
    void SetWorkingDir(const std::string& folder) override;
    std::string Absolute(const std::string& path) override;
    std::vector<std::string> ListPlainFiles(const std::string& pattern) override;
    std::vector<std::string> ListFolders(const std::string& folder) override;
    FileStamp StampOf(const std::string& path) override;
    EntryKind KindOf(const std::string& path) override;
    FileIdentity IdentityOf(const std::string& path) override;
    bool TakesLinks(const std::string& folder) override;
    void CheckTakesFiles(const std::string& folder) override;
    std::uintmax_t FreeSpace(const std::string& folder) override;
    bool SameContent(const std::string& a, const std::string& b) override;
    std::string ReadTextFile(const std::string& path, std::size_t limit) override;
    void CheckReplaceable(const std::string& path) override;
    void CheckNotInUse(const std::string& path) override;
    void RemoveFile(const std::string& name) override;
    void CopyFileReplacing(const std::string& source, const std::string& destination) override;
    void WriteTextFile(const std::string& path, std::string_view text) override;
    void KeepFile(const std::string& path, const std::string& kept, Keeping how) override;
    void PutBack(const std::string& kept, const std::string& path) override;
    bool MakeFolder(const std::string& path) override;
    void RemoveFolder(const std::string& path) override;
    void FlushToDisk(const std::string& folder) override;
    void BeginBatch() override;
    void EndBatch() override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace platform
