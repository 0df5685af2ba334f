#pragma once

#include <optional>
#include <string>

// The first thing a player started from the menu sees: the game folders the search found, the
// ready ones first with the one used last at their head, and "Other folder…" for the desktop's
// folder dialog. The search runs beside the window, which shows that it is searching and offers
// to stop.
namespace ui::qt
{

inline constexpr const char* kFolderChooserTitle = "Find the KRS 1.2 game folder";

// The folder the player picks, or nothing when they cancel. `given` is a folder named on the
// command line that holds no game: the folder dialog starts there.
std::optional<std::string> ChooseFoundFolder(const std::optional<std::string>& given);

} // namespace ui::qt
