#include "finder/source.h"

#include <yaml-cpp/yaml.h>

#include <cstdlib>
#include <system_error>

// Where Linux players keep the game: Wine prefixes of their own and those Lutris, Bottles,
// PlayOnLinux and Steam (Proton) make, in their usual folders and in the Flatpak and Snap homes.
namespace finder
{
namespace
{

namespace fs = std::filesystem;

fs::path Home()
{
    const char* home = std::getenv("HOME");
    return home != nullptr ? PathOf(home) : fs::path();
}

template <typename Each> void ForEachEntry(const fs::path& folder, Each each)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        each(it->path());
    }
}

// A YAML file's text value at a path of keys, or an empty text.
std::string YamlText(const YAML::Node& root, std::initializer_list<const char*> keys)
{
    YAML::Node node = root;
    for (const char* key : keys) {
        if (!node.IsMap()) {
            return {};
        }
        // Assigning one node to another would write into the first; reset() moves the handle.
        node.reset(node[key]);
    }
    return node.IsScalar() ? node.as<std::string>() : std::string();
}

YAML::Node LoadYaml(const fs::path& file)
{
    try {
        return YAML::LoadFile(file.string());
    } catch (const YAML::Exception&) {
        return {}; // not a launcher's file after all: nothing to read
    }
}

class WinePrefixes final : public Source
{
public:
    void AddPlaces(std::vector<Place>& places) const override
    {
        if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != 0) {
            AddPrefix(places, PathOf(prefix), "WINEPREFIX");
        }
        AddPrefix(places, Home() / ".wine", "Wine (~/.wine)");
    }
};

class Lutris final : public Source
{
public:
    void AddPlaces(std::vector<Place>& places) const override
    {
        ForEachEntry(Home() / ".config" / "lutris" / "games", [&](const fs::path& file) {
            const YAML::Node game = LoadYaml(file);
            const fs::path prefix = PathOf(YamlText(game, {"game", "prefix"}));
            const fs::path exe = PathOf(YamlText(game, {"game", "exe"}));
            if (!prefix.empty()) {
                AddPrefix(places, prefix, "Lutris");
            }
            if (!exe.empty()) {
                places.push_back(
                    {(exe.is_relative() ? prefix / exe : exe).parent_path(), 0, "Lutris"});
            }
        });
        // Lutris installs into ~/Games/<game>, as a prefix or as the game's own folder.
        ForEachEntry(Home() / "Games", [&](const fs::path& game) {
            std::error_code error;
            if (fs::is_directory(game / "drive_c", error)) {
                AddPrefix(places, game, "Lutris (~/Games)");
            } else {
                places.push_back({game, 2, "Lutris (~/Games)"});
            }
        });
    }
};

class Bottles final : public Source
{
public:
    void AddPlaces(std::vector<Place>& places) const override
    {
        for (const fs::path& data :
             {Home() / ".local" / "share" / "bottles",
              Home() / ".var" / "app" / "com.usebottles.bottles" / "data" / "bottles"}) {
            ForEachEntry(data / "bottles", [&](const fs::path& bottle) {
                AddPrefix(places, bottle, "Bottles");
                // A bottle's programs may lie outside it; bottle.yml lists them.
                const YAML::Node programs = LoadYaml(bottle / "bottle.yml")["External_Programs"];
                if (!programs.IsMap()) {
                    return;
                }
                for (const auto& program : programs) {
                    const std::string folder = YamlText(program.second, {"folder"});
                    const std::string exe = YamlText(program.second, {"path"});
                    if (!folder.empty() || !exe.empty()) {
                        places.push_back(
                            {folder.empty() ? PathOf(exe).parent_path() : PathOf(folder), 0,
                             "Bottles"});
                    }
                }
            });
        }
    }
};

class PlayOnLinux final : public Source
{
public:
    void AddPlaces(std::vector<Place>& places) const override
    {
        AddPrefixesIn(places, Home() / ".PlayOnLinux" / "wineprefix", "PlayOnLinux");
    }
};

class Steam final : public Source
{
public:
    void AddPlaces(std::vector<Place>& places) const override
    {
        const fs::path home = Home();
        for (const fs::path& root :
             {home / ".steam" / "steam", home / ".local" / "share" / "Steam",
              home / ".var" / "app" / "com.valvesoftware.Steam" / ".local" / "share" / "Steam",
              home / "snap" / "steam" / "common" / ".local" / "share" / "Steam"}) {
            AddSteam(places, root);
        }
    }
};

} // namespace

std::vector<std::unique_ptr<Source>> PlatformSources()
{
    std::vector<std::unique_ptr<Source>> sources;
    sources.push_back(std::make_unique<WinePrefixes>());
    sources.push_back(std::make_unique<Lutris>());
    sources.push_back(std::make_unique<Bottles>());
    sources.push_back(std::make_unique<PlayOnLinux>());
    sources.push_back(std::make_unique<Steam>());
    return sources;
}

} // namespace finder
