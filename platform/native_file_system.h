#pragma once

#include "platform/file_system.h"

#include <map>

namespace platform
{

// The file system of this platform, through POSIX calls (posix/) or Windows' wide-character
// calls (win32/). It remembers nothing about files between calls.
class NativeFileSystem final : public FileSystem
{
public:
    NativeFileSystem() = default;
    NativeFileSystem(const NativeFileSystem&) = delete;
    NativeFileSystem& operator=(const NativeFileSystem&) = delete;

    std::string WorkingDir() override;
    void SetWorkingDir(const std::string& folder) override;
    Listing List(const std::string& folder) override;
    FileStamp Status(const std::string& path) override;
    Volume VolumeOf(const std::string& folder) override;
    void Probe(const std::string& path, Access access) override;
    std::string ReadFile(const std::string& path, std::size_t limit) override;
    bool SameContent(const std::string& a, const std::string& b) override;
    void WriteFile(const std::string& path, std::string_view text) override;
    std::string Stage(const std::string& source, const std::string& folder) override;
    Moved Move(const std::string& from, const std::string& to,
               const std::string& handedTo = {}) override;
    bool Remove(const std::string& path) override;
    bool MakeFolder(const std::string& path) override;
    void Flush(const std::string& folder) override;

private:
    // A move that never replaces; 0, or the system's error (EEXIST where something stands at
    // `to`).
    int MoveNoReplace(const std::string& from, const std::string& to);
    Moved HandOver(const std::string& source, const std::string& target,
                   const std::string& handedTo);

    // Whether the file system has moves that never replace, and moves that swap two files, as
    // far as this object has found out (exFAT, FAT and some shares have neither).
    bool renameFlags_ = true;
    bool exchange_ = true;
#ifdef _WIN32
    // Volumes, by serial number, and whether their file IDs stay with a file that moves.
    std::map<std::uint64_t, bool> stableIds_;
#endif
};

// This process's id, and whether another one still runs: a temporary whose maker has ended is
// a leftover that may go.
unsigned long ThisProcess();
bool ProcessIsAlive(unsigned long id);

} // namespace platform
