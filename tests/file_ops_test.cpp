#include "game_folder.h"

#include "platform/file_ops.h"
#include "platform/fs_error.h"
#include "platform/name_match.h"

#include <cerrno>
#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::FsError;
using Names = std::vector<std::string>;

namespace
{

int ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const FsError& error) {
        return error.Number();
    }
    return 0;
}

class FileOpsTest : public GameFolderTest
{};

} // namespace

TEST(NameMatch, WildcardsAndCase)
{
    using platform::MatchesPattern;
    EXPECT_TRUE(MatchesPattern("HURR.FLT", "*.flt"));
    EXPECT_TRUE(MatchesPattern("a.b.dat", "*.dat"));
    EXPECT_TRUE(MatchesPattern(".dat", "*.dat"));
    EXPECT_FALSE(MatchesPattern("x.data", "*.dat"));
    EXPECT_FALSE(MatchesPattern("x.dat.bak", "*.dat"));
    EXPECT_FALSE(MatchesPattern("hurr.flt.bak", "hurr.flt"));
    EXPECT_TRUE(MatchesPattern("Hurr.Flt", "hurr.flt"));
    // "*.*" takes every name, with or without a dot; only "*" is a wildcard.
    EXPECT_TRUE(MatchesPattern("README", "*.*"));
    EXPECT_TRUE(MatchesPattern("flt.cdf", "*.*"));
    EXPECT_TRUE(MatchesPattern("abcab", "*ab"));
    EXPECT_FALSE(MatchesPattern("x.dat", "?.dat"));
    EXPECT_TRUE(MatchesPattern("?.dat", "?.dat"));
}

TEST_F(FileOpsTest, ListingResolvesEveryComponentWithoutRegardToCase)
{
    Write("JOV/Panel.DAT");
    Write("JOV/notes.txt");
    Write("Jov/other.dat"); // "JOV" < "Jov": the smallest variant wins
    EXPECT_EQ(platform::ListPlainFiles(Path("jov/*.dat")), Names{"Panel.DAT"});
    EXPECT_EQ(platform::ListPlainFiles(Path("Jov/*.dat")), Names{"other.dat"}); // exact wins
    EXPECT_EQ(platform::ListPlainFiles("jov/panel.dat"), Names{"Panel.DAT"});
    EXPECT_EQ(platform::ListPlainFiles((root / "krs game" / "JOVO" / "*.dat").string()), Names{});

    platform::SetWorkingDir("jov");
    EXPECT_EQ(fs::current_path(), game / "JOV");
    EXPECT_EQ(platform::WorkingDir(), (game / "JOV").string());
}

TEST_F(FileOpsTest, ListingTakesOnlyPlainFilesSorted)
{
    for (const char* name : {"b.flt", "A.FLT", "a.flt", "B.flt", "README", "x.flt.bak"}) {
        Write(name);
    }
    Write(".hidden.flt");
    Write("folder.flt/inner.flt");
    fs::create_symlink("a.flt", game / "link.flt");
    fs::create_symlink("missing", game / "dangling.flt");
    fs::create_symlink("folder.flt", game / "dirlink.flt");
    ASSERT_EQ(::mkfifo(Path("pipe.flt").c_str(), 0644), 0);
    WriteReadOnly("readonly.flt");

    EXPECT_EQ(platform::ListPlainFiles("*.flt"),
              (Names{"A.FLT", "B.flt", "a.flt", "b.flt", "link.flt", "readonly.flt"}));
    EXPECT_EQ(platform::ListPlainFiles("*.*").size(), 8U); // README and x.flt.bak too
    EXPECT_EQ(platform::ListPlainFiles("A.flt"), (Names{"A.FLT", "a.flt"}));
    EXPECT_EQ(platform::ListPlainFiles("*.dat"), Names{});
    EXPECT_EQ(platform::ListPlainFiles(Path("nowhere/*.*")), Names{});
    // An asterisk in the folder part is an ordinary character.
    EXPECT_EQ(platform::ListPlainFiles(Path("*/inner.flt")), Names{});
}

TEST_F(FileOpsTest, DeleteFindsAnyCaseAndRefusesReadOnlyFiles)
{
    Write("HURR.FLT");
    Write(".hurr.flt");
    WriteReadOnly("mosq.flt");
    fs::create_symlink("mosq.flt", game / "link.flt");

    platform::DeleteFile("hurr.flt");
    EXPECT_EQ(Entries(), (Names{".hurr.flt", "link.flt", "mosq.flt"}));

    // No write bit for anyone is read-only, also when the tests run as root.
    EXPECT_EQ(ErrorOf([] { platform::DeleteFile("MOSQ.flt"); }), EACCES);
    EXPECT_TRUE(Exists("mosq.flt"));
    // A link is removed itself; its read-only target stays.
    platform::DeleteFile("link.flt");
    EXPECT_FALSE(Exists("link.flt"));
    EXPECT_TRUE(Exists("mosq.flt"));
    EXPECT_EQ(ErrorOf([] { platform::DeleteFile("gone.flt"); }), ENOENT);
}

TEST_F(FileOpsTest, CopyReplacesCaseVariantWritableWithSourceTime)
{
    WriteReadOnly("krs/FLT.CDF", "stock");
    Write("flt.cdf", "old");
    const auto stamp = fs::last_write_time(game / "krs/FLT.CDF") - std::chrono::hours(50);
    fs::last_write_time(game / "krs/FLT.CDF", stamp);

    platform::SetWorkingDir(Path("krs"));
    platform::CopyFile("flt.cdf", Path("FLT.cdf"));

    EXPECT_EQ(Entries(), (Names{"flt.cdf", "krs"})); // no twin that differs only in case
    EXPECT_EQ(Read("flt.cdf"), "stock");
    EXPECT_EQ(fs::last_write_time(game / "flt.cdf"), stamp);
    EXPECT_NE(fs::status(game / "flt.cdf").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(FileOpsTest, NextWriteRemovesTemporariesOfDeadRunsOnly)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    const std::string prefix(platform::kTemporaryPrefix);
    const std::string dead = prefix + std::to_string(child) + "-1.tmp";
    const std::string alive = prefix + std::to_string(::getppid()) + "-1.tmp";
    Write(dead, "half");
    Write(alive, "busy");
    Write("set/a.dat");

    platform::SetWorkingDir(Path("set"));
    platform::CopyFile("a.dat", Path("a.dat"));

    EXPECT_FALSE(Exists(dead));
    EXPECT_TRUE(Exists(alive));
}

TEST_F(FileOpsTest, StateFieldIsWrittenExactlyAndReadForgivingly)
{
    platform::WriteTextField(Path("jovo.ini"), "none");
    platform::WriteTextField(Path("jovo.ini"), "tuk");
    EXPECT_EQ(Read("jovo.ini"), "\"tuk\"\r\n");
    EXPECT_EQ(Entries(), Names{"jovo.ini"});

    const auto readBack = [&](const std::string& content) {
        Write("jovo.ini", content);
        return platform::ReadTextField(Path("JOVO.INI"));
    };
    EXPECT_EQ(readBack("   \"jov\"\r\n\"tuk\"\r\n"), "jov");
    EXPECT_EQ(readBack("\" jov\"\r\n"), " jov");
    EXPECT_EQ(readBack("\"JOV\"\r\n"), "JOV");
    EXPECT_EQ(readBack("\"\"\r\n"), "");
    EXPECT_EQ(readBack(""), "");
    EXPECT_EQ(readBack("  \r\n\r\n"), "");
    EXPECT_EQ(readBack("jovo, later\r\n"), "jovo");
    EXPECT_EQ(readBack("\"jo"), "jo");
    EXPECT_EQ(readBack(std::string("\"j\0v\"", 5)), std::string("j\0v", 3));
    // Only the first 4096 bytes are read: an oversized first field is cut, never a set word.
    EXPECT_EQ(readBack("\"" + std::string(10000, 'j') + "\""), std::string(4095, 'j'));

    Write("sub/x", "");
    EXPECT_EQ(ErrorOf([&] { platform::WriteTextField(Path("sub"), "none"); }), EISDIR);
    WriteReadOnly("locked.ini", "\"jov\"\r\n");
    EXPECT_EQ(ErrorOf([&] { platform::WriteTextField(Path("locked.ini"), "none"); }), EACCES);
    EXPECT_EQ(Read("locked.ini"), "\"jov\"\r\n");
}
