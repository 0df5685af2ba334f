#include "platform/name_match.h"

namespace platform
{
namespace
{

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Greedy matching with one back-tracking point: linear in practice, O(n * m) at worst.
bool Glob(std::string_view name, std::string_view pattern)
{
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && Fold(pattern[p]) == Fold(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

std::string FoldCase(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        c = Fold(c);
    }
    return folded;
}

bool HasWildcard(std::string_view pattern)
{
    return pattern.find('*') != std::string_view::npos;
}

bool MatchesPattern(std::string_view name, std::string_view pattern)
{
    if (Glob(name, pattern)) {
        return true;
    }
    constexpr std::string_view anyExtension = ".*";
    return pattern.size() > anyExtension.size() && pattern.ends_with(anyExtension) &&
           Glob(name, pattern.substr(0, pattern.size() - anyExtension.size()));
}

} // namespace platform
