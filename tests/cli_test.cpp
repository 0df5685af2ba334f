#include "game_folder.h"
#include "host.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// Runs the built jov-switch as a launcher script would, on real game folders.
namespace
{

namespace fs = std::filesystem;

class CliTest : public GameFolderTest
{
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        for (const char* name : {"KRS/FLT.CDF", "KRS/DATA.CDF", "JOV/HURR.FLT", "JOV/SP09.FLT",
                                 "JOV/B24A.FLT", "JOV/JOVPANEL.EXE", "TUK/FLT.CDF"}) {
            Write(name, name);
        }
        WriteReadOnly("JOV/PANEL.DAT", "JOV/PANEL.DAT");
        fs::last_write_time(game / "JOV/PANEL.DAT", stamp);
    }

    // Whole seconds: what every platform's file times hold.
    const fs::file_time_type stamp = std::chrono::floor<std::chrono::seconds>(
        fs::file_time_type::clock::now() - std::chrono::hours(50));

    Outcome Run(std::vector<std::string> args, const fs::path& folder = {})
    {
        ChildOptions options{root};
#ifndef _WIN32
        options.environment = {"WINEPREFIX=" + Utf8(root / "prefix")}; // for Windows paths
#endif
        return Switch(folder.empty() ? game : folder, std::move(args), options);
    }
};

struct Step
{
    std::vector<std::string> args;
    int status;
    std::string says;      // found in what it prints
    std::string recorded;  // the state file afterwards, "" for none
    std::string gone = {}; // a file that is no longer there afterwards
    fs::path dir = {};     // -C's folder instead of the game folder
};

} // namespace

// Each command is allowed only where the window would have its button on, and says why not.
TEST_F(CliTest, CommandsInTurn)
{
    Write("old.dat");
    // A dead run's temporary goes at the next write into its folder; a live run's stays.
    const std::string dead = ".jov-enable-" + std::to_string(EndedProcessId()) + "-1.tmp";
    const std::string alive = ".jov-enable-" + std::to_string(OwnProcessId()) + "-1.tmp";
    Write(dead);
    Write(alive);
#ifndef _WIN32
    // The prefix WINEPREFIX names: drive C: holds the game, drive E: links to its parent folder.
    fs::create_directories(root / "prefix/drive_c/Games");
    fs::create_directory_symlink(game, root / "prefix/drive_c/Games/KRS");
    fs::create_directories(root / "prefix/dosdevices");
    fs::create_directory_symlink(root, root / "prefix/dosdevices/e:");
#endif
    const std::vector<Step> steps{
        {{"install", "panel"}, 2, "panel not in {jov,jovo,tuk}", ""},
        {{"--wait", "-1", "status"}, 2, "Value -1 not in range", ""},
        {{"launch"}, 2, "jov-switch: unknown command 'launch'", ""},
        {{"--json"}, 2, "no command given", ""},
        {{"--version"}, 0, "jov-switch 2.00.0001\n", ""},
        {{"--help"}, 0, "GAME FOLDER", ""},
        {{"status", "--json"}, 0, "\"installed\": null", ""},
        {{"verify", "--json"}, 1, "null,\n  \"set\": null,\n  \"matches\": null", ""},
        {{"install", "jov", "--json"}, 2, "--json goes with status and verify only", ""},
        {{"status"}, 0, "Buttons on:   Install JOV Panel, Install JOV Online, Install TUK", ""},
        // Refused before the first start changes anything.
        {{"restore"}, 1, "KRS Flight Models (the stock set) is installed", ""},
        {{"remove", "raf"}, 1, "Flight models can be removed only while JOV", ""},
        {{"install", "JOVO"}, 1, "Cannot find JOVO directory.", "none"},
        {{"install", "Jov"}, 0, "", "jov", dead},
        {{"verify"}, 0, "The game folder matches the JOV Panel set.", "jov"},
#ifndef _WIN32
        {{"--json", "verify"}, 0, "\"matches\": true", "jov", {}, "c:/games/krs"},
        {{"status"}, 0, "Game folder:  " + Utf8(game) + "\n", "jov", {}, "e:\\KRS GAME"},
        {{"status"}, 2, "prefix " + Utf8(root / "prefix") + " has no drive", "jov", {}, "d:"},
#endif
        {{"remove", "usaaf"}, 0, "", "jov", "B24A.FLT"},
        {{"verify"}, 0, "removed USAAF\nThe game folder matches the JOV Panel set.", "jov"},
        {{"verify", "--json"}, 0, "\"removed_air_forces\": [\n    \"USAAF\"", "jov"},
        {{"install", "tuk"}, 1, "JOV Panel is installed. Restore the stock set first", "jov"},
        {{"remove", "RAF"}, 0, "", "jov", "SP09.FLT"},
        {{"restore"}, 0, "", "none", "PANEL.DAT"},
        {{"install", "tuk"}, 0, "", "tuk"},
        {{"remove", "usaaf"}, 1, "TUK is installed", "tuk"},
        {{"status", "--json"}, 0, "\"RAF\": false", "tuk"},
    };
    for (const Step& step : steps) {
        const Outcome outcome = Run(step.args, step.dir);
        SCOPED_TRACE(step.args.front() + " " + step.args.back() + ": " + outcome.err);
        EXPECT_EQ(outcome.status, step.status);
        EXPECT_NE((outcome.out + outcome.err).find(step.says), std::string::npos);
        EXPECT_EQ(Read("jovo.ini"), step.recorded.empty() ? "" : "\"" + step.recorded + "\"\r\n");
        EXPECT_TRUE(step.gone.empty() || !Exists(step.gone));
        if (step.args == Names{"install", "Jov"}) {
            // Copies are writable whatever the set's files are, and keep their time.
            EXPECT_EQ(fs::last_write_time(game / "PANEL.DAT"), stamp);
            EXPECT_NE(fs::status(game / "PANEL.DAT").permissions() & fs::perms::owner_write,
                      fs::perms::none);
            EXPECT_FALSE(Exists("old.dat"));
        }
    }
    EXPECT_TRUE(Exists(alive));
    EXPECT_EQ(Read("FLT.CDF"), "TUK/FLT.CDF");

    Record("JOV");
    for (const auto& args :
         std::vector<Names>{{"install", "jov"}, {"restore"}, {"remove", "raf"}}) {
        const auto outcome = Run(args);
        EXPECT_EQ(outcome.status, 1) << args[0];
        EXPECT_NE(outcome.err.find("holds \"JOV\", which names no set"), std::string::npos);
        EXPECT_NE(outcome.err.find(Path("jovo.ini")), std::string::npos);
    }
    EXPECT_EQ(Read("FLT.CDF"), "TUK/FLT.CDF");

    EXPECT_EQ(Run({}).status, 2);
    EXPECT_EQ(Run({"status"}, root / "no such folder").status, 2);

    fs::remove_all(game / "KRS");
    Record("tuk");
    const auto noStock = Run({"restore"});
    EXPECT_EQ(noStock.status, 1);
    EXPECT_EQ(noStock.err, "KRS folder does not exist!\n");
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}

// Over a first start and each command after it, line for line but for the runs' times.
TEST_F(CliTest, DryRunListsWhatTheRealRunDoes)
{
    Write("Hurr.flt", "the player's, kept by the first start");
    Write("README.TXT", "the game's, replaced by the install and put back by the restore");
    Write("JOV/ReadMe.txt", "the set's");
    const auto listing = [](const std::string& out) {
        return std::regex_replace(
            std::regex_replace(out, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d"), "T"),
            std::regex("Would keep"), "Kept");
    };
    for (const std::string command : {"install jov", "remove raf", "restore", "install tuk"}) {
        SCOPED_TRACE(command);
        const Contents before = Files();
        const bool backup = Exists("JOV_Enable-backup");
        const auto dry = Run(Split("--dry-run " + command));
        EXPECT_EQ(dry.status, 0) << dry.err;
        EXPECT_EQ(Files(), before);
        EXPECT_EQ(Exists("JOV_Enable-backup"), backup);
        const auto real = Run(Split(command + " --verbose"));
        EXPECT_EQ(real.status, 0) << real.err;
        EXPECT_FALSE(real.out.empty());
        EXPECT_EQ(listing(real.out), listing(dry.out));
    }
    EXPECT_EQ(Read("README.TXT"),
              "the game's, replaced by the install and put back by the restore");
}

TEST_F(CliTest, VerifyNoticesChangedMissingAndExtraFiles)
{
    Record("none");
    ASSERT_EQ(Run({"install", "jov"}).status, 0);
    Write("HURR.FLT", "changed");
    fs::remove(game / "SP09.FLT");
    Write("extra.str");
    Write("notes.txt"); // not an add-on type: not the set's business
    const auto changed = Run({"verify"});
    EXPECT_EQ(changed.status, 4);
    EXPECT_EQ(changed.out, "differs HURR.FLT\nmissing SP09.FLT\nextra extra.str\n"
                           "3 differences from the JOV Panel set.\n");
    const auto json = Run({"verify", "--json"});
    EXPECT_EQ(json.status, 4);
    EXPECT_NE(json.out.find("{\n      \"kind\": \"missing\",\n      \"name\": \"SP09.FLT\"\n    }"),
              std::string::npos)
        << json.out;
}

#ifndef _WIN32
// A reader that goes away does not leave a command half-done; a path longer than the system
// takes is refused before the first change.
TEST_F(CliTest, OutputClosedOrPathsTooLongLeaveNothingHalfDone)
{
    Record("none");
    const auto piped = RunChild(
        {"sh", "-c", "'" JOV_SWITCH_PATH "' -C '" + Utf8(game) + "' -v install jov | head -n 1"},
        {root});
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
    EXPECT_NE(piped.err.find("standard output was closed"), std::string::npos) << piped.err;

    fs::path deep = root; // a game folder path of 4,060 bytes
    while (Utf8(deep).size() < 3800) {
        deep /= std::string(200, 'd');
    }
    deep /= std::string(4060 - Utf8(deep).size() - 1, 'g');
    fs::create_directories(deep / "JOV");
    fs::copy(game / "JOV" / "HURR.FLT", deep / "JOV" / "HURR.DAT");
    Write(Utf8(fs::relative(deep / "jovo.ini", game)), "\"none\"\r\n");
    const auto refused = Run({"install", "jov"}, deep);
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("Refused: The path is too long."), std::string::npos) << refused.err;
    EXPECT_EQ(Files(deep), (Contents{{"jovo.ini", "\"none\"\r\n"}}));
    EXPECT_FALSE(fs::exists(deep / "JOV_Enable-backup"));
}

#endif

#ifndef _WIN32
// As an ordinary user has it; the program runs from a copy that "nobody" can reach.
TEST_F(CliTest, FolderAboveTheGameFolderNeedNotBeListable)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run jov-switch as another user";
    }
    ASSERT_EQ(::chmod(root.c_str(), 0711), 0);
    const passwd* user = ::getpwnam("nobody");
    ASSERT_NE(user, nullptr);
    ASSERT_EQ(::lchown(game.c_str(), user->pw_uid, user->pw_gid), 0);
    for (const auto& entry : fs::recursive_directory_iterator(game)) {
        ASSERT_EQ(::lchown(entry.path().c_str(), user->pw_uid, user->pw_gid), 0);
    }
    const fs::path program = root / "jov-switch";
    fs::copy_file(JOV_SWITCH_PATH, program);
    fs::permissions(program, fs::perms(0755));
    ChildOptions nobody{root};
    nobody.asNobody = true;
    for (const Names& args : std::vector<Names>{{"status"}, {"install", "jov"}}) {
        Names argv{program.string(), "-C", Utf8(game)};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto outcome = RunChild(argv, nobody);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
    }
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
}
#endif
