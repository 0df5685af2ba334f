#include "ui/failure_guard.h"

#include "ui/win32/controls.h"

#include <windows.h>

namespace ui
{

void ShowFailureBox(const std::string& text)
{
    win32::ShowBox(text, MB_ICONERROR);
}

} // namespace ui
