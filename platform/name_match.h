#pragma once

#include <string>
#include <string_view>

// Name matching as the game's own platform does it: blind to ASCII letter case, with `*` as
// the only wildcard (any run of characters, the empty run included). A pattern that ends in
// ".*" also matches the names its stem matches, so "*.*" matches every name, dotted or not.
namespace platform
{

std::string FoldCase(std::string_view text);
bool HasWildcard(std::string_view pattern);
bool MatchesPattern(std::string_view name, std::string_view pattern);

} // namespace platform
