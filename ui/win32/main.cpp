#include "ui/failure_guard.h"
#include "ui/win32/main_window.h"

#include <memory>

#include <commctrl.h>

// The program takes no command line. Explorer starts it in its own folder, the game folder.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    // A command works on a thread of its own while the window's thread keeps taking messages,
    // so Windows has no cause to call the window hung. Should it still (a machine that stalls
    // the whole program for seconds), no "Not Responding" ghost takes the window's place, which
    // the player could close to end the program in the middle of a copy; the window stays
    // itself, disabled.
    DisableProcessWindowsGhosting();
    // The themed controls of the manifest's Common Controls 6.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    std::unique_ptr<ui::win32::MainWindow> window;
    const bool made = ui::RunGuarded(
        [&] { window = std::make_unique<ui::win32::MainWindow>(showCommand); },
        [](const std::string& text) { ui::win32::ShowBox(text, ui::BoxIcon::Error); });
    return made ? window->Logic().Run() : ui::kFailureExitCode;
}
