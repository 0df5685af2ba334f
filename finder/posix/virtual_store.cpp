#include "finder/virtual_store.h"

namespace finder
{

// Wine and Linux redirect no writes: the game reads the game folder itself.
std::filesystem::path VirtualStoreFolder(const std::filesystem::path&)
{
    return {};
}

} // namespace finder
