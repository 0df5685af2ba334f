#include "finder_test.h"
#include "game_folder.h"
#include "host.h"

#include "finder/finder.h"

#include <windows.h>

#include <fstream>

namespace fs = std::filesystem;

namespace
{

// Registry entries written with Wine's reg.exe under names of this run, deleted however it ends.
class FinderTest : public GameFolderTest
{
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        fs::create_directories(root / "output");
        tag = "jov-finder-test-" + std::to_string(OwnProcessId());
    }
    void TearDown() override
    {
        for (const auto& [key, view] : keys) {
            Reg({"delete", key, "/f", view});
        }
        std::error_code ignored;
        for (const fs::path& folder : driveFolders) {
            fs::remove_all(folder, ignored);
        }
        GameFolderTest::TearDown();
    }

    void Reg(Names args)
    {
        args.insert(args.begin(), "reg");
        const Outcome outcome = RunChild(args, {root / "output"});
        EXPECT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    }
    // reg add KEY /v NAME /d DATA, in the 64-bit view or the 32-bit one.
    void Add(const std::string& key, const std::string& name, const std::string& data,
             const std::string& view = "/reg:64")
    {
        Reg({"add", key, "/v", name, "/d", data, "/f", view});
        keys.emplace_back(key, view);
    }
    fs::path Game(const std::string& relative, bool ready = true)
    {
        const fs::path folder = root / FromUtf8(relative);
        fs::create_directories(folder / (ready ? "krs" : ""));
        std::ofstream(folder / "FLT.CDF") << "x";
        return folder;
    }

    std::string tag;
    std::vector<std::pair<std::string, std::string>> keys;
    std::vector<fs::path> driveFolders; // made outside the test's folder, removed at its end
};

TEST_F(FinderTest, FindsGameFoldersInstallersAndLaunchersRecorded)
{
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    Game("user/KRS");
    // In quotes, and with a backslash at its end, as many installers write it.
    Add("HKCU\\" + uninstall + tag, "InstallLocation", "\"" + Utf8(root / "user") + "\\\"");
    Game("machine32/KRS", false);
    Add("HKLM\\" + uninstall + tag, "InstallLocation", Utf8(root / "machine32"), "/reg:32");
    Game("gog/KRS");
    Add("HKLM\\SOFTWARE\\WOW6432Node\\GOG.com\\Games\\" + tag, "path", Utf8(root / "gog/KRS"));
    Game("steam/steamapps/common/KRS");
    Game("library/steamapps/common/KRS");
    std::string library = Utf8(root / "library"); // as Steam writes it: "C:\\Steam Library"
    for (std::size_t at = 0; (at = library.find('\\', at)) != std::string::npos; at += 2) {
        library.insert(at, 1, '\\');
    }
    std::ofstream(root / "steam/steamapps/libraryfolders.vdf")
        << R"("libraryfolders" { "1" { "path" ")" << library << R"(" } })";
    fs::create_directories(root / "steam/userdata/1/config");
    std::ofstream(root / "steam/userdata/1/config/shortcuts.vdf", std::ios::binary)
        << Shortcuts(Utf8(Game("shortcut/KRS")));
    Add("HKCU\\Software\\Valve\\Steam", "SteamPath", Utf8(root / "steam"));
    const fs::path driveFolder = driveFolders.emplace_back(fs::path("C:\\Games") / FromUtf8(tag));
    std::ofstream((fs::create_directories(driveFolder), driveFolder / "data.cdf")) << "x";

    const struct
    {
        const char* name;
        fs::path folder;
        const char* source;
        bool ready;
    } rows[] = {
        {"current user's uninstall entry", root / "user/KRS", "installed programs", true},
        {"32-bit view's uninstall entry", root / "machine32/KRS", "installed programs", false},
        {"GOG", root / "gog/KRS", "GOG", true},
        {"Steam", root / "steam/steamapps/common/KRS", "Steam", true},
        {"Steam library", root / "library/steamapps/common/KRS", "Steam", true},
        {"Steam shortcut", root / "shortcut/KRS", "Steam shortcut", true},
        {"drive's Games folder", driveFolder, "drive C:", false},
    };
    const finder::Search search = finder::FindGameFolders();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto found = std::find_if(
            search.folders.begin(), search.folders.end(), [&](const finder::Found& at) {
                return fs::equivalent(finder::PathOf(at.folder), row.folder);
            });
        ASSERT_NE(found, search.folders.end());
        EXPECT_EQ(found->source, row.source);
        EXPECT_EQ(found->ready, row.ready);
    }
}

// In and out of Program Files, with files of the sets' types and others in the VirtualStore.
TEST_F(FinderTest, JovSwitchNamesWhatTheVirtualStoreShadows)
{
    const fs::path local = root / "local";
    _wputenv_s(L"LOCALAPPDATA", local.wstring().c_str()); // for jov-switch, which inherits it
    std::wstring programs(MAX_PATH, L'\0');
    programs.resize(GetShortPathNameW(L"C:\\Program Files", programs.data(), MAX_PATH));
    const struct
    {
        const char* name;
        fs::path drive;    // the folder the game folder is made in
        const char* under; // its VirtualStore folder's, below VirtualStore
        const char* args;
        int status;
        std::string out; // a part of it; {} stands for the VirtualStore folder
    } rows[] = {
        {"Program Files (x86)", "C:\\Program Files (x86)", "Program Files (x86)", "status", 0,
         "VirtualStore: HURR.FLT, data.cdf in {}\nWindows keeps HURR.FLT, data.cdf in its"},
        {"short name", programs, "Program Files", "verify --json", 4,
         "\"shadowing\": [\n      \"HURR.FLT\",\n      \"data.cdf\"\n"},
        {"elsewhere", "C:\\Games", "Games", "status --json", 0, "\"virtual_store\": null"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path game = driveFolders.emplace_back(fs::path(row.drive) / FromUtf8(tag));
        fs::create_directories(game / "krs");
        for (const char* name : {"FLT.CDF", "krs/FLT.CDF", "jovo.ini"}) {
            std::ofstream(game / name) << "\"none\"\r\n";
        }
        const fs::path store = local / "VirtualStore" / row.under / FromUtf8(tag);
        fs::create_directories(store / "folder.flt");
        for (const char* name : {"HURR.FLT", "data.cdf", "notes.txt"}) {
            std::ofstream(store / name) << "old";
        }
        const Outcome outcome = Switch(game, Split(row.args), {root / "output"});
        EXPECT_EQ(outcome.status, row.status) << outcome.err;
        std::string out = row.out;
        if (const auto at = out.find("{}"); at != std::string::npos) {
            out.replace(at, 2, Utf8(store));
        }
        EXPECT_NE(outcome.out.find(out), std::string::npos) << outcome.out;
    }
}

} // namespace
