#pragma once

#include <string>
#include <string_view>

// The game folder by its Windows path ("C:\Games\KRS"), as players who run KRS 1.2 under Wine,
// Proton or Lutris know it, mapped to the folder of the Wine prefix that holds it.
namespace cli
{

// Whether `path` starts with a drive letter and a colon, as "C:\Games\KRS" and "c:/Games" do.
bool IsDrivePath(std::string_view path);

struct WinePath
{
    std::string prefix;  // the prefix tried
    std::string path;    // the folder `drivePath` names there; empty when there is none
    std::string problem; // why not, naming the prefix; empty when there is a path
};

// `drivePath` in the Wine prefix $WINEPREFIX, or ~/.wine when that is unset or empty.
WinePath FromWinePrefix(std::string_view drivePath);

} // namespace cli
