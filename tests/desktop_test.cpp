#include "game_folder.h"
#include "host.h"

#include <chrono>
#include <sstream>
#include <thread>

// JOV_Enable started as the desktop starts it, on a virtual X display, with the player's keys
// typed through xdotool: with the game folder as its argument (a launcher, the file manager) and
// from the menu, where it asks for the folder.
namespace
{

namespace fs = std::filesystem;

const std::string kDialog = "Choose the KRS 1.2 game folder";
const std::string kBox = "JOV Enable-Disable";

// The desktop entry's arguments, with %f expanded as the desktop does: to the folder opened in
// the file manager, or to nothing from the menu.
std::vector<std::string> EntryArgs(const std::string& folder = "")
{
    std::vector<std::string> args;
    std::istringstream entry(Slurp(JOV_DESKTOP_ENTRY));
    for (std::string line; std::getline(entry, line);) {
        std::istringstream words(line.starts_with("Exec=") ? line.substr(5) : "");
        std::string word;
        words >> word; // the program, here the one just built
        while (words >> word) {
            if (word != "%f" || !folder.empty()) {
                args.push_back(word == "%f" ? folder : word);
            }
        }
    }
    return args;
}

class DesktopTest : public GameFolderTest
{
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        Write("krs/flt.cdf", "stock");
        for (const char* folder : {"home", "config", "out/x", "out/xdotool", "out/run"}) {
            fs::create_directories(root / folder);
        }
        fs::permissions(root / "out/run", fs::perms::owner_all);
        fs::current_path(root / "home");
        display_ = StartChild(
            {"Xvfb", "-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"},
            {root / "out/x"});
        std::string number;
        for (int i = 0; i < 500 && (number = Slurp(root / "out/x/stdout")).empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        options_ = {root / "out",
                    -1,
                    {"DISPLAY=:" + number.substr(0, number.find('\n')), "QT_QPA_PLATFORM=xcb",
                     "HOME=" + (root / "home").string(),
                     "XDG_CONFIG_HOME=" + (root / "config").string(),
                     "XDG_CACHE_HOME=" + (root / "out/cache").string(),
                     "XDG_RUNTIME_DIR=" + (root / "out/run").string(),
                     // LeakSanitizer finds the X display's D-Bus connection still open at exit.
                     "ASAN_OPTIONS=detect_leaks=0"}};
    }

    void TearDown() override
    {
        for (const Child child : {window_, display_}) {
            if (child > 0) {
                KillChild(child);
            }
        }
        GameFolderTest::TearDown();
    }

    // JOV_Enable, started from the home folder.
    void Start(std::vector<std::string> args)
    {
        args.insert(args.begin(), JOV_ENABLE_PATH);
        window_ = StartChild(std::move(args), options_);
    }

    Outcome Ended()
    {
        const Outcome outcome = WaitChild(window_, options_);
        window_ = -1;
        return outcome;
    }

    // Waits for the window titled `title`, gives it the keyboard, types `text` and presses `key`.
    void Answer(const std::string& title, const std::string& key, const std::string& text = "")
    {
        ChildOptions xdotool = options_;
        xdotool.output = root / "out/xdotool";
        if (RunChild({"timeout", "30", "xdotool", "search", "--sync", "--onlyvisible", "--name",
                      "^" + title + "$", "windowfocus", "--sync"},
                     xdotool)
                .status != 0) {
            KillChild(window_); // so the test goes on to its end
            FAIL() << title << " did not show";
        }
        if (!text.empty()) {
            ASSERT_EQ(RunChild({"xdotool", "type", "--delay", "1", text}, xdotool).status, 0);
        }
        ASSERT_EQ(RunChild({"xdotool", "key", key}, xdotool).status, 0);
    }

    // The state file once the window has started on the game folder; the window is closed then.
    std::string StateWhenStarted()
    {
        for (int i = 0; i < 1500 && Read("jovo.ini").empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        KillChild(window_);
        window_ = -1;
        const std::string state = Read("jovo.ini");
        fs::remove(game / "jovo.ini");
        return state;
    }

    // Every file outside the game folder that the program could write: home and configuration.
    Contents Outside() const
    {
        Contents files;
        for (const char* folder : {"home", "config"}) {
            for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
                files[fs::relative(entry.path(), root).string()] = Slurp(entry.path());
            }
        }
        return files;
    }

    ChildOptions options_;
    Child display_ = -1;
    Child window_ = -1;
};

} // namespace

TEST_F(DesktopTest, FolderOnTheCommandLine)
{
    const struct
    {
        const char* name;
        std::vector<std::string> args;
        std::string refusal; // in the usage message; empty when the window starts on the folder
    } rows[] = {
        {"relative folder", {"../KRS Game"}, ""},
        {"file manager", EntryArgs(game.string()), ""},
        {"two folders", {game.string(), game.string()}, "Too many arguments"},
        {"toolkit option", {"-platform", "offscreen"}, "Unknown option \"-platform\""},
        {"missing folder", {"../KRS Gam"}, "No such file or directory"},
        {"file", {"../KRS Game/krs/flt.cdf"}, "Not a directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Start(row.args);
        if (row.refusal.empty()) {
            EXPECT_EQ(StateWhenStarted(), "\"none\"\r\n");
        } else {
            Answer(kBox, "Return");
            const Outcome outcome = Ended();
            EXPECT_EQ(outcome.status, 2);
            EXPECT_NE(outcome.err.find(row.refusal), std::string::npos) << outcome.err;
            EXPECT_NE(outcome.err.find("Usage: JOV_Enable"), std::string::npos);
            EXPECT_FALSE(Exists("jovo.ini"));
        }
        EXPECT_EQ(Outside(), Contents{});
    }
}

TEST_F(DesktopTest, MenuAsksForTheFolderAndRemembersIt)
{
    // Cancel ends the program and writes nothing. A folder without the game, handed over as a
    // desktop's default folder handler would, is asked about too.
    for (const std::string& given : {std::string(), (root / "home").string()}) {
        Start(EntryArgs(given));
        Answer(kDialog, "Escape");
        EXPECT_EQ(Ended().status, 0);
        EXPECT_EQ(Outside(), Contents{});
        EXPECT_FALSE(Exists("jovo.ini"));
    }

    Start(EntryArgs());
    Answer(kDialog, "Return", game.string());
    EXPECT_EQ(StateWhenStarted(), "\"none\"\r\n");
    const Contents remembered = Outside();
    ASSERT_EQ(remembered.size(), 2u); // the folder and its file
    EXPECT_NE(remembered.at("config/jov-enable/jov-enable.conf").find(game.string()),
              std::string::npos);

    // The next dialog starts at the folder chosen: taking what it offers starts there again.
    Start(EntryArgs());
    Answer(kDialog, "Return");
    EXPECT_EQ(StateWhenStarted(), "\"none\"\r\n");
    EXPECT_EQ(Outside(), remembered);
}
