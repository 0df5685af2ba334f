#include "game_folder.h"
#include "host.h"

#include "platform/fs_error.h"
#include "platform/path_text.h"

#include <cerrno>
#include <chrono>
#include <random>
#include <set>
#include <thread>

// Whatever goes wrong, nothing is lost: files old or new and whole, no temporary, a valid state.
namespace
{

namespace fs = std::filesystem;

constexpr bool kPosix = platform::kNativeStyle == platform::PathStyle::Posix; // not Wine

std::string Blob(std::mt19937& random, std::size_t size)
{
    std::string data(size, 'x');
    for (std::size_t at = 0; at < size; at += 97) {
        data[at] = static_cast<char>('a' + random() % 26);
    }
    return data;
}

class FaultTest : public GameFolderTest
{
protected:
    Outcome Run(std::vector<std::string> args, ChildOptions options = {})
    {
        options.output = root;
        return Switch(game, std::move(args), options);
    }
};

// A large set, so that a command can be killed in the middle of it.
class KilledTest : public FaultTest
{
protected:
    void SetUp() override
    {
        FaultTest::SetUp();
        std::mt19937 random(20261206);
        Contents jov;
        for (int i = 0; i < 400; ++i) {
            jov["M" + std::to_string(1000 + i) + (i % 2 ? ".FLT" : ".DAT")] =
                Blob(random, 24 * 1024 + random() % 4096);
        }
        jov["BIG.3DZ"] = Blob(random, 8 << 20);
        jov["README.TXT"] = "the set's notes";
        stock = {{"FLT.CDF", Blob(random, 3 << 20)}, {"DATA.CDF", Blob(random, 5 << 20)}};
        // The player's own: a game file the install replaces, a model the restore clears.
        own = {{"README.TXT", "the game's own notes"}, {"OWN.FLT", Blob(random, 4096)}};
        for (const auto& [folder, files] :
             {std::pair{"JOV/", jov}, {"KRS/", stock}, {"OWN/", own}}) {
            for (const auto& [name, data] : files) {
                Write(folder + name, data);
                versions[name].insert(data);
            }
        }
    }

    void Reset(const std::string& word)
    {
        for (const auto& [name, content] : Files()) {
            fs::remove(game / name);
        }
        fs::remove_all(game / "JOV_Enable-backup");
        for (const auto& [name, data] : stock) {
            Write(name, data);
        }
        Write("README.TXT", own.at("README.TXT"));
        Record("none");
        if (word == "jov") {
            ASSERT_EQ(Run({"install", "jov"}).status, 0);
            Write("OWN.FLT", own.at("OWN.FLT"));
        }
        placedOwnModel = word == "jov";
    }

    // Each of the player's own files is in the game folder or kept, never neither.
    void ExpectOwnFilesKept()
    {
        const Contents inGame = Files();
        std::set<std::pair<std::string, std::string>> held(inGame.begin(), inGame.end());
        for (const auto& run : fs::directory_iterator(Under("JOV_Enable-backup"), ignored)) {
            const Contents kept = run.is_directory() ? Files(run.path()) : Contents{};
            held.insert(kept.begin(), kept.end());
        }
        for (const auto& file : own) {
            EXPECT_TRUE(held.contains(file) || (file.first == "OWN.FLT" && !placedOwnModel))
                << file.first << " is lost";
        }
    }

    // Times `command` from the state `from`, then kills it kRounds times at a random moment.
    void KillRounds(const std::vector<std::string>& command, const std::string& from, unsigned seed)
    {
        Reset(from);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Run(command).status, 0);
        const auto window = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
        std::mt19937 random(seed);
        Names argv{JOV_SWITCH_PATH, "-C", Utf8(game)};
        argv.insert(argv.end(), command.begin(), command.end());
        for (int round = 0; round < kRounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            Reset(from);
            const Child child = StartChild(argv, {root});
            std::this_thread::sleep_for(std::chrono::microseconds(random() % window.count()));
            KillChild(child);
            for (const auto& [name, content] : Files()) {
                if (name == "jovo.ini") {
                    EXPECT_TRUE(content == "\"none\"\r\n" || content == "\"jov\"\r\n") << content;
                } else if (!name.starts_with(platform::kTemporaryPrefix)) {
                    EXPECT_TRUE(versions[name].contains(content)) << name << " is cut or mixed";
                }
            }
            ExpectOwnFilesKept();
            if (Read("jovo.ini") == "\"" + from + "\"\r\n") {
                ASSERT_EQ(Run(command).status, 0);
            }
            ExpectOwnFilesKept();
            EXPECT_EQ(Run({"verify"}).status, 0);
            for (const auto& [name, content] : Files()) {
                EXPECT_FALSE(name.starts_with(platform::kTemporaryPrefix)) << name;
            }
        }
    }

    static constexpr int kRounds = kPosix ? 20 : 10; // a round under Wine takes seconds
    Contents stock;
    Contents own;
    bool placedOwnModel = false;
    std::error_code ignored; // no backup folder: nothing kept
    std::map<std::string, std::set<std::string>> versions;
};

} // namespace

TEST_F(KilledTest, InstallKilledAnywhereLeavesWholeFilesAndCompletesNextTime)
{
    KillRounds({"install", "jov"}, "none", 1);
}

#ifndef _WIN32
// A file-size limit below the shape's size makes a write fail in the middle of a copy.
TEST_F(FaultTest, AFailedCopyLeavesNoGameNameChangedAndTheStateKept)
{
    Record("none");
    Write("jov/a.dat", std::string(20000, 'a'));
    Write("jov/b.3dz", std::string(300000, 'b'));
    Write("jov/c.dat", std::string(20000, 'c'));
    Write("b.3dz", "old shape");
    ChildOptions limited;
    limited.fileSizeLimit = 100000;
    auto outcome = Run({"install", "jov"}, limited);
    EXPECT_EQ(outcome.status, 3);
    EXPECT_NE(outcome.err.find("File too large"), std::string::npos) << outcome.err;
    // The copies are written aside first: the one written goes again, none took a game name.
    EXPECT_EQ(Files(), (Contents{{"b.3dz", "old shape"}, {"jovo.ini", "\"none\"\r\n"}}));
}
#endif

TEST_F(FaultTest, StateFileAbuseGivesAMessageOrTheErrorStateAndNoWriteOutside)
{
    Write("krs/flt.cdf", "stock");
    Write("jov/x.dat", "jov");
    Write("hurr.flt", "mine");

    // Refused before the first change: a state file that cannot be replaced.
    WriteReadOnly("jovo.ini", "\"jov\"\r\n");
    auto outcome = Run({"restore"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_NE(outcome.err.find("Could not replace \"jovo.ini\""), std::string::npos);
    fs::permissions(game / "jovo.ini", fs::perms::owner_write, fs::perm_options::add);
    fs::remove(game / "jovo.ini");
    fs::create_directory(game / "jovo.ini");
    outcome = Run({"install", "jov"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_NE(outcome.err.find("Could not write \"jovo.ini\""), std::string::npos) << outcome.err;
    EXPECT_EQ(Read("hurr.flt"), "mine");
    fs::remove(game / "jovo.ini");

    // Refused too: anything but a folder at the backup folder's name, a link to one included.
    Record("jov");
    fs::create_directory(root / "away");
    for (const bool link : {false, kPosix}) {
        link ? fs::create_directory_symlink(root / "away", game / "JOV_Enable-backup")
             : Write("JOV_Enable-backup", "a file");
        outcome = Run({"restore"});
        EXPECT_EQ(outcome.status, 3);
        EXPECT_NE(outcome.err.find("Could not keep files in \"JOV_Enable-backup\""),
                  std::string::npos)
            << outcome.err;
        EXPECT_EQ(Read("hurr.flt"), "mine");
        fs::remove(game / "JOV_Enable-backup");
    }
    EXPECT_TRUE(fs::is_empty(root / "away"));
    fs::remove(game / "jovo.ini");

    for (const std::string& junk : {std::string(), std::string("\0\x01\"\xff\x80", 5)}) {
        Write("jovo.ini", junk);
        EXPECT_NE(Run({"status", "--json"}).out.find("(Error)"), std::string::npos);
        EXPECT_EQ(Run({"install", "jov"}).status, 1);
        EXPECT_EQ(Read("hurr.flt"), "mine");
    }

#ifndef _WIN32
    // Links out of the game folder are replaced, never written through; a set folder may be one.
    Write("../outside/jovset/HURR.FLT", "jov hurr");
    Write("../outside/jovset/panel.dat", "jov panel");
    Write("../elsewhere.ini", "\"none\"\r\n");
    fs::remove(game / "jovo.ini");
    fs::remove_all(game / "jov");
    fs::create_directory_symlink(root / "outside" / "jovset", game / "JOV");
    fs::create_symlink(root / "elsewhere.ini", game / "jovo.ini");
    fs::rename(game / "hurr.flt", root / "precious.flt");
    fs::create_symlink(root / "precious.flt", game / "hurr.flt");
    EXPECT_EQ(Run({"install", "jov"}).status, 0);
    EXPECT_EQ(Files(), (Contents{{"hurr.flt", "jov hurr"},
                                 {"jovo.ini", "\"jov\"\r\n"},
                                 {"panel.dat", "jov panel"}}));
    EXPECT_FALSE(fs::is_symlink(game / "hurr.flt"));
    EXPECT_FALSE(fs::is_symlink(game / "jovo.ini"));
    EXPECT_EQ(Slurp(root / "elsewhere.ini"), "\"none\"\r\n");
    EXPECT_EQ(Slurp(root / "precious.flt"), "mine");
#endif
}

#ifdef JOV_ENABLE_PATH
TEST_F(FaultTest, WindowKeepsJovSwitchOut)
{
    // Started as a player would, in a folder without a state file.
    Write("jov/panel.dat");
    Write("krs/flt.cdf", "stock");
    fs::create_directories(root / "window");
    const Child window =
        StartChild({JOV_ENABLE_PATH}, {root / "window", -1, {"QT_QPA_PLATFORM=offscreen"}});
    for (int i = 0; i < 1500 && Read("jovo.ini").empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(Read("jovo.ini"), "\"none\"\r\n") << Slurp(root / "window" / "stderr");
    const auto refused = Run({"--wait", "0.3", "install", "jov"});
    EXPECT_EQ(refused.status, 5);
    EXPECT_NE(refused.err.find("another program is working on the game folder"), std::string::npos);
    EXPECT_FALSE(Exists("panel.dat"));
    EXPECT_TRUE(KillChild(window)) << "the window is still open";
    EXPECT_EQ(Run({"install", "jov"}).status, 0);
}
#endif
