#pragma once

#include "switcher/set_view.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The fixed vocabulary of the switcher: the four sets, how each is recognised and shown, which
// buttons each installed state leaves on, and the air forces with their flight models. The
// windows and jov-switch take every such name from here, and derive from the two tables what
// follows from them: the buttons, their order, names and captions, the folders' paths, and the
// lines of the help and of jov-switch's manual about sets. A set is its row, its SetFolder,
// Control and Fields member, and its button's place in the window. The functions that derive
// take the tables as parameters, the real ones by default.
namespace switcher
{

enum class SetFolder
{
    Stock,
    Jov,
    Jovo,
    Tuk
};

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

struct SetRow
{
    std::string_view word;        // InstalledSet while this set is in
    std::string_view name;        // as the window title names it
    SetFolder folder;             // where the set waits
    std::string_view folderName;  // that folder's name in the game folder
    std::string Fields::*dir;     // where the fields keep that folder's path
    std::string_view testPattern; // presence test, appended to the folder with a separator
    Control control;              // the button that installs (or restores) it
    std::string_view controlName; // that button's name in the window
    std::string_view caption;     // that button's caption
    std::string_view title;       // main window title while the set is in
    std::string_view missing;     // message when the folder fails the presence test
    std::string_view helpLine;    // the help window's line about the set's folder
    // The buttons on while the set is in: every install, Remove, every air force.
    bool installsOn;
    bool removeOn;
    bool airForcesOn;
};

// Indexed by SetFolder.
inline constexpr std::array<SetRow, 4> kSets{{
    {"none", "KRS Flight Models", SetFolder::Stock, "krs", &Fields::StockDir, "*.cdf",
     Control::Remove, "Remove", "KRS  Flight Models", "JOV Enable/Disable (KRS Flight Models)",
     "KRS folder does not exist!",
     "KRS - copy the original KRS FLT.CDF and DATA.CDF files into this folder.", true, false,
     false},
    {"jov", "JOV Panel", SetFolder::Jov, "jov", &Fields::JovDir, "*.dat", Control::Install,
     "Install", "Install JOV Panel", "JOV Enable/Disable (JOV Panel)", "Cannot find JOV directory.",
     "JOV - install the JOV Panel files here ", false, true, true},
    {"jovo", "JOV Online", SetFolder::Jovo, "jovo", &Fields::JovoDir, "*.dat",
     Control::InstallOnline, "InstallOnline", "Install JOV Online",
     "JOV Enable/Disable (JOV Online)", "Cannot find JOVO directory.",
     "JOVO - install the JOV Online files here ", false, true, true},
    {"tuk", "TUK", SetFolder::Tuk, "tuk", &Fields::TukDir, "*.cdf", Control::InstallTUK,
     "InstallTUK", "Install TUK", "JOV Enable/Disable (TUK)", "Cannot find TUK directory.",
     "TUK - install the TUK files here ", false, true, false},
}};

// RowOf finds a set's row by its SetFolder.
static_assert([] {
    for (std::size_t i = 0; i < kSets.size(); ++i) {
        if (static_cast<std::size_t>(kSets[i].folder) != i) {
            return false;
        }
    }
    return true;
}());

// A set table: kSets, or a test's.
using SetTable = std::span<const SetRow>;

inline constexpr std::string_view kErrorTitle = "JOV Enable/Disable (Error)";

// The application title, used for every message box whatever the window's title is.
inline constexpr std::string_view kAppTitle = "JOV Enable-Disable";

const SetRow& RowOf(SetFolder folder, SetTable sets = kSets);

// The row whose word is exactly `installedSet`, or null in the error state.
const SetRow* RowOfWord(std::string_view installedSet, SetTable sets = kSets);

// Calls `each` with the sets in the order of their buttons: the installs in table order, then
// the stock set's, Remove.
template <typename Each> constexpr void InButtonOrder(SetTable sets, Each each)
{
    for (const bool stock : {false, true}) {
        for (const SetRow& row : sets) {
            if ((row.folder == SetFolder::Stock) == stock) {
                each(row);
            }
        }
    }
}

// The title and the buttons' enabled flags that an installed-set word selects. Words compare
// exactly, letter case included; any other text is the error state, with every button off.
struct ControlStates
{
    std::string_view title;
    bool install; // every set's install button alike
    bool remove;
    bool countries; // every air force's button alike
};

ControlStates StatesFor(std::string_view installedSet, SetTable sets = kSets);

// Whether `control` is on in the given states.
bool IsEnabled(const ControlStates& states, Control control, SetTable sets = kSets);

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

// The buttons in the order UpdateControls sets them: the installs in table order, Remove, then
// the air forces.
template <std::size_t Sets, std::size_t AirForces>
constexpr std::array<Control, Sets + AirForces>
ControlsOf(const std::array<SetRow, Sets>& sets,
           const std::array<AirForceRow, AirForces>& airForces)
{
    std::array<Control, Sets + AirForces> controls{};
    std::size_t n = 0;
    InButtonOrder(sets, [&](const SetRow& row) { controls[n++] = row.control; });
    for (const AirForceRow& row : airForces) {
        controls[n++] = row.control;
    }
    return controls;
}

inline constexpr auto kControls = ControlsOf(kSets, kAirForces);
inline constexpr std::size_t kControlCount = kControls.size();
// The windows keep their buttons in arrays indexed by Control.
static_assert(std::ranges::all_of(kControls, [](Control control) {
    return static_cast<std::size_t>(control) < kControlCount;
}));

// The control's name as the switcher's view is told it: a set's button by its name in the
// window ("InstallTUK"), an air force's as "Country(0)".
std::string ControlName(Control control, SetTable sets = kSets);

// The caption of the control's button: its set's, or its air force's name.
std::string_view CaptionOf(Control control, SetTable sets = kSets);

// The air force of the Country button `index`; raises std::out_of_range for another index.
const AirForceRow& AirForceOf(int index);

// The air force of a Country control, or null for another control.
const AirForceRow* AirForceOf(Control control);

// The row of the set whose button is `control`, or null for an air force's button.
const SetRow* SetOf(Control control, SetTable sets = kSets);

// The add-on file types and names the stock restore clears from the game folder, in order.
inline constexpr std::array<std::string_view, 9> kCleanOut{
    "*.flt", "*.dat", "*.str", "*.mpc", "*.cpt", "*.3dz", "jovpanel.exe", "flt.cdf", "data.cdf"};

// Whether the restore clears a file of this name.
bool Cleared(std::string_view name);

inline constexpr std::string_view kStateFileName = "jovo.ini";

// The path of a set's folder among the fields.
const std::string& FolderOf(const Fields& fields, SetFolder folder);
std::string& FolderOf(Fields& fields, SetFolder folder);

// The paths of a game folder: the set folders and the state file in it.
Fields FieldsFor(const std::string& gameDir, SetTable sets = kSets);

} // namespace switcher
