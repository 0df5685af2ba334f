#include "game_folder.h"

#include "ui/failure_guard.h"
#include "ui/main_form1.h"

#include <cerrno>
#include <functional>
#include <memory>
#include <thread>

// Main_Form1 as both windows run it, through a toolkit that records what it is asked to do.
namespace
{

using Calls = std::vector<std::string>;

// Left with OK, or closed through its title bar when `close` says so at its showing.
struct FakeHelp final : ui::HelpWindow
{
    FakeHelp(Calls& calls, const bool& close) : calls(calls), close(close) {}
    void ShowModal() override
    {
        calls.push_back((unloaded = close) ? "help closed" : "help hidden");
    }
    bool Unloaded() const override { return unloaded; }

    Calls& calls;
    const bool& close;
    bool unloaded = false;
};

// Records what the window is asked to do, and marks what it is asked off the window's thread;
// title and buttons are the switcher's own business. A command works on a thread of its own.
class FakeToolkit final : public ui::Toolkit
{
public:
    void SetCaption(const std::string&) override {}
    void SetButtonEnabled(switcher::Control, bool) override {}
    void SetWindowEnabled(bool flag) override { Record(flag ? "on" : "off"); }
    void RunBusy(ui::BusyWork& work) override
    {
        calls.push_back("busy");
        for (work.Start([] {}); !work.Serve();) {
            std::this_thread::yield();
        }
        calls.push_back("idle");
    }
    void DropQueuedInput() override { calls.push_back("drop"); }
    void ShowBox(const std::string& text, ui::BoxIcon icon) override
    {
        Record(std::string(icon == ui::BoxIcon::Error ? "failure " : "box ") +
               text.substr(0, text.find('\n')));
    }
    void Record(const std::string& call)
    {
        calls.push_back(std::this_thread::get_id() == windowThread ? call : call + " off thread");
    }
    std::unique_ptr<ui::HelpWindow> LoadHelp() override
    {
        calls.push_back("help loaded");
        return std::make_unique<FakeHelp>(calls, closeHelp);
    }
    int ShowAndRun() override { return 0; }
    void EndProgram(int status) override { calls.push_back("end " + std::to_string(status)); }

    Calls calls;
    bool closeHelp = false;
    const std::thread::id windowThread = std::this_thread::get_id();
};

using MainForm1Test = GameFolderTest;

} // namespace

// One window's life: each step and what the window is asked to do.
TEST_F(MainForm1Test, HandlersKeepTheWindowsRules)
{
    FakeToolkit toolkit;
    ui::Main_Form1 form(toolkit);
    const auto step = [&](const std::function<void()>& action) {
        toolkit.calls.clear();
        action();
        return toolkit.calls;
    };

    // A first start without the stock set tells so over the disabled window.
    EXPECT_EQ(step([&] { EXPECT_TRUE(form.Form_Load()); }),
              (Calls{"off", "box KRS folder does not exist!", "drop", "on"}));
    EXPECT_FALSE(form.Busy());
    Write("jov/panel.dat");
    // A command works off the window's thread; the window is enabled once it has ended.
    EXPECT_EQ(step([&] { form.Install_Click(); }), (Calls{"busy", "off", "idle", "drop", "on"}));
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
    EXPECT_EQ(step([&] { form.Country_Click(2); }), (Calls{"busy", "off", "idle", "drop", "on"}));

    EXPECT_EQ(step([&] { form.mnuHelp_Click(); }), (Calls{"help loaded", "help hidden"}));
    EXPECT_EQ(step([&] { form.mnuHelp_Click(); }), (Calls{"help hidden"}));
    toolkit.closeHelp = true;
    EXPECT_EQ(step([&] { form.mnuHelp_Click(); }), (Calls{"help closed"}));
    EXPECT_EQ(step([&] { form.mnuHelp_Click(); }), (Calls{"help loaded", "help closed"}));

    Write("krs/flt.cdf");
    WriteReadOnly("HURR.FLT");
    EXPECT_EQ(
        step([&] { form.Remove_Click(); }),
        (Calls{"busy", "off", "idle", "failure Refused: The file is read-only.", "off", "end 3"}));
    EXPECT_TRUE(form.Failed() && form.Busy());
    EXPECT_EQ(step([&] { form.Remove_Click(); }), Calls{});
    EXPECT_EQ(step([&] { form.mnuHelp_Click(); }), Calls{});
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
}

#ifdef _WIN32
#include "host.h"

// Under Program Files; an air force's removal is no switch and shows no box.
TEST_F(MainForm1Test, NamesWhatTheVirtualStoreShadowsAfterASwitch)
{
    const std::string name = "jov-form-test-" + std::to_string(OwnProcessId());
    game = std::filesystem::path("C:\\Program Files") / FromUtf8(name);
    Write("krs/FLT.CDF");
    Write("jov/PANEL.DAT");
    Write("local/VirtualStore/Program Files/" + name + "/HURR.FLT");
    _wputenv_s(L"LOCALAPPDATA", Under("local").wstring().c_str());
    std::filesystem::current_path(game);
    {
        FakeToolkit toolkit;
        ui::Main_Form1 form(toolkit);
        form.Form_Load();
        toolkit.calls.clear();
        form.Install_Click();
        form.Click(switcher::Control::Country0);
        form.Remove_Click();
        EXPECT_EQ(toolkit.calls.size(), 17u); // a box after each switch: 6 + 5 + 6 calls
        EXPECT_EQ(toolkit.calls.at(3).substr(0, 30), "box Windows keeps older copies");
    }
    std::filesystem::current_path(root);
    std::filesystem::remove_all(game);
}
#endif
