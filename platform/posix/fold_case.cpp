#include "platform/name_match.h"

#include <utf8proc.h>

namespace platform
{
namespace
{

// Windows' uppercase of one character: utf8proc's simple mapping, kept only where the
// uppercase letter lowercases back to the character. utf8proc alone maps "ß" to "ẞ", which
// Unicode's own data, Windows and Wine do not.
utf8proc_int32_t Upper(utf8proc_int32_t c)
{
    constexpr utf8proc_int32_t kSharpS = 0xDF;
    if (c > 0xFFFF || c == kSharpS) {
        return c;
    }
    const utf8proc_int32_t upper = utf8proc_toupper(c);
    return utf8proc_tolower(upper) == c ? upper : c;
}

} // namespace

std::string FoldCase(std::string_view text)
{
    std::string folded;
    folded.reserve(text.size());
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char first = bytes[at];
        if (first < 0x80) {
            folded += static_cast<char>(first >= 'A' && first <= 'Z' ? first - 'A' + 'a' : first);
            ++at;
            continue;
        }
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t length =
            utf8proc_iterate(bytes + at, static_cast<utf8proc_ssize_t>(text.size() - at), &c);
        if (length <= 0) {
            folded += static_cast<char>(first);
            ++at;
            continue;
        }
        // Never ASCII for a character beyond it, so no key of one meets an ASCII letter's.
        utf8proc_uint8_t encoded[4];
        folded.append(reinterpret_cast<const char*>(encoded),
                      static_cast<std::size_t>(utf8proc_encode_char(Upper(c), encoded)));
        at += static_cast<std::size_t>(length);
    }
    return folded;
}

} // namespace platform
