#pragma once

#include "ui/toolkit.h"
#include "ui/win32/controls.h"

namespace ui::win32
{

// The help window on Windows: how to prepare the game folder. Creating it loads it and builds
// its text. OK only hides it, so the next showing reuses it as it is; a close through the title
// bar unloads it, and the owner then makes a new one for the next showing.
class frmHelp final : public Form, public HelpWindow
{
public:
    frmHelp();
    ~frmHelp() override;
    frmHelp(const frmHelp&) = delete;
    frmHelp& operator=(const frmHelp&) = delete;

    // Every other window of the program takes no input while it shows.
    void ShowModal() override;
    bool Unloaded() const override { return unloaded_; }

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Layout(int dpi) override;
    void Form_Load();
    void Command1_Click();

    HWND Label1 = nullptr;
    HWND Command1 = nullptr;
    HICON blankIcon_ = nullptr;
    Font font_;
    Font labelFont_; // the dialog font, smaller where the text needs it
    bool showing_ = false;
    bool unloaded_ = false;
};

} // namespace ui::win32
