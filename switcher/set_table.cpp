#include "switcher/set_table.h"

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

} // namespace switcher
