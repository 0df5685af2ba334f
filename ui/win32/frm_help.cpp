#include "ui/win32/frm_help.h"

#include "ui/forms.h"

#include <array>
#include <stdexcept>
#include <vector>

namespace ui::win32
{
namespace
{

constexpr wchar_t kClassName[] = L"JOV_Enable.frmHelp";
constexpr int kCommand1Id = 301; // not IDOK: Enter does not press it
constexpr int kIconSize = 32;

void RegisterClassOnce(WNDPROC procedure)
{
    static const bool registered = [procedure] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    if (!registered) {
        throw std::runtime_error("Could not register the help window's class.");
    }
}

// The enabled, visible top-level windows of this thread other than `except`, now disabled.
std::vector<HWND> DisableOthers(HWND except)
{
    struct Search
    {
        HWND except;
        std::vector<HWND> disabled;
    } search{except, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM value) -> BOOL {
            auto& found = *reinterpret_cast<Search*>(value);
            if (window != found.except && IsWindowVisible(window) && IsWindowEnabled(window)) {
                found.disabled.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (HWND window : search.disabled) {
        EnableWindow(window, FALSE);
    }
    return search.disabled;
}

} // namespace

frmHelp::frmHelp()
{
    RegisterClassOnce(&Route);
    const forms::HelpForm& form = forms::kHelpForm;
    hwnd_ = CreateWindowExW(0, kClassName, Wide(form.title).c_str(), WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            nullptr, GetModuleHandleW(nullptr), static_cast<Form*>(this));
    if (hwnd_ == nullptr) {
        throw std::runtime_error("Could not create the help window.");
    }
    // The icon is set empty: a picture with every pixel transparent, so that the title bar does
    // not fall back to a default one.
    std::array<BYTE, kIconSize * kIconSize / 8> transparent{};
    transparent.fill(0xFF);
    const std::array<BYTE, kIconSize * kIconSize / 8> black{};
    blankIcon_ = CreateIcon(GetModuleHandleW(nullptr), kIconSize, kIconSize, 1, 1,
                            transparent.data(), black.data());
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(blankIcon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(blankIcon_));

    Label1 = MakeControl(hwnd_, L"STATIC", "", SS_LEFT | SS_NOPREFIX, -1);
    Command1 =
        MakeControl(hwnd_, L"BUTTON", form.okCaption, WS_TABSTOP | BS_PUSHBUTTON, kCommand1Id);
    Form_Load(); // before the layout, which fits the label's font to the text
    const int dpi = DpiOf(hwnd_);
    Layout(dpi);
    SizeClient(hwnd_, form.clientWidth, form.clientHeight, dpi);
}

frmHelp::~frmHelp()
{
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    if (blankIcon_ != nullptr) {
        DestroyIcon(blankIcon_);
    }
}

void frmHelp::Form_Load()
{
    // The static control breaks lines at a carriage return and line feed.
    SetWindowTextW(Label1, Wide(forms::HelpTextShown("\r\n")).c_str());
}

void frmHelp::Layout(int dpi)
{
    font_ = DialogFont(dpi);
    SetFont(hwnd_, font_.get());
    Place(Label1, forms::kHelpForm.labelRect, dpi);
    Place(Command1, forms::kHelpForm.okRect, dpi);
    // Where "MS Shell Dlg 2" stands for a face with taller lines than Tahoma's (Wine may take
    // Noto Sans), the last lines would fall below the label, which keeps its size.
    labelFont_ = FittedDialogFont(Label1, dpi, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), TRUE);
}

void frmHelp::ShowModal()
{
    showing_ = true;
    std::vector<HWND> disabled = DisableOthers(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(Command1);
    MSG message;
    while (showing_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: the main loop sees the request again.
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));
            }
            break;
        }
        if (!DialogKeys(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    showing_ = false;
    // The others take input again before this window goes, so that activation returns to them.
    for (HWND window : disabled) {
        EnableWindow(window, TRUE);
    }
    if (unloaded_) {
        DestroyWindow(hwnd_);
    } else {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

void frmHelp::Command1_Click()
{
    showing_ = false; // hidden once the modal loop has ended
}

LRESULT frmHelp::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // Escape sends IDCANCEL, and OK is not the cancel button: only OK itself puts it away.
        if (LOWORD(wParam) == kCommand1Id && HIWORD(wParam) == BN_CLICKED) {
            Command1_Click();
        }
        return 0;
    case WM_CLOSE:
        // The title bar's close unloads the window; the modal loop ends and destroys it.
        unloaded_ = true;
        if (showing_) {
            showing_ = false;
        } else {
            DestroyWindow(hwnd_);
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            SetFocus(Command1);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace ui::win32
