#include "ui/forms.h"

#include <algorithm>
#include <stdexcept>

namespace ui::forms
{

const ButtonForm& ButtonOf(switcher::Control control)
{
    const auto* found =
        std::find_if(kMainForm.buttons.begin(), kMainForm.buttons.end(),
                     [control](const ButtonForm& b) { return b.control == control; });
    if (found == kMainForm.buttons.end()) {
        throw std::logic_error("no button for a control");
    }
    return *found;
}

std::string HelpText()
{
    return HelpTextShown("\r");
}

std::string HelpTextShown(std::string_view lineBreak)
{
    std::string text;
    for (std::size_t i = 0; i < kHelpLines.size(); ++i) {
        if (i > 0) {
            text += lineBreak;
        }
        text += kHelpLines[i];
    }
    return text;
}

std::string FailureText(std::string_view report)
{
    return std::string(report) + "\n\nJOV Enable-Disable will close now.";
}

std::string UnexpectedFailureText(const char* what)
{
    return FailureText(what != nullptr ? "Unexpected failure: " + std::string(what)
                                       : std::string("Unexpected failure."));
}

} // namespace ui::forms
