#include "game_folder.h"

#include "platform/fs_error.h"
#include "switcher/switcher.h"

#include <cerrno>
#include <functional>

using switcher::Control;
using Calls = std::vector<std::string>;
using Names = std::vector<std::string>;

namespace
{

// Records every call the switcher makes on the window, in order.
class RecordingView final : public switcher::SetView
{
public:
    void SetCaption(const std::string& text) override
    {
        calls.push_back("caption " + text);
        if (onCaption) {
            onCaption();
        }
    }
    void SetEnabled(Control control, bool flag) override
    {
        calls.push_back(std::string(switcher::ControlName(control)) + (flag ? " on" : " off"));
    }
    void SetWindowEnabled(bool flag) override
    {
        calls.push_back(flag ? "window on" : "window off");
    }
    void ShowMessage(const std::string& text) override
    {
        calls.push_back("message " + text);
        if (onMessage) {
            onMessage();
        }
    }

    Calls calls;
    std::function<void()> onMessage;
    std::function<void()> onCaption;
};

// The eight calls of UpdateControls for one row of the control-state table.
Calls Row(const std::string& title, bool install, bool remove, bool countries)
{
    const auto flag = [](bool on) { return on ? std::string(" on") : std::string(" off"); };
    return {"caption JOV Enable/Disable (" + title + ")",
            "Install" + flag(install),
            "InstallOnline" + flag(install),
            "InstallTUK" + flag(install),
            "Remove" + flag(remove),
            "Country(0)" + flag(countries),
            "Country(1)" + flag(countries),
            "Country(2)" + flag(countries)};
}

const Calls kStock = Row("KRS Flight Models", true, false, false);
const Calls kJov = Row("JOV Panel", false, true, true);
const Calls kError = Row("Error", false, false, false);

Calls Bracket(const std::vector<Calls>& parts)
{
    Calls all{"window off"};
    for (const Calls& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    all.push_back("window on");
    return all;
}

class SwitcherTest : public GameFolderTest
{
protected:
    void StartWith(const std::string& word)
    {
        Record(word);
        sw.Start();
        view.calls.clear();
    }

    int FailureOf(const std::function<void()>& command)
    {
        try {
            command();
        } catch (const platform::FsError& error) {
            return error.Number();
        }
        return 0;
    }

    RecordingView view;
    switcher::Switcher sw{view};
};

} // namespace

TEST_F(SwitcherTest, FirstStartRestoresStockAndRecordsNone)
{
    for (const char* name : {"HURR.FLT", "a.dat", "b.STR", "c.mpc", "d.Cpt", "e.3DZ",
                             "JovPanel.EXE", "flt.cdf", "DATA.cdf", "readme.txt", "game.exe"}) {
        Write(name, "addon");
    }
    Write(".hidden.dat");
    Write("sub/x.dat");
    Write("krs/FLT.CDF", "stock flt");
    Write("krs/DATA.CDF", "stock data");
    Write("krs/notes.txt");
    Write("krs/extras/inner.cdf");
    Write("krs/.secret.cdf");
    Write("jov/panel.dat");

    std::string stateAtCaption;
    view.onCaption = [&] { stateAtCaption = Read("jovo.ini"); };

    sw.Start();

    EXPECT_EQ(view.calls, Bracket({kStock}));
    EXPECT_EQ(stateAtCaption, "\"none\"\r\n"); // a first start records before it shows
    EXPECT_EQ(Entries(), (Names{".hidden.dat", "DATA.CDF", "FLT.CDF", "game.exe", "jov", "jovo.ini",
                                "krs", "notes.txt", "readme.txt", "sub"}));
    EXPECT_EQ(Read("FLT.CDF"), "stock flt");
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
    EXPECT_TRUE(Exists("sub/x.dat"));
    EXPECT_TRUE(Exists("jov/panel.dat"));
    EXPECT_EQ(sw.State().InstalledSet, "none");
    EXPECT_EQ(sw.State().StateFile, Path("jovo.ini"));
}

TEST_F(SwitcherTest, FirstStartWithoutStockSetOnlyTellsAndRecordsNone)
{
    Write("a.dat");
    Write("krs/FLT.TXT"); // a stock folder without a .cdf file does not count
    bool disabledDuringMessage = false;
    view.onMessage = [&] { disabledDuringMessage = view.calls.front() == "window off"; };

    sw.Start();

    Calls expected{"message KRS folder does not exist!"};
    expected.insert(expected.end(), kStock.begin(), kStock.end());
    EXPECT_EQ(view.calls, Bracket({expected}));
    EXPECT_TRUE(disabledDuringMessage);
    EXPECT_TRUE(Exists("a.dat"));
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}

TEST_F(SwitcherTest, StartWithStateFileShowsItsWordAndTouchesNothing)
{
    const std::vector<std::pair<std::string, Calls>> cases{
        {"none", kStock},
        {"jov", kJov},
        {"jovo", Row("JOV Online", false, true, true)},
        {"tuk", Row("TUK", false, true, false)},
        {"JOV", kError},
        {"Tuk", kError},
        {" jov", kError},
        {"", kError},
    };
    Write("a.dat");
    Write("krs/FLT.CDF");
    for (const auto& [word, row] : cases) {
        Record(word);
        view.calls.clear();
        sw.Start();
        EXPECT_EQ(view.calls, row) << "word \"" << word << "\"";
        EXPECT_EQ(sw.State().InstalledSet, word);
    }
    EXPECT_EQ(Entries(), (Names{"a.dat", "jovo.ini", "krs"}));
}

TEST_F(SwitcherTest, StateFileInCapitalsIsReadAndReplacedWithoutTwin)
{
    Write("JOVO.INI", "\"jov\"\r\nsecond line\r\n");
    Write("krs/flt.cdf");
    sw.Start();
    EXPECT_EQ(view.calls, kJov);

    sw.Remove_Click();
    EXPECT_EQ(Entries(), (Names{"JOVO.INI", "flt.cdf", "krs"}));
    EXPECT_EQ(Read("JOVO.INI"), "\"none\"\r\n");
}

TEST_F(SwitcherTest, RemoveRestoresStockWithControlsBeforeState)
{
    Write("krs/FLT.CDF", "stock");
    Write("jov/x.dat");
    StartWith("jov");
    Write("hurr.flt");
    Write("FLT.cdf", "jov flt");
    std::string stateAtCaption;
    view.onCaption = [&] { stateAtCaption = Read("jovo.ini"); };

    sw.Remove_Click();

    EXPECT_EQ(view.calls, Bracket({kStock}));
    EXPECT_EQ(stateAtCaption, "\"jov\"\r\n"); // commands show before they record
    EXPECT_EQ(Entries(), (Names{"FLT.CDF", "jov", "jovo.ini", "krs"}));
    EXPECT_EQ(Read("FLT.CDF"), "stock");
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}

TEST_F(SwitcherTest, RemoveWithoutStockSetTellsOverDisabledWindowAndStillRecordsNone)
{
    StartWith("tuk");
    Write("tuk.cdf");

    sw.Remove_Click();

    Calls expected{"message KRS folder does not exist!"};
    expected.insert(expected.end(), kStock.begin(), kStock.end());
    EXPECT_EQ(view.calls, Bracket({expected}));
    EXPECT_TRUE(Exists("tuk.cdf"));
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}

TEST_F(SwitcherTest, InstallCopiesPlainFilesOfTheSetAndRecordsIt)
{
    Write("krs/flt.cdf");
    StartWith("none");
    Write("HURR.flt", "stock hurr");
    Write("readme.txt", "mine");
    Write("jov/hurr.FLT", "jov hurr");
    Write("jov/Panel.DAT", "panel");
    Write("jov/jovpanel.exe");
    Write("jov/jovo.ini", "\"tuk\"\r\n"); // copied in, then written anew
    Write("jov/.hidden.dat");
    Write("jov/extras/deep.dat");

    std::string stateAtCaption;
    view.onCaption = [&] { stateAtCaption = Read("jovo.ini"); };

    sw.Install_Click();

    EXPECT_EQ(view.calls, Bracket({kJov}));
    EXPECT_EQ(stateAtCaption, "\"tuk\"\r\n"); // the set's copy, not yet written anew
    EXPECT_EQ(Entries(), (Names{"HURR.flt", "Panel.DAT", "jov", "jovo.ini", "jovpanel.exe", "krs",
                                "readme.txt"}));
    EXPECT_EQ(Read("HURR.flt"), "jov hurr");
    EXPECT_EQ(Read("readme.txt"), "mine");
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
}

TEST_F(SwitcherTest, InstallOfMissingSetOnlyTells)
{
    StartWith("none");
    Write("tuk/flt.dat"); // the TUK set is recognised by a .cdf file only
    Write("JOVO/readme.txt");

    sw.InstallTUK_Click();
    sw.InstallOnline_Click();
    sw.Install_Click();

    EXPECT_EQ(view.calls,
              (Calls{"message Cannot find TUK directory.", "message Cannot find JOVO directory.",
                     "message Cannot find JOV directory."}));
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
    EXPECT_EQ(Entries(), (Names{"JOVO", "jovo.ini", "tuk"}));
}

TEST_F(SwitcherTest, CountryDeletesItsFlightModelsInAnyCase)
{
    StartWith("jov");
    for (const char* name : {"HURR.FLT", "sp09.flt", "b24a.flt", "hurr.flt.bak", ".mosq.flt"}) {
        Write(name);
    }

    sw.Country_Click(0);
    sw.Country_Click(1);

    EXPECT_EQ(view.calls, (Calls{"Country(0) off", "window off", "window on", "Country(1) off",
                                 "window off", "window on"}));
    EXPECT_EQ(Entries(), (Names{".mosq.flt", "hurr.flt.bak", "jovo.ini"}));
    EXPECT_EQ(sw.State().InstalledSet, "jov");
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
}

// A failure ends the command at the failing step: what came before is done, what comes after
// is not, and neither the controls nor the state file move.
TEST_F(SwitcherTest, FailureInRestoreLeavesEarlierWorkAndState)
{
    Write("krs/flt.cdf", "stock");
    StartWith("jov");
    Write("a.dat");
    WriteReadOnly("b.dat");
    Write("c.dat");
    Write("x.str");

    EXPECT_EQ(FailureOf([&] { sw.Remove_Click(); }), EACCES);

    EXPECT_EQ(view.calls, Calls{"window off"});
    EXPECT_EQ(Entries(), (Names{"b.dat", "c.dat", "jovo.ini", "krs", "x.str"}));
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
    EXPECT_EQ(sw.State().InstalledSet, "jov");
}

TEST_F(SwitcherTest, FailureInInstallLeavesEarlierCopiesAndState)
{
    StartWith("none");
    Write("jov/a.dat", "new");
    Write("jov/b.dat", "new");
    Write("jov/c.dat", "new");
    WriteReadOnly("B.DAT", "old");

    EXPECT_EQ(FailureOf([&] { sw.Install_Click(); }), EACCES);

    EXPECT_EQ(view.calls, Calls{"window off"});
    EXPECT_EQ(Entries(), (Names{"B.DAT", "a.dat", "jov", "jovo.ini"}));
    EXPECT_EQ(Read("B.DAT"), "old");
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}

namespace
{

// Reports as much free space as the test says.
class SmallDisk final : public platform::FileSystem
{
public:
    std::uintmax_t FreeSpace(const std::string&) override { return free; }
    std::uintmax_t free = 0;
};

} // namespace

TEST_F(SwitcherTest, TooLittleRoomIsFoundBeforeTheFirstChange)
{
    SmallDisk disk;
    switcher::Switcher small(view, disk);
    Record("none");
    Write("jov/a.dat", std::string(1000, 'a'));
    Write("jov/b.dat", std::string(1000, 'b'));
    Write("jov/c.dat", std::string(1000, 'c'));
    Write("B.DAT", std::string(1000, 'o'));
    small.Start();
    view.calls.clear();

    // Three copies of 1000 bytes replace one of 1000, and the largest needs room for its
    // temporary: 3000 bytes.
    disk.free = 2999;
    EXPECT_EQ(FailureOf([&] { small.Install_Click(); }), ENOSPC);
    EXPECT_EQ(view.calls, Calls{"window off"});
    EXPECT_EQ(Entries(), (Names{"B.DAT", "jov", "jovo.ini"}));
    disk.free = 3000;
    small.Install_Click();
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");

    // The restore counts what its clean-out frees: 3000 bytes go, 4000 come.
    Write("krs/flt.cdf", std::string(4000, 's'));
    disk.free = 4999;
    EXPECT_EQ(FailureOf([&] { small.Remove_Click(); }), ENOSPC);
    EXPECT_TRUE(Exists("a.dat"));
    disk.free = 5000;
    small.Remove_Click();
    EXPECT_EQ(Entries(), (Names{"flt.cdf", "jov", "jovo.ini", "krs"}));
}
