#include "finder/source.h"

#include <yaml-cpp/yaml.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <system_error>

// Where Linux players keep the game: Wine prefixes of their own and those Lutris, Bottles,
// PlayOnLinux and Steam (Proton) make, in their usual folders, where the XDG variables move
// them, and in the Flatpak and Snap homes.
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

// $XDG_CONFIG_HOME or $XDG_DATA_HOME where set to an absolute path, as the XDG rules say.
std::optional<fs::path> XdgFolder(const char* variable)
{
    const char* value = std::getenv(variable);
    if (value == nullptr || *value != '/') {
        return std::nullopt;
    }
    return PathOf(value);
}

// The folders, each once, in the order given.
std::vector<fs::path> Distinct(std::vector<std::optional<fs::path>> folders)
{
    std::vector<fs::path> distinct;
    for (auto& folder : folders) {
        if (folder && std::find(distinct.begin(), distinct.end(), *folder) == distinct.end()) {
            distinct.push_back(std::move(*folder));
        }
    }
    return distinct;
}

// A leading ~ or ~user, as Lutris expands it.
fs::path ExpandHome(const std::string& text)
{
    if (!text.starts_with('~')) {
        return PathOf(text);
    }
    const std::size_t slash = std::min(text.find('/'), text.size());
    fs::path home = Home();
    if (slash > 1) {
        const std::string user = text.substr(1, slash - 1);
        std::array<char, 4096> buffer{};
        passwd entry{};
        passwd* found = nullptr;
        if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
            found == nullptr) {
            return PathOf(text);
        }
        home = found->pw_dir;
    }
    return slash + 1 < text.size() ? home / PathOf(text.substr(slash + 1)) : home;
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

// Reads a launcher's YAML file and hands its top-level map to `read`. A file that is no YAML,
// holds something else than a map, or fails `read` in any other way is named as skipped.
template <typename Read> void ReadYamlMap(Gathering& gathering, const fs::path& file, Read read)
{
    const std::optional<std::string> text = gathering.Read(file);
    if (!text) {
        return;
    }
    try {
        const YAML::Node root = YAML::Load(*text);
        if (!root.IsMap()) {
            gathering.Skip(file);
            return;
        }
        read(root);
    } catch (const YAML::Exception&) {
        gathering.Skip(file);
    }
}

class WinePrefixes final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != 0) {
            AddPrefix(gathering, PathOf(prefix), "WINEPREFIX");
        }
        AddPrefix(gathering, Home() / ".wine", "Wine (~/.wine)");
    }
};

class Lutris final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        const fs::path home = Home();
        const fs::path flatpak = home / ".var" / "app" / "net.lutris.Lutris";
        // Since Lutris 0.5.15 its games lie in its data folder; before, in its configuration.
        const auto folders = Distinct({XdgFolder("XDG_DATA_HOME"), home / ".local" / "share",
                                       XdgFolder("XDG_CONFIG_HOME"), home / ".config",
                                       flatpak / "data", flatpak / "config"});
        for (const fs::path& folder : folders) {
            for (const fs::path& file : gathering.Entries(folder / "lutris" / "games")) {
                if (file.extension() != ".yml") {
                    continue;
                }
                ReadYamlMap(gathering, file, [&](const YAML::Node& game) {
                    const std::string prefixText = YamlText(game, {"game", "prefix"});
                    const std::string exeText = YamlText(game, {"game", "exe"});
                    const fs::path prefix =
                        prefixText.empty() ? fs::path() : ExpandHome(prefixText);
                    const fs::path exe = exeText.empty() ? fs::path() : ExpandHome(exeText);
                    if (!prefix.empty()) {
                        AddPrefix(gathering, prefix, "Lutris");
                    }
                    if (!exe.empty()) {
                        gathering.Add(
                            {(exe.is_relative() ? prefix / exe : exe).parent_path(), 0, "Lutris"});
                    }
                });
            }
        }
        // Lutris installs into ~/Games/<game>, as a prefix or as the game's own folder.
        for (const fs::path& game : gathering.Entries(home / "Games")) {
            std::error_code error;
            if (fs::is_directory(game / "drive_c", error)) {
                AddPrefix(gathering, game, "Lutris (~/Games)");
            } else {
                gathering.Add({game, 2, "Lutris (~/Games)"});
            }
        }
    }
};

class Bottles final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        const fs::path home = Home();
        const auto folders = Distinct({XdgFolder("XDG_DATA_HOME"), home / ".local" / "share",
                                       home / ".var" / "app" / "com.usebottles.bottles" / "data"});
        for (const fs::path& data : folders) {
            for (const fs::path& bottle : gathering.Entries(data / "bottles" / "bottles")) {
                AddPrefix(gathering, bottle, "Bottles");
                // A bottle's programs may lie outside it; bottle.yml lists them.
                ReadYamlMap(gathering, bottle / "bottle.yml", [&](const YAML::Node& root) {
                    const YAML::Node programs = root["External_Programs"];
                    if (!programs.IsMap()) {
                        return;
                    }
                    for (const auto& program : programs) {
                        const std::string folder = YamlText(program.second, {"folder"});
                        const std::string exe = YamlText(program.second, {"path"});
                        if (!folder.empty() || !exe.empty()) {
                            gathering.Add(
                                {folder.empty() ? PathOf(exe).parent_path() : PathOf(folder), 0,
                                 "Bottles"});
                        }
                    }
                });
            }
        }
    }
};

class PlayOnLinux final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        for (const fs::path& prefix : gathering.Entries(Home() / ".PlayOnLinux" / "wineprefix")) {
            AddPrefix(gathering, prefix, "PlayOnLinux");
        }
    }
};

class Steam final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        const fs::path home = Home();
        // ~/.steam/steam is usually a link to one of the others: each Steam is read once.
        std::vector<fs::path> roots;
        for (const fs::path& root :
             {home / ".steam" / "steam", home / ".local" / "share" / "Steam",
              home / ".var" / "app" / "com.valvesoftware.Steam" / ".local" / "share" / "Steam",
              home / "snap" / "steam" / "common" / ".local" / "share" / "Steam"}) {
            std::error_code error;
            fs::path real = fs::canonical(root, error);
            if (!error && std::find(roots.begin(), roots.end(), real) == roots.end()) {
                roots.push_back(std::move(real));
            }
        }
        for (const fs::path& root : roots) {
            AddSteam(gathering, root);
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
