#include "switcher/set_table.h"

#include "platform/name_match.h"
#include "platform/path_text.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace switcher
{

const char* ControlName(Control control)
{
    static constexpr std::array<const char*, kControlCount> kNames{
        "Install",    "InstallOnline", "InstallTUK", "Remove",
        "Country(0)", "Country(1)",    "Country(2)"};
    return kNames.at(static_cast<std::size_t>(control));
}

const SetRow& RowOf(SetFolder folder)
{
    return kSets[static_cast<std::size_t>(folder)];
}

const SetRow* RowOfWord(std::string_view installedSet)
{
    const auto* found = std::find_if(kSets.begin(), kSets.end(),
                                     [&](const SetRow& row) { return row.word == installedSet; });
    return found == kSets.end() ? nullptr : &*found;
}

ControlStates StatesFor(std::string_view installedSet)
{
    const SetRow* row = RowOfWord(installedSet);
    if (row == nullptr) {
        return {kErrorTitle, false, false, false};
    }
    return {row->title, row->installsOn, row->removeOn, row->airForcesOn};
}

bool IsEnabled(const ControlStates& states, Control control)
{
    switch (control) {
    case Control::Install:
    case Control::InstallOnline:
    case Control::InstallTUK:
        return states.install;
    case Control::Remove:
        return states.remove;
    case Control::Country0:
    case Control::Country1:
    case Control::Country2:
        return states.countries;
    }
    return false;
}

const AirForceRow& AirForceOf(int index)
{
    if (index < 0 || index >= static_cast<int>(kAirForces.size())) {
        throw std::out_of_range("no Country button with index " + std::to_string(index));
    }
    return kAirForces[static_cast<std::size_t>(index)];
}

const AirForceRow* AirForceOf(Control control)
{
    const auto* found =
        std::find_if(kAirForces.begin(), kAirForces.end(),
                     [control](const AirForceRow& row) { return row.control == control; });
    return found == kAirForces.end() ? nullptr : &*found;
}

const SetRow* SetOf(Control control)
{
    const auto* found = std::find_if(kSets.begin(), kSets.end(), [control](const SetRow& row) {
        return row.control == control;
    });
    return found == kSets.end() ? nullptr : &*found;
}

bool Cleared(std::string_view name)
{
    return std::any_of(kCleanOut.begin(), kCleanOut.end(), [&](std::string_view pattern) {
        return platform::MatchesPattern(name, pattern);
    });
}

// Where each set folder's path is kept, by SetFolder.
constexpr std::array<std::string Fields::*, kSets.size()> kSetDirs{
    &Fields::StockDir, &Fields::JovDir, &Fields::JovoDir, &Fields::TukDir};

const std::string& FolderOf(const Fields& fields, SetFolder folder)
{
    return fields.*kSetDirs[static_cast<std::size_t>(folder)];
}

std::string& FolderOf(Fields& fields, SetFolder folder)
{
    return fields.*kSetDirs[static_cast<std::size_t>(folder)];
}

// The names are appended as they stand, without looking at how the game folder's path ends.
Fields FieldsFor(const std::string& gameDir)
{
    Fields fields;
    fields.GameDir = gameDir;
    for (const SetFolder folder :
         {SetFolder::Jov, SetFolder::Jovo, SetFolder::Tuk, SetFolder::Stock}) {
        FolderOf(fields, folder) = platform::Under(gameDir, RowOf(folder).folderName);
    }
    fields.StateFile = platform::Under(gameDir, kStateFileName);
    return fields;
}

} // namespace switcher
