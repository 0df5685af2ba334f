#include "ui/virtual_store_notice.h"

#include "finder/virtual_store.h"

namespace ui
{

std::string VirtualStoreNotice(const std::string& gameDir)
{
    const finder::VirtualStore store = finder::VirtualStoreOf(gameDir);
    if (store.shadowing.empty()) {
        return {};
    }
    std::string names;
    for (const std::string& name : store.shadowing) {
        names += "\n    " + name;
    }
    return "Windows keeps older copies of these files in its VirtualStore, and the game reads "
           "them in place of the game folder's, so it will not see this change:\n" +
           names + "\n\nin " + store.folder +
           "\n\nMove them out of that folder or delete them before you start the game. "
           "JOV Enable-Disable leaves them alone.";
}

} // namespace ui
