#pragma once

#include "switcher/set_view.h"

#include <array>
#include <string>
#include <string_view>

// The fixed vocabulary of the switcher: the four sets, how each is recognised and shown, and
// which buttons each installed state leaves on.
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
    std::string_view testPattern; // presence test, appended to the folder with a separator
    Control control;              // the button that installs (or restores) it
    std::string_view caption;     // that button's caption
    std::string_view title;       // main window title while the set is in
    std::string_view missing;     // message when the folder fails the presence test
};

inline constexpr std::array<SetRow, 4> kSets{{
    {"none", "KRS Flight Models", SetFolder::Stock, "*.cdf", Control::Remove, "KRS  Flight Models",
     "JOV Enable/Disable (KRS Flight Models)", "KRS folder does not exist!"},
    {"jov", "JOV Panel", SetFolder::Jov, "*.dat", Control::Install, "Install JOV Panel",
     "JOV Enable/Disable (JOV Panel)", "Cannot find JOV directory."},
    {"jovo", "JOV Online", SetFolder::Jovo, "*.dat", Control::InstallOnline, "Install JOV Online",
     "JOV Enable/Disable (JOV Online)", "Cannot find JOVO directory."},
    {"tuk", "TUK", SetFolder::Tuk, "*.cdf", Control::InstallTUK, "Install TUK",
     "JOV Enable/Disable (TUK)", "Cannot find TUK directory."},
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

} // namespace switcher
