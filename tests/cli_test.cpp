#include "game_folder.h"
#include "host.h"

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
        Fill();
    }

    // The sets, PANEL.DAT read-only and from long ago.
    void Fill()
    {
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
        // For Windows paths: the prefix beside the game folder.
        options.environment = {"WINEPREFIX=" + Utf8(game.parent_path() / "prefix")};
#endif
        return Switch(folder.empty() ? game : folder, std::move(args), options);
    }
};

struct Step
{
    // The row's game folder before: "jov" or "tuk" installed (the set's files in the game
    // folder, the state file naming it), "=W" a state file holding W, "-x" x deleted, "+x" x
    // written (holding its own name).
    const char* before;
    const char* args;
    int status;
    std::string says;      // found in what it prints
    std::string recorded;  // the state file afterwards, "" for none
    std::string gone = {}; // a file that is no longer there afterwards
    fs::path dir = {};     // -C's folder instead of the game folder
};

} // namespace

// Each command is allowed only where the window would have its button on, and says why not.
// Each row runs in a game folder of its own, set up as the row says.
TEST_F(CliTest, CommandsInTurn)
{
    // A dead run's temporary goes at the next write into its folder; a live run's stays.
    const std::string dead = ".jov-enable-" + std::to_string(EndedProcessId()) + "-1.tmp";
    const std::string alive = ".jov-enable-" + std::to_string(OwnProcessId()) + "-1.tmp";
    const std::vector<Step> steps{
        {"", "install panel", 2, "panel not in {jov,jovo,tuk}", ""},
        {"", "--wait -1 status", 2, "Value -1 not in range", ""},
        {"", "launch", 2, "jov-switch: unknown command 'launch'", ""},
        {"", "--json", 2, "no command given", ""},
        {"", "status", 2, "the game folder no such folder", "", {}, "no such folder"},
        {"", "--version", 0, "jov-switch 2.00.0001\n", ""},
        {"", "--help", 0, "GAME FOLDER", ""},
        {"", "status --json", 0, "\"installed\": null", ""},
        {"", "verify --json", 1, "null,\n  \"set\": null,\n  \"matches\": null", ""},
        {"", "install jov --json", 2, "--json goes with status and verify only", ""},
        {"", "status", 0, "Buttons on:   Install JOV Panel, Install JOV Online, Install TUK", ""},
        // Refused before the first start changes anything.
        {"", "restore", 1, "KRS Flight Models (the stock set) is installed", ""},
        {"", "remove raf", 1, "Flight models can be removed only while JOV", ""},
        {"", "install JOVO", 1, "Cannot find JOVO directory.", "none"},
        // A dry run refuses as the command would, before the first start's changes too.
        {"+JOV_Enable-backup/JOV_Enable-copies.txt/x", "-n install jov", 3,
         "A folder stands at that name", ""},
        {"", "install Jov", 0, "", "jov", dead},
        {"jov", "verify", 0, "The game folder matches the JOV Panel set.", "jov"},
#ifndef _WIN32
        // The prefix: drive C: holds the game, drive E: links to the row's folder.
        {"jov", "--json verify", 0, "\"matches\": true", "jov", {}, "c:/games/krs"},
        {"jov", "status", 0, "/KRS Game\n", "jov", {}, "e:\\KRS GAME"},
        {"jov", "status", 2, "/prefix has no drive", "jov", {}, "d:"},
#endif
        {"jov", "remove usaaf", 0, "", "jov", "B24A.FLT"},
        {"jov -B24A.FLT", "verify", 0, "removed USAAF\nThe game folder matches the JOV Panel set.",
         "jov"},
        {"jov -B24A.FLT", "verify --json", 0, "\"removed_air_forces\": [\n    \"USAAF\"", "jov"},
        {"jov -SP09.FLT +HURR.FLT +extra.str +notes.txt", "verify", 4,
         "differs HURR.FLT\nmissing SP09.FLT\nextra extra.str\n3 differences from the JOV Panel "
         "set.\n",
         "jov"},
        {"jov -SP09.FLT", "verify --json", 4,
         "{\n      \"kind\": \"missing\",\n      \"name\": \"SP09.FLT\"\n    }", "jov"},
        {"jov", "install tuk", 1, "JOV Panel is installed. Restore the stock set first", "jov"},
        {"jov", "remove RAF", 0, "", "jov", "SP09.FLT"},
        {"jov", "restore", 0, "", "none", "PANEL.DAT"},
        {"=none", "install tuk", 0, "", "tuk"},
        {"tuk", "remove usaaf", 1, "TUK is installed", "tuk"},
        {"tuk", "status --json", 0, "\"RAF\": false", "tuk"},
        {"tuk -KRS", "restore", 1, "KRS folder does not exist!\n", "none"},
        // A state file that names no set allows nothing.
        {"=JOV", "install jov", 1, "jovo.ini holds \"JOV\", which names no set", "JOV"},
        {"=JOV", "restore", 1, "holds \"JOV\", which names no set", "JOV"},
        {"=JOV", "remove raf", 1, "holds \"JOV\", which names no set", "JOV"},
    };
    for (std::size_t row = 0; row < steps.size(); ++row) {
        const Step& step = steps[row];
        NewGame("row " + std::to_string(row));
        Fill();
        Write("old.dat");
        Write(dead);
        Write(alive);
#ifndef _WIN32
        fs::create_directories(game / "../prefix/drive_c/Games");
        fs::create_directory_symlink(game, game / "../prefix/drive_c/Games/KRS");
        fs::create_directories(game / "../prefix/dosdevices");
        fs::create_directory_symlink(game.parent_path(), game / "../prefix/dosdevices/e:");
#endif
        for (const std::string& word : Split(step.before)) {
            if (word[0] == '-') {
                fs::remove_all(Under(word.substr(1)));
            } else if (word[0] == '+') {
                Write(word.substr(1), word.substr(1));
            } else if (word[0] == '=') {
                Record(word.substr(1));
            } else {
                fs::remove(Under("old.dat")); // as the first start before the install left it
                for (const auto& [name, content] : Files(Under(word == "jov" ? "JOV" : "TUK"))) {
                    Write(name, content);
                }
                Record(word);
            }
        }
        const Outcome outcome = Run(Split(step.args), step.dir);
        SCOPED_TRACE("row " + std::to_string(row) + ": " + outcome.err);
        EXPECT_EQ(outcome.status, step.status);
        EXPECT_NE((outcome.out + outcome.err).find(step.says), std::string::npos);
        EXPECT_EQ(Read("jovo.ini"), step.recorded.empty() ? "" : "\"" + step.recorded + "\"\r\n");
        EXPECT_TRUE(step.gone.empty() || !Exists(step.gone));
        if (step.args == std::string("install Jov")) {
            // Copies are writable whatever the set's files are, and keep their time.
            EXPECT_EQ(fs::last_write_time(game / "PANEL.DAT"), stamp);
            EXPECT_NE(fs::status(game / "PANEL.DAT").permissions() & fs::perms::owner_write,
                      fs::perms::none);
            EXPECT_FALSE(Exists("old.dat"));
            EXPECT_TRUE(Exists(alive));
        }
    }
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
