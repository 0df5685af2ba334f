#include "ui/win32/main_form1.h"

#include "packaging/windows/resource_ids.h"
#include "ui/failure_guard.h"
#include "ui/forms.h"
#include "ui/win32/frm_help.h"

#include <stdexcept>
#include <vector>

// After the project's headers: its DeleteFile and CopyFile macros would rename their methods.
#include <windows.h>

namespace ui::win32
{
namespace
{

constexpr wchar_t kClassName[] = L"JOV_Enable.Main_Form1";
// Control identifiers: the buttons by their place in the tab order, then the menu item. None
// is IDOK or IDCANCEL, which the dialog keys Enter and Escape send.
constexpr int kFirstButtonId = 101;
constexpr int kMenuHelpId = 201;

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

Main_Form1::Main_Form1()
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
        SlotOf(button.control) =
            MakeControl(hwnd_, L"BUTTON", button.caption, WS_TABSTOP | BS_PUSHBUTTON,
                        kFirstButtonId + static_cast<int>(i));
    }
    SetWindowPos(Frame1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    Layout(DpiOf(hwnd_));
}

Main_Form1::~Main_Form1()
{
    help_.reset();
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

HWND& Main_Form1::SlotOf(switcher::Control control)
{
    switch (control) {
    case switcher::Control::Install:
        return Install;
    case switcher::Control::InstallOnline:
        return InstallOnline;
    case switcher::Control::InstallTUK:
        return InstallTUK;
    case switcher::Control::Remove:
        return Remove;
    case switcher::Control::Country0:
        return Country[0];
    case switcher::Control::Country1:
        return Country[1];
    case switcher::Control::Country2:
        return Country[2];
    }
    throw std::logic_error("no button for a control");
}

void Main_Form1::Layout(int dpi)
{
    const forms::MainForm& form = forms::kMainForm;
    dpi_ = dpi;
    font_ = MessageFont(dpi);
    SetFont(hwnd_, font_.get());
    Place(Frame1, form.frame.rect, dpi);
    for (const forms::ButtonForm& button : form.buttons) {
        Place(SlotOf(button.control), button.rect, dpi,
              button.inFrame ? &form.frame.rect : nullptr);
    }
}

bool Main_Form1::Form_Load()
{
    bool locked = false;
    Handle([this, &locked] {
        // While the window is open no jov-switch changes the folder behind its back.
        lock_ = platform::FolderLock::Acquire(".", std::chrono::seconds(5));
        if (!lock_) {
            ShowMessage(std::string(forms::kFolderBusyMessage));
            return;
        }
        locked = true;
        switcher_.Start();
    });
    if (failed_) {
        exitCode_ = kFailureExitCode;
        return false;
    }
    if (!locked) {
        exitCode_ = 1;
        return false;
    }
    return true;
}

int Main_Form1::Run(int showCommand)
{
    SizeClient(hwnd_, forms::kMainForm.clientWidth, forms::kMainForm.clientHeight, dpi_);
    ShowWindow(hwnd_, showCommand);
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

void Main_Form1::FocusFirstControl()
{
    if (GetActiveWindow() == hwnd_) {
        HWND focus = GetFocus();
        if (focus == nullptr || !IsChild(hwnd_, focus) || !IsWindowEnabled(focus)) {
            SetFocus(GetNextDlgTabItem(hwnd_, nullptr, FALSE));
        }
    }
}

LRESULT Main_Form1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // A button's click, or the menu item (which reports 0 as BN_CLICKED does).
        if (HIWORD(wParam) == BN_CLICKED) {
            OnCommand(LOWORD(wParam));
        }
        return 0;
    case WM_CLOSE:
        // Closing ends the program, but not while a command, a message box or the help window
        // holds the window disabled.
        if (IsWindowEnabled(hwnd_)) {
            DestroyWindow(hwnd_);
        }
        return 0;
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

void Main_Form1::OnCommand(int id)
{
    if (id == kMenuHelpId) {
        Handle([this] { mnuHelp_Click(); });
        return;
    }
    const int index = id - kFirstButtonId;
    if (index < 0 || index >= static_cast<int>(forms::kMainForm.buttons.size())) {
        return; // IDCANCEL from Escape: no button is the cancel button
    }
    const switcher::Control control =
        forms::kMainForm.buttons[static_cast<std::size_t>(index)].control;
    switch (control) {
    case switcher::Control::Install:
        Handle([this] { Install_Click(); });
        break;
    case switcher::Control::InstallOnline:
        Handle([this] { InstallOnline_Click(); });
        break;
    case switcher::Control::InstallTUK:
        Handle([this] { InstallTUK_Click(); });
        break;
    case switcher::Control::Remove:
        Handle([this] { Remove_Click(); });
        break;
    case switcher::Control::Country0:
    case switcher::Control::Country1:
    case switcher::Control::Country2: {
        const int country =
            static_cast<int>(control) - static_cast<int>(switcher::Control::Country0);
        Handle([this, country] { Country_Click(country); });
        break;
    }
    }
}

void Main_Form1::Handle(const std::function<void()>& handler)
{
    if (failed_) {
        return;
    }
    ++handlerDepth_;
    const bool done = RunGuarded(handler);
    --handlerDepth_;
    if (!done) {
        // The window stays disabled and takes no input until the program has ended.
        failed_ = true;
        EnableWindow(hwnd_, FALSE);
        PostQuitMessage(kFailureExitCode);
        return;
    }
    if (handlerDepth_ == 0 && enablePending_) {
        EnableAfterCommand();
    }
}

void Main_Form1::EnableAfterCommand()
{
    // Input made while the command ran waits in the queue; taken out now, while the window is
    // still disabled, it never reaches the buttons. Requests to close are input too. Other
    // system commands posted meanwhile (restore, minimise) are left for the loop, in order.
    TakeQueued(WM_KEYFIRST, WM_KEYLAST);
    TakeQueued(WM_MOUSEFIRST, WM_MOUSELAST);
    TakeQueued(WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK);
    TakeQueued(WM_CLOSE, WM_CLOSE);
    for (const MSG& command : TakeQueued(WM_SYSCOMMAND, WM_SYSCOMMAND)) {
        if ((command.wParam & 0xFFF0) != SC_CLOSE) {
            PostMessageW(command.hwnd, command.message, command.wParam, command.lParam);
        }
    }
    enablePending_ = false;
    EnableWindow(hwnd_, TRUE);
    FocusFirstControl();
}

void Main_Form1::SetCaption(const std::string& text)
{
    SetWindowTextW(hwnd_, Wide(text).c_str());
}

void Main_Form1::SetEnabled(switcher::Control control, bool flag)
{
    EnableWindow(SlotOf(control), flag ? TRUE : FALSE);
}

void Main_Form1::SetWindowEnabled(bool flag)
{
    if (!flag) {
        enablePending_ = false;
        EnableWindow(hwnd_, FALSE);
        if (IsWindowVisible(hwnd_)) {
            UpdateWindow(hwnd_); // paints what changed without a turn of the message loop
        }
        return;
    }
    if (handlerDepth_ > 0) {
        enablePending_ = true;
        return;
    }
    EnableWindow(hwnd_, TRUE);
}

void Main_Form1::ShowMessage(const std::string& text)
{
    ShowBox(text, 0);
}

void Main_Form1::Install_Click()
{
    switcher_.Install_Click();
}

void Main_Form1::InstallOnline_Click()
{
    switcher_.InstallOnline_Click();
}

void Main_Form1::InstallTUK_Click()
{
    switcher_.InstallTUK_Click();
}

void Main_Form1::Remove_Click()
{
    switcher_.Remove_Click();
}

void Main_Form1::Country_Click(int index)
{
    switcher_.Country_Click(static_cast<std::int16_t>(index));
}

void Main_Form1::mnuHelp_Click()
{
    if (!help_ || help_->Unloaded()) {
        help_ = std::make_unique<frmHelp>();
    }
    help_->ShowModal();
    if (help_->Unloaded()) {
        help_.reset();
    }
}

} // namespace ui::win32
