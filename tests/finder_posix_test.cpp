#include "finder_test.h"
#include "game_folder.h"

#include "finder/finder.h"
#include "host.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>

namespace fs = std::filesystem;

namespace
{

// A fake home with the launchers' files and prefixes; HOME, WINEPREFIX and the XDG folders
// point into it.
class FinderTest : public GameFolderTest
{
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        home = root / "home";
        setenv("HOME", home.c_str(), 1);
        setenv("WINEPREFIX", (home / "pfx").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / "xdg-config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "xdg-data").c_str(), 1);
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
             "\n  prefix: ~/lutris-prefix\nwine:\n  version: x\n");
    // Each of Lutris's folders for its games names a game folder below it.
    for (const char* games :
         {".local/share/lutris/games", ".var/app/net.lutris.Lutris/data/lutris/games",
          ".var/app/net.lutris.Lutris/config/lutris/games", "xdg-config/lutris/games",
          "xdg-data/lutris/games"}) {
        Make(std::string(games) + "/krs.yml", "game:\n  exe: ~/" + std::string(games) + "/K/a.exe");
    }
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
    Link(".local/share/Steam/steamapps/common/KRS12", home / "disk2/KRS12");
    Link("Games/krs-b/dosdevices/d:", root / "disk-d");
    Link(".wine/drive_c/root", "/");     // /tmp/<test>/KRS Game is three levels below
    Link(".wine/drive_c/proc", "/proc"); // self/cwd is KRS Game
    // Launcher files that cannot be read: one that is no map, and FIFOs, which block a reader.
    Make(".local/share/bottles/bottles/KRS/bottle.yml", "true");
    const Names fifos{".local/share/Steam/config/libraryfolders.vdf",
                      ".local/share/Steam/userdata/43/config/shortcuts.vdf",
                      ".local/share/lutris/games/fifo.yml",
                      "xdg-data/bottles/bottles/F/bottle.yml"};
    Names skipped{(home / ".local/share/bottles/bottles/KRS/bottle.yml").string()};
    for (const std::string& fifo : fifos) {
        fs::create_directories((home / fifo).parent_path());
        ASSERT_EQ(mkfifo((home / fifo).c_str(), 0600), 0);
        skipped.push_back((home / fifo).string());
    }
    std::sort(skipped.begin(), skipped.end());

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
        {"Lutris 0.5.15", ".local/share/lutris/games/K", "FLT.CDF", true, "", "Lutris"},
        {"Lutris Flatpak data", ".var/app/net.lutris.Lutris/data/lutris/games/K", "FLT.CDF", true,
         "", "Lutris"},
        {"Lutris Flatpak config", ".var/app/net.lutris.Lutris/config/lutris/games/K", "FLT.CDF",
         true, "", "Lutris"},
        {"Lutris XDG config", "xdg-config/lutris/games/K", "FLT.CDF", true, "", "Lutris"},
        {"Lutris XDG data", "xdg-data/lutris/games/K", "FLT.CDF", true, "", "Lutris"},
        {"Bottles", ".local/share/bottles/bottles/B/drive_c/KRS", "FLT.CDF", true, "", "Bottles"},
        {"Bottles program", "outside/KRS", "FLT.CDF", false, "", "Bottles"},
        {"Bottles Flatpak", ".var/app/com.usebottles.bottles/data/bottles/bottles/F/drive_c/G/K",
         "FLT.CDF", true, "", "Bottles"},
        {"Bottles XDG data", "xdg-data/bottles/bottles/X/drive_c/KRS", "FLT.CDF", true, "",
         "Bottles"},
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
        {"behind a link in a prefix", "beyond/KRS", "FLT.CDF", true, "", "Wine (~/.wine)"},
        {"a link in a library", "disk2/KRS12", "FLT.CDF", true, "", "Steam"},
        {"behind dosdevices", "../disk-d", "FLT.CDF", true, "", ""},
        {"behind a link to / or /proc", "../KRS Game", "FLT.CDF", true, "", ""},
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

    // A bound of its own, which these few folders never reach. Meanwhile a writer polls each
    // FIFO: it opens one only once a reader has, and so lets the reader go.
    auto pending = std::async(std::launch::async,
                              [] { return finder::FindGameFolders({std::chrono::hours(1)}); });
    bool opened = false;
    while (pending.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        for (const std::string& fifo : fifos) {
            const int writer = open((home / fifo).c_str(), O_WRONLY | O_NONBLOCK);
            opened = opened || (writer >= 0 && close(writer) == 0);
        }
    }
    EXPECT_FALSE(opened) << "the search opened a FIFO";
    const finder::Search search = pending.get();
    EXPECT_TRUE(search.complete);
    EXPECT_EQ(search.skipped, skipped);
    std::size_t expected = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string folder = fs::weakly_canonical(home / row.folder).string();
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

// Shallow places first: a game in a second Steam library is reached before a crowded prefix.
// The only ready folder is -C auto's only from a complete search.
TEST_F(FinderTest, StopsAtItsBounds)
{
    const std::string library = (fs::canonical(root) / "home/lib2").string();
    Make(".local/share/Steam/steamapps/libraryfolders.vdf",
         R"("libraryfolders" { "1" { "path" ")" + library + R"(" } })");
    Make("lib2/steamapps/common/KRS/FLT.CDF");
    Make("lib2/steamapps/common/KRS/krs/FLT.CDF");
    for (int at = 0; at < 50; ++at) {
        Make(".wine/drive_c/" + std::to_string(at) + "/FLT.CDF");
    }
    Make(".local/share/bottles/bottles/KRS/bottle.yml", "[");
    std::stop_source stopped;
    stopped.request_stop();
    const struct
    {
        const char* name;
        finder::Limits limits;
        std::stop_token stop;
        std::size_t found;
    } rows[] = {
        {"no bound reached", {std::chrono::hours(1)}, {}, 51},
        {"entry cap", {std::chrono::hours(1), 60}, {}, 4},
        {"time", {std::chrono::milliseconds(-1), 400000}, {}, 0},
        {"stop", {std::chrono::hours(1)}, stopped.get_token(), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const finder::Search search = finder::FindGameFolders(row.limits, row.stop);
        EXPECT_EQ(search.complete, row.found == 51);
        ASSERT_EQ(search.folders.size(), row.found);
        // The bounds hold for the launcher files too.
        EXPECT_EQ(search.skipped.size(), row.found > 0 ? 1U : 0U);
        if (row.found > 0) {
            EXPECT_EQ(search.folders.front().folder, library + "/steamapps/common/KRS");
        }
        EXPECT_EQ(finder::OnlyReadyFolder(search) != nullptr, search.complete);
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
    Make(".wine/drive_c/C\n\t\x1b\\D\xff\xc3\xa9/FLT.CDF");
    Make(".local/share/bottles/bottles/K/bottle.yml", "text");
    fs::create_directories(root / "output");
    const struct
    {
        const char* name;
        const char* args;
        int status;
        std::string out; // the whole output, or a part of it with --json
        std::string err; // a part of it
    } rows[] = {
        {"lines", "find", 0,
         a + "\tready\tjov\tWine (~/.wine)\n" + b + "\tto prepare\t-\tWine (~/.wine)\n" +
             a.substr(0, a.size() - 1) +
             "C\\n\\t\\033\\\\D\\377\xc3\xa9\tto prepare\t-\tWine (~/.wine)\n",
         ""},
        {"json", "find --json", 0,
         "\"skipped\": [\n    \"" +
             (fs::canonical(root) / "home/.local/share/bottles/bottles/K/bottle.yml").string(),
         ""},
        {"auto", "-C auto status", 0, "JOV Panel", ""},
        {"auto between two", "-C auto status", 2, "", "2 were found:\n" + a},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.status == 2) {
            Make(".wine/drive_c/B/krs/FLT.CDF");
        }
        Names argv = Split(row.args);
        argv.insert(argv.begin(), JOV_SWITCH_PATH);
        const Outcome outcome = RunChild(argv, {root / "output"});
        EXPECT_EQ(outcome.status, row.status) << outcome.err;
        if (row.args == std::string("find")) {
            EXPECT_EQ(outcome.out, row.out);
        } else {
            EXPECT_NE(outcome.out.find(row.out), std::string::npos) << outcome.out;
        }
        EXPECT_NE(outcome.err.find(row.err), std::string::npos) << outcome.err;
    }
}

// A folder reached by two routes is one folder: -C auto takes it.
TEST_F(FinderTest, AFolderMountedTwiceIsFoundOnce)
{
    Make("Games/KRS/FLT.CDF");
    Make("Games/KRS/krs/FLT.CDF");
    const fs::path again = home / ".wine/drive_c/KRS";
    fs::create_directories(again);
    const bool asRoot = geteuid() == 0;
    if (!asRoot ||
        mount((home / "Games/KRS").c_str(), again.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "a bind mount needs root"
                     << (asRoot ? std::string(": ") + std::strerror(errno)
                                : ", and this test does not run as root");
    }
    const std::unique_ptr<const char, void (*)(const char*)> unmount(
        again.c_str(), [](const char* at) { umount2(at, MNT_DETACH); });
    const Outcome outcome = RunChild({JOV_SWITCH_PATH, "-C", "auto", "status"}, {root / "output"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
}

} // namespace
