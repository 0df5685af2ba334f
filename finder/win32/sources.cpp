#include "finder/source.h"

#include <windows.h>

#include <array>
#include <optional>

// Where Windows players keep the game: what installers record (the uninstall entries in both
// registry views, GOG's keys), Steam's libraries and shortcuts, and the usual folders of each
// fixed drive. Everything is read from the registry and the disk; nothing is started.
namespace finder
{
namespace
{

namespace fs = std::filesystem;

// An open registry key, closed with its scope.
class Key
{
public:
    Key(HKEY root, const wchar_t* path, REGSAM view)
    {
        if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key()
    {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }

    // A text value, expanded when it holds %VARIABLES%; blanks and the quotes many installers
    // write around a folder are left out ("C:\Games\KRS\").
    std::optional<fs::path> Text(const wchar_t* subKey, const wchar_t* name) const
    {
        DWORD bytes = 0;
        // REG_SZ takes in REG_EXPAND_SZ, expanded (asking for the latter would forbid that).
        const DWORD types = RRF_RT_REG_SZ;
        if (key_ == nullptr ||
            RegGetValueW(key_, subKey, name, types, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        if (RegGetValueW(key_, subKey, name, types, nullptr, text.data(), &bytes) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        text.resize(wcsnlen(text.c_str(), text.size()));
        const std::size_t first = text.find_first_not_of(L" \t\"");
        if (first == std::wstring::npos) {
            return std::nullopt;
        }
        return fs::path(text.substr(first, text.find_last_not_of(L" \t\"") + 1 - first));
    }

    std::vector<std::wstring> SubKeys() const
    {
        std::vector<std::wstring> names;
        std::array<wchar_t, 256> name{}; // a key name's longest
        for (DWORD at = 0; key_ != nullptr; ++at) {
            DWORD length = static_cast<DWORD>(name.size());
            if (RegEnumKeyExW(key_, at, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name.data(), length);
        }
        return names;
    }

private:
    HKEY key_ = nullptr;
};

class UninstallEntries final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        const wchar_t* path = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
        const std::array<std::pair<HKEY, REGSAM>, 3> roots{{{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                                                            {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                                                            {HKEY_CURRENT_USER, 0}}};
        for (const auto& [root, view] : roots) {
            const Key entries(root, path, view);
            for (const std::wstring& entry : entries.SubKeys()) {
                if (!gathering.Next()) {
                    return;
                }
                if (auto folder = entries.Text(entry.c_str(), L"InstallLocation")) {
                    gathering.Add({*folder, 1, "installed programs"});
                }
            }
        }
    }
};

class Steam final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        if (auto root =
                Key(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", 0).Text(nullptr, L"SteamPath")) {
            AddSteam(gathering, *root);
        }
    }
};

class Gog final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        const Key games(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\GOG.com\\Games",
                        KEY_WOW64_64KEY);
        for (const std::wstring& game : games.SubKeys()) {
            if (!gathering.Next()) {
                return;
            }
            if (auto folder = games.Text(game.c_str(), L"path")) {
                gathering.Add({*folder, 1, "GOG"});
            }
        }
    }
};

// Games, Program Files and Program Files (x86) of each fixed drive; other drives (removable,
// network, a card reader without a card) are passed over without being touched.
class Drives final : public Source
{
public:
    void AddPlaces(Gathering& gathering) const override
    {
        const DWORD drives = GetLogicalDrives();
        for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
            const std::wstring root = std::wstring(1, letter) + L":\\";
            if ((drives & (1u << (letter - L'A'))) == 0 ||
                GetDriveTypeW(root.c_str()) != DRIVE_FIXED) {
                continue;
            }
            const std::string source = "drive " + std::string(1, static_cast<char>(letter)) + ":";
            for (const wchar_t* folder : {L"Games", L"Program Files", L"Program Files (x86)"}) {
                gathering.Add({fs::path(root) / folder, 1, source});
            }
        }
    }
};

} // namespace

std::vector<std::unique_ptr<Source>> PlatformSources()
{
    std::vector<std::unique_ptr<Source>> sources;
    sources.push_back(std::make_unique<UninstallEntries>());
    sources.push_back(std::make_unique<Steam>());
    sources.push_back(std::make_unique<Gog>());
    sources.push_back(std::make_unique<Drives>());
    return sources;
}

} // namespace finder
