#include "finder/source.h"
#include "finder/vdf.h"

namespace finder
{

void AddSteam(Gathering& gathering, const std::filesystem::path& steamRoot)
{
    std::vector<std::filesystem::path> libraries{steamRoot};
    for (const char* listing : {"steamapps/libraryfolders.vdf", "config/libraryfolders.vdf"}) {
        if (const auto text = gathering.Read(steamRoot / listing)) {
            for (const std::string& library : LibraryFolders(*text)) {
                libraries.push_back(PathOf(library));
            }
        }
    }
    // A game's folder, or a folder inside it, in steamapps/common: every library's before any
    // Proton prefix.
    for (const auto& library : libraries) {
        gathering.Add({library / "steamapps" / "common", 2, "Steam"});
    }
    for (const auto& user : gathering.Entries(steamRoot / "userdata")) {
        if (const auto bytes = gathering.Read(user / "config" / "shortcuts.vdf")) {
            for (const std::string& startDir : ShortcutStartDirs(*bytes)) {
                gathering.Add({PathOf(startDir), 0, "Steam shortcut"});
            }
        }
    }
    for (const auto& library : libraries) {
        for (const auto& app : gathering.Entries(library / "steamapps" / "compatdata")) {
            AddPrefix(gathering, app / "pfx", "Steam (Proton)");
        }
    }
}

} // namespace finder
