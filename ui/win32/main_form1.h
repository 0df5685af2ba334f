#pragma once

#include "platform/folder_lock.h"
#include "switcher/set_view.h"
#include "switcher/switcher.h"
#include "ui/win32/controls.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

struct HMENU__;

namespace ui::win32
{

class frmHelp;

// The program's main window on Windows: four command buttons beside the framed air-force
// buttons, and the Help menu. It shows what the switcher decides and runs one switcher command
// per click, as the Qt window does on Linux.
//
// A command runs on the window thread without pumping messages, so input made meanwhile waits
// in the thread's queue. The window is disabled during the command; before it is enabled again
// the queued mouse and keyboard messages and close requests are taken out of the queue while
// it is still disabled, so a click or a close made during a long copy is never carried out
// afterwards.
class Main_Form1 final : public switcher::SetView, public Form
{
public:
    Main_Form1();
    ~Main_Form1() override;
    Main_Form1(const Main_Form1&) = delete;
    Main_Form1& operator=(const Main_Form1&) = delete;

    // Runs the switcher's start-up; call once before the window is first shown. Returns false
    // when start-up failed and the failure has been reported: the program must then end.
    bool Form_Load();
    // The exit status when Form_Load returned false.
    int ExitCode() const { return exitCode_; }

    // Shows the window and runs its messages until it closes; returns the exit status.
    int Run(int showCommand);

    void SetCaption(const std::string& text) override;
    void SetEnabled(switcher::Control control, bool flag) override;
    void SetWindowEnabled(bool flag) override;
    void ShowMessage(const std::string& text) override;

    void Install_Click();
    void InstallOnline_Click();
    void InstallTUK_Click();
    void Remove_Click();
    void Country_Click(int index);
    void mnuHelp_Click();

private:
    std::intptr_t OnMessage(unsigned int message, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
    void OnCommand(int id);
    void Layout(int dpi) override;
    // Every handler runs through here: under the failure guard, with the window's enabling
    // held back until the handler has ended and queued input has been dropped.
    void Handle(const std::function<void()>& handler);
    void EnableAfterCommand();
    void FocusFirstControl();
    HWND__*& SlotOf(switcher::Control control);

    HWND__* Install = nullptr;
    HWND__* Remove = nullptr;
    HWND__* Frame1 = nullptr;
    std::array<HWND__*, switcher::kCountryCount> Country{};
    HWND__* InstallOnline = nullptr;
    HWND__* InstallTUK = nullptr;
    HMENU__* menu_ = nullptr;
    HWND__* focus_ = nullptr; // the control to focus when the window is next activated
    Font font_;
    int dpi_ = 96;

    std::optional<platform::FolderLock> lock_;
    std::unique_ptr<frmHelp> help_;
    switcher::Switcher switcher_{*this};
    int handlerDepth_ = 0;
    bool enablePending_ = false;
    bool failed_ = false;
    int exitCode_ = 0;
};

} // namespace ui::win32
