#include "finder_test.h"
#include "game_folder.h"

#include "finder/finder.h"
#include "host.h"

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace
{

// A fake home with the launchers' files and prefixes; HOME and WINEPREFIX point into it.
class FinderTest : public GameFolderTest
{
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        home = root / "home";
        setenv("HOME", home.c_str(), 1);
        setenv("WINEPREFIX", (home / "pfx").c_str(), 1);
    }

    void Make(const std::string& relative, const std::string& content = "x") const
    {
        fs::create_directories((home / relative).parent_path());
        std::ofstream(home / relative, std::ios::binary) << content;
    }
    void Link(const std::string& relative, const fs::path& target) const
    {
        fs::create_directories((home / relative).parent_path());
        fs::create_directory_symlink(target, home / relative);
    }

    fs::path home;
};

TEST_F(FinderTest, FindsGameFoldersWhereLaunchersKeepThem)
{
    Make(".config/lutris/games/krs-1.yml",
         "game:\n  exe: " + (home / "elsewhere/KRS 1.2/KRS.EXE").string() +
             "\n  prefix: " + (home / "lutris-prefix").string() + "\nwine:\n  version: x\n");
    Make(".local/share/bottles/bottles/B/bottle.yml",
         "Name: B\nExternal_Programs:\n  a1:\n    name: KRS\n    path: " +
             (home / "outside/KRS/krs.exe").string() + "\n");
    Make(".local/share/Steam/steamapps/libraryfolders.vdf",
         "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + (home / "lib-new").string() +
             "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"1\"\t\"2\"\n\t\t}\n\t}\n}\n");
    Make("snap/steam/common/.local/share/Steam/steamapps/libraryfolders.vdf",
         "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\"1\"\n\t\"1\"\t\"" +
             (home / "lib-old").string() + "\"\n}\n");
    Make(".local/share/Steam/userdata/42/config/shortcuts.vdf",
         Shortcuts((home / "shortcut/KRS").string()));
    Link(".steam/steam", home / ".local/share/Steam");
    Link(".wine/dosdevices/z:", "/");
    Link(".wine/drive_c/beyond", home / "beyond");

    const struct
    {
        const char* name;
        const char* folder;
        const char* marker;
        bool ready;
        const char* word;
        const char* source; // empty: not to be found
    } rows[] = {
        {"own prefix", ".wine/drive_c/Games/KRS", "FLT.CDF", true, "jov", "Wine (~/.wine)"},
        {"four levels down", "pfx/drive_c/a/b/c/KRS", "flt.cdf", true, "", "WINEPREFIX"},
        {"five levels down", "pfx/drive_c/a/b/c/d/KRS", "FLT.CDF", true, "", ""},
        {"Lutris folder", "Games/krs/drive_c/KRS", "Data.Cdf", false, "", "Lutris (~/Games)"},
        {"Lutris prefix", "lutris-prefix/drive_c/Program Files/KRS", "DATA.CDF", true, "",
         "Lutris"},
        {"Lutris program", "elsewhere/KRS 1.2", "FLT.CDF", true, "none", "Lutris"},
        {"Bottles", ".local/share/bottles/bottles/B/drive_c/KRS", "FLT.CDF", true, "", "Bottles"},
        {"Bottles program", "outside/KRS", "FLT.CDF", false, "", "Bottles"},
        {"Bottles Flatpak", ".var/app/com.usebottles.bottles/data/bottles/bottles/F/drive_c/G/K",
         "FLT.CDF", true, "", "Bottles"},
        {"PlayOnLinux", ".PlayOnLinux/wineprefix/krs/drive_c/KRS", "FLT.CDF", true, "",
         "PlayOnLinux"},
        {"Steam library", ".local/share/Steam/steamapps/common/KRS", "FLT.CDF", true, "", "Steam"},
        {"nested library layout", "lib-new/steamapps/common/KRS", "FLT.CDF", true, "", "Steam"},
        {"old library layout", "lib-old/steamapps/common/KRS", "FLT.CDF", true, "", "Steam"},
        {"Proton prefix", ".local/share/Steam/steamapps/compatdata/9/pfx/drive_c/KRS", "FLT.CDF",
         true, "", "Steam (Proton)"},
        {"shortcut", "shortcut/KRS", "FLT.CDF", true, "tuk", "Steam shortcut"},
        {"set folder", ".wine/drive_c/Games/KRS/tuk", "FLT.CDF", false, "", ""},
        {"backup folder", ".wine/drive_c/Games/KRS/JOV_Enable-backup/x", "FLT.CDF", false, "", ""},
        {"behind a link", "beyond/KRS", "FLT.CDF", true, "", ""},
    };
    for (const auto& row : rows) {
        Make(std::string(row.folder) + "/" + row.marker);
        if (row.ready) {
            Make(std::string(row.folder) + "/krs/FLT.CDF");
        }
        if (*row.word != 0) {
            Make(std::string(row.folder) + "/jovo.ini", "\"" + std::string(row.word) + "\"\r\n");
        }
    }

    const finder::Search search = finder::FindGameFolders();
    EXPECT_TRUE(search.complete);
    std::size_t expected = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string folder = (fs::canonical(home) / row.folder).string();
        const auto found = std::find_if(search.folders.begin(), search.folders.end(),
                                        [&](const auto& at) { return at.folder == folder; });
        if (*row.source == 0) {
            EXPECT_EQ(found, search.folders.end());
            continue;
        }
        ++expected;
        ASSERT_NE(found, search.folders.end());
        EXPECT_EQ(found->source, row.source);
        EXPECT_EQ(found->ready, row.ready);
        EXPECT_EQ(found->installed.value_or(""), row.word);
    }
    EXPECT_EQ(search.folders.size(), expected); // each real folder once
}

TEST_F(FinderTest, StopsAtItsBounds)
{
    for (int at = 0; at < 50; ++at) {
        Make(".wine/drive_c/" + std::to_string(at) + "/FLT.CDF");
    }
    std::stop_source stopped;
    stopped.request_stop();
    const struct
    {
        const char* name;
        finder::Limits limits;
        std::stop_token stop;
        std::size_t found;
    } rows[] = {
        {"no bound reached", {}, {}, 50},
        {"entry cap", {std::chrono::seconds(2), 60}, {}, 10},
        {"time", {std::chrono::milliseconds(-1), 400000}, {}, 0},
        {"stop", {}, stopped.get_token(), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const finder::Search search = finder::FindGameFolders(row.limits, row.stop);
        EXPECT_EQ(search.complete, row.found == 50);
        EXPECT_EQ(search.folders.size(), row.found);
    }
}

TEST_F(FinderTest, JovSwitchListsWhatItFindsAndTakesTheOnlyReadyFolder)
{
    const std::string a = (fs::canonical(root) / "home/.wine/drive_c/A").string();
    const std::string b = (fs::canonical(root) / "home/.wine/drive_c/B").string();
    Make(".wine/drive_c/A/FLT.CDF");
    Make(".wine/drive_c/A/krs/FLT.CDF");
    Make(".wine/drive_c/A/jovo.ini", "\"jov\"\r\n");
    Make(".wine/drive_c/B/data.cdf");
    fs::create_directories(root / "output");
    const struct
    {
        const char* name;
        Names args;
        int status;
        std::string out; // the whole output, or a part of it with --json
        std::string err; // a part of it
    } rows[] = {
        {"lines",
         {"find"},
         0,
         a + "\tready\tjov\tWine (~/.wine)\n" + b + "\tto prepare\t-\tWine (~/.wine)\n",
         ""},
        {"json", {"find", "--json"}, 0, "\"installed\": \"jov\",\n      \"ready\": true", ""},
        {"auto", {"-C", "auto", "status"}, 0, "JOV Panel", ""},
        {"auto between two", {"-C", "auto", "status"}, 2, "", "2 were found:\n" + a},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.status == 2) {
            Make(".wine/drive_c/B/krs/FLT.CDF");
        }
        Names argv{JOV_SWITCH_PATH};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        const Outcome outcome = RunChild(argv, {root / "output"});
        EXPECT_EQ(outcome.status, row.status) << outcome.err;
        if (row.args.size() == 1) {
            EXPECT_EQ(outcome.out, row.out);
        } else {
            EXPECT_NE(outcome.out.find(row.out), std::string::npos) << outcome.out;
        }
        EXPECT_NE(outcome.err.find(row.err), std::string::npos) << outcome.err;
    }
}

} // namespace
