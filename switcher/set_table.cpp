#include "switcher/set_table.h"

#include <stdexcept>

namespace switcher
{

Control CountryControl(int index)
{
    switch (index) {
    case 0:
        return Control::Country0;
    case 1:
        return Control::Country1;
    case 2:
        return Control::Country2;
    default:
        throw std::out_of_range("no Country button with index " + std::to_string(index));
    }
}

const char* ControlName(Control control)
{
    switch (control) {
    case Control::Install:
        return "Install";
    case Control::InstallOnline:
        return "InstallOnline";
    case Control::InstallTUK:
        return "InstallTUK";
    case Control::Remove:
        return "Remove";
    case Control::Country0:
        return "Country(0)";
    case Control::Country1:
        return "Country(1)";
    case Control::Country2:
        return "Country(2)";
    }
    return "?";
}

const SetRow& RowOf(SetFolder folder)
{
    return kSets[static_cast<std::size_t>(folder)];
}

const SetRow* RowOfWord(std::string_view installedSet)
{
    for (const SetRow& row : kSets) {
        if (row.word == installedSet) {
            return &row;
        }
    }
    return nullptr;
}

ControlStates StatesFor(std::string_view installedSet)
{
    if (installedSet == RowOf(SetFolder::Stock).word) {
        return {RowOf(SetFolder::Stock).title, true, false, false};
    }
    if (installedSet == RowOf(SetFolder::Jov).word) {
        return {RowOf(SetFolder::Jov).title, false, true, true};
    }
    if (installedSet == RowOf(SetFolder::Jovo).word) {
        return {RowOf(SetFolder::Jovo).title, false, true, true};
    }
    if (installedSet == RowOf(SetFolder::Tuk).word) {
        return {RowOf(SetFolder::Tuk).title, false, true, false};
    }
    return {kErrorTitle, false, false, false};
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

} // namespace switcher
