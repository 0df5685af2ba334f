#include "ui/win32/controls.h"

#include "platform/win32/common.h"
#include "switcher/set_table.h"

#include <stdexcept>
#include <string>

namespace ui::win32
{
namespace
{

using platform::win32::SystemFunction;

// Windows 10 1607 and later.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
// Windows 8.1 and later; the second argument 0 is MDT_EFFECTIVE_DPI.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

// Smaller text is hard to read.
constexpr int kSmallestPixelSize = 8;

// The twips of both windows were laid out for the classic 8-point dialog font, which "MS Shell
// Dlg 2" names on every version (Tahoma); the message font is larger from Windows Vista on
// (Segoe UI 9 pt) and would cut off the help text's last lines.
Font DialogFontOf(int pixels)
{
    LOGFONTW font{};
    font.lfHeight = -pixels;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    std::wstring_view(L"MS Shell Dlg 2").copy(font.lfFaceName, LF_FACESIZE - 1);
    return Font(CreateFontIndirectW(&font));
}

// Whether the text of `control` fits its client area in `font`, as DrawTextW lays it out.
bool TextFits(HWND control, HFONT font, UINT format)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    RECT room{};
    GetClientRect(control, &room);
    RECT needed{0, 0, room.right, 0};
    HDC dc = GetDC(control);
    if (dc == nullptr) {
        return true; // nothing to measure with: the font stays as it is
    }
    const HGDIOBJ previous = SelectObject(dc, font);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return needed.right <= room.right && needed.bottom <= room.bottom;
}

int SystemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

} // namespace

int DpiOf(HWND window)
{
    static const auto getDpiForWindow =
        SystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    static const auto getDpiForMonitor =
        SystemFunction<GetDpiForMonitorFunction>(L"shcore.dll", "GetDpiForMonitor");
    if (getDpiForMonitor != nullptr) {
        UINT x = 0;
        UINT y = 0;
        if (SUCCEEDED(
                getDpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), 0, &x, &y)) &&
            y != 0) {
            return static_cast<int>(y);
        }
    }
    return SystemDpi();
}

void FontDeleter::operator()(HFONT font) const
{
    DeleteObject(font);
}

Font DialogFont(int dpi)
{
    return DialogFontOf(MulDiv(8, dpi, 72));
}

// A font's height is a whole number of pixels, so a pixel is the finest step: three quarters of a
// point at 96 DPI, half a point at 144.
Font FittedDialogFont(HWND control, int dpi, UINT format)
{
    int pixels = MulDiv(8, dpi, 72);
    Font font = DialogFontOf(pixels);
    while (pixels > kSmallestPixelSize && !TextFits(control, font.get(), format)) {
        font = DialogFontOf(--pixels);
    }
    return font;
}

void SetFont(HWND window, HFONT font)
{
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EnumChildWindows(
        window,
        [](HWND child, LPARAM value) -> BOOL {
            SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(value), TRUE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(font));
}

HWND MakeControl(HWND parent, const wchar_t* className, std::string_view text, unsigned long style,
                 int id)
{
    HWND control = CreateWindowExW(
        0, className, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr) {
        throw std::runtime_error("Could not create the window's controls.");
    }
    return control;
}

void Place(HWND control, const forms::TwipRect& rect, int dpi, const forms::TwipRect* container)
{
    int left = forms::Px(rect.left, dpi);
    int top = forms::Px(rect.top, dpi);
    if (container != nullptr) {
        left += forms::Px(container->left, dpi);
        top += forms::Px(container->top, dpi);
    }
    MoveWindow(control, left, top, forms::Px(rect.width, dpi), forms::Px(rect.height, dpi), TRUE);
}

void SizeClient(HWND window, int widthTwips, int heightTwips, int dpi)
{
    static const auto adjustForDpi =
        SystemFunction<AdjustWindowRectExForDpiFunction>(L"user32.dll", "AdjustWindowRectExForDpi");
    const int width = forms::Px(widthTwips, dpi);
    const int height = forms::Px(heightTwips, dpi);
    RECT frame{0, 0, width, height};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    const BOOL menu = GetMenu(window) != nullptr;
    if (adjustForDpi != nullptr) {
        adjustForDpi(&frame, style, menu, exStyle, static_cast<UINT>(dpi));
    } else {
        AdjustWindowRectEx(&frame, style, menu, exStyle);
    }
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, 0, 0, outerWidth, outerHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The estimate leaves out a menu bar that is taller than one line or drawn by the system's
    // own rules; the client area the window really got settles it.
    RECT client{};
    GetClientRect(window, &client);
    if (client.right != width || client.bottom != height) {
        outerWidth += width - client.right;
        outerHeight += height - client.bottom;
        SetWindowPos(window, nullptr, 0, 0, outerWidth, outerHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool DialogKeys(HWND window, MSG* message)
{
    const bool enter = (message->message == WM_KEYDOWN || message->message == WM_KEYUP ||
                        message->message == WM_CHAR) &&
                       (message->wParam == VK_RETURN);
    return !enter && IsDialogMessageW(window, message);
}

void ShowBox(std::string_view text, BoxIcon icon)
{
    const UINT shown = icon == BoxIcon::Error     ? MB_ICONERROR
                       : icon == BoxIcon::Warning ? MB_ICONWARNING
                                                  : 0;
    // With no owner, MB_TASKMODAL disables every window of this thread while the box is up and
    // enables again only those it disabled.
    // MB_SETFOREGROUND: a box behind another program, with the main window disabled, could
    // not be reached.
    MessageBoxW(nullptr, Wide(text).c_str(), Wide(switcher::kAppTitle).c_str(),
                MB_OK | MB_TASKMODAL | MB_SETFOREGROUND | shown);
}

LRESULT CALLBACK Form::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_DPICHANGED) {
        // Moved to a monitor of another DPI: the controls follow, and the window takes the
        // place and size the platform suggests.
        self->Layout(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    return self->OnMessage(message, wParam, lParam);
}

} // namespace ui::win32
