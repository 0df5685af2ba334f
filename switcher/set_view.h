#pragma once

#include <array>
#include <string>

namespace switcher
{

// The seven buttons the switcher switches on and off, by their names in the main window, in
// the order UpdateControls sets them.
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

inline constexpr std::size_t kControlCount = 7;

inline constexpr std::array<Control, kControlCount> kControls{
    Control::Install,  Control::InstallOnline, Control::InstallTUK, Control::Remove,
    Control::Country0, Control::Country1,      Control::Country2};

// The control's name in the window: "Install", ..., "Country(0)".
const char* ControlName(Control control);

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
