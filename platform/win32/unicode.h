#pragma once

#include <string>
#include <string_view>
#include <vector>

// UTF-8 inside the program, UTF-16 at every Windows call: the conversions at that boundary.
namespace platform::win32
{

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

// The arguments of wmain as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);

// Lets the console show the UTF-8 the program writes, until the program ends. Output that goes
// to a file or a pipe is UTF-8 whatever the console does.
void UseUtf8Console();

// Whether this program is alone in its console: Explorer started it with a double-click, and
// the console window closes as soon as the program ends.
bool AloneInConsole();

// Asks for a key and waits for it, so that what the program wrote can be read first.
void WaitForKey();

} // namespace platform::win32
