#include "platform/file_ops.h"

#include "platform/fs_error.h"

#include <algorithm>
#include <array>

// What every platform does the same way on top of its own operations.
namespace platform
{

std::string TextFieldLine(std::string_view value)
{
    std::string line;
    line.reserve(value.size() + 4);
    line.append("\"").append(value).append("\"\r\n");
    return line;
}

std::string ParseFirstField(std::string_view text)
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

void WriteTextField(const std::string& path, std::string_view value)
{
    WriteTextFile(path, TextFieldLine(value));
}

std::string ReadTextFile(const std::string& path)
{
    FileReader in(path);
    std::string text(kTextFileReadLimit, '\0');
    text.resize(in.Read(text.data(), text.size()));
    return text;
}

std::string ReadTextField(const std::string& path)
{
    FileReader in(path);
    std::string text(kTextFieldReadLimit, '\0');
    text.resize(in.Read(text.data(), text.size()));
    return ParseFirstField(text);
}

bool SameContent(const std::string& a, const std::string& b)
{
    FileReader left(a);
    FileReader right(b);
    std::array<char, 1 << 16> x{};
    std::array<char, 1 << 16> y{};
    for (;;) {
        const std::size_t got = left.Read(x.data(), x.size());
        if (right.Read(y.data(), y.size()) != got ||
            !std::equal(x.begin(), x.begin() + got, y.begin())) {
            return false;
        }
        if (got == 0) {
            return true;
        }
    }
}

std::string Absolute(const std::string& path)
{
    try {
        return Shown(path, IsAbsolute(path) ? std::string() : WorkingDir());
    } catch (const FsError&) {
        return path;
    }
}

} // namespace platform
