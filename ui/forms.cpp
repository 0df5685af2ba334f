#include "ui/forms.h"

namespace ui::forms
{

std::string ButtonName(switcher::Control control, switcher::SetTable sets)
{
    const switcher::SetRow* set = switcher::SetOf(control, sets);
    return set != nullptr ? std::string(set->controlName)
                          : "Country" + std::to_string(switcher::AirForceOf(control)->index);
}

std::vector<std::string_view> HelpLines(switcher::SetTable sets)
{
    std::vector<std::string_view> lines(kHelpStart.begin(), kHelpStart.end());
    switcher::InButtonOrder(sets,
                            [&](const switcher::SetRow& row) { lines.push_back(row.helpLine); });
    lines.insert(lines.end(), kHelpEnd.begin(), kHelpEnd.end());
    return lines;
}

std::string HelpText()
{
    return HelpTextShown("\r");
}

std::string HelpTextShown(std::string_view lineBreak)
{
    const std::vector<std::string_view> lines = HelpLines();
    std::string text(lines.front());
    for (std::size_t i = 1; i < lines.size(); ++i) {
        text.append(lineBreak).append(lines[i]);
    }
    return text;
}

} // namespace ui::forms
