#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform
{

// A file read from its start, in pieces; one implementation per platform. Raises FsError when
// it cannot be opened or read. `path` is as the platform resolved it.
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

// The first `limit` bytes of a file, read in pieces so that a long file costs no more memory
// than it holds.
std::string ReadUpTo(const std::string& path, std::size_t limit);

// Whether two files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b);

} // namespace platform
