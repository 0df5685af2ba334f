#include "game_folder.h"
#include "process.h"

#include <filesystem>
#include <fstream>
#include <map>

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
        Write("KRS/FLT.CDF", "stock flt");
        Write("KRS/DATA.CDF", "stock data");
        Write("JOV/HURR.FLT", "jov hurr");
        Write("JOV/SP09.FLT", "jov sp09");
        Write("JOV/B24A.FLT", "jov b24a");
        Write("JOV/PANEL.DAT", "jov panel");
        Write("JOV/JOVPANEL.EXE", "jov program");
        Write("TUK/FLT.CDF", "tuk flt");
    }

    Outcome Run(std::vector<std::string> args, const fs::path& folder = {})
    {
        args.insert(args.begin(), {JOV_SWITCH_PATH, "-C", (folder.empty() ? game : folder)});
        return RunChild(args, ChildOptions(root));
    }

    // Every file below `folder` with its content.
    static std::map<std::string, std::string> Snapshot(const fs::path& folder)
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                files[fs::relative(entry.path(), folder).string()] = Slurp(entry.path());
            }
        }
        return files;
    }
};

} // namespace

TEST_F(CliTest, CommandsFromTheStockState)
{
    Record("none");
    const auto restore = Run({"restore"});
    EXPECT_EQ(restore.status, 1);
    EXPECT_NE(restore.err.find("KRS Flight Models (the stock set) is installed"), std::string::npos)
        << restore.err;
    EXPECT_EQ(Run({"remove", "raf"}).status, 1);
    const auto missing = Run({"install", "JOVO"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Cannot find JOVO directory.\n");

    const auto install = Run({"install", "Jov"});
    EXPECT_EQ(install.status, 0) << install.err;
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
    EXPECT_EQ(Read("HURR.FLT"), "jov hurr");
    EXPECT_EQ(Read("JOVPANEL.EXE"), "jov program");
}

TEST_F(CliTest, CommandsWhileSetsAreInstalled)
{
    Record("jov");
    Write("HURR.FLT");
    Write("sp09.flt");
    Write("b24a.flt");
    const auto second = Run({"install", "tuk"});
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("JOV Panel is installed. Restore the stock set first"),
              std::string::npos)
        << second.err;

    EXPECT_EQ(Run({"remove", "RAF"}).status, 0);
    EXPECT_FALSE(Exists("HURR.FLT") || Exists("sp09.flt"));
    EXPECT_TRUE(Exists("b24a.flt"));

    Record("tuk");
    const auto refused = Run({"remove", "usaaf"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("TUK is installed"), std::string::npos) << refused.err;
    EXPECT_TRUE(Exists("b24a.flt"));

    EXPECT_EQ(Run({"restore"}).status, 0);
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
    EXPECT_FALSE(Exists("b24a.flt"));
    EXPECT_EQ(Read("FLT.CDF"), "stock flt");
}

TEST_F(CliTest, ErrorStateRefusesEverythingAndSaysHowToLeaveIt)
{
    Record("JOV");
    Write("hurr.flt");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"install", "jov"}, {"restore"}, {"remove", "raf"}}) {
        const auto outcome = Run(args);
        EXPECT_EQ(outcome.status, 1) << args[0];
        EXPECT_NE(outcome.err.find("holds \"JOV\", which names no set"), std::string::npos);
        EXPECT_NE(outcome.err.find(Path("jovo.ini")), std::string::npos);
    }
    EXPECT_TRUE(Exists("hurr.flt"));
    EXPECT_EQ(Read("jovo.ini"), "\"JOV\"\r\n");
}

TEST_F(CliTest, FirstStartRestoresBeforeTheCommandAndStatusChangesNothing)
{
    Write("old.dat");
    const auto status = Run({"status", "--json"});
    EXPECT_EQ(status.status, 0);
    EXPECT_NE(status.out.find("\"installed\": null"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("\"Install\": true"), std::string::npos);
    EXPECT_NE(status.out.find("\"jovo\": false"), std::string::npos);
    EXPECT_FALSE(Exists("jovo.ini"));

    EXPECT_EQ(Run({"install", "jov"}).status, 0);
    EXPECT_FALSE(Exists("old.dat"));
    EXPECT_EQ(Read("FLT.CDF"), "stock flt");
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");

    fs::remove(game / "KRS" / "FLT.CDF");
    fs::remove(game / "KRS" / "DATA.CDF");
    const auto noStock = Run({"restore"});
    EXPECT_EQ(noStock.status, 0);
    EXPECT_EQ(noStock.err, "KRS folder does not exist!\n");
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
    EXPECT_TRUE(Exists("PANEL.DAT"));
}

TEST_F(CliTest, DryRunChangesNothingAndListsWhatTheRealRunDoes)
{
    Write("Hurr.flt", "old");
    Write("jovo/online.txt");
    fs::copy(game, root / "twin", fs::copy_options::recursive);
    const auto before = Snapshot(game);

    const auto dry = Run({"--dry-run", "install", "jov"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(Snapshot(game), before);

    const auto real = Run({"install", "jov", "--verbose"}, root / "twin");
    EXPECT_EQ(real.status, 0) << real.err;
    const std::string twin = (root / "twin").string();
    std::string expected = dry.out;
    for (auto at = expected.find(game.string()); at != std::string::npos;
         at = expected.find(game.string(), at + twin.size())) {
        expected.replace(at, game.string().size(), twin);
    }
    EXPECT_EQ(Lines(real.out), Lines(expected));
    EXPECT_EQ(Lines(real.out).front(), "delete " + twin + "/Hurr.flt");
    EXPECT_EQ(Lines(real.out).back(), "write " + twin + "/jovo.ini \"jov\"");
    EXPECT_EQ(Lines(real.out).size(), 10U); // 1 delete, 2 + 5 copies, 2 state writes
}

TEST_F(CliTest, VerifyNoticesChangedMissingAndExtraFiles)
{
    Record("none");
    ASSERT_EQ(Run({"install", "jov"}).status, 0);
    const auto clean = Run({"verify"});
    EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
    EXPECT_EQ(clean.out, "The game folder matches the JOV Panel set.\n");

    Write("HURR.FLT", "changed");
    fs::remove(game / "SP09.FLT");
    Write("extra.str");
    Write("notes.txt"); // not an add-on type: not the set's business
    const auto changed = Run({"verify"});
    EXPECT_EQ(changed.status, 4);
    EXPECT_EQ(Lines(changed.out),
              (std::vector<std::string>{"differs HURR.FLT", "missing SP09.FLT", "extra extra.str",
                                        "3 differences from the JOV Panel "
                                        "set."}));
}

TEST_F(CliTest, UsageErrorsAndVersion)
{
    EXPECT_EQ(Run({"install", "panel"}).status, 2);
    EXPECT_EQ(Run({"launch"}).status, 2);
    EXPECT_EQ(Run({}).status, 2);
    EXPECT_EQ(Run({"status"}, root / "no such folder").status, 2);
    const auto version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "2.00.0001\n");
    const auto help = Run({"--help"});
    EXPECT_NE(help.out.find("GAME FOLDER"), std::string::npos);
}
