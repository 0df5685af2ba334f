#pragma once

#include <string>
#include <string_view>
#include <vector>

// Steam's two key-value formats, read as far as finding game folders needs: the text form of
// libraryfolders.vdf (its old layout, "1" "D:\\Library", and the nested one, "1" { "path" ... })
// and the binary form of shortcuts.vdf. Malformed input yields what was read before the fault.
namespace finder
{

std::vector<std::string> LibraryFolders(std::string_view text);

// The StartDir of every shortcut, without the quotes Steam keeps around it.
std::vector<std::string> ShortcutStartDirs(std::string_view bytes);

} // namespace finder
