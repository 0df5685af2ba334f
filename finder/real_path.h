#pragma once

#include <filesystem>
#include <string>

namespace finder
{

// A key equal for two paths exactly when they name the same folder: the real path, with letter
// case folded where the file system ignores it (Windows).
std::string RealPathKey(const std::filesystem::path& path);

} // namespace finder
