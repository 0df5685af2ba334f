#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace ui
{

// The help window: how to prepare the game folder. OK only hides it, so the next showing
// reuses it as it is; a close through the title bar unloads it, and the next showing loads it
// anew and builds the text again.
class frmHelp final : public QDialog
{
    Q_OBJECT

public:
    frmHelp();
    frmHelp(const frmHelp&) = delete;
    frmHelp& operator=(const frmHelp&) = delete;

    // The help text: its lines joined by single carriage returns.
    static QString HelpText();

    // Shows the window modally, with no owner; returns once it is hidden or closed.
    void ShowModal();
    // True after a close through the title bar: the owner then lets the window go.
    bool Unloaded() const { return unloaded_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Command1_Click();

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    bool unloaded_ = false;
};

} // namespace ui
