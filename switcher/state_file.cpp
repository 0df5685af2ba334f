#include "switcher/state_file.h"

namespace switcher
{

std::string StateLine(std::string_view word)
{
    std::string line;
    line.reserve(word.size() + 4);
    line.append("\"").append(word).append("\"\r\n");
    return line;
}

std::string ParseStateLine(std::string_view text)
{
    // Blanks before the field are skipped; a tab is no blank.
    const std::size_t at = text.find_first_not_of(' ');
    if (at == std::string_view::npos) {
        return {};
    }
    if (text[at] == '"') {
        const std::size_t close = text.find('"', at + 1);
        return std::string(text.substr(
            at + 1, close == std::string_view::npos ? std::string_view::npos : close - at - 1));
    }
    std::string field(text.substr(at, text.find_first_of(",\r\n", at) - at));
    field.erase(field.find_last_not_of(' ') + 1);
    return field;
}

} // namespace switcher
