#pragma once

#include "switcher/set_view.h"
#include "ui/forms.h"
#include "ui/main_form1.h"
#include "ui/toolkit.h"

#include <QMainWindow>
#include <QRect>

#include <array>
#include <functional>

class QAction;
class QEventLoop;
class QGroupBox;
class QPushButton;

namespace ui::qt
{

// The main window in Qt Widgets: four command buttons beside the framed air-force buttons, and
// the Help menu, routed to Main_Form1, which decides everything else. While Main_Form1 is busy,
// every mouse and key event meant for the window, and every request to close it, is dropped.
// While a command works, the window's thread runs an event loop that leaves the window system's
// input queued (QEventLoop::ExcludeUserInputEvents): it paints and answers the desktop's pings.
class MainWindow final : public QMainWindow, public Toolkit
{
    Q_OBJECT

public:
    // `files`: as Main_Form1 takes it.
    explicit MainWindow(platform::FileSystem* files = nullptr);
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ServeBusy();

    QGroupBox* Frame1 = nullptr;
    std::array<QPushButton*, switcher::kControlCount> buttons_{}; // by switcher::Control
    QAction* mnuHelp = nullptr;
    BusyWork* busyWork_ = nullptr;
    QEventLoop* busyLoop_ = nullptr;
    Main_Form1 form_;
};

// An OK-only box titled "JOV Enable-Disable", modal for the whole program.
void ShowBox(const std::string& text, BoxIcon icon);

// Pixels for a place in twips, at 15 twips to the pixel.
QRect Pixels(const forms::TwipRect& twips);

// The twips were laid out for the classic 8-point dialog font, and the fonts of Linux desktops
// are larger. `widget` takes its window's font at the largest size, in quarter points from the
// window's own down to 8 pixels, at which `fits` holds.
void ShrinkFontToFit(QWidget& widget, const std::function<bool()>& fits);

// The same for a button's caption and the room its style leaves inside it.
void FitCaption(QPushButton& button);

} // namespace ui::qt
