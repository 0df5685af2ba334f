#include "game_folder.h"
#include "host.h"

#include "platform/folder_lock.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

// What differs on Windows, through jov-switch as a player's script runs it: the hidden and system
// attributes, long names against their short 8.3 names, names beyond ASCII, a file in use, and
// the folder lock under another spelling of the folder.
namespace
{

namespace fs = std::filesystem;

struct WindowsRow
{
    const char* name;
    const char* game;      // the game folder, under the test's folder
    const char* installed; // the state file's word before ("" for none)
    const char* before; // files under the game folder; "h:", "s:", "r:" hidden, system, read-only
    const char* args;   // jov-switch's arguments, by blanks
    int status;
    const char* says;             // found in what jov-switch prints
    const char* after;            // the game folder's files afterwards, marked as `before`
    const char* held = nullptr;   // a file held open meanwhile, as a running game does
    bool lockedElsewhere = false; // the folder lock is held meanwhile, under another spelling
};

Names Split(const std::string& words)
{
    std::istringstream in(words);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

constexpr std::pair<char, DWORD> kMarks[] = {
    {'h', FILE_ATTRIBUTE_HIDDEN}, {'r', FILE_ATTRIBUTE_READONLY}, {'s', FILE_ATTRIBUTE_SYSTEM}};

// "hs:NAME" for a hidden system file, "NAME" for a plain one.
std::string Marked(const fs::path& file)
{
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    std::string marks;
    for (const auto& [mark, attribute] : kMarks) {
        if ((attributes & attribute) != 0) {
            marks += mark;
        }
    }
    return (marks.empty() ? "" : marks + ":") + Utf8(file.filename());
}

void WriteMarked(const fs::path& folder, const std::string& entry)
{
    const auto colon = entry.find(':');
    const std::string marks = colon == std::string::npos ? "" : entry.substr(0, colon);
    const std::string name = entry.substr(colon == std::string::npos ? 0 : colon + 1);
    const fs::path file = folder / FromUtf8(name);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << name;
    DWORD attributes = 0;
    for (const auto& [mark, attribute] : kMarks) {
        attributes |= marks.find(mark) != std::string::npos ? attribute : 0;
    }
    if (attributes != 0) {
        ::SetFileAttributesW(file.c_str(), attributes);
    }
}

void PrintTo(const WindowsRow& row, std::ostream* out)
{
    *out << row.name;
}

class WindowsTest : public GameFolderTest, public ::testing::WithParamInterface<WindowsRow>
{};

} // namespace

TEST_P(WindowsTest, JovSwitchKeepsToWindowsRules)
{
    const WindowsRow& row = GetParam();
    const fs::path folder = root / FromUtf8(row.game);
    fs::create_directories(folder);
    for (const std::string& entry : Split(row.before)) {
        WriteMarked(folder, entry);
    }
    if (*row.installed != '\0') {
        std::ofstream(folder / "jovo.ini", std::ios::binary) << '"' << row.installed << "\"\r\n";
    }
    std::optional<platform::FolderLock> lock;
    if (row.lockedElsewhere) {
        std::string spelling = Utf8(folder);
        std::transform(spelling.begin(), spelling.end(), spelling.begin(), [](char c) {
            return c == '\\' ? '/' : c >= 'a' && c <= 'z' ? c - 32 : c;
        });
        lock = platform::FolderLock::Acquire(spelling, std::chrono::milliseconds(0));
        ASSERT_TRUE(lock);
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    if (row.held != nullptr) {
        held = ::CreateFileW((folder / FromUtf8(row.held)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                             nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }

    const Outcome outcome = Switch(folder, Split(row.args), {root});
    ::CloseHandle(held);
    EXPECT_EQ(outcome.status, row.status) << outcome.err;
    EXPECT_NE((outcome.out + outcome.err).find(row.says), std::string::npos)
        << outcome.out << outcome.err;
    Names after;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            after.push_back(Marked(entry.path()));
        }
    }
    Names expected = Split(row.after);
    std::sort(after.begin(), after.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsTest,
    ::testing::Values(
        WindowsRow{"HiddenAndSystemFilesAreNeitherDeletedNorCopied", "KRS Game", "jov",
                   "h:HURR.FLT s:MOSQ.FLT SP2A.FLT krs/flt.cdf h:krs/hidden.cdf s:krs/system.cdf",
                   "restore", 0, "", "flt.cdf h:HURR.FLT jovo.ini s:MOSQ.FLT"},
        // Windows matches "*.dat" against short names too: "game.data" is also "GAME~1.DAT".
        WindowsRow{"DatTakesLongNamesOnly", "KRS Game", "jov", "krs/flt.cdf game.data SP2A.DAT",
                   "restore", 0, "", "flt.cdf game.data jovo.ini"},
        WindowsRow{"NamesBeyondAscii", "Jürgen/Games/KRS 1.2", "none",
                   "jov/Größe.dat jov/Bf109é.flt", "-v install jov", 0,
                   "Jürgen\\Games\\KRS 1.2\\Größe.dat", "Bf109é.flt Größe.dat jovo.ini"},
        WindowsRow{"FileInUseIsNotReplaced", "KRS Game", "none", "jov/panel.dat PANEL.DAT",
                   "install jov", 3, "KRS Game. The game folder may be in a protected location",
                   "PANEL.DAT jovo.ini", "PANEL.DAT"},
        WindowsRow{"LockUnderAnotherSpelling", "KRS Game", "none", "jov/panel.dat",
                   "--wait 0.3 install jov", 5, "another program is working on the game folder",
                   "jovo.ini", nullptr, true}),
    [](const auto& info) { return std::string(info.param.name); });
