#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The state file's one line, written and read back side by side: the installed set's word in
// double quotes, then CR LF. Nothing else is ever written, and its bytes stay as they are.
namespace switcher
{

// The bytes written for `word`.
std::string StateLine(std::string_view word);

// The first field of what a state file holds: the text between the first pair of double quotes
// when the field is quoted (blanks before the quote are skipped, tabs are not), else the text
// before the first comma or line end. Empty text gives the empty field.
std::string ParseStateLine(std::string_view text);

// How much of a state file is read: a field that is longer is read as what fits, which no set
// word matches.
inline constexpr std::size_t kStateReadLimit = 4096;

} // namespace switcher
