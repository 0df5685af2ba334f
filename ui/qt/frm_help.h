#pragma once

#include "ui/toolkit.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace ui::qt
{

// The help window: how to prepare the game folder. OK only hides it, so the next showing
// reuses it as it is; a close through the title bar unloads it, and the next showing loads it
// anew and builds the text again.
class frmHelp final : public QDialog, public HelpWindow
{
    Q_OBJECT

public:
    frmHelp();
    frmHelp(const frmHelp&) = delete;
    frmHelp& operator=(const frmHelp&) = delete;

    // The help text: its lines joined by single carriage returns.
    static QString HelpText();

    void ShowModal() override;
    bool Unloaded() const override { return unloaded_; }

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

} // namespace ui::qt
