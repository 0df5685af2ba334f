#include "game_folder.h"

#include "platform/fs_error.h"
#include "platform/native_file_system.h"
#include "switcher/state_file.h"

#include <cerrno>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
class FileOpsTest : public GameFolderTest
{
protected:
    platform::NativeFileSystem files;
};

// Case twins, links and fifos need a POSIX file system; what Windows lists is in windows_test.cpp.
#ifndef _WIN32
// Every kind of entry in one folder; "*" is the only wildcard and "*.*" takes names without a dot.
TEST_F(FileOpsTest, ListingTakesPlainFilesOfAnyCaseSorted)
{
    for (const char* name :
         {"b.flt", "A.FLT", "a.flt", "B.flt", "README", "x.flt.bak", "a.b.dat", "x.data", "?.dat",
          ".hidden.flt", "folder.flt/inner.flt", "JOV/Panel.DAT", "JOV/notes.txt", "Jov/other.dat",
          "Émile.TXT", "émile.txt", "ΣΊΓΜΑ.txt", "Жук.txt", "ſı.txt"}) {
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
         {"?.dat", "A.FLT", "B.flt", "README", "a.b.dat", "a.flt", "b.flt", "link.flt",
          "readonly.flt", "x.data", "x.flt.bak", "Émile.TXT", "émile.txt", "ſı.txt", "ΣΊΓΜΑ.txt",
          "Жук.txt"}},
        {"*.DAT", {"?.dat", "a.b.dat"}},
        {"x.dat", {}},
        {"*ad*", {"README", "readonly.flt"}},
        {"A.flt", {"A.FLT", "a.flt"}},
        {"x.flt", {}},
        {"ÉMILE.txt", {"Émile.TXT", "émile.txt"}}, // Unicode's case pairs, as Windows folds them
        {"σίγμα.TXT", {"ΣΊΓΜΑ.txt"}},
        {"жУК.*", {"Жук.txt"}},
        {"SI.txt", {}}, // "ſ" and "ı" have no case pair of their own on Windows
        {Path("jov/*.dat"), {"Panel.DAT"}}, // "JOV" < "Jov": the smallest variant wins
        {Path("Jov/*.dat"), {"other.dat"}}, // the exact name wins
        {"jov/panel.dat", {"Panel.DAT"}},
        {(root / "krs game" / "JOV" / "*.DAT").string(), {"Panel.DAT"}},
        {Path("nowhere/*.*"), {}},
        {Path("*/inner.flt"), {}}, // an asterisk in the folder part is no wildcard
    };
    for (const auto& [pattern, names] : rows) {
        EXPECT_EQ(platform::ListPlainFiles(files, pattern), names) << pattern;
    }
    // What stands where a file is to be written is known from the listing: a link counts as
    // what it points to, a folder is a folder only as itself.
    using enum platform::EntryKind;
    const std::map<std::string, platform::EntryKind> kinds{
        {"a.flt", File},        {"link.flt", File},  {"dangling.flt", Other},
        {"dirlink.flt", Other}, {"pipe.flt", Other}, {"folder.flt", Folder}};
    for (const platform::Entry& entry : files.List(Path("")).entries) {
        if (kinds.contains(entry.name)) {
            EXPECT_EQ(entry.kind, kinds.at(entry.name)) << entry.name;
        }
        EXPECT_EQ(entry.hidden, entry.name.starts_with('.')) << entry.name;
    }
}
#endif

TEST_F(FileOpsTest, StateFieldIsReadForgivingly)
{
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
        EXPECT_EQ(
            switcher::ParseStateLine(files.ReadFile(Path("JOVO.INI"), switcher::kStateReadLimit)),
            word)
            << content.substr(0, 20);
    }
}

// A move never loses what stands at its target: it hands it over, or moves nothing. The platform
// refuses nothing of its own: read-only files move and go as the system lets them.
TEST_F(FileOpsTest, MovesHandOverWhatStandsAtTheTarget)
{
    using platform::Moved;
    struct Row
    {
        const char* name;
        const char* before; // files, "!x" read-only
        const char* from;
        const char* to;
        const char* handedTo; // "" : none
        Moved moved;
        const char* after; // "name=content"
    };
    const Row rows[] = {
        {"to a free name", "a", "a", "b", "", Moved::Done, "b=a"},
        {"over a file, nothing given", "a b", "a", "b", "", Moved::TargetTaken, "a=a b=b"},
        {"over a file, handed over", "a b", "a", "b", "k/b", Moved::HandedOver, "b=a k/b=b"},
        {"over a read-only file", "a !b", "a", "b", "k/b", Moved::HandedOver, "b=a k/b=b"},
        {"a read-only file", "!a", "a", "k/a", "", Moved::Done, "k/a=a"},
        {"a source that is gone", "b", "a", "b", "k/b", Moved::SourceMissing, "b=b"},
        {"a source of another case", "A.FLT", "a.flt", "k/a", "", Moved::Done, "k/a=A.FLT"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Clear();
        Write("k/.keep");
        for (const std::string& name : Split(row.before)) {
            name.starts_with('!') ? WriteReadOnly(name.substr(1), name.substr(1))
                                  : Write(name, name);
        }
        const std::string handedTo = *row.handedTo != '\0' ? Path(row.handedTo) : std::string();
        EXPECT_EQ(files.Move(Path(row.from), Path(row.to), handedTo), row.moved);
        Contents expected;
        for (const std::string& entry : Split(row.after)) {
            expected[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
        }
        Contents found = Files();
        for (const auto& [name, content] : Files(Under("k"))) {
            found["k/" + name] = content;
        }
        found.erase("k/.keep");
        EXPECT_EQ(found, expected);
    }
    // Removing: a file whatever its permission, an empty folder, nothing where nothing is.
    Clear();
    Write("k/x");
    WriteReadOnly("ro");
    EXPECT_TRUE(files.Remove(Path("ro")));
    EXPECT_FALSE(files.Remove(Path("ro")));
    EXPECT_THROW(files.Remove(Path("k")), platform::FsError);
    EXPECT_TRUE(files.Remove(Path("k/x")) && files.Remove(Path("k")));
    EXPECT_THROW(files.WriteFile(Path(""), "none"), platform::FsError);
}
