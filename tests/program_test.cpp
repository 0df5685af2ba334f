#include "game_folder.h"
#include "process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

// Starts the built JOV_Enable as a player would, in a real game folder: on a virtual X display
// when xvfb-run is installed, else on Qt's offscreen platform.
namespace
{

namespace fs = std::filesystem;

bool OnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const auto cut = rest.find(':');
        if (fs::exists(fs::path(rest.substr(0, cut)) / program)) {
            return true;
        }
        rest = cut == std::string::npos ? "" : rest.substr(cut + 1);
    }
    return false;
}

class ProgramTest : public GameFolderTest
{
protected:
    void TearDown() override
    {
        Stop();
        GameFolderTest::TearDown();
    }

    void Start()
    {
        useXvfb = OnPath("xvfb-run");
        ChildOptions options(root);
        options.newSession = true;
        if (useXvfb) {
            options.environment = {"QT_QPA_PLATFORM=xcb"};
            pid = StartChild({"xvfb-run", "-a", "-s", "-screen 0 800x600x24", JOV_ENABLE_PATH},
                             options);
        } else {
            options.environment = {"QT_QPA_PLATFORM=offscreen"};
            pid = StartChild({JOV_ENABLE_PATH}, options);
        }
        ASSERT_GT(pid, 0);
    }

    // True while the program is still running.
    bool Running()
    {
        int status = 0;
        return pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0;
    }

    void Stop()
    {
        if (pid > 0) {
            ::kill(-pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    bool WaitFor(const std::function<bool()>& condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    pid_t pid = -1;
    bool useXvfb = false;
};

} // namespace

TEST_F(ProgramTest, FirstStartRestoresStockRecordsNoneAndKeepsRunning)
{
    Write("FLT.CDF", "add-on flight models");
    Write("hurr.flt");
    Write("Panel.DAT");
    Write("notes.txt", "mine");
    Write("KRS/FLT.CDF", "stock flight models");
    Write("KRS/DATA.CDF", "stock data");
    Write("JOV/panel.dat");

    Start();
    ASSERT_TRUE(WaitFor([&] { return Read("jovo.ini") == "\"none\"\r\n"; }))
        << (useXvfb ? "under xvfb-run" : "offscreen");
    // Start-up has ended and the window is open, waiting for the player.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Running());
    EXPECT_EQ(Entries(), (std::vector<std::string>{"DATA.CDF", "FLT.CDF", "JOV", "KRS", "jovo.ini",
                                                   "notes.txt"}));
    EXPECT_EQ(Read("FLT.CDF"), "stock flight models");
}

TEST_F(ProgramTest, StartWithStateFileChangesNothing)
{
    Write("jovo.ini", "\"jov\"\r\n");
    Write("hurr.flt", "jov");
    const auto before = fs::last_write_time(game / "jovo.ini");

    Start();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(Running());
    EXPECT_EQ(Entries(), (std::vector<std::string>{"hurr.flt", "jovo.ini"}));
    EXPECT_EQ(fs::last_write_time(game / "jovo.ini"), before);
}
