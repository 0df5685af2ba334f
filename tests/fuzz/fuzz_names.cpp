// Name matching on arbitrary names and patterns: no crash, no sanitizer report, the rules hold.
#include "platform/name_match.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

void Require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void CheckMatching(const std::string& name, const std::string& pattern)
{
    const bool matched = platform::MatchesPattern(name, pattern);
    Require(platform::MatchesPattern(Upper(name), pattern) == matched);
    Require(platform::MatchesPattern(name, Upper(pattern)) == matched);
    Require(platform::MatchesPattern(name, "*"));
    Require(platform::MatchesPattern(name, "*.*"));
    if (!platform::HasWildcard(name)) {
        Require(platform::MatchesPattern(name, name));
    }
    if (!platform::HasWildcard(pattern)) {
        Require(matched == (platform::FoldCase(name) == platform::FoldCase(pattern)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto cut = text.find('\0');
    if (cut != std::string::npos) {
        CheckMatching(text.substr(0, cut), text.substr(cut + 1));
    } else {
        CheckMatching(text, text);
    }
    return 0;
}
