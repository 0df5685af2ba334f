#include "cli/wine_path.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

namespace cli
{
namespace
{

// The drive's letter as Wine names its link: "c" for "C:\Games".
char LetterOf(std::string_view drivePath)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(drivePath[0])));
}

// `drivePath` below the Wine prefix `prefix`: through the prefix's dosdevices/<letter>: link
// when `linked` (Wine maps every drive so: c: to ../drive_c, z: to /), else, for drive C:, in
// drive_c. Backslashes become '/'. Nothing for another drive without its link.
std::optional<std::string> InWinePrefix(std::string_view drivePath, const std::string& prefix,
                                        bool linked)
{
    const char letter = LetterOf(drivePath);
    if (!linked && letter != 'c') {
        return std::nullopt;
    }
    std::string rest(drivePath.substr(2));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    // "C:Games" is "C:\Games": Wine's working folder on a drive is the drive's root.
    if (!rest.starts_with('/')) {
        rest.insert(0, "/");
    }
    return prefix + (linked ? std::string("/dosdevices/") + letter + ':' : "/drive_c") + rest;
}

} // namespace

bool IsDrivePath(std::string_view path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 &&
           path[1] == ':';
}

WinePath FromWinePrefix(std::string_view drivePath)
{
    namespace fs = std::filesystem;
    WinePath found;
    const char* prefix = std::getenv("WINEPREFIX");
    const char* home = std::getenv("HOME");
    if (prefix != nullptr && *prefix != '\0') {
        found.prefix = prefix;
    } else if (home != nullptr && *home != '\0') {
        found.prefix = std::string(home) + "/.wine";
    } else {
        found.problem = "neither WINEPREFIX nor HOME is set, so there is no Wine prefix to look "
                        "in. Set WINEPREFIX to the prefix that holds the game.";
        return found;
    }
    std::error_code error;
    if (!fs::is_directory(found.prefix, error)) {
        found.problem = "there is no Wine prefix " + found.prefix +
                        ". Set WINEPREFIX to the prefix that holds the game, or give the "
                        "game folder's Linux path.";
        return found;
    }
    const std::string link = found.prefix + "/dosdevices/" + LetterOf(drivePath) + ':';
    const bool linked = fs::exists(fs::symlink_status(link, error));
    const std::optional<std::string> path = InWinePrefix(drivePath, found.prefix, linked);
    if (!path) {
        found.problem = "the Wine prefix " + found.prefix + " has no drive " +
                        std::string(drivePath.substr(0, 2)) + " (no " + link + ").";
        return found;
    }
    found.path = *path;
    return found;
}

} // namespace cli
