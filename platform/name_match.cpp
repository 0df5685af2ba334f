#include "platform/name_match.h"

namespace platform
{
namespace
{

// Greedy matching with one back-tracking point: linear in practice, O(n * m) at worst. Both sides
// are folded already; UTF-8 lets a byte-wise match land only on whole characters.
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
        } else if (p < pattern.size() && pattern[p] == name[n]) {
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

bool HasWildcard(std::string_view pattern)
{
    return pattern.find('*') != std::string_view::npos;
}

bool MatchesPattern(std::string_view name, std::string_view pattern)
{
    const std::string foldedName = FoldCase(name);
    const std::string foldedPattern = FoldCase(pattern);
    const std::string_view folded = foldedPattern;
    if (Glob(foldedName, folded)) {
        return true;
    }
    constexpr std::string_view anyExtension = ".*";
    return folded.size() > anyExtension.size() && folded.ends_with(anyExtension) &&
           Glob(foldedName, folded.substr(0, folded.size() - anyExtension.size()));
}

} // namespace platform
