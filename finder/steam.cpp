#include "finder/source.h"
#include "finder/vdf.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace finder
{
namespace
{

namespace fs = std::filesystem;

// Steam's files are small; a larger one is not Steam's.
std::string ReadSmallFile(const fs::path& path)
{
    constexpr std::streamsize kLimit = 4 << 20;
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(kLimit), '\0');
    in.read(bytes.data(), kLimit);
    bytes.resize(static_cast<std::size_t>(in ? 0 : in.gcount()));
    return bytes;
}

template <typename Each> void ForEachFolder(const fs::path& folder, Each each)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        each(it->path());
    }
}

} // namespace

void AddSteam(std::vector<Place>& places, const fs::path& steamRoot)
{
    std::error_code error;
    if (!fs::is_directory(steamRoot, error)) {
        return;
    }
    std::vector<fs::path> libraries{steamRoot};
    for (const char* listing : {"steamapps/libraryfolders.vdf", "config/libraryfolders.vdf"}) {
        for (const std::string& library : LibraryFolders(ReadSmallFile(steamRoot / listing))) {
            libraries.push_back(PathOf(library));
        }
    }
    for (const fs::path& library : libraries) {
        // A game's folder, or a folder inside it, in steamapps/common.
        places.push_back({library / "steamapps" / "common", 2, "Steam"});
        ForEachFolder(library / "steamapps" / "compatdata", [&](const fs::path& app) {
            AddPrefix(places, app / "pfx", "Steam (Proton)");
        });
    }
    ForEachFolder(steamRoot / "userdata", [&](const fs::path& user) {
        const std::string bytes = ReadSmallFile(user / "config" / "shortcuts.vdf");
        for (const std::string& startDir : ShortcutStartDirs(bytes)) {
            places.push_back({PathOf(startDir), 0, "Steam shortcut"});
        }
    });
}

} // namespace finder
