#include "game_folder.h"
#include "slow_copies.h"
#include "window_geometry.h"

#include "platform/native_file_system.h"
#include "ui/win32/frm_help.h"
#include "ui/win32/main_window.h"

#include <array>
#include <future>
#include <string>

// The Win32 windows under Wine, in a virtual display.
namespace
{

std::string TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return platform::win32::Utf8(text);
}

HWND ChildCaptioned(HWND parent, const std::string& caption)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (TextOf(child) == caption) {
            return child;
        }
    }
    return nullptr;
}

// `child` stands at `place`, counted from `container`'s corner where it stands in one.
void ExpectAt(HWND parent, HWND child, const Place& place, int dpi,
              const Place* container = nullptr)
{
    ASSERT_NE(child, nullptr) << place.name;
    RECT got{};
    GetWindowRect(child, &got);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&got), 2);
    const int left = Pixels(place.left, dpi) + (container ? Pixels(container->left, dpi) : 0);
    const int top = Pixels(place.top, dpi) + (container ? Pixels(container->top, dpi) : 0);
    EXPECT_EQ((std::array{got.left, got.top, got.right - got.left, got.bottom - got.top}),
              (std::array<LONG, 4>{left, top, Pixels(place.width, dpi), Pixels(place.height, dpi)}))
        << place.name;
}

SIZE ClientSize(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

constexpr wchar_t kMainClass[] = L"JOV_Enable.Main_Form1";
SIZE shownClient{};

using Win32WindowTest = GameFolderTest;

} // namespace

TEST_F(Win32WindowTest, ControlsStandWhereTheyShouldInTabOrder)
{
    Record("none");
    ui::win32::MainWindow window(SW_SHOWNOACTIVATE);
    const HWND main = FindWindowW(kMainClass, nullptr);
    ASSERT_NE(main, nullptr);
    const int dpi = ui::win32::DpiOf(main);
    ExpectAt(main, ChildCaptioned(main, kFrame1.caption), kFrame1, dpi);
    HWND previous = nullptr;
    for (const Place& place : kMainButtons) {
        ExpectAt(main, ChildCaptioned(main, place.caption), place, dpi,
                 std::string(place.name).starts_with("Country") ? &kFrame1 : nullptr);
        const HWND next = GetNextDlgTabItem(main, previous, FALSE);
        EXPECT_EQ(TextOf(next), place.caption) << "tab order";
        previous = next;
    }

    // Shown, the client area below the menu bar has its size; the run ends with a close.
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        const HWND shown = FindWindowW(kMainClass, nullptr);
        shownClient = ClientSize(shown);
        PostMessageW(shown, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(window.Logic().Run(), 0);
    EXPECT_EQ(shownClient.cx, Pixels(kMainClientWidth, dpi));
    EXPECT_EQ(shownClient.cy, Pixels(kMainClientHeight, dpi));
}

TEST_F(Win32WindowTest, HelpWindowControlsStandWhereTheyShould)
{
    ui::win32::frmHelp help;
    const HWND window = FindWindowW(L"JOV_Enable.frmHelp", nullptr);
    ASSERT_NE(window, nullptr);
    const int dpi = ui::win32::DpiOf(window);
    EXPECT_EQ(ClientSize(window).cx, Pixels(kHelpClientWidth, dpi));
    EXPECT_EQ(ClientSize(window).cy, Pixels(kHelpClientHeight, dpi));
    ExpectAt(window, ChildCaptioned(window, kCommand1.caption), kCommand1, dpi);
    const HWND label = GetWindow(window, GW_CHILD);

    // The text fits, in the 8-point dialog font unless it needs a smaller one, at 144 DPI too.
    wchar_t text[1024] = {};
    GetWindowTextW(label, text, 1024);
    const auto needed = [&](HFONT font, int at) {
        RECT rect{0, 0, Pixels(kLabel1.width, at), 0};
        const HDC dc = GetDC(label);
        SelectObject(dc, font);
        DrawTextW(dc, text, -1, &rect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        ReleaseDC(label, dc);
        return rect.bottom;
    };
    for (const int at : {96, 144}) {
        RECT suggested{0, 0, Pixels(kHelpClientWidth, at), Pixels(kHelpClientHeight, at)};
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(at, at),
                     reinterpret_cast<LPARAM>(&suggested));
        ExpectAt(window, label, kLabel1, at);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
        LOGFONTW described{};
        GetObjectW(font, sizeof described, &described);
        EXPECT_LE(needed(font, at), Pixels(kLabel1.height, at)) << "the text at " << at << " DPI";
        EXPECT_EQ(described.lfHeight == -MulDiv(8, at, 72),
                  needed(ui::win32::DialogFont(at).get(), at) <= Pixels(kLabel1.height, at))
            << "the dialog font unless the text needs a smaller one, at " << at << " DPI";
    }
}

TEST_F(Win32WindowTest, PenAndTouchMadeDuringACommandAreDropped)
{
    ui::win32::MainWindow window(SW_SHOWNOACTIVATE);
    const HWND main = FindWindowW(kMainClass, nullptr);
    // WM_GESTURE, WM_TOUCH, WM_POINTERDOWN, WM_POINTERUP, WM_POINTERWHEEL.
    for (const UINT message : {0x0119u, 0x0240u, 0x0246u, 0x0247u, 0x024Eu}) {
        PostMessageW(main, message, 0, 0);
    }
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, main, 0x0240, 0x0257, PM_NOREMOVE));
    window.DropQueuedInput();
    EXPECT_FALSE(PeekMessageW(&message, main, 0x0119, 0x0119, PM_NOREMOVE));
    EXPECT_FALSE(PeekMessageW(&message, main, 0x0240, 0x0257, PM_NOREMOVE));
}

// On a slow disk a command takes seconds. The window answers another thread's message within a
// second each time, and the click, key and close posted meanwhile do nothing.
TEST_F(Win32WindowTest, AnswersThroughASlowCommandAndTakesNoInputMeanwhile)
{
    Record("none");
    for (char name = 'A'; name <= 'J'; ++name) {
        Write(std::string("jov/") + name + ".DAT");
    }
    platform::NativeFileSystem native;
    SlowCopies slow(native);
    ui::win32::MainWindow window(SW_SHOWNOACTIVATE, &slow);
    const HWND main = FindWindowW(kMainClass, nullptr);
    slow.act = [&] {
        const HWND remove = ChildCaptioned(main, "KRS  Flight Models");
        PostMessageW(remove, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        PostMessageW(remove, WM_LBUTTONUP, 0, 0);
        PostMessageW(main, WM_SYSKEYDOWN, 'H', 1 << 29); // Alt+H
        PostMessageW(main, WM_CLOSE, 0, 0);
    };
    slow.answers = [&] {
        return std::async(std::launch::async, [main] {
                   return SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
               }).get() != 0;
    };
    ASSERT_TRUE(window.Logic().Form_Load());

    window.Logic().Install_Click();
    EXPECT_EQ(std::pair(slow.turns, slow.unanswered), std::pair(30, 0));
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
    EXPECT_TRUE(!FindWindowW(L"JOV_Enable.frmHelp", nullptr) && IsWindowEnabled(main)); // no Help
}
