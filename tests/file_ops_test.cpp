#include "game_folder.h"

#include "platform/file_ops.h"
#include "platform/fs_error.h"
#include "platform/name_match.h"

#include <cerrno>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using FileOpsTest = GameFolderTest;

namespace
{

int ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::FsError& error) {
        return error.Number();
    }
    return 0;
}

} // namespace

TEST(NameMatch, WildcardsAndCase)
{
    const std::vector<std::tuple<const char*, const char*, bool>> rows{
        {"HURR.FLT", "*.flt", true},
        {"a.b.dat", "*.dat", true},
        {".dat", "*.dat", true},
        {"x.data", "*.dat", false},
        {"x.dat.bak", "*.dat", false},
        {"Hurr.Flt", "hurr.flt", true},
        {"hurr.flt.bak", "hurr.flt", false},
        {"README", "*.*", true},
        {"flt.cdf", "*.*", true},
        {"abcab", "*ab", true},
        {"x.dat", "?.dat", false},
        {"?.dat", "?.dat", true},
    };
    for (const auto& [name, pattern, matches] : rows) {
        EXPECT_EQ(platform::MatchesPattern(name, pattern), matches) << name << " ~ " << pattern;
    }
}

// One folder holds every kind of entry; each row lists it with one pattern.
TEST_F(FileOpsTest, ListingTakesPlainFilesOfAnyCaseSorted)
{
    for (const char* name :
         {"b.flt", "A.FLT", "a.flt", "B.flt", "README", "x.flt.bak", ".hidden.flt",
          "folder.flt/inner.flt", "JOV/Panel.DAT", "JOV/notes.txt", "Jov/other.dat"}) {
        Write(name);
    }
    WriteReadOnly("readonly.flt");
    fs::create_symlink("a.flt", game / "link.flt");
    fs::create_symlink("missing", game / "dangling.flt");
    fs::create_symlink("folder.flt", game / "dirlink.flt");
    ASSERT_EQ(::mkfifo(Path("pipe.flt").c_str(), 0644), 0);
    const std::vector<std::pair<std::string, Names>> rows{
        {"*.flt", {"A.FLT", "B.flt", "a.flt", "b.flt", "link.flt", "readonly.flt"}},
        {"*.*",
         {"A.FLT", "B.flt", "README", "a.flt", "b.flt", "link.flt", "readonly.flt", "x.flt.bak"}},
        {"A.flt", {"A.FLT", "a.flt"}},
        {"*.dat", {}},
        {Path("jov/*.dat"), {"Panel.DAT"}}, // "JOV" < "Jov": the smallest variant wins
        {Path("Jov/*.dat"), {"other.dat"}}, // the exact name wins
        {"jov/panel.dat", {"Panel.DAT"}},
        {(root / "krs game" / "JOV" / "*.DAT").string(), {"Panel.DAT"}},
        {Path("nowhere/*.*"), {}},
        {Path("*/inner.flt"), {}}, // an asterisk in the folder part is no wildcard
    };
    for (const auto& [pattern, names] : rows) {
        EXPECT_EQ(platform::ListPlainFiles(pattern), names) << pattern;
    }
}

TEST_F(FileOpsTest, DeleteAndCopyFindAnyCaseAndRefuseReadOnlyFiles)
{
    Write("HURR.FLT");
    Write(".hurr.flt");
    WriteReadOnly("mosq.flt");
    fs::create_symlink("mosq.flt", game / "link.flt");
    WriteReadOnly("krs/FLT.CDF", "stock");
    Write("flt.cdf", "old");
    const auto stamp = fs::last_write_time(game / "krs/FLT.CDF") - std::chrono::hours(50);
    fs::last_write_time(game / "krs/FLT.CDF", stamp);
    // Temporaries of a dead run go at the next write into their folder; a live run's stay.
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    const std::string prefix(platform::kTemporaryPrefix);
    const std::string dead = prefix + std::to_string(child) + "-1.tmp";
    const std::string alive = prefix + std::to_string(::getppid()) + "-1.tmp";
    Write(dead);
    Write(alive);

    platform::DeleteFile("hurr.flt");
    // No write bit for anyone is read-only, also when the tests run as root.
    EXPECT_EQ(ErrorOf([] { platform::DeleteFile("MOSQ.flt"); }), EACCES);
    EXPECT_EQ(ErrorOf([] { platform::CopyFile("krs/flt.cdf", "Mosq.flt"); }), EACCES);
    platform::DeleteFile("link.flt"); // the link goes, its read-only target stays
    EXPECT_EQ(ErrorOf([] { platform::DeleteFile("gone.flt"); }), ENOENT);
    EXPECT_EQ(ErrorOf([] { platform::DeleteFile("krs"); }), EISDIR);
    platform::SetWorkingDir(Path("KRS"));
    platform::CopyFile("flt.cdf", Path("FLT.cdf"));

    EXPECT_EQ(Entries(), (Names{".hurr.flt", alive, "flt.cdf", "krs", "mosq.flt"}));
    EXPECT_EQ(Read("flt.cdf"), "stock"); // replaced in place, no twin that differs in case
    EXPECT_EQ(fs::last_write_time(game / "flt.cdf"), stamp);
    EXPECT_NE(fs::status(game / "flt.cdf").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(FileOpsTest, StateFieldIsWrittenExactlyAndReadForgivingly)
{
    platform::WriteTextField(Path("jovo.ini"), "none");
    platform::WriteTextField(Path("jovo.ini"), "tuk");
    EXPECT_EQ(Entries(), Names{"jovo.ini"});
    EXPECT_EQ(Read("jovo.ini"), "\"tuk\"\r\n");

    const std::vector<std::pair<std::string, std::string>> rows{
        {"   \"jov\"\r\n\"tuk\"\r\n", "jov"},
        {"\" jov\"\r\n", " jov"},
        {"\t\"jov\"\r\n", "\t\"jov\""}, // a tab is no blank
        {"\"JOV\"\r\n", "JOV"},
        {"\"\"\r\n", ""},
        {"", ""},
        {"  \r\n\r\n", ""},
        {"jovo, later\r\n", "jovo"},
        {"\"jo", "jo"},
        {std::string("\"j\0v\"", 5), std::string("j\0v", 3)},
        // Only the first 4096 bytes are read: an oversized field is cut, never a set word.
        {"\"" + std::string(10000, 'j') + "\"", std::string(4095, 'j')},
    };
    for (const auto& [content, word] : rows) {
        Write("jovo.ini", content);
        EXPECT_EQ(platform::ReadTextField(Path("JOVO.INI")), word) << content.substr(0, 20);
    }

    Write("sub/x", "");
    EXPECT_EQ(ErrorOf([&] { platform::WriteTextField(Path("sub"), "none"); }), EISDIR);
    WriteReadOnly("locked.ini", "\"jov\"\r\n");
    EXPECT_EQ(ErrorOf([&] { platform::WriteTextField(Path("locked.ini"), "none"); }), EACCES);
    EXPECT_EQ(Read("locked.ini"), "\"jov\"\r\n");
}
