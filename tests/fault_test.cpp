#include "game_folder.h"
#include "process.h"

#include "platform/file_ops.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

// Whatever goes wrong, nothing is lost: each game-folder file is afterwards its old content or
// its new content whole, no temporary shows, and the state file holds a valid line with the
// right word.
namespace
{

namespace fs = std::filesystem;
using Contents = std::map<std::string, std::string>;

std::string Blob(std::mt19937& random, std::size_t size, char tag)
{
    std::string data(size, tag);
    for (std::size_t at = 0; at < size; at += 97) {
        data[at] = static_cast<char>('a' + random() % 26);
    }
    return data;
}

class FaultTest : public GameFolderTest
{
protected:
    Outcome Switch(std::vector<std::string> args, ChildOptions options = ChildOptions({}))
    {
        return WaitChild(StartSwitch(std::move(args), options), Output(options));
    }

    pid_t StartSwitch(std::vector<std::string> args, const ChildOptions& options)
    {
        args.insert(args.begin(), {JOV_SWITCH_PATH, "-C", game.string()});
        return StartChild(args, Output(options));
    }

    ChildOptions Output(ChildOptions options) const
    {
        if (options.output.empty()) {
            options.output = root;
        }
        return options;
    }

    // Files directly in a folder with their contents; hidden ones only when asked.
    Contents Files(const fs::path& folder, bool hidden = false) const
    {
        Contents files;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && (hidden || name.front() != '.')) {
                files[name] = Slurp(entry.path());
            }
        }
        return files;
    }

    void Record(const std::string& word) { Write("jovo.ini", "\"" + word + "\"\r\n"); }

    // Each visible game-folder file is one of the versions allowed for its name, and the state
    // file holds one of the allowed words.
    void ExpectWhole(const std::map<std::string, std::set<std::string>>& allowed,
                     const std::set<std::string>& words)
    {
        for (const auto& [name, content] : Files(game)) {
            if (name == "jovo.ini") {
                EXPECT_TRUE(words.contains(content)) << "state file holds " << content;
                continue;
            }
            const auto versions = allowed.find(name);
            ASSERT_NE(versions, allowed.end()) << "unexpected file " << name;
            EXPECT_TRUE(versions->second.contains(content)) << name << " is cut or mixed";
        }
    }

    bool TemporariesLeft() const
    {
        for (const auto& [name, content] : Files(game, true)) {
            if (name.starts_with(platform::kTemporaryPrefix)) {
                return true;
            }
        }
        return false;
    }
};

// A large set and the stock set, so a command runs long enough to be killed in the middle.
class KilledTest : public FaultTest
{
protected:
    void SetUp() override
    {
        FaultTest::SetUp();
        std::mt19937 random(20261206);
        for (int i = 0; i < 400; ++i) {
            const std::string name = "M" + std::to_string(1000 + i) + (i % 2 ? ".FLT" : ".DAT");
            jov[name] = Blob(random, 24 * 1024 + random() % 4096, 'j');
        }
        jov["BIG.3DZ"] = Blob(random, 8 << 20, 'z');
        stock["FLT.CDF"] = Blob(random, 3 << 20, 's');
        stock["DATA.CDF"] = Blob(random, 5 << 20, 'd');
        for (const auto& [name, data] : jov) {
            Write("JOV/" + name, data);
        }
        for (const auto& [name, data] : stock) {
            Write("KRS/" + name, data);
        }
        for (const auto& [name, data] : jov) {
            allowed[name].insert(data);
        }
        for (const auto& [name, data] : stock) {
            allowed[name].insert(data);
        }
    }

    void ResetToStock()
    {
        for (const auto& [name, content] : Files(game, true)) {
            fs::remove(game / name);
        }
        for (const auto& [name, data] : stock) {
            Write(name, data);
        }
        Record("none");
    }

    // Starts `command`, kills it after a random moment within `window`, and checks what it left.
    void KillDuring(const std::vector<std::string>& command, std::chrono::microseconds window,
                    std::mt19937& random)
    {
        const pid_t pid = StartSwitch(command, ChildOptions({}));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % window.count()));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ExpectWhole(allowed, {"\"none\"\r\n", "\"jov\"\r\n"});
    }

    std::chrono::microseconds Timed(const std::vector<std::string>& command)
    {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Switch(command).status, 0);
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
    }

    Contents jov;
    Contents stock;
    std::map<std::string, std::set<std::string>> allowed;
};

} // namespace

TEST_F(KilledTest, InstallKilledAnywhereLeavesWholeFilesAndTheNextRunCompletes)
{
    ResetToStock();
    const auto duration = Timed({"install", "jov"});
    std::mt19937 random(1);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ResetToStock();
        KillDuring({"install", "jov"}, duration, random);
        if (Read("jovo.ini") == "\"none\"\r\n") {
            ASSERT_EQ(Switch({"install", "jov"}).status, 0);
        }
        const auto verify = Switch({"verify"});
        EXPECT_EQ(verify.status, 0) << verify.out;
        EXPECT_FALSE(TemporariesLeft());
    }
}

TEST_F(KilledTest, RestoreKilledAnywhereLeavesWholeFilesAndTheNextRunCompletes)
{
    ResetToStock();
    ASSERT_EQ(Switch({"install", "jov"}).status, 0);
    const auto duration = Timed({"restore"});
    std::mt19937 random(2);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ResetToStock();
        ASSERT_EQ(Switch({"install", "jov"}).status, 0);
        KillDuring({"restore"}, duration, random);
        if (Read("jovo.ini") == "\"jov\"\r\n") {
            ASSERT_EQ(Switch({"restore"}).status, 0);
        }
        EXPECT_EQ(Files(game), ([&] {
                      Contents expected = stock;
                      expected["jovo.ini"] = "\"none\"\r\n";
                      return expected;
                  }()));
        EXPECT_FALSE(TemporariesLeft());
    }
}

TEST_F(FaultTest, ReadOnlyFileStopsInstallAndRemovalHalfwayWithStateKept)
{
    Record("none");
    Write("jov/a.dat", "new a");
    Write("jov/b.dat", "new b");
    Write("jov/c.dat", "new c");
    WriteReadOnly("B.DAT", "old b");
    const auto install = Switch({"install", "jov"});
    EXPECT_EQ(install.status, 3);
    EXPECT_NE(install.err.find("Could not replace \"B.DAT\""), std::string::npos) << install.err;
    EXPECT_EQ(Files(game),
              (Contents{{"B.DAT", "old b"}, {"a.dat", "new a"}, {"jovo.ini", "\"none\"\r\n"}}));

    fs::remove(game / "B.DAT");
    ASSERT_EQ(Switch({"install", "jov"}).status, 0);
    Write("hurr.flt");
    WriteReadOnly("MOSQ.FLT");
    Write("sp2a.flt");
    EXPECT_EQ(Switch({"remove", "raf"}).status, 3);
    EXPECT_FALSE(Exists("hurr.flt"));
    EXPECT_TRUE(Exists("MOSQ.FLT") && Exists("sp2a.flt"));
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
}

TEST_F(FaultTest, WriteFailureInTheMiddleOfACopyKeepsTheOldFile)
{
    Record("none");
    Write("jov/a.dat", std::string(20000, 'a'));
    Write("jov/b.3dz", std::string(300000, 'b'));
    Write("jov/c.dat", std::string(20000, 'c'));
    Write("b.3dz", "old shape");
    ChildOptions limited({});
    limited.fileSizeLimit = 100000;
    const auto outcome = Switch({"install", "jov"}, limited);
    EXPECT_EQ(outcome.status, 3);
    EXPECT_NE(outcome.err.find("File too large"), std::string::npos) << outcome.err;
    EXPECT_EQ(Read("b.3dz"), "old shape");
    EXPECT_TRUE(Exists("a.dat"));
    EXPECT_FALSE(Exists("c.dat"));
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
    EXPECT_FALSE(TemporariesLeft());
}

TEST_F(FaultTest, StateFileAbuseGivesAMessageOrTheErrorStateNeverACrash)
{
    Write("krs/flt.cdf", "stock");
    Write("jov/x.dat", "jov");
    Write("hurr.flt", "mine");
    const Contents before = Files(game);

    WriteReadOnly("jovo.ini", "\"jov\"\r\n");
    auto outcome = Switch({"restore"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_NE(outcome.err.find("Could not replace \"jovo.ini\""), std::string::npos);
    EXPECT_EQ(Read("hurr.flt"), "mine"); // refused before the first change
    fs::remove(game / "jovo.ini");

    fs::create_directory(game / "jovo.ini");
    outcome = Switch({"install", "jov"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_NE(outcome.err.find("Is a directory"), std::string::npos) << outcome.err;
    EXPECT_EQ(Files(game), before);
    fs::remove(game / "jovo.ini");

    std::mt19937 random(3);
    for (const std::string& junk : {std::string(), std::string("\0\x01\"\xff\x80", 5),
                                    "\"" + std::string(10 << 20, 'j'), Blob(random, 5000, '\0')}) {
        Write("jovo.ini", junk);
        const auto status = Switch({"status", "--json"});
        EXPECT_EQ(status.status, 0);
        EXPECT_NE(status.out.find("\"title\": \"JOV Enable/Disable (Error)\""), std::string::npos);
        EXPECT_EQ(Switch({"install", "jov"}).status, 1);
        EXPECT_EQ(Read("hurr.flt"), "mine");
    }

    // A state file that links outside the game folder is replaced, its target left alone.
    const fs::path outside = root / "elsewhere.ini";
    std::ofstream(outside, std::ios::binary) << "\"jov\"\r\n";
    fs::remove(game / "jovo.ini");
    fs::create_symlink(outside, game / "jovo.ini");
    EXPECT_EQ(Switch({"restore"}).status, 0);
    EXPECT_FALSE(fs::is_symlink(game / "jovo.ini"));
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
    EXPECT_EQ(Slurp(outside), "\"jov\"\r\n");
}

TEST_F(FaultTest, LinksOutOfTheGameFolderAreReplacedAndSetFolderLinksWork)
{
    Record("none");
    const fs::path outside = root / "outside";
    fs::create_directories(outside / "jovset");
    std::ofstream(outside / "jovset" / "HURR.FLT") << "jov hurr";
    std::ofstream(outside / "jovset" / "panel.dat") << "jov panel";
    std::ofstream(outside / "precious.flt") << "precious";
    fs::create_directory_symlink(outside / "jovset", game / "JOV");
    fs::create_symlink(outside / "precious.flt", game / "hurr.flt");

    EXPECT_EQ(Switch({"install", "jov"}).status, 0);
    EXPECT_FALSE(fs::is_symlink(game / "hurr.flt"));
    EXPECT_EQ(Read("hurr.flt"), "jov hurr");
    EXPECT_EQ(Slurp(outside / "precious.flt"), "precious");
    EXPECT_EQ(Read("panel.dat"), "jov panel");
}

TEST_F(FaultTest, ConcurrentSwitchesTakeTurnsAndLeaveAConsistentFolder)
{
    Record("none");
    std::mt19937 random(4);
    for (int i = 0; i < 200; ++i) {
        Write("jov/m" + std::to_string(i) + ".flt", Blob(random, 20000, 'j'));
    }
    Write("jov/panel.dat");
    Write("krs/flt.cdf", "stock");
    for (int round = 0; round < 5; ++round) {
        ChildOptions first(root / "first");
        ChildOptions second(root / "second");
        fs::create_directories(first.output);
        fs::create_directories(second.output);
        const pid_t a = StartSwitch({"install", "jov"}, first);
        const pid_t b = StartSwitch({"restore"}, second);
        const auto one = WaitChild(a, first);
        const auto two = WaitChild(b, second);
        EXPECT_LE(one.status, 1) << one.err;
        EXPECT_LE(two.status, 1) << two.err;
        const auto verify = Switch({"verify"});
        EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
        if (Read("jovo.ini") == "\"jov\"\r\n") {
            ASSERT_EQ(Switch({"restore"}).status, 0);
        }
    }
}

#ifdef JOV_ENABLE_PATH
TEST_F(FaultTest, SwitchIsRefusedWhileTheWindowIsOpen)
{
    Write("krs/flt.cdf", "stock");
    Write("jov/panel.dat");
    ChildOptions window(root / "window");
    fs::create_directories(window.output);
    window.environment = {"QT_QPA_PLATFORM=offscreen"};
    const pid_t pid = StartChild({JOV_ENABLE_PATH}, window); // in the game folder, as here
    for (int i = 0; i < 1500 && Read("jovo.ini").empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(Read("jovo.ini"), "\"none\"\r\n");

    const auto refused = Switch({"--wait", "0.3", "install", "jov"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("another program is working on the game folder"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(Exists("panel.dat"));

    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(Switch({"install", "jov"}).status, 0);
}
#endif

TEST_F(FaultTest, TooLittleRoomIsRefusedBeforeAnythingChanges)
{
    const fs::path small = root / "small";
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=2m") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here (" << std::strerror(errno)
                     << "); the room check is also covered through a seam in core_tests";
    }
    struct Unmount
    {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{small};
    game = small / "KRS";
    std::mt19937 random(5);
    Write("FLT.CDF", Blob(random, 300000, 's'));
    Write("krs/FLT.CDF", Blob(random, 300000, 's'));
    for (const char* name : {"jov/a.3dz", "jov/b.3dz", "jov/c.dat"}) {
        Write(name, Blob(random, 400000, 'j'));
    }
    Record("none");
    const Contents before = Files(game);

    const auto outcome = Switch({"install", "jov"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_NE(outcome.err.find("No space left on device"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("nothing was changed"), std::string::npos);
    EXPECT_EQ(Files(game), before);
}
