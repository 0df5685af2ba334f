#include "switcher/set_table.h"

#include "platform/name_match.h"
#include "platform/path_text.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace switcher
{

std::string ControlName(Control control, SetTable sets)
{
    const SetRow* set = SetOf(control, sets);
    return set != nullptr ? std::string(set->controlName)
                          : "Country(" + std::to_string(AirForceOf(control)->index) + ")";
}

std::string_view CaptionOf(Control control, SetTable sets)
{
    const SetRow* set = SetOf(control, sets);
    return set != nullptr ? set->caption : AirForceOf(control)->name;
}

const SetRow& RowOf(SetFolder folder, SetTable sets)
{
    return sets[static_cast<std::size_t>(folder)];
}

const SetRow* RowOfWord(std::string_view installedSet, SetTable sets)
{
    const auto found = std::ranges::find(sets, installedSet, &SetRow::word);
    return found == sets.end() ? nullptr : &*found;
}

ControlStates StatesFor(std::string_view installedSet, SetTable sets)
{
    const SetRow* row = RowOfWord(installedSet, sets);
    if (row == nullptr) {
        return {kErrorTitle, false, false, false};
    }
    return {row->title, row->installsOn, row->removeOn, row->airForcesOn};
}

bool IsEnabled(const ControlStates& states, Control control, SetTable sets)
{
    const SetRow* set = SetOf(control, sets);
    if (set == nullptr) {
        return states.countries;
    }
    return set->folder == SetFolder::Stock ? states.remove : states.install;
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
    const auto found = std::ranges::find(kAirForces, control, &AirForceRow::control);
    return found == kAirForces.end() ? nullptr : &*found;
}

const SetRow* SetOf(Control control, SetTable sets)
{
    const auto found = std::ranges::find(sets, control, &SetRow::control);
    return found == sets.end() ? nullptr : &*found;
}

bool Cleared(std::string_view name)
{
    return std::any_of(kCleanOut.begin(), kCleanOut.end(), [&](std::string_view pattern) {
        return platform::MatchesPattern(name, pattern);
    });
}

const std::string& FolderOf(const Fields& fields, SetFolder folder)
{
    return fields.*RowOf(folder).dir;
}

std::string& FolderOf(Fields& fields, SetFolder folder)
{
    return fields.*RowOf(folder).dir;
}

// The names are appended as they stand, without looking at how the game folder's path ends.
Fields FieldsFor(const std::string& gameDir, SetTable sets)
{
    Fields fields;
    fields.GameDir = gameDir;
    for (const SetRow& row : sets) {
        fields.*row.dir = platform::Under(gameDir, row.folderName);
    }
    fields.StateFile = platform::Under(gameDir, kStateFileName);
    return fields;
}

} // namespace switcher
