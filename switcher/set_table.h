#pragma once

#include "switcher/set_view.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The fixed vocabulary of the switcher: the four sets, how each is recognised and shown, which
// buttons each installed state leaves on, and the air forces with their flight models. The
// windows and jov-switch take every such name from here.
namespace switcher
{

enum class SetFolder
{
    Stock,
    Jov,
    Jovo,
    Tuk
};

struct SetRow
{
    std::string_view word;        // InstalledSet while this set is in
    std::string_view name;        // as the window title names it
    SetFolder folder;             // where the set waits
    std::string_view folderName;  // that folder's name in the game folder
    std::string_view testPattern; // presence test, appended to the folder with a separator
    Control control;              // the button that installs (or restores) it
    std::string_view caption;     // that button's caption
    std::string_view title;       // main window title while the set is in
    std::string_view missing;     // message when the folder fails the presence test
    // The buttons on while the set is in: the three installs, Remove, the three air forces.
    bool installsOn;
    bool removeOn;
    bool airForcesOn;
};

// In the order UpdateControls tests the words; indexed by SetFolder.
inline constexpr std::array<SetRow, 4> kSets{{
    {"none", "KRS Flight Models", SetFolder::Stock, "krs", "*.cdf", Control::Remove,
     "KRS  Flight Models", "JOV Enable/Disable (KRS Flight Models)", "KRS folder does not exist!",
     true, false, false},
    {"jov", "JOV Panel", SetFolder::Jov, "jov", "*.dat", Control::Install, "Install JOV Panel",
     "JOV Enable/Disable (JOV Panel)", "Cannot find JOV directory.", false, true, true},
    {"jovo", "JOV Online", SetFolder::Jovo, "jovo", "*.dat", Control::InstallOnline,
     "Install JOV Online", "JOV Enable/Disable (JOV Online)", "Cannot find JOVO directory.", false,
     true, true},
    {"tuk", "TUK", SetFolder::Tuk, "tuk", "*.cdf", Control::InstallTUK, "Install TUK",
     "JOV Enable/Disable (TUK)", "Cannot find TUK directory.", false, true, false},
}};

inline constexpr std::string_view kErrorTitle = "JOV Enable/Disable (Error)";

// The application title, used for every message box whatever the window's title is.
inline constexpr std::string_view kAppTitle = "JOV Enable-Disable";

const SetRow& RowOf(SetFolder folder);

// The row whose word is exactly `installedSet`, or null in the error state.
const SetRow* RowOfWord(std::string_view installedSet);

// The title and the seven enabled flags that an installed-set word selects. Words compare
// exactly, letter case included; any other text is the error state, with every button off.
struct ControlStates
{
    std::string_view title;
    bool install; // Install, InstallOnline and InstallTUK alike
    bool remove;
    bool countries; // Country 0, 1 and 2 alike
};

ControlStates StatesFor(std::string_view installedSet);

// Whether `control` is on in the given states.
bool IsEnabled(const ControlStates& states, Control control);

// Flight-model files of each air force, in the order they are deleted.
inline constexpr std::array<std::string_view, 5> kRafModels{"hurr.flt", "mosq.flt", "sp2a.flt",
                                                            "sp09.flt", "sp14.flt"};
inline constexpr std::array<std::string_view, 7> kUsaafModels{
    "b24a.flt", "b26a.flt", "bb17.flt", "p47c.flt", "p47d.flt", "p51b.flt", "p51d.flt"};
inline constexpr std::array<std::string_view, 12> kLuftwaffeModels{
    "110c.flt", "110g.flt", "190a.flt", "190d.flt", "109e.flt", "109g.flt",
    "109k.flt", "262a.flt", "h111.flt", "j88a.flt", "ju87.flt", "m410.flt"};

struct AirForceRow
{
    std::int16_t index;    // the Country button's index
    std::string_view name; // the button's caption, which jov-switch shows and keys its JSON by
    std::string_view word; // jov-switch's word for it
    Control control;
    std::span<const std::string_view> models;
};

// By Country index.
inline constexpr std::array<AirForceRow, 3> kAirForces{{
    {0, "RAF", "raf", Control::Country0, kRafModels},
    {1, "USAAF", "usaaf", Control::Country1, kUsaafModels},
    {2, "Luftwaffe", "luftwaffe", Control::Country2, kLuftwaffeModels},
}};

// The air force of the Country button `index`; raises std::out_of_range for another index.
const AirForceRow& AirForceOf(int index);

// The air force of a Country control, or null for another control.
const AirForceRow* AirForceOf(Control control);

// The row of the set whose button is `control`, or null for an air force's button.
const SetRow* SetOf(Control control);

// The add-on file types and names the stock restore clears from the game folder, in order.
inline constexpr std::array<std::string_view, 9> kCleanOut{
    "*.flt", "*.dat", "*.str", "*.mpc", "*.cpt", "*.3dz", "jovpanel.exe", "flt.cdf", "data.cdf"};

// Whether the restore clears a file of this name.
bool Cleared(std::string_view name);

inline constexpr std::string_view kStateFileName = "jovo.ini";

// What the switcher holds for the whole run: the game folder, the four set folders and the
// state file, all fixed at start-up from the working folder, and the installed set's word.
struct Fields
{
    std::string GameDir;
    std::string JovDir;
    std::string JovoDir;
    std::string TukDir;
    std::string StockDir;
    std::string StateFile;
    std::string InstalledSet;
};

// The path of a set's folder among the fields.
const std::string& FolderOf(const Fields& fields, SetFolder folder);
std::string& FolderOf(Fields& fields, SetFolder folder);

// The paths of a game folder: the set folders and the state file in it.
Fields FieldsFor(const std::string& gameDir);

} // namespace switcher
