#include "finder/real_path.h"

#include "finder/finder.h"

#include <windows.h>

namespace finder
{

std::string RealPathKey(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
    std::wstring text = (error ? path : real).wstring();
    // Windows' own upper-casing, as its file names compare.
    if (!text.empty()) {
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    return Utf8(std::filesystem::path(text));
}

} // namespace finder
