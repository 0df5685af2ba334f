#pragma once

#include "platform/file_system.h"

#include <optional>
#include <string>
#include <string_view>

// Where the window starts: in the working folder as it is (no argument), on a folder named on
// the command line (a launcher's or the file manager's), or, for the desktop menu, on a folder
// the player chooses in the desktop's folder dialog. Outside a game folder the program writes
// only the remembered choice, and only once the player has chosen a folder.
namespace ui::qt
{

// Exit status when the command line cannot be used.
inline constexpr int kUsageExitCode = 2;

// The desktop entry starts the program with this option: without a folder after it, the
// program asks for one; with one (the file manager's "Open with"), it starts there when the
// folder holds the game, and otherwise asks, starting at that folder. A desktop that makes the
// entry its default for folders then writes nothing into folders that are not the game's.
inline constexpr std::string_view kChooseFolderOption = "--choose-folder";

struct StartRequest
{
    bool help = false;                 // --help: print the usage and end, as a Linux program does
    bool version = false;              // --version: print the name and version and end
    bool choose = false;               // ask for the folder when none is given
    std::optional<std::string> folder; // the game folder named on the command line
    std::string problem;               // why the command line cannot be used; empty when it can
};

StartRequest ReadCommandLine(int argc, const char* const argv[]);

// How to start the program, as --help prints it and a refused command line shows it.
std::string_view Usage();

// Makes `folder` the working folder, its names matched in any letter case as the game does.
// Returns why it cannot be used, or an empty text when it is the working folder now.
std::string EnterFolder(platform::FileSystem& files, const std::string& folder);

// Reports a command line that cannot be used, with the usage, on standard error and in a box
// titled "JOV Enable-Disable"; returns the exit status once the box is dismissed.
int RefuseCommandLine(const std::string& problem);

// Whether the working folder holds the game's stock flight models ("krs", any letter case),
// so that it is a KRS 1.2 game folder and not a folder handed over by mistake.
bool HoldsStockSet(platform::FileSystem& files);

// Asks for the game folder in the desktop's folder dialog, starting at `startAt` or else at the
// folder chosen last time. Nothing when the player cancels.
std::optional<std::string> ChooseGameFolder(const std::optional<std::string>& startAt = {});

// Asks in the desktop's folder dialog for a folder or drive to search for the game folder,
// starting at the home folder. Nothing when the player cancels.
std::optional<std::string> ChooseFolderToSearch();

// The folder RememberGameFolder kept, as kept (it may be gone since); empty when there is none.
std::string RememberedGameFolder();

// Keeps `folder` as the next dialog's starting point, in the user's configuration folder
// ($XDG_CONFIG_HOME, by default ~/.config) under jov-enable/.
void RememberGameFolder(const std::string& folder);

} // namespace ui::qt
