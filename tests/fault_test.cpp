#include "game_folder.h"
#include "host.h"

#include "platform/path_text.h"

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

} // namespace

// A large set, so that an install can be killed in the middle of it: killed once it has printed
// a step drawn at random (it prints each step as it is done), the rounds spread over the install
// whatever the machine's speed.
TEST_F(FaultTest, InstallKilledAnywhereLeavesWholeFilesAndCompletesNextTime)
{
    const std::string mine = "the game's own notes"; // the install replaces it
    std::mt19937 random(20261206);
    Contents jov{{"BIG.3DZ", Blob(random, 8 << 20)}, {"README.TXT", "the set's notes"}};
    for (int i = 0; i < 400; ++i) {
        jov["M" + std::to_string(1000 + i) + (i % 2 ? ".FLT" : ".DAT")] =
            Blob(random, 24 * 1024 + random() % 4096);
    }
    const Contents stock{{"FLT.CDF", Blob(random, 3 << 20)}, {"DATA.CDF", Blob(random, 5 << 20)}};
    std::map<std::string, std::set<std::string>> versions{{"README.TXT", {mine}}};
    for (const auto& [folder, files] : {std::pair{"JOV/", jov}, {"KRS/", stock}}) {
        for (const auto& [name, data] : files) {
            Write(folder + name, data);
            versions[name].insert(data);
        }
    }
    const auto reset = [&] { // the stock set and the player's README.TXT, nothing kept
        for (const auto& [name, content] : Files()) {
            fs::remove(game / name);
        }
        fs::remove_all(game / "JOV_Enable-backup");
        for (const auto& [name, data] : stock) {
            Write(name, data);
        }
        Write("README.TXT", mine);
        Record("none");
    };
    const auto mineKept = [&] { // in the game folder or kept, never neither
        std::error_code none;
        bool held = Read("README.TXT") == mine;
        for (const auto& run : fs::directory_iterator(Under("JOV_Enable-backup"), none)) {
            held = held || Slurp(run.path() / "README.TXT") == mine;
        }
        return held;
    };
    const Names argv{JOV_SWITCH_PATH, "-C", Utf8(game), "--verbose", "install", "jov"};
    const auto printed = [this] {
        const std::string out = Slurp(root / "stdout");
        return std::count(out.begin(), out.end(), '\n');
    };
    reset();
    ASSERT_EQ(RunChild(argv, {root}).status, 0);
    const auto steps = printed();
    for (int round = 0; round < (kPosix ? 20 : 10); ++round) { // a round under Wine takes seconds
        const auto step = static_cast<long>(random() % steps);
        SCOPED_TRACE("round " + std::to_string(round) + ", after step " + std::to_string(step));
        reset();
        fs::remove(root / "stdout");
        fs::remove(root / "stderr");
        const Child child = StartChild(argv, {root});
        while (printed() < step && Slurp(root / "stderr").empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // polls the output
        }
        KillChild(child);
        for (const auto& [name, content] : Files()) {
            if (name == "jovo.ini") {
                EXPECT_TRUE(content == "\"none\"\r\n" || content == "\"jov\"\r\n") << content;
            } else if (!name.starts_with(platform::kTemporaryPrefix)) {
                EXPECT_TRUE(versions[name].contains(content)) << name << " is cut or mixed";
            }
        }
        EXPECT_TRUE(mineKept()) << "the player's README.TXT is lost";
        if (Read("jovo.ini") == "\"none\"\r\n") {
            ASSERT_EQ(Run({"install", "jov"}).status, 0);
        }
        EXPECT_TRUE(mineKept()) << "the player's README.TXT is lost";
        EXPECT_EQ(Run({"verify"}).status, 0);
        for (const auto& [name, content] : Files()) {
            EXPECT_FALSE(name.starts_with(platform::kTemporaryPrefix)) << name;
        }
    }
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

// What stands at the state file's or the backup's name, or links out of the game folder: a
// refusal before the first change or the error state, and nothing written outside.
TEST_F(FaultTest, StateFileAbuseGivesAMessageOrTheErrorStateAndNoWriteOutside)
{
    const std::string jov = "\"jov\"\r\n";
    const std::string junk("\0\x01\"\xff\x80", 5);
    const std::string keep = "Could not keep files in \"JOV_Enable-backup\"";
    const struct
    {
        const char* name;
        std::string state;  // jovo.ini's bytes; "!" before them: read-only; "/": a folder
        const char* stands; // at JOV_Enable-backup: "file", "link" to a folder; "links" out
        const char* command;
        int status;
        std::string says;
    } rows[] = {
        {"a read-only state file", "!" + jov, "", "restore", 3, "Could not replace \"jovo.ini\""},
        {"a folder named jovo.ini", "/", "", "install jov", 3, "Could not write \"jovo.ini\""},
        {"a file at the backup's name", jov, "file", "restore", 3, keep},
#ifndef _WIN32
        {"a link to a folder at the backup's name", jov, "link", "restore", 3, keep},
#endif
        // A state file that names no set shows the error state, in which nothing is allowed.
        {"an empty state file", "", "", "status --json", 0, "(Error)"},
        {"an empty state file", "", "", "install jov", 1, ""},
        {"a binary state file", junk, "", "status --json", 0, "(Error)"},
        {"a binary state file", junk, "", "install jov", 1, ""},
#ifndef _WIN32
        // Replaced, never written through; a set folder may be a link.
        {"links out of the game folder", "", "links", "install jov", 0, ""},
#endif
    };
    // Every name in the folder beside the game folder, with each file's content.
    const auto outside = [this] {
        Contents tree;
        for (const auto& entry : fs::recursive_directory_iterator(Under("../outside"))) {
            tree[Utf8(entry.path())] = entry.is_regular_file() ? Slurp(entry.path()) : "folder";
        }
        return tree;
    };
    for (std::size_t at = 0; at < std::size(rows); ++at) {
        const auto& row = rows[at];
        SCOPED_TRACE(row.name);
        NewGame("row " + std::to_string(at));
        Write("krs/flt.cdf", "stock");
        Write("jov/x.dat", "jov");
        Write("hurr.flt", "mine");
        fs::create_directory(Under("../outside"));
        row.state == "/"             ? (void)fs::create_directory(Under("jovo.ini"))
        : row.state.starts_with('!') ? WriteReadOnly("jovo.ini", row.state.substr(1))
                                     : Write("jovo.ini", row.state);
        if (row.stands == std::string("file")) {
            Write("JOV_Enable-backup", "a file");
        } else if (row.stands == std::string("link")) {
            fs::create_directory_symlink("../outside", Under("JOV_Enable-backup"));
        } else if (row.stands == std::string("links")) {
            Write("../outside/jovset/HURR.FLT", "jov hurr");
            Write("../outside/jovset/panel.dat", "jov panel");
            Write("../outside/elsewhere.ini", "\"none\"\r\n");
            fs::remove_all(Under("jov"));
            fs::create_directory_symlink("../outside/jovset", Under("JOV"));
            fs::remove(Under("jovo.ini"));
            fs::create_symlink("../outside/elsewhere.ini", Under("jovo.ini"));
            fs::rename(Under("hurr.flt"), Under("../outside/precious.flt"));
            fs::create_symlink("../outside/precious.flt", Under("hurr.flt"));
        }
        const Contents before = outside();
        const Contents files = Files();
        const Outcome outcome = Run(Split(row.command));
        EXPECT_EQ(outcome.status, row.status) << outcome.err;
        EXPECT_NE((outcome.out + outcome.err).find(row.says), std::string::npos) << outcome.err;
        EXPECT_EQ(outside(), before);
        // Only the install through the links changes the game folder.
        const Contents installed{
            {"hurr.flt", "jov hurr"}, {"jovo.ini", jov}, {"panel.dat", "jov panel"}};
        EXPECT_EQ(Files(), row.stands == std::string("links") ? installed : files);
    }
}

#ifdef JOV_ENABLE_PATH
#include <sys/wait.h>

TEST_F(FaultTest, WindowKeepsJovSwitchOut)
{
    // Started as a player would, in a folder without a state file.
    Write("jov/panel.dat");
    Write("krs/flt.cdf", "stock");
    fs::create_directories(root / "window");
    const Child window =
        StartChild({JOV_ENABLE_PATH}, {root / "window", -1, {"QT_QPA_PLATFORM=offscreen"}});
    // Polls until it has recorded the stock set, or has ended.
    while (Read("jovo.ini").empty() &&
           ::waitpid(static_cast<pid_t>(window), nullptr, WNOHANG) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
