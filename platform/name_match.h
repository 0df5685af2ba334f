#pragma once

#include <string>
#include <string_view>

// Name matching as the game's own platform does it: blind to letter case as Windows folds it,
// with `*` as the only wildcard (any run of characters, the empty run included). A pattern that
// ends in ".*" also matches the names its stem matches, so "*.*" matches every name, dotted or
// not.
namespace platform
{

// The key under which names that Windows takes for one name meet: each character of the Basic
// Multilingual Plane as its uppercase letter where that letter lowercases back to it (NTFS's and
// Wine's rule: "ı", "ſ", "ς" and "ß" stay apart from "I", "S", "Σ" and "SS"), ASCII letters in
// lower case; characters beyond it and bytes that are no UTF-8 stay as they are. One
// implementation per platform (posix/, win32/): utf8proc's mappings on POSIX, the system's own
// on Windows.
std::string FoldCase(std::string_view text);
// Whether the file system itself takes two names that differ only in case for one (Windows):
// elsewhere an exact name is one name and its case variants others.
#ifdef _WIN32
inline constexpr bool kSystemFoldsCase = true;
#else
inline constexpr bool kSystemFoldsCase = false;
#endif
bool HasWildcard(std::string_view pattern);
bool MatchesPattern(std::string_view name, std::string_view pattern);

} // namespace platform
