#pragma once

#include "ui/win32/controls.h"

#include <cstdint>

struct HICON__;

namespace ui::win32
{

// The help window on Windows: how to prepare the game folder. Creating it loads it and builds
// its text. OK only hides it, so the next showing reuses it as it is; a close through the title
// bar unloads it, and the owner then makes a new one for the next showing.
class frmHelp final : public Form
{
public:
    frmHelp();
    ~frmHelp() override;
    frmHelp(const frmHelp&) = delete;
    frmHelp& operator=(const frmHelp&) = delete;

    // Shows the window modally, with no owner: every other window of the program takes no
    // input until it is hidden with OK or closed through its title bar.
    void ShowModal();
    bool Unloaded() const { return unloaded_; }

private:
    std::intptr_t OnMessage(unsigned int message, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
    void Layout(int dpi) override;
    void Form_Load();
    void Command1_Click();

    HWND__* Label1 = nullptr;
    HWND__* Command1 = nullptr;
    HICON__* blankIcon_ = nullptr;
    Font font_;
    bool showing_ = false;
    bool unloaded_ = false;
};

} // namespace ui::win32
