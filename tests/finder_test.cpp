#include "finder_test.h"
#include "game_folder.h"

#include "finder/vdf.h"

std::string Shortcuts(const std::string& startDir)
{
    using namespace std::string_literals;
    // Block "shortcuts" holding block "0": a number, the name and the start folder, two ends.
    return "\0shortcuts\0\0000\0"s + "\2appid\0\1\2\3\4"s + "\1AppName\0KRS\0"s +
           "\1StartDir\0\""s + startDir + "\"\0\b\b"s;
}

namespace
{

TEST(Vdf, ReadsBothLibraryLayouts)
{
    const struct
    {
        const char* name;
        const char* text;
        Names libraries;
    } rows[] = {
        {"old",
         R"("LibraryFolders" { "TimeNextStatsReport" "1" "1" "D:\\Steam Library" })",
         {"D:\\Steam Library"}},
        {"nested",
         R"("libraryfolders" { "0" { "path" "/a" "apps" { "7" "8" } } "1" {"Path" "/b"} })",
         {"/a", "/b"}},
        {"comments, bare words, conditions",
         "// made by Steam\nlibraryfolders {\n 1 \"/c\" [$LINUX] // the library\n 2 { path /d }\n}",
         {"/c", "/d"}},
        {"escaped quote", R"("l" { "1" "/e \"f\"" })", {"/e \"f\""}},
        {"byte-order mark", "\xEF\xBB\xBF\"libraryfolders\" { \"0\" { \"path\" \"/h\" } }", {"/h"}},
        {"cut short", R"("libraryfolders" { "0" { "path" "/g" } "1" { "path)", {"/g"}},
        {"not a block", R"("libraryfolders" "x")", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(finder::LibraryFolders(row.text), row.libraries);
    }
    EXPECT_EQ(finder::ShortcutStartDirs(Shortcuts("C:\\KRS")), Names{"C:\\KRS"});
    EXPECT_EQ(finder::ShortcutStartDirs(Shortcuts("C:\\KRS").substr(0, 30)), Names{});
}

} // namespace
