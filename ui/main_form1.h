#pragma once

#include "platform/folder_lock.h"
#include "switcher/set_view.h"
#include "switcher/switcher.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QGroupBox;
class QPushButton;

namespace ui
{
namespace forms
{
struct ButtonForm;
}

class frmHelp;

// The program's main window: four command buttons beside the framed air-force buttons, and the
// Help menu. It shows what the switcher decides and runs one switcher command per click.
//
// While a command runs the window is disabled and every mouse and key event meant for it, and
// every request to close it, is dropped; input that queued up meanwhile is drained, still
// disabled, before the window is enabled again, so a click or a close made during a long copy
// is never carried out afterwards.
class Main_Form1 final : public QMainWindow, public switcher::SetView
{
    Q_OBJECT

public:
    explicit Main_Form1(QWidget* parent = nullptr);
    ~Main_Form1() override;
    Main_Form1(const Main_Form1&) = delete;
    Main_Form1& operator=(const Main_Form1&) = delete;

    // Runs the switcher's start-up; call once before the window is first shown. Returns false
    // when start-up failed and the failure has been reported: the program must then end.
    bool Form_Load();

    // After a reported failure the window stays disabled and the program must end.
    bool Failed() const { return failed_; }
    // The exit status when Form_Load returned false.
    int ExitCode() const { return exitCode_; }

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Every handler runs through here: under the failure guard, with the window's enabling
    // held back until the handler has ended and queued input has been dropped.
    void Handle(const std::function<void()>& handler);
    void EnableAfterCommand();
    static QPushButton* MakeButton(QWidget* parent, const forms::ButtonForm& form);
    QPushButton*& SlotOf(switcher::Control control);

    QPushButton* Install = nullptr;
    QPushButton* Remove = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QPushButton*, switcher::kCountryCount> Country{};
    QPushButton* InstallOnline = nullptr;
    QPushButton* InstallTUK = nullptr;
    QAction* mnuHelp = nullptr;

    std::optional<platform::FolderLock> lock_;
    std::unique_ptr<frmHelp> help_;
    switcher::Switcher switcher_{*this};
    int handlerDepth_ = 0;
    bool busy_ = false;
    bool enablePending_ = false;
    bool failed_ = false;
    int exitCode_ = 0;
};

} // namespace ui
