#include "platform/file_reader.h"

#include <algorithm>
#include <array>

namespace platform
{

std::string ReadUpTo(const std::string& path, std::size_t limit)
{
    FileReader in(path);
    std::string text;
    constexpr std::size_t kPiece = 1 << 16;
    while (text.size() < limit) {
        const std::size_t at = text.size();
        text.resize(at + std::min(kPiece, limit - at));
        const std::size_t got = in.Read(text.data() + at, text.size() - at);
        text.resize(at + got);
        if (got == 0) {
            break;
        }
    }
    return text;
}

bool SameBytes(const std::string& a, const std::string& b)
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

} // namespace platform
