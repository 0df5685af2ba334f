#pragma once

#include "ui/main_form1.h"
#include "ui/toolkit.h"
#include "ui/win32/controls.h"

#include <array>

namespace ui::win32
{

// The main window on the Win32 API: four command buttons beside the framed air-force buttons,
// and the Help menu, routed to Main_Form1, which decides everything else.
//
// A command works on a thread of its own. The window's thread meanwhile waits in
// MsgWaitForMultipleObjects for paint, posted and sent messages and the work's calls, never for
// input, so it paints and answers the system while the input made meanwhile waits in its queue;
// DropQueuedInput takes the mouse and keyboard, pen and touch messages and close requests out of
// the queue before the window is enabled again.
class MainWindow final : public Form, public Toolkit
{
public:
    // `files`: as Main_Form1 takes it.
    explicit MainWindow(int showCommand, platform::FileSystem* files = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    Main_Form1& Logic() { return form_; }

    void SetCaption(const std::string& text) override;
    void SetButtonEnabled(switcher::Control control, bool flag) override;
    void SetWindowEnabled(bool flag) override;
    void RunBusy(BusyWork& work) override;
    void DropQueuedInput() override;
    void ShowBox(const std::string& text, BoxIcon icon) override;
    std::unique_ptr<HelpWindow> LoadHelp() override;
    int ShowAndRun() override;
    void EndProgram(int status) override;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout(int dpi) override;
    void FocusFirstControl();

    HWND Frame1 = nullptr;
    std::array<HWND, switcher::kControlCount> buttons_{}; // by switcher::Control
    HMENU menu_ = nullptr;
    HWND focus_ = nullptr; // the control to focus when the window is next activated
    Font font_;
    int dpi_ = 96;
    int showCommand_;
    Main_Form1 form_;
};

} // namespace ui::win32
