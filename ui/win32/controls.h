#pragma once

#include "platform/win32/unicode.h"
#include "ui/forms.h"
#include "ui/toolkit.h"

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include <windows.h>

// What the Win32 windows share: text in UTF-16, placement from twips at the window's DPI, the
// dialog font, and the program's message box.
namespace ui::win32
{

using platform::win32::Wide;

// Dots per inch of the monitor that shows `window`, or of the system where the platform cannot
// tell monitors apart.
int DpiOf(HWND window);

struct FontDeleter
{
    void operator()(HFONT font) const;
};
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// The dialog font, "MS Shell Dlg 2" at 8 points, at `dpi`: every control of both windows has it.
Font DialogFont(int dpi);

// The dialog font at `dpi` where the text of `control` fits its client area in it, as DrawTextW
// measures the text with `format`; else the dialog font at the largest smaller size at which the
// text fits. Sizes go down a pixel at a time, to 8 pixels at the least, where a text that still
// does not fit is cut at the edge of its control.
Font FittedDialogFont(HWND control, int dpi, UINT format);

// Gives `window` and each of its controls `font`.
void SetFont(HWND window, HFONT font);

// Creates a control with `font`, at no place yet; `id` is what its notifications carry.
HWND MakeControl(HWND parent, const wchar_t* className, std::string_view text, unsigned long style,
                 int id);

// Puts `control` at `rect`, counted from the corner of `container` where it stands in one.
void Place(HWND control, const forms::TwipRect& rect, int dpi,
           const forms::TwipRect* container = nullptr);

// Sizes `window` so that its client area, below any menu bar, is the given twips at `dpi`.
void SizeClient(HWND window, int widthTwips, int heightTwips, int dpi);

// Keyboard navigation as in a dialog: Tab and the arrow keys move between the controls of
// `window`, Space presses the focused button. Enter presses nothing, as no button is a default
// button, although the dialog manager would press the focused one. Returns whether `message`
// was taken.
bool DialogKeys(HWND window, MSG* message);

// A top-level window owned by an object: the window's messages reach the object's OnMessage
// from its creation, where the object (as a Form) is CreateWindowExW's last argument, to its
// destruction.
class Form
{
public:
    virtual ~Form() = default;

protected:
    // The window procedure of every form's window class.
    static LRESULT CALLBACK Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Places the controls for `dpi`, also when the window moves to a monitor of another DPI.
    virtual void Layout(int dpi) = 0;

    HWND hwnd_ = nullptr;
};

// An OK-only box titled "JOV Enable-Disable". Every window of this thread takes no input until
// it is dismissed.
void ShowBox(std::string_view text, BoxIcon icon);

} // namespace ui::win32
