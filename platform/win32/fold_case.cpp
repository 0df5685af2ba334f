#include "platform/name_match.h"

#include "platform/win32/unicode.h"

#include <windows.h>

#include <algorithm>

namespace platform
{

// The system's uppercase by the file system's rules (LCMapStringEx without linguistic casing),
// which NTFS and Wine apply to each UTF-16 unit alone: a surrogate pair keeps its case.
std::string FoldCase(std::string_view text)
{
    std::string folded(text);
    if (std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) {
        const std::wstring wide = win32::Wide(text);
        const int size = static_cast<int>(wide.size());
        std::wstring upper(wide.size(), L'\0');
        if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), size,
                            upper.data(), size, nullptr, nullptr, 0) == size) {
            for (std::size_t at = 0; at < wide.size(); ++at) {
                upper[at] = wide[at] >= 0xD800 && wide[at] < 0xE000 ? wide[at] : upper[at];
            }
            folded = win32::Utf8(upper);
        }
    }
    for (char& c : folded) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded;
}

} // namespace platform
