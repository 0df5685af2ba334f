#pragma once

#include <string>

namespace switcher
{

// The buttons the switcher switches on and off: each set's (the installs, and Remove for the
// stock set) and each air force's. Their names, captions and order come from the set and
// air-force tables (set_table.h).
enum class Control
{
    Install,
    InstallOnline,
    InstallTUK,
    Remove,
    Country0,
    Country1,
    Country2
};

// Everything the switcher does to the main window goes through this interface, so the switcher
// builds and runs without any windowing.
class SetView
{
public:
    virtual ~SetView() = default;

    virtual void SetCaption(const std::string& text) = 0;
    virtual void SetEnabled(Control control, bool flag) = 0;
    virtual void SetWindowEnabled(bool flag) = 0;
    // An OK-only box titled "JOV Enable-Disable"; returns once the player dismisses it.
    virtual void ShowMessage(const std::string& text) = 0;
};

} // namespace switcher
