#pragma once

#include "switcher/set_view.h"

#include <ostream>

namespace cli
{

// The switcher's view on a terminal: messages the window would show in a box go to `messages`
// as they stand; title and button states have no window to go to.
class ConsoleView final : public switcher::SetView
{
public:
    explicit ConsoleView(std::ostream& messages) : messages_(messages) {}

    void SetCaption(const std::string&) override {}
    void SetEnabled(switcher::Control, bool) override {}
    void SetWindowEnabled(bool) override {}
    void ShowMessage(const std::string& text) override { messages_ << text << '\n' << std::flush; }

private:
    std::ostream& messages_;
};

} // namespace cli
