#include "finder/real_path.h"

#include "finder/finder.h"

namespace finder
{

std::string RealPathKey(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return Utf8(error ? path : real);
}

} // namespace finder
