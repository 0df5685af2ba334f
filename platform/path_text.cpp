#include "platform/path_text.h"

#include <cstdlib>

namespace platform
{
namespace
{

bool IsSeparator(char c, PathStyle style)
{
    return c == '/' || (style == PathStyle::Windows && c == '\\');
}

bool IsDrive(std::string_view path)
{
    return path.size() > 1 && path[1] == ':';
}

} // namespace

Split SplitPath(std::string_view path, PathStyle style)
{
    const auto cut = style == PathStyle::Windows ? path.find_last_of("\\/") : path.rfind('/');
    if (cut == std::string_view::npos) {
        return {"", std::string(path)};
    }
    const bool root = cut == 0 || (style == PathStyle::Windows && path[cut - 1] == ':');
    return {std::string(path.substr(0, root ? cut + 1 : cut)), std::string(path.substr(cut + 1))};
}

std::string Join(std::string_view folder, std::string_view leaf, PathStyle style)
{
    std::string joined(folder);
    if (!folder.empty() && !IsSeparator(folder.back(), style) &&
        !(style == PathStyle::Windows && folder.back() == ':')) {
        joined += SeparatorOf(style);
    }
    return joined.append(leaf);
}

std::string Under(std::string_view folder, std::string_view name, PathStyle style)
{
    std::string path(folder);
    path += SeparatorOf(style);
    return path.append(name);
}

std::string FolderOrHere(std::string_view folder)
{
    return folder.empty() ? std::string(".") : std::string(folder);
}

bool IsAbsolute(std::string_view path, PathStyle style)
{
    return (!path.empty() && IsSeparator(path.front(), style)) ||
           (style == PathStyle::Windows && IsDrive(path));
}

std::string Shown(std::string_view path, std::string_view workingDir, PathStyle style)
{
    return IsAbsolute(path, style) ? std::string(path) : Join(workingDir, path, style);
}

std::string TemporaryName(unsigned long processId, unsigned serial)
{
    return std::string(kTemporaryPrefix) + std::to_string(processId) + "-" +
           std::to_string(serial) + ".tmp";
}

std::optional<unsigned long> TemporaryOwner(std::string_view name)
{
    constexpr std::string_view kEnd = ".tmp";
    if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kEnd) ||
        name.size() < kTemporaryPrefix.size() + kEnd.size()) {
        return std::nullopt;
    }
    const std::string_view rest =
        name.substr(kTemporaryPrefix.size(), name.size() - kTemporaryPrefix.size() - kEnd.size());
    const auto dash = rest.find('-');
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.size() <= 18 &&
               part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (dash == std::string_view::npos || !digits(rest.substr(0, dash)) ||
        !digits(rest.substr(dash + 1))) {
        return std::nullopt;
    }
    const unsigned long owner =
        std::strtoul(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
    return owner != 0 ? std::optional(owner) : std::nullopt;
}

bool IsStaleTemporary(std::string_view name, unsigned long self,
                      const std::function<bool(unsigned long)>& processIsAlive)
{
    const std::optional<unsigned long> owner = TemporaryOwner(name);
    return owner && (*owner == self || !processIsAlive(*owner));
}

} // namespace platform
