#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What the game really reads on Windows. An old game without a manifest, installed under
// Program Files and run without administrator rights, has its writes redirected into the user's
// VirtualStore, and from then on reads the redirected files in place of the game folder's: a
// switch made in the game folder does not reach them. This names them; it never moves or
// deletes them, as they may be the player's own.
namespace finder
{

struct VirtualStore
{
    // The VirtualStore folder matching the game folder (UTF-8); empty where there is none to
    // check: a game folder outside Program Files, or a platform without a VirtualStore.
    std::string folder;
    // Its files of the types the sets hold (those a restore clears), sorted byte-wise.
    std::vector<std::string> shadowing;
};

VirtualStore VirtualStoreOf(const std::string& gameDir);

// The VirtualStore folder Windows redirects `gameDir` into, or an empty path; one
// implementation per platform (win32/virtual_store.cpp, posix/virtual_store.cpp).
std::filesystem::path VirtualStoreFolder(const std::filesystem::path& gameDir);

} // namespace finder
