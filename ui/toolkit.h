#pragma once

#include "switcher/set_view.h"
#include "ui/busy_work.h"

#include <memory>
#include <string>

// What the windows' logic asks of a window toolkit, and all it asks. Main_Form1 decides; the
// Qt window (ui/qt) and the Win32 window (ui/win32) each implement these with their own
// controls and message routing.
namespace ui
{

// The help window as a toolkit shows it. Creating it loads it: its text is built.
class HelpWindow
{
public:
    virtual ~HelpWindow() = default;

    // Shows the window modally with no owner; returns once OK hides it or the title bar's
    // close unloads it.
    virtual void ShowModal() = 0;
    // True after a close through the title bar: the window is unloaded and is let go.
    virtual bool Unloaded() const = 0;
};

enum class BoxIcon
{
    None,
    Error,
    Warning,
};

class Toolkit
{
public:
    virtual ~Toolkit() = default;

    virtual void SetCaption(const std::string& text) = 0;
    virtual void SetButtonEnabled(switcher::Control control, bool flag) = 0;
    // The whole main window, its menu included. Disabled while shown, it shows so at once,
    // without a turn of the event loop.
    virtual void SetWindowEnabled(bool flag) = 0;
    // Starts `work` and returns once it has ended. Meanwhile the window's thread paints, answers
    // the desktop and serves the work (BusyWork::Serve whenever woken), but takes no input: what
    // the player clicks or types stays queued for DropQueuedInput.
    virtual void RunBusy(BusyWork& work) = 0;
    // Takes the player's input that queued up while the window was disabled out of the queue,
    // while it is still disabled, so that none of it is carried out afterwards.
    virtual void DropQueuedInput() = 0;
    // An OK-only box titled "JOV Enable-Disable"; no window of the program takes input until
    // it is dismissed.
    virtual void ShowBox(const std::string& text, BoxIcon icon) = 0;
    virtual std::unique_ptr<HelpWindow> LoadHelp() = 0;
    // Shows the main window and runs the events until it is closed or the program is ended;
    // returns the exit status.
    virtual int ShowAndRun() = 0;
    // Ends the program with `status` once the running handler has returned.
    virtual void EndProgram(int status) = 0;
};

} // namespace ui
