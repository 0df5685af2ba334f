#include "finder/virtual_store.h"

#include "finder/finder.h"

#include "switcher/set_table.h"

#include <algorithm>
#include <system_error>

namespace finder
{

VirtualStore VirtualStoreOf(const std::string& gameDir)
{
    VirtualStore store;
    const std::filesystem::path folder = VirtualStoreFolder(PathOf(gameDir));
    if (folder.empty()) {
        return store;
    }
    store.folder = Utf8(folder);
    std::error_code error;
    // Hidden and system files count too: the game reads them all the same.
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kindError;
        std::string name = Utf8(it->path().filename());
        if (it->is_regular_file(kindError) && switcher::Cleared(name)) {
            store.shadowing.push_back(std::move(name));
        }
    }
    std::sort(store.shadowing.begin(), store.shadowing.end());
    return store;
}

} // namespace finder
