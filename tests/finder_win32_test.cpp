#include "finder_test.h"
#include "game_folder.h"
#include "host.h"

#include "finder/finder.h"

#include <fstream>

namespace fs = std::filesystem;

namespace
{

// Registry entries written with Wine's own reg.exe into the test's prefix, under names of this
// run, and deleted again however the test ends.
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
        fs::remove_all(driveFolder, ignored);
        GameFolderTest::TearDown();
    }

    void Reg(Names args)
    {
        args.insert(args.begin(), "reg");
        const Outcome outcome = RunChild(args, {root / "output"});
        EXPECT_EQ(outcome.status, 0) << outcome.err << outcome.out;
    }
    // reg add KEY /v NAME /d DATA, in the 64-bit view or the 32-bit one.
    void Add(const std::string& key, const std::string& name, const fs::path& data,
             const std::string& view = "/reg:64")
    {
        Reg({"add", key, "/v", name, "/d", Utf8(data), "/f", view});
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
    fs::path driveFolder;
};

TEST_F(FinderTest, FindsGameFoldersInstallersAndLaunchersRecorded)
{
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    Game("user/KRS");
    Add("HKCU\\" + uninstall + tag, "InstallLocation", root / "user");
    Game("machine32/KRS", false);
    Add("HKLM\\" + uninstall + tag, "InstallLocation", root / "machine32", "/reg:32");
    Game("gog/KRS");
    Add("HKLM\\SOFTWARE\\WOW6432Node\\GOG.com\\Games\\" + tag, "path", root / "gog/KRS");
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
    Add("HKCU\\Software\\Valve\\Steam", "SteamPath", root / "steam");
    driveFolder = fs::path("C:\\Games") / FromUtf8(tag);
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

} // namespace
