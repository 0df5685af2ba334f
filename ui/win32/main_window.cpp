#include "ui/win32/main_window.h"

#include "packaging/windows/resource_ids.h"
#include "ui/win32/frm_help.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <vector>

namespace ui::win32
{
namespace
{

constexpr wchar_t kClassName[] = L"JOV_Enable.Main_Form1";
// Control identifiers: the buttons by their place in the tab order, then the menu item. None
// is IDOK or IDCANCEL, which the dialog keys Enter and Escape send.
constexpr int kFirstButtonId = 101;
constexpr int kMenuHelpId = 201;
// WM_TOUCH, the last of the WM_POINTER... messages, and WM_GESTURE, from Windows 7 and 8 on.
constexpr UINT kTouch = 0x0240;
constexpr UINT kLastPointer = 0x0257;
constexpr UINT kGesture = 0x0119;
// The player's input: keys, the mouse in and outside the client area, pen and touch.
constexpr std::array<std::array<UINT, 2>, 5> kInput{{{WM_KEYFIRST, WM_KEYLAST},
                                                     {WM_MOUSEFIRST, WM_MOUSELAST},
                                                     {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
                                                     {kTouch, kLastPointer},
                                                     {kGesture, kGesture}}};
// While a command works, the window's thread looks at its queue at least this often (ms), also
// when nothing arrives: Windows calls a window whose thread has not done so for 5 seconds hung.
constexpr DWORD kBusyTurn = 250;

bool IsInput(UINT message)
{
    return std::any_of(kInput.begin(), kInput.end(), [message](const auto& range) {
        return message >= range[0] && message <= range[1];
    });
}

void RegisterClassOnce(WNDPROC procedure)
{
    static const bool registered = [procedure] {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = instance;
        windowClass.hIcon = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(JOV_ICON), IMAGE_ICON,
                       GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
        windowClass.hIconSm = static_cast<HICON>(LoadImageW(
            instance, MAKEINTRESOURCEW(JOV_ICON), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
            GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    if (!registered) {
        throw std::runtime_error("Could not register the main window's class.");
    }
}

// Takes out of the thread's queue every message in [first, last]; returns them.
std::vector<MSG> TakeQueued(UINT first, UINT last)
{
    std::vector<MSG> taken;
    MSG message;
    while (PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
        taken.push_back(message);
    }
    return taken;
}

} // namespace

MainWindow::MainWindow(int showCommand, platform::FileSystem* files)
    : showCommand_(showCommand), form_(*this, files)
{
    RegisterClassOnce(&Route);
    const forms::MainForm& form = forms::kMainForm;

    menu_ = CreateMenu();
    AppendMenuW(menu_, MF_STRING, kMenuHelpId, Wide(form.menuCaption).c_str());
    hwnd_ = CreateWindowExW(0, kClassName, Wide(form.title).c_str(), WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            menu_, GetModuleHandleW(nullptr), static_cast<Form*>(this));
    if (hwnd_ == nullptr) {
        DestroyMenu(menu_);
        throw std::runtime_error("Could not create the main window.");
    }

    // The buttons are created in tab order, which is their order among their siblings. The
    // frame takes no focus; it stands below them all, so that the buttons in it paint over it.
    Frame1 = MakeControl(hwnd_, L"BUTTON", form.frame.caption, BS_GROUPBOX, -1);
    for (std::size_t i = 0; i < form.buttons.size(); ++i) {
        const forms::ButtonForm& button = form.buttons[i];
        buttons_[static_cast<std::size_t>(button.control)] =
            MakeControl(hwnd_, L"BUTTON", switcher::CaptionOf(button.control),
                        WS_TABSTOP | BS_PUSHBUTTON, kFirstButtonId + static_cast<int>(i));
    }
    SetWindowPos(Frame1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    Layout(DpiOf(hwnd_));
}

MainWindow::~MainWindow()
{
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

void MainWindow::Layout(int dpi)
{
    const forms::MainForm& form = forms::kMainForm;
    dpi_ = dpi;
    font_ = DialogFont(dpi);
    SetFont(hwnd_, font_.get());
    Place(Frame1, form.frame.rect, dpi);
    for (const forms::ButtonForm& button : form.buttons) {
        Place(buttons_[static_cast<std::size_t>(button.control)], button.rect, dpi,
              button.inFrame ? &form.frame.rect : nullptr);
    }
}

int MainWindow::ShowAndRun()
{
    SizeClient(hwnd_, forms::kMainForm.clientWidth, forms::kMainForm.clientHeight, dpi_);
    ShowWindow(hwnd_, showCommand_);
    UpdateWindow(hwnd_);
    FocusFirstControl();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!DialogKeys(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

void MainWindow::FocusFirstControl()
{
    if (GetActiveWindow() == hwnd_) {
        HWND focus = GetFocus();
        if (focus == nullptr || !IsChild(hwnd_, focus) || !IsWindowEnabled(focus)) {
            SetFocus(GetNextDlgTabItem(hwnd_, nullptr, FALSE));
        }
    }
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // A button's click, or the menu item (which reports 0 as BN_CLICKED does).
        if (HIWORD(wParam) == BN_CLICKED) {
            const int id = LOWORD(wParam);
            const auto index = static_cast<std::size_t>(id - kFirstButtonId);
            if (id == kMenuHelpId) {
                form_.mnuHelp_Click();
            } else if (id >= kFirstButtonId && index < forms::kMainForm.buttons.size()) {
                form_.Click(forms::kMainForm.buttons[index].control);
            }
            // Anything else is IDCANCEL from Escape: no button is the cancel button.
        }
        return 0;
    case WM_CLOSE:
        // Closing ends the program, but not while a command works or a message box or the help
        // window holds the window disabled.
        if (IsWindowEnabled(hwnd_) && !form_.Busy()) {
            DestroyWindow(hwnd_);
        }
        return 0;
    case WM_QUERYENDSESSION:
        // A command half done at a shutdown or sign-out would stay half done: Windows lists the
        // program as one that keeps it from ending, and the player chooses.
        return form_.Busy() ? FALSE : TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus != nullptr && IsChild(hwnd_, focus)) {
                focus_ = focus;
            }
        } else if (focus_ != nullptr && IsWindowEnabled(focus_)) {
            SetFocus(focus_);
            return 0;
        } else {
            DefWindowProcW(hwnd_, message, wParam, lParam);
            FocusFirstControl();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::SetCaption(const std::string& text)
{
    SetWindowTextW(hwnd_, Wide(text).c_str());
}

void MainWindow::SetButtonEnabled(switcher::Control control, bool flag)
{
    EnableWindow(buttons_[static_cast<std::size_t>(control)], flag ? TRUE : FALSE);
}

void MainWindow::SetWindowEnabled(bool flag)
{
    EnableWindow(hwnd_, flag ? TRUE : FALSE);
    if (flag) {
        FocusFirstControl();
    } else if (IsWindowVisible(hwnd_)) {
        UpdateWindow(hwnd_); // paints what changed without a turn of the message loop
    }
}

void MainWindow::RunBusy(BusyWork& work)
{
    const HANDLE woken = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (woken == nullptr) {
        throw std::runtime_error("Could not make the event a command wakes the window with.");
    }
    work.Start([woken] { SetEvent(woken); });
    std::optional<WPARAM> quit;
    for (bool ended = false; !ended;) {
        const DWORD got = MsgWaitForMultipleObjectsEx(
            1, &woken, kBusyTurn, QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE | QS_TIMER, 0);
        if (got == WAIT_OBJECT_0) {
            ended = work.Serve();
        }
        // Sent messages are answered inside PeekMessageW. Key and mouse messages posted by a
        // program, not typed or clicked, are dropped here as DropQueuedInput would drop them.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0,
                            PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
            if (message.message == WM_QUIT) {
                quit = message.wParam;
            } else if (!IsInput(message.message)) {
                DispatchMessageW(&message);
            }
        }
    }
    CloseHandle(woken);
    if (quit) {
        PostQuitMessage(static_cast<int>(*quit));
    }
}

void MainWindow::DropQueuedInput()
{
    // Requests to close are input too. Other system commands posted meanwhile (restore,
    // minimise) are left for the loop, in order.
    for (const auto& [first, last] : kInput) {
        TakeQueued(first, last);
    }
    TakeQueued(WM_CLOSE, WM_CLOSE);
    for (const MSG& command : TakeQueued(WM_SYSCOMMAND, WM_SYSCOMMAND)) {
        if ((command.wParam & 0xFFF0) != SC_CLOSE) {
            PostMessageW(command.hwnd, command.message, command.wParam, command.lParam);
        }
    }
}

void MainWindow::ShowBox(const std::string& text, BoxIcon icon)
{
    win32::ShowBox(text, icon);
}

std::unique_ptr<HelpWindow> MainWindow::LoadHelp()
{
    return std::make_unique<frmHelp>();
}

void MainWindow::EndProgram(int status)
{
    PostQuitMessage(status);
}

} // namespace ui::win32
