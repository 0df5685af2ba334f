#pragma once

#include <ostream>
#include <string>

// jov-switch's side of the search for game folders: `find`, and `-C auto`.
namespace cli
{

// The game folder argument that stands for the only ready folder the search finds.
inline constexpr const char* kAutoGameDir = "auto";

// Lists the game folders found, one per line (folder, ready or to prepare, the installed word
// or -, where it was found, separated by tabs), or as one JSON object with `json`. Returns kDone.
int Find(bool json, std::ostream& out, std::ostream& err);

// Sets `gameDir` to the only ready game folder found. When there is none, or more than one, it
// says so on `err` with what was found and returns false.
bool PickAutoGameDir(std::string& gameDir, std::ostream& err);

} // namespace cli
