#pragma once

#include <optional>
#include <string>
#include <string_view>

// The game folder by its Windows path ("C:\Games\KRS"), as players who run KRS 1.2 under Wine,
// Proton or Lutris know it, mapped to the folder of the Wine prefix that holds it.
namespace cli
{

// Whether `path` starts with a drive letter and a colon, as "C:\Games\KRS" and "c:/Games" do.
bool IsDrivePath(std::string_view path);

// `drivePath` below the Wine prefix `prefix`: through the prefix's dosdevices/<letter>: link
// when `linked` (Wine maps every drive so: c: to ../drive_c, z: to /), else, for drive C:, in
// drive_c. Backslashes become '/'. Nothing for another drive without its link.
std::optional<std::string> InWinePrefix(std::string_view drivePath, const std::string& prefix,
                                        bool linked);

struct WinePath
{
    std::string prefix;  // the prefix tried
    std::string path;    // the folder `drivePath` names there; empty when there is none
    std::string problem; // why not, naming the prefix; empty when there is a path
};

// `drivePath` in the Wine prefix $WINEPREFIX, or ~/.wine when that is unset or empty.
WinePath FromWinePrefix(std::string_view drivePath);

} // namespace cli
