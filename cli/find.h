#pragma once

#include <ostream>
#include <string>
#include <string_view>

// jov-switch's side of the search for game folders: `find`, and `-C auto`.
namespace cli
{

// The game folder argument that stands for the only ready folder the search finds.
inline constexpr const char* kAutoGameDir = "auto";

// Lists the game folders found, one per line (folder, ready or to prepare, the installed word
// or -, where it was found, separated by tabs; a search cut short says so in a last line
// without a tab), or as one JSON object with `json`. Returns kDone.
int Find(bool json, std::ostream& out, std::ostream& err);

// Sets `gameDir` to the only ready game folder a complete search finds. When there is none, or
// more than one, or the search stopped early, it says so on `err` with what was found and
// returns false.
bool PickAutoGameDir(std::string& gameDir, std::ostream& err);

// A name on one line, as `ls -b` shows it: control characters, bytes that are no UTF-8 and,
// where it is no separator, the backslash escaped.
std::string OneLine(std::string_view name);

} // namespace cli
