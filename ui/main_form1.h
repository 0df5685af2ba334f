#pragma once

#include "platform/folder_lock.h"
#include "platform/native_file_system.h"
#include "switcher/set_view.h"
#include "switcher/switcher.h"
#include "ui/toolkit.h"

#include <functional>
#include <memory>
#include <optional>

namespace ui
{

// The program's main window as it behaves, whatever toolkit draws it: start-up, a switcher
// command per click, the Help menu, and the rules around them. Every handler runs under the
// failure guard; a reported failure ends the program, leaves the window disabled and runs no
// later handler. While a command runs the window is disabled and busy; it is enabled again only
// after the handler has ended and the input queued meanwhile has been dropped, so a click or a
// close made during a long copy is never carried out afterwards. A click's command works on a
// thread of its own while the window's thread paints and answers the desktop; what the command
// shows (title, buttons, the window's state, a message box) reaches the window on the window's
// thread, in the same order as ever. While the window is open it holds the game folder's lock,
// so that jov-switch changes nothing behind its back.
class Main_Form1 final : public switcher::SetView
{
public:
    // The commands work on `files`, a decorator over the native file system in a test; without
    // it, on a native file system of the window's own.
    explicit Main_Form1(Toolkit& toolkit, platform::FileSystem* files = nullptr);
    Main_Form1(const Main_Form1&) = delete;
    Main_Form1& operator=(const Main_Form1&) = delete;

    // Start-up, then the window shown until it closes; returns the exit status.
    int Run();

    // Takes the folder's lock and runs the switcher's start-up; call once before the window is
    // first shown. Returns false when the program must end: the folder is held by another
    // program, or start-up failed and the failure has been reported.
    bool Form_Load();
    // The exit status when Form_Load returned false.
    int ExitCode() const { return exitCode_; }
    bool Failed() const { return failed_; }
    // Input meant for the main window is dropped: a command runs, or a failure ends the program.
    bool Busy() const { return busy_ || work_ != nullptr; }

    // The handler of a button's click.
    void Click(switcher::Control control);
    void Install_Click() { Click(switcher::Control::Install); }
    void InstallOnline_Click() { Click(switcher::Control::InstallOnline); }
    void InstallTUK_Click() { Click(switcher::Control::InstallTUK); }
    void Remove_Click() { Click(switcher::Control::Remove); }
    void Country_Click(int index);
    void mnuHelp_Click();

    void SetCaption(const std::string& text) override;
    void SetEnabled(switcher::Control control, bool flag) override;
    void SetWindowEnabled(bool flag) override;
    void ShowMessage(const std::string& text) override;

private:
    void Handle(const std::function<void()>& handler);
    // Runs `work` off the window's thread through the toolkit; rethrows what it threw.
    void RunBusy(const std::function<void()>& work);
    // What the switcher asks of the window, on the window's thread.
    void OnWindowThread(const std::function<void()>& call);
    void EnableAfterCommand();
    void ApplyWindowEnabled(bool flag);

    Toolkit& toolkit_;
    std::optional<platform::FolderLock> lock_;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<platform::FileSystem> ownFiles_;
    platform::FileSystem& files_;
    switcher::Switcher switcher_{*this, files_};
    BusyWork* work_ = nullptr; // the command's work while it runs
    int handlerDepth_ = 0;
    bool busy_ = false;
    bool enablePending_ = false;
    bool failed_ = false;
    int exitCode_ = 0;
};

} // namespace ui
