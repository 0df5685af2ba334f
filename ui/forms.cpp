#include "ui/forms.h"

namespace ui::forms
{

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
