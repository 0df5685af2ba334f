#include "ui/failure_guard.h"
#include "ui/win32/main_form1.h"

#include <memory>

#include <windows.h>

#include <commctrl.h>

// The program takes no command line. Explorer starts it in its own folder, the game folder.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    // The themed controls of the manifest's Common Controls 6.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    std::unique_ptr<ui::win32::Main_Form1> window;
    if (!ui::RunGuarded([&window] { window = std::make_unique<ui::win32::Main_Form1>(); })) {
        return ui::kFailureExitCode;
    }
    if (!window->Form_Load()) {
        return window->ExitCode();
    }
    return window->Run(showCommand);
}
