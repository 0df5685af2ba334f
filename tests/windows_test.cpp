#include "game_folder.h"
#include "host.h"

#include "platform/folder_lock.h"
#include "platform/native_file_system.h"
#include "platform/win32/common.h"

#include <sddl.h>
#include <windows.h>

#include <fstream>
#include <optional>
#include <set>
#include <sstream>

// What differs on Windows, and under Wine names and links made on the Linux side, via jov-switch.
namespace
{

namespace fs = std::filesystem;

struct WindowsRow
{
    const char* name;
    const char* installed; // the state file's word before ("" for none)
    const char* before; // files under the game folder; "h:", "s:", "r:" hidden, system, read-only
    const char* args;   // jov-switch's commands by ";", "!" another program's; arguments by blanks
    int status;
    const char* says;  // found in what the last command prints, each part between "|"
    const char* after; // the game folder's files afterwards, as `before`; "~" kept ones' bytes
    const char* held = nullptr; // held open meanwhile, as the game does; a program runs instead
    char locked = 0; // the folder lock: 'o' under another spelling, 'a' by an administrator's copy
    const char* game = "KRS Game"; // the game folder, under the test's folder
};

constexpr std::pair<char, DWORD> kMarks[] = {
    {'h', FILE_ATTRIBUTE_HIDDEN}, {'r', FILE_ATTRIBUTE_READONLY}, {'s', FILE_ATTRIBUTE_SYSTEM}};

// "hs:NAME" for a hidden system file, "NAME" for a plain one; `shown` in place of the name.
std::string Marked(const fs::path& file, std::string shown = {})
{
    const DWORD attributes = ::GetFileAttributesW(file.c_str());
    std::string marks;
    for (const auto& [mark, attribute] : kMarks) {
        marks += (attributes & attribute) != 0 ? std::string(1, mark) : "";
    }
    return (marks.empty() ? "" : marks + ":") + (shown.empty() ? Utf8(file.filename()) : shown);
}

// "u:NAME" is written from the Linux side, in the exact letter case; "l:NAME" is a Linux
// symbolic link to a file of that name in a shared "library" folder beside the game folder;
// "NAME=OTHER" is a hard link to the file OTHER.
void WriteMarked(const fs::path& folder, const std::string& entry)
{
    if (const auto same = entry.find('='); same != std::string::npos) {
        fs::create_hard_link(folder / FromUtf8(entry.substr(same + 1)),
                             folder / FromUtf8(entry.substr(0, same)));
        return;
    }
    const auto colon = entry.find(':');
    const std::string marks = colon == std::string::npos ? "" : entry.substr(0, colon);
    const std::string name = entry.substr(colon == std::string::npos ? 0 : colon + 1);
    fs::path file = folder / FromUtf8(name);
    fs::create_directories(file.parent_path());
    if (marks == "l") {
        const fs::path shared = folder.parent_path() / "library" / FromUtf8(name);
        fs::create_directories(shared.parent_path());
        std::ofstream(shared, std::ios::binary) << name;
        RunChild({"Z:\\bin\\ln", "-s", platform::win32::UnixName(shared.wstring()),
                  platform::win32::UnixName(folder.wstring()) + "/" + name},
                 {folder.parent_path()});
        return;
    }
    if (marks == "u") {
        file = FromUtf8("\\\\?\\unix" + platform::win32::UnixName(folder.wstring()) + "/" + name)
                   .make_preferred();
    }
    std::ofstream(file, std::ios::binary) << name;
    DWORD attributes = 0;
    for (const auto& [mark, attribute] : kMarks) {
        attributes |= marks.find(mark) != std::string::npos ? attribute : 0;
    }
    ::SetFileAttributesW(file.c_str(), attributes);
}

// The lock of folder_lock.cpp as an administrator's copy makes it: nobody else may open it.
HANDLE AdministratorsLock(const fs::path& folder)
{
    const HANDLE handle =
        ::CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\jov-enable-%08lx-%08lx%08lx", info.dwVolumeSerialNumber,
                  info.nFileIndexHigh, info.nFileIndexLow);
    SECURITY_ATTRIBUTES noAccess{sizeof noAccess, nullptr, FALSE};
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1,
                                                           &noAccess.lpSecurityDescriptor, nullptr);
    return ::CreateMutexW(&noAccess, TRUE, name);
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
    const HANDLE administrators = row.locked == 'a' ? AdministratorsLock(folder) : nullptr;
    if (row.locked == 'o') {
        std::wstring spelling = folder.wstring();
        ::CharUpperW(spelling.data());
        lock = platform::FolderLock::Acquire(Utf8(spelling), std::chrono::milliseconds(0));
        ASSERT_TRUE(lock);
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    Child running = 0;
    const fs::path heldFile = row.held != nullptr ? folder / FromUtf8(row.held) : fs::path();
    if (heldFile.extension() == ".exe") {
        // A copy of jov-switch, kept waiting for a lock held here.
        lock = platform::FolderLock::Acquire(Utf8(root), std::chrono::milliseconds(0));
        fs::copy_file(FromUtf8(JOV_SWITCH_PATH), heldFile, fs::copy_options::overwrite_existing);
        fs::create_directory(root / "running");
        running = StartChild({Utf8(heldFile), "-C", Utf8(root), "--wait", "60", "restore"},
                             {root / "running"});
    } else if (row.held != nullptr) {
        held = ::CreateFileW(heldFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }

    Outcome outcome;
    std::istringstream commands(row.args);
    for (std::string command; std::getline(commands, command, ';');) {
        outcome = command.starts_with('!') ? RunChild(Split(command.substr(1)), {root})
                                           : Switch(folder, Split(command), {root});
    }
    ::CloseHandle(held);
    ::CloseHandle(administrators);
    if (running != 0) {
        // Met at its step, not the check: access is denied, yet the file opens to be deleted.
        try {
            platform::NativeFileSystem().Remove(Utf8(heldFile));
            ADD_FAILURE() << "a running program's file was deleted";
        } catch (const platform::FsError& error) {
            EXPECT_EQ(error.Cause(), platform::FailureCause::InUse) << error.what();
        }
        KillChild(running);
    }
    EXPECT_EQ(outcome.status, row.status) << outcome.err;
    const std::string printed = outcome.out + outcome.err;
    std::istringstream says(row.says);
    for (std::string part; std::getline(says, part, '|');) {
        EXPECT_NE(printed.find(part), std::string::npos) << part << "\n" << printed;
    }
    std::multiset<std::string> after;
    for (const auto& [name, content] : Files(folder)) {
        after.insert(Marked(folder / FromUtf8(name)));
    }
    std::error_code none; // no backup folder, nothing kept
    for (const auto& kept : fs::recursive_directory_iterator(folder / "JOV_Enable-backup", none)) {
        if (kept.is_regular_file() && !Utf8(kept.path().filename()).starts_with("JOV_Enable-")) {
            after.insert("~" + Marked(kept.path(), Slurp(kept.path())));
        }
    }
    const Names expected = Split(row.after);
    EXPECT_EQ(after, std::multiset<std::string>(expected.begin(), expected.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsTest,
    ::testing::Values(
        // Hidden and system files are no plain files to delete or copy; one that stands where the
        // install writes is kept, and a restore puts it back as it was. Windows matches "*.dat"
        // against short names too: "game.data" is also "GAME~1.DAT".
        WindowsRow{"HiddenAndSystemFilesAreKept", "none",
                   "jov/panel.dat jov/ReadMe.txt jov/HURR.FLT krs/flt.cdf h:krs/hidden.cdf "
                   "s:krs/system.cdf h:README.TXT hs:HURR.FLT s:MOSQ.FLT game.data",
                   "install jov;restore", 0, "",
                   "flt.cdf game.data h:README.TXT jovo.ini s:MOSQ.FLT ~hs:HURR.FLT"},
        // One file under two names: a stock file and a set's file that stand in the game folder.
        WindowsRow{
            "HardLinksAreNoSymbolicLinks", "none",
            "krs/flt.cdf krs/HURR.FLT HURR.FLT=krs/HURR.FLT jov/panel.dat PANEL.DAT=jov/panel.dat",
            "install jov;restore", 0, "", "HURR.FLT flt.cdf jovo.ini"},
        // Explorer's Read-only on the backup's files: the program's own records are rewritten,
        // and the kept file goes back read-only.
        WindowsRow{"ReadOnlyBackupRestores", "none",
                   "jov/panel.dat jov/ReadMe.txt krs/flt.cdf README.TXT",
                   "install jov;!attrib +r JOV_Enable-backup\\* /s;restore", 0, "",
                   "flt.cdf jovo.ini r:README.TXT"},
        // Names beyond ASCII, and a kept file whose path in the backup passes 260 characters.
        WindowsRow{"LongPathsAndNamesBeyondAscii", "none",
                   "jov/Größe.dat jov/Read_me_first-JOV_Panel_Installation_und_Danksagungen.txt "
                   "krs/flt.cdf Read_me_first-JOV_Panel_Installation_und_Danksagungen.txt",
                   "install jov;-v restore", 0, "Fangemeinde\\Größe.dat",
                   "Read_me_first-JOV_Panel_Installation_und_Danksagungen.txt flt.cdf jovo.ini",
                   nullptr, 0,
                   "Jürgen/Documents/My Games/Flugsimulationen und ihre Erweiterungen/KRS 1.2 mit "
                   "allen offiziellen Patches und den Zusatzpaketen der Fangemeinde"},
        // Found before the first change, and said so.
        WindowsRow{"FileInUseIsNotReplaced", "none", "jov/a.dat jov/panel.dat PANEL.DAT",
                   "install jov", 3,
                   "Could not change \"PANEL.DAT\"|KRS Game. The file is in use by another|"
                   "once the game is closed, run the same command again",
                   "PANEL.DAT jovo.ini", "PANEL.DAT"},
        WindowsRow{"RestoreWhileThePanelRuns", "jov", "krs/flt.cdf HURR.FLT jovpanel.exe",
                   "restore", 3,
                   "Could not change \"jovpanel.exe\"|KRS Game. The file is in use by another",
                   "HURR.FLT jovo.ini jovpanel.exe", "jovpanel.exe"},
        // Found before the first change too.
        WindowsRow{"StateFileInUse", "none", "jov/panel.dat", "install jov", 3,
                   "Could not change \"jovo.ini\"|KRS Game. The file is in use by another program, "
                   "most likely the game. Nothing was changed.",
                   "jovo.ini", "jovo.ini"},
        WindowsRow{"ReadOnlyFileSaysSo", "jov", "r:HURR.FLT", "remove raf", 3,
                   "KRS Game. The file is read-only: clear \"Read-only\" in its Properties",
                   "r:HURR.FLT jovo.ini"},
        // Twins in letter case made on Linux are two files to keep, under two names.
        WindowsRow{"CaseTwinsFromLinuxAreKeptApart", "jov",
                   "krs/flt.cdf Ölkühler.flt u:ölkühler.flt", "restore", 0, "",
                   "flt.cdf jovo.ini ~Ölkühler.flt ~ölkühler.flt"},
        // Wine's short name of "hurricane-fighter.flt" is "HURR~FEK.FLT".
        WindowsRow{"ShortNameIsNoMatch", "none",
                   "jov/HURR~FEK.FLT jov/panel.dat hurricane-fighter.flt", "install jov", 3,
                   "Could not change \"HURR~FEK.FLT\"|\"hurricane-fighter.flt\" as its short "
                   "8.3 name|Nothing was changed.",
                   "hurricane-fighter.flt jovo.ini"},
        // Wine deletes and moves a link's target: refused, the shared file untouched.
        WindowsRow{"WineLinkIsNotReplacedThrough", "none", "jov/panel.dat l:PANEL.DAT",
                   "install jov", 3,
                   "Could not change \"PANEL.DAT\"|a symbolic link to /|library/PANEL.DAT|Nothing "
                   "was changed.|Linux build",
                   "PANEL.DAT jovo.ini"},
        WindowsRow{"LockUnderAnotherSpelling", "none", "jov/panel.dat", "--wait 0.3 install jov", 5,
                   "another program is working on the game folder", "jovo.ini", nullptr, 'o'},
        WindowsRow{"LockOfACopyRunningAsAdministrator", "none", "jov/panel.dat",
                   "--wait 0.3 install jov", 5, "another program is working on the game folder",
                   "jovo.ini", nullptr, 'a'}),
    [](const auto& info) { return std::string(info.param.name); });

// A scanner that lets go after its third refusal: the fourth attempt takes the file.
TEST(WindowsRetry, HeldFileIsTriedAgain)
{
    int attempts = 0;
    EXPECT_TRUE(platform::win32::RetryWhileHeld([&] {
        ::SetLastError(ERROR_SHARING_VIOLATION);
        return ++attempts == 4;
    }));
}
