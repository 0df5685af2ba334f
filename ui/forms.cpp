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

} // namespace ui::forms
