#include "game_folder.h"

#include "platform/fs_error.h"
#include "platform/native_file_system.h"
#include "switcher/state_file.h"

#include <cerrno>
#include <functional>

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
        EXPECT_EQ(files.ListPlainFiles(pattern), names) << pattern;
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
        EXPECT_EQ(switcher::ParseStateLine(
                      files.ReadTextFile(Path("JOVO.INI"), switcher::kStateReadLimit)),
                  word)
            << content.substr(0, 20);
    }
}

TEST_F(FileOpsTest, RefusalsCarryTheSystemsNumber)
{
    WriteReadOnly("mosq.flt");
    Write("sub/x");
    const auto failure = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const platform::FsError& error) {
            return error.Number();
        }
        return 0;
    };
    const auto number = [](int error) { return platform::FromErrno(error).number; };
    EXPECT_EQ(failure([&] { files.RemoveFile("gone.flt"); }), number(ENOENT));
    EXPECT_EQ(failure([&] { files.RemoveFile("sub"); }), number(EISDIR));
    EXPECT_EQ(failure([&] { files.RemoveFile("MOSQ.flt"); }), number(EACCES));
    EXPECT_EQ(failure([&] { files.CopyFileReplacing("sub/x", "Mosq.flt"); }), number(EACCES));
    EXPECT_EQ(failure([&] { files.WriteTextFile("sub", "none"); }), number(EISDIR));
#ifndef _WIN32
    // A link goes, its read-only target stays.
    fs::create_symlink("mosq.flt", game / "link.flt");
    EXPECT_EQ(failure([&] { files.RemoveFile("link.flt"); }), 0);
#endif
    EXPECT_TRUE(Exists("mosq.flt") && Exists("sub/x"));
}
