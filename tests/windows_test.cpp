#include "game_folder.h"
#include "host.h"

#include "platform/folder_lock.h"
#include "platform/native_file_system.h"
#include "platform/win32/common.h"

#include <sddl.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <thread>

// What differs on Windows, through jov-switch as a player's script runs it: the hidden and system
// attributes, long names against their short 8.3 names, names beyond ASCII, files in use for a
// while or for good, the folder lock under another spelling of the folder or made by a copy
// running as administrator, and, under Wine, names and links made on the Linux side.
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
    const char* says;           // found in what jov-switch prints, each part between "|"
    const char* after;          // the game folder's files afterwards, marked as `before`
    const char* held = nullptr; // a file held open meanwhile, as a running game does; a
                                // program (.exe) runs from it instead
    int heldFor = 0;            // milliseconds until it is let go, as a scanner does; 0: never
    // The folder lock is held meanwhile: 'o' under another spelling of the folder, 'a' by a copy
    // running as administrator, whose lock this user may not open.
    char locked = 0;
};

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

// Wine's Unix name of a path.
std::string UnixName(const fs::path& path)
{
    using GetUnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName =
        platform::win32::SystemFunction<GetUnixName>(L"kernel32.dll", "wine_get_unix_file_name");
    char* name = unixName(path.c_str());
    const std::string text(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return text;
}

// "u:NAME" is written from the Linux side, in the exact letter case; "l:NAME" is a Linux
// symbolic link to a file of that name in a shared "library" folder beside the game folder.
void WriteMarked(const fs::path& folder, const std::string& entry)
{
    const auto colon = entry.find(':');
    const std::string marks = colon == std::string::npos ? "" : entry.substr(0, colon);
    const std::string name = entry.substr(colon == std::string::npos ? 0 : colon + 1);
    fs::path file = folder / FromUtf8(name);
    fs::create_directories(file.parent_path());
    if (marks == "l") {
        const fs::path shared = folder.parent_path() / "library" / FromUtf8(name);
        fs::create_directories(shared.parent_path());
        std::ofstream(shared, std::ios::binary) << name;
        std::wstring command =
            FromUtf8("ln -s \"" + UnixName(shared) + "\" \"" + UnixName(folder) + "/" + name + "\"")
                .wstring();
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(::CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &process));
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return;
    }
    if (marks == "u") {
        std::string unixPath = "\\\\?\\unix" + UnixName(folder) + "/" + name;
        std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
        file = FromUtf8(unixPath);
    }
    std::ofstream(file, std::ios::binary) << name;
    DWORD attributes = 0;
    for (const auto& [mark, attribute] : kMarks) {
        attributes |= marks.find(mark) != std::string::npos ? attribute : 0;
    }
    if (attributes != 0) {
        ::SetFileAttributesW(file.c_str(), attributes);
    }
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
        std::string spelling = Utf8(folder);
        std::transform(spelling.begin(), spelling.end(), spelling.begin(), [](char c) {
            return c == '\\' ? '/' : c >= 'a' && c <= 'z' ? c - 32 : c;
        });
        lock = platform::FolderLock::Acquire(spelling, std::chrono::milliseconds(0));
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
    std::jthread letGo;
    if (row.heldFor > 0) {
        letGo = std::jthread([&] {
            ::Sleep(row.heldFor);
            ::CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
        });
    }

    const Outcome outcome = Switch(folder, Split(row.args), {root});
    if (letGo.joinable()) {
        letGo.join();
    }
    ::CloseHandle(held);
    ::CloseHandle(administrators);
    if (running != 0) {
        // Met at its step, as when the program starts after the check: Windows refuses the delete
        // with access denied, and yet the file can be opened to be deleted.
        try {
            platform::NativeFileSystem().RemoveFile(Utf8(heldFile));
            ADD_FAILURE() << "a running program's file was deleted";
        } catch (const platform::FsError& error) {
            EXPECT_EQ(error.Cause(), platform::FailureCause::InUse) << error.what();
        }
        KillChild(running);
    }
    EXPECT_EQ(outcome.status, row.status) << outcome.err;
    std::istringstream says(row.says);
    for (std::string part; std::getline(says, part, '|');) {
        EXPECT_NE((outcome.out + outcome.err).find(part), std::string::npos)
            << part << "\n"
            << outcome.out << outcome.err;
    }
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
        // The running game holds a file: found before the first change, and said so.
        WindowsRow{"FileInUseIsNotReplaced", "KRS Game", "none",
                   "jov/a.dat jov/panel.dat PANEL.DAT", "install jov", 3,
                   "Could not change \"PANEL.DAT\"|KRS Game. The file is in use by another|"
                   "once the game is closed, run the same command again",
                   "PANEL.DAT jovo.ini", "PANEL.DAT"},
        WindowsRow{"RestoreWhileTheGameRuns", "KRS Game", "jov", "krs/flt.cdf HURR.FLT SP2A.FLT",
                   "restore", 3,
                   "Could not change \"SP2A.FLT\"|KRS Game. The file is in use by another",
                   "HURR.FLT SP2A.FLT jovo.ini", "SP2A.FLT"},
        WindowsRow{"RestoreWhileThePanelRuns", "KRS Game", "jov",
                   "krs/flt.cdf HURR.FLT jovpanel.exe", "restore", 3,
                   "Could not change \"jovpanel.exe\"|KRS Game. The file is in use by another",
                   "HURR.FLT jovo.ini jovpanel.exe", "jovpanel.exe"},
        // A scanner lets go after a moment.
        WindowsRow{"FileHeldForAMomentIsReplaced", "KRS Game", "none",
                   "jov/a.dat jov/panel.dat PANEL.DAT", "install jov", 0, "",
                   "PANEL.DAT a.dat jovo.ini", "PANEL.DAT", 1000},
        // A held state file, and an air force's file, are found before the first change.
        WindowsRow{"StateFileInUse", "KRS Game", "none", "jov/panel.dat", "install jov", 3,
                   "Could not change \"jovo.ini\"|KRS Game. The file is in use by another program, "
                   "most likely the game. Nothing was changed.",
                   "jovo.ini", "jovo.ini"},
        WindowsRow{"AirForceFileInUse", "KRS Game", "jov", "HURR.FLT", "remove raf", 3,
                   "Could not change \"HURR.FLT\"|KRS Game. The file is in use by another program, "
                   "most likely the game. Nothing was changed.",
                   "HURR.FLT jovo.ini", "HURR.FLT"},
        WindowsRow{"ReadOnlyFileSaysSo", "KRS Game", "jov", "r:HURR.FLT", "remove raf", 3,
                   "KRS Game. The file is read-only: clear \"Read-only\" in its Properties",
                   "r:HURR.FLT jovo.ini"},
        // Twins in letter case made on Linux are two files to keep, under two names.
        WindowsRow{"CaseTwinsFromLinuxAreKeptApart", "KRS Game", "jov",
                   "krs/flt.cdf Ölkühler.flt u:ölkühler.flt", "restore", 0, "", "flt.cdf jovo.ini"},
        // Wine's short name of "hurricane-fighter.flt" is "HURR~FEK.FLT".
        WindowsRow{"ShortNameIsNoMatch", "KRS Game", "none",
                   "jov/HURR~FEK.FLT jov/panel.dat hurricane-fighter.flt", "install jov", 3,
                   "Could not change \"HURR~FEK.FLT\"|\"hurricane-fighter.flt\" as its short "
                   "8.3 name|Nothing was changed.",
                   "hurricane-fighter.flt jovo.ini"},
        // Wine deletes and moves a link's target: refused, the shared file untouched.
        WindowsRow{"WineLinkIsNotDeletedThrough", "KRS Game", "jov", "krs/flt.cdf l:HURR.FLT",
                   "restore", 3,
                   "Could not change \"HURR.FLT\"|a symbolic link to /|Nothing was changed.",
                   "HURR.FLT jovo.ini"},
        WindowsRow{"InstallOverAWineLink", "KRS Game", "none", "jov/panel.dat l:PANEL.DAT",
                   "install jov", 3, "a symbolic link to /|library/PANEL.DAT|Linux build",
                   "PANEL.DAT jovo.ini"},
        WindowsRow{"LockUnderAnotherSpelling", "KRS Game", "none", "jov/panel.dat",
                   "--wait 0.3 install jov", 5, "another program is working on the game folder",
                   "jovo.ini", nullptr, 0, 'o'},
        WindowsRow{"LockOfACopyRunningAsAdministrator", "KRS Game", "none", "jov/panel.dat",
                   "--wait 0.3 install jov", 5, "another program is working on the game folder",
                   "jovo.ini", nullptr, 0, 'a'}),
    [](const auto& info) { return std::string(info.param.name); });
