#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <set>

using platform::PathStyle;

namespace
{

constexpr PathStyle P = PathStyle::Posix;
constexpr PathStyle W = PathStyle::Windows;

} // namespace

// Both styles' rules run on every platform; `Under` is the game's own forming of a path.
TEST(PathTextTest, BothStylesSplitJoinAndShowPaths)
{
    struct Row
    {
        PathStyle style;
        const char* path;
        const char* folder;
        const char* leaf;
        const char* joined; // Join(folder, leaf)
        const char* under;  // Under(folder, leaf)
        const char* shown;  // Shown(path, "WD")
    };
    const Row rows[] = {
        {P, "/games/krs", "/games", "krs", "/games/krs", "/games/krs", "/games/krs"},
        {P, "/krs", "/", "krs", "/krs", "//krs", "/krs"},
        {P, "krs", "", "krs", "krs", "/krs", "WD/krs"},
        {P, "a\\b.flt", "", "a\\b.flt", "a\\b.flt", "/a\\b.flt", "WD/a\\b.flt"},
        {P, "jov/x.dat", "jov", "x.dat", "jov/x.dat", "jov/x.dat", "WD/jov/x.dat"},
        {W, "C:\\Games\\KRS", "C:\\Games", "KRS", "C:\\Games\\KRS", "C:\\Games\\KRS",
         "C:\\Games\\KRS"},
        {W, "C:\\KRS", "C:\\", "KRS", "C:\\KRS", "C:\\\\KRS", "C:\\KRS"},
        {W, "\\KRS", "\\", "KRS", "\\KRS", "\\\\KRS", "\\KRS"},
        {W, "C:/Games/KRS", "C:/Games", "KRS", "C:/Games\\KRS", "C:/Games\\KRS", "C:/Games/KRS"},
        {W, "C:KRS", "", "C:KRS", "C:KRS", "\\C:KRS", "C:KRS"},
        {W, "jov\\x.dat", "jov", "x.dat", "jov\\x.dat", "jov\\x.dat", "WD\\jov\\x.dat"},
        {W, "x.dat", "", "x.dat", "x.dat", "\\x.dat", "WD\\x.dat"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const platform::Split split = platform::SplitPath(row.path, row.style);
        EXPECT_EQ(split.folder, row.folder);
        EXPECT_EQ(split.leaf, row.leaf);
        EXPECT_EQ(platform::Join(split.folder, split.leaf, row.style), row.joined);
        EXPECT_EQ(platform::Under(split.folder, split.leaf, row.style), row.under);
        EXPECT_EQ(platform::Shown(row.path, "WD", row.style), row.shown);
    }
    EXPECT_EQ(platform::Join("C:", "KRS", W), "C:KRS");
    EXPECT_EQ(platform::Join("/games/", "krs", P), "/games/krs");
}

// Exactly of our form, and made by this process or one that has ended; not by another live one.
TEST(PathTextTest, StaleTemporariesAreThoseOfEndedProcesses)
{
    const std::set<unsigned long> alive{12, 99};
    const auto isAlive = [&](unsigned long id) { return alive.contains(id); };
    EXPECT_EQ(platform::TemporaryName(12, 3), ".jov-enable-12-3.tmp");
    const std::pair<const char*, bool> rows[] = {
        {".jov-enable-12-3.tmp", false},  {".jov-enable-13-1.tmp", true},
        {".jov-enable-99-1.tmp", true},   {".jov-enable-x.tmp", false},
        {".jov-enable--12-1.tmp", false}, {".jov-enable-0-1.tmp", false},
        {".jov-enable-12.tmp", false},    {"HURR.FLT", false},
        {".jov-enable-notes.txt", false}, {".jov-enable-13-1.tmp.bak", false},
    };
    for (const auto& [name, stale] : rows) {
        EXPECT_EQ(platform::IsStaleTemporary(name, 99, isAlive), stale) << name;
    }
}
