#include "game_folder.h"
#include "host.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"
#include "platform/native_file_system.h"
#include "platform/path_text.h"
#include "switcher/state_file.h"
#include "switcher/switcher.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using switcher::Control;
using Calls = std::vector<std::string>;

namespace
{

// Records in one list what the switcher does to the window and the files, each call in turn, so
// a row shows their order. It can set the room on the disk, cut the power after a count of file
// operations (the data no flush covered is then lost or cut short), and let another program act
// on a file just before the first operation that touches it.
struct PowerCut
{};
class Recorder final : public switcher::SetView, public platform::ProxyFileSystem
{
public:
    Recorder() : ProxyFileSystem(native_) {}

    void SetCaption(const std::string& text) override { calls.push_back("caption " + text); }
    void SetEnabled(Control control, bool flag) override
    {
        calls.push_back(std::string(switcher::ControlName(control)) + (flag ? " on" : " off"));
    }
    void SetWindowEnabled(bool flag) override
    {
        calls.push_back(flag ? "window on" : "window off");
    }
    void ShowMessage(const std::string& text) override { calls.push_back("message " + text); }

    bool MakeFolder(const std::string& path) override
    {
        Log("mkdir", path);
        return ProxyFileSystem::MakeFolder(path);
    }
    std::string Stage(const std::string& source, const std::string& folder) override
    {
        Log("stage", source);
        std::string staged = ProxyFileSystem::Stage(source, folder);
        unflushed.insert(staged);
        return staged;
    }
    platform::Moved Move(const std::string& from, const std::string& to,
                         const std::string& handedTo) override
    {
        Log(handedTo.empty() ? "take" : "place", from, to);
        const bool fromUnflushed = unflushed.erase(from) > 0;
        const bool toUnflushed = unflushed.erase(to) > 0;
        const platform::Moved moved = ProxyFileSystem::Move(from, to, handedTo);
        // A name made before a flush may carry data that a power cut takes.
        if (fromUnflushed && moved != platform::Moved::TargetTaken) {
            unflushed.insert(to);
        }
        if (toUnflushed && moved == platform::Moved::HandedOver) {
            unflushed.insert(handedTo);
        }
        return moved;
    }
    bool Remove(const std::string& path) override
    {
        Log("remove", path);
        return ProxyFileSystem::Remove(path);
    }
    void Flush(const std::string& folder) override
    {
        Log("flush", folder);
        ProxyFileSystem::Flush(folder);
        unflushed.clear();
    }
    void WriteFile(const std::string& path, std::string_view text) override
    {
        Log(path.ends_with("jovo.ini")     ? "write " + switcher::ParseStateLine(text)
            : path.ends_with("copies.txt") ? "copies"
                                           : "record",
            path);
        ProxyFileSystem::WriteFile(path, text);
    }
    platform::Volume VolumeOf(const std::string&) override { return {free, 4096}; }

    Calls calls;
    std::uintmax_t free = std::numeric_limits<std::uintmax_t>::max();
    int operations = 0;
    int allowed = -1; // file operations until the power is cut; -1: never
    std::set<std::string> unflushed;
    // Runs once on the game folder's file of this name, before the first operation that moves
    // or removes a file of that name.
    std::map<std::string, std::function<void(const fs::path&)>> meddle;

private:
    void Log(const std::string& call, const std::string& path, const std::string& other = {})
    {
        if (allowed-- == 0) {
            throw PowerCut{};
        }
        ++operations;
        for (const std::string& touched : {path, other}) {
            const auto hook = meddle.find(Utf8(FromUtf8(touched).filename()));
            if (hook != meddle.end() && (call == "take" || call == "place" || call == "remove")) {
                const auto act = std::move(hook->second);
                const fs::path file = fs::current_path() / FromUtf8(hook->first); // the game's
                meddle.erase(hook);
                act(file);
            }
        }
        calls.push_back(call);
    }

    platform::NativeFileSystem native_;
};

// The eight calls of UpdateControls for one row of the control-state table.
Calls Row(const std::string& title, bool install, bool remove, bool countries)
{
    const auto flag = [](bool on) { return std::string(on ? " on" : " off"); };
    return {"caption JOV Enable/Disable (" + title + ")",
            "Install" + flag(install),
            "InstallOnline" + flag(install),
            "InstallTUK" + flag(install),
            "Remove" + flag(remove),
            "Country(0)" + flag(countries),
            "Country(1)" + flag(countries),
            "Country(2)" + flag(countries)};
}

const std::map<std::string, Calls> kRows{
    {"error", Row("Error", false, false, false)},
    {"none", Row("KRS Flight Models", true, false, false)},
    {"jov", Row("JOV Panel", false, true, true)},
    {"jovo", Row("JOV Online", false, true, true)},
    {"tuk", Row("TUK", false, true, false)},
};

// "off|stage*2|flush|place*2|copies|jov|flush|write jov|on": a set's word stands for its row of
// UpdateControls, "off" and "on" for the window's enabling, "x*n" for n calls x.
Calls Expand(const std::string& steps)
{
    Calls calls;
    std::istringstream in(steps);
    for (std::string step; std::getline(in, step, '|');) {
        const auto star = step.find('*');
        const int times = star == std::string::npos ? 1 : std::stoi(step.substr(star + 1));
        step = step.substr(0, star);
        for (int n = 0; n < times; ++n) {
            if (const auto row = kRows.find(step); row != kRows.end()) {
                calls.insert(calls.end(), row->second.begin(), row->second.end());
            } else {
                calls.push_back(step == "off" || step == "on" ? "window " + step : step);
            }
        }
    }
    return calls;
}

struct CommandRow
{
    const char* name;
    // Files under the game folder: "x" holds its own path, "!x" too, read-only; "x=y" is a copy
    // of the file y made before it, "x~y" the same with y's time, "x^y" has y's size and time
    // but y's bytes in capitals; "x@y" is a symbolic link to y, "x#y" a hard link to y.
    const char* before;
    const char* installed; // the state file's word before (null: no state file)
    // By blanks, after start-up (not with "script:"): "remove", a set's or air force's word,
    // "script:x" (install x as jov-switch does, its first start first), "edit:x" (the player
    // changes x), "lockbackup", "lowercase", "closebackup" (what a tool does to the backup); and
    // what another program does during the next command, just before its first operation on x:
    // "tune:x" (saves x anew), "poke:x" (writes into x), "new:x" (makes x), "gone:x" (deletes x).
    const char* command;
    const char* calls; // what the commands do, in order (see Expand); null: not checked
    // The game folder's files: "x" as before, "x=y" a copy of y (or y is "edited"), jovo.ini.
    const char* after;
    const char* recorded; // the state file's word afterwards
    const char* kept;     // the files the backup keeps, written as `after`
    int error = 0;        // the errno of a system failure that ends the command
    platform::FailureCause cause = platform::FailureCause::Other;     // or a refusal's cause
    std::uintmax_t free = std::numeric_limits<std::uintmax_t>::max(); // room on the disk
};

void RunCommand(switcher::Switcher& sw, const std::string& command)
{
    for (const auto& row : switcher::kSets) {
        if (command == (row.folder == switcher::SetFolder::Stock ? "remove" : row.word)) {
            sw.Click(row.control);
        }
        if (command == "script:" + std::string(row.word)) {
            sw.Carry(sw.Prepare(row.control));
        }
    }
    for (const auto& row : switcher::kAirForces) {
        if (command == row.word) {
            sw.Click(row.control);
        }
    }
}

class SwitcherTest : public GameFolderTest, public ::testing::WithParamInterface<CommandRow>
{
protected:
    // Files named as a row names them: "x" holds its own path, "x=y" holds y.
    static Contents Expected(const char* files, const char* recorded)
    {
        Contents expected;
        for (const std::string& entry : Split(files)) {
            const auto cut = entry.find('=');
            const std::string name = entry.substr(0, cut);
            expected[name] = platform::FoldCase(name) == "jovo.ini" ? switcher::StateLine(recorded)
                             : cut == std::string::npos             ? name
                                                                    : entry.substr(cut + 1);
        }
        return expected;
    }

    // The files the backup keeps, each listed in its run's record.
    Contents Kept() const
    {
        Contents kept;
        if (!Exists("JOV_Enable-backup")) {
            return kept;
        }
        for (const auto& run : fs::directory_iterator(Under("JOV_Enable-backup"))) {
            if (!run.is_directory() || run.path().filename() == "JOV_Enable-copies.txt") {
                continue; // the list of copies, or a folder in its place
            }
            const std::string record = Slurp(run.path() / "JOV_Enable-kept.txt");
            EXPECT_EQ(std::count(record.begin(), record.end(), '\n'),
                      std::count(record.begin(), record.end(), '\r'));
            for (auto [name, content] : Files(run.path())) {
                if (name != "JOV_Enable-kept.txt") {
                    EXPECT_NE(record.find("\t" + name + "\t"), std::string::npos)
                        << name << " is not in the record";
                    kept[name] = content;
                }
            }
        }
        return kept;
    }
};

std::string RowName(const ::testing::TestParamInfo<CommandRow>& info)
{
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

} // namespace

TEST_P(SwitcherTest, CommandDoesItsStepsInOrder)
{
    const CommandRow& row = GetParam();
    for (const std::string& entry : Split(row.before)) {
        const auto cut = entry.find_first_of("=~^@#");
        const fs::path file = Under(entry.substr(0, cut)), of = Under(entry.substr(cut + 1));
        if (entry.starts_with('!')) {
            WriteReadOnly(entry.substr(1), entry.substr(1));
        } else if (cut == std::string::npos) {
            Write(entry, entry);
        } else if (entry[cut] == '@') {
            fs::create_symlink(entry.substr(cut + 1), file);
        } else if (entry[cut] == '#') {
            fs::create_hard_link(of, file);
        } else {
            std::string bytes = Slurp(of);
            std::transform(bytes.begin(), bytes.end(), bytes.begin(), ::toupper);
            entry[cut] == '^' ? Write(entry.substr(0, cut), bytes) : (void)fs::copy_file(of, file);
            if (entry[cut] != '=') { // whole seconds: what every platform sets
                const auto time = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(of));
                fs::last_write_time(of, time);
                fs::last_write_time(file, time);
            }
        }
    }
    if (row.installed != nullptr) {
        Record(row.installed);
    }
    Recorder recorder;
    switcher::Switcher sw(recorder, recorder);
    std::optional<platform::FsError> failure;
    bool closed = false;
    try {
        if (!std::string(row.command).starts_with("script:")) {
            sw.Start();
        }
        recorder.free = row.free;
        for (const std::string& command : Split(row.command)) {
            const std::string verb = command.substr(0, command.find(':'));
            const std::string file = command.substr(command.find(':') + 1);
            if (verb == "edit") {
                Write(file, "edited");
            } else if (verb == "tune" || verb == "poke" || verb == "new" || verb == "gone") {
                // Saved anew is another file under the name; written into, the same file.
                recorder.meddle[file] = [verb](const fs::path& at) {
                    const fs::path written = verb == "tune" ? fs::path(at.string() + ".new") : at;
                    std::ofstream(written, std::ios::binary) << (verb == "tune"   ? "tuned"
                                                                 : verb == "poke" ? "poked"
                                                                                  : "mine");
                    if (verb == "tune") {
                        fs::rename(written, at);
                    } else if (verb == "gone") {
                        fs::remove(at);
                    }
                };
            } else if (command == "lockbackup") {
                for (const auto& kept :
                     fs::recursive_directory_iterator(Under("JOV_Enable-backup"))) {
                    if (kept.is_regular_file()) {
                        fs::permissions(kept.path(), fs::perms::owner_read);
                    }
                }
            } else if (command == "closebackup") { // immutable, which binds root too
                const std::string chattr = "chattr +i \"" + Path("JOV_Enable-backup") + "\"";
                if (std::system(chattr.c_str()) != 0) {
                    GTEST_SKIP() << "needs chattr on a file system that takes it";
                }
                closed = true;
            } else if (command == "lowercase") { // as a tool that lower-cases every name does
                fs::rename(Under("JOV_Enable-backup"), Under("jov_enable-backup"));
                for (const auto& kept :
                     fs::recursive_directory_iterator(Under("jov_enable-backup"))) {
                    std::string name = Utf8(kept.path().filename());
                    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
                    fs::rename(kept.path(), kept.path().parent_path() / name);
                }
            } else {
                recorder.calls.clear();
                RunCommand(sw, command);
            }
        }
    } catch (const platform::FsError& error) {
        failure = error;
    }
    if (closed) {
        EXPECT_EQ(std::system(("chattr -i \"" + Path("JOV_Enable-backup") + "\"").c_str()), 0);
    }
    const bool fails = row.error != 0 || row.cause != platform::FailureCause::Other;
    ASSERT_EQ(failure.has_value(), fails) << (failure ? failure->what() : "no failure");
    if (failure) {
        EXPECT_EQ(failure->Number(), row.error == 0 ? 0 : platform::FromErrno(row.error).number);
        EXPECT_EQ(failure->Cause(), row.cause);
    }
    if (row.calls != nullptr) {
        EXPECT_EQ(recorder.calls, Expand(row.calls));
    }
    EXPECT_EQ(Files(), Expected(row.after, row.recorded));
    EXPECT_EQ(Kept(), Expected(row.kept, row.recorded));
}

using enum platform::FailureCause;
const CommandRow kCommands[] = {
    // The restore keeps the player's own files of the cleared types, with a record.
    {"first start",
     "HURR.FLT a.dat b.STR c.mpc d.Cpt e.3DZ JovPanel.EXE flt.cdf DATA.cdf readme.txt .hidden.dat "
     "sub/x.dat krs/FLT.CDF krs/DATA.CDF krs/notes.txt krs/extras/inner.cdf krs/.secret.cdf",
     nullptr, "",
     "off|mkdir*2|record|flush|take*9|stage*3|flush|place*3|copies|flush|write none|none|on",
     ".hidden.dat DATA.CDF=krs/DATA.CDF FLT.CDF=krs/FLT.CDF jovo.ini notes.txt=krs/notes.txt "
     "readme.txt",
     "none", "HURR.FLT a.dat b.STR c.mpc d.Cpt e.3DZ JovPanel.EXE flt.cdf DATA.cdf"},
    // What is in place already stays: a stock game is a stock game.
    {"first start in a stock game", "krs/FLT.CDF FLT.CDF~krs/FLT.CDF", nullptr, "",
     "off|mkdir|copies|flush|write none|none|on", "FLT.CDF=krs/FLT.CDF jovo.ini", "none", ""},
    // Start-up with a state file shows its word, compared exactly, and touches nothing.
    {"start with JOV", "a.dat", "JOV", "", "error", "a.dat jovo.ini", "JOV", ""},
    // A stock folder without a .cdf file does not count.
    {"first start without stock set", "a.dat krs/FLT.TXT", nullptr, "",
     "off|message KRS folder does not exist!|flush|write none|none|on", "a.dat jovo.ini", "none",
     ""},
    {"restore", "hurr.flt FLT.cdf krs/FLT.CDF", "jov", "remove",
     "off|mkdir*2|record|flush|take*2|stage|flush|place|copies|none|flush|write none|on",
     "FLT.CDF=krs/FLT.CDF jovo.ini", "none", "FLT.cdf hurr.flt"},
    {"restore without stock set", "tuk.cdf", "tuk", "remove",
     "off|message KRS folder does not exist!|none|flush|write none|on", "jovo.ini tuk.cdf", "none",
     ""},
    {"install JOV Panel",
     "HURR.flt readme.txt jov/hurr.FLT jov/Panel.DAT jov/jovpanel.exe jov/jovo.ini jov/.hidden.dat "
     "jov/extras/deep.dat",
     "none", "jov",
     "off|mkdir*2|record|flush|stage*4|flush|place*3|remove|place|copies|jov|flush|write jov|on",
     "HURR.flt=jov/hurr.FLT Panel.DAT=jov/Panel.DAT jovpanel.exe=jov/jovpanel.exe jovo.ini "
     "readme.txt",
     "jov", "HURR.flt"},
    // The player's edit of a replaced file stays, and its original stays kept. Within one
    // second, runs are put back in the order they ran.
    {"install jovo, restore after an edit, install jov, restore",
     "README.TXT jovo/ReadMe.txt jovo/a.dat jov/ReadMe.txt jov/a.dat krs/flt.cdf", "none",
     "jovo edit:README.TXT remove jov remove", nullptr,
     "README.TXT=edited flt.cdf=krs/flt.cdf jovo.ini", "none", "README.TXT"},
    // A look-alike with a set file's name, size and time is kept; a copy made by hand goes.
    {"restore beside a look-alike and a copy by hand",
     "jov/hurr.flt jov/sp09.flt HURR.FLT^jov/hurr.flt SP09.FLT~jov/sp09.flt krs/f.cdf", "jov",
     "remove", nullptr, "f.cdf=krs/f.cdf jovo.ini", "none", "HURR.FLT=JOV/HURR.FLT"},
    {"five cycles keep no more than the first",
     "README.TXT own.flt jov/ReadMe.txt jov/a.dat krs/flt.cdf", nullptr,
     "jov remove jov remove jov remove jov remove jov remove", nullptr,
     "README.TXT flt.cdf=krs/flt.cdf jovo.ini", "none", "own.flt"},
    // A set is recognised by a file of its own type, not by any file.
    {"TUK without a .cdf file", "tuk/flt.dat", "none", "tuk", "message Cannot find TUK directory.",
     "jovo.ini", "none", ""},
    {"JOV Panel without a .dat file", "jov/x.flt jov/a.cdf", "none", "jov",
     "message Cannot find JOV directory.", "jovo.ini", "none", ""},
    {"RAF", "HURR.FLT Mosq.flt sp2a.flt SP09.flt sp14.FLT b24a.flt hurr.flt.bak .mosq.flt", "jov",
     "raf", "Country(0) off|off|mkdir*2|record|flush|take*5|on",
     ".mosq.flt b24a.flt hurr.flt.bak jovo.ini", "jov",
     "HURR.FLT Mosq.flt SP09.flt sp14.FLT sp2a.flt"},
    {"USAAF", "B24A.FLT b26a.flt bb17.flt p47c.flt p47d.flt p51b.flt p51d.flt hurr.flt", "jov",
     "usaaf", "Country(1) off|off|mkdir*2|record|flush|take*7|on", "hurr.flt jovo.ini", "jov",
     "B24A.FLT b26a.flt bb17.flt p47c.flt p47d.flt p51b.flt p51d.flt"},
    {"Luftwaffe",
     "110c.flt 110g.flt 190a.flt 190d.flt 109e.flt 109g.flt 109k.flt 262a.flt H111.FLT j88a.flt "
     "ju87.flt m410.flt",
     "jovo", "luftwaffe", "Country(2) off|off|mkdir*2|record|flush|take*12|on", "jovo.ini", "jovo",
     "110c.flt 110g.flt 190a.flt 190d.flt 109e.flt 109g.flt 109k.flt 262a.flt H111.FLT j88a.flt "
     "ju87.flt m410.flt"},
    {"an air force none of whose files is there", "hurr.flt", "jov", "usaaf",
     "Country(1) off|off|on", "hurr.flt jovo.ini", "jov", ""},
    // A read-only file to delete, replace or put back refuses the command before any change.
    {"restore refused by a read-only file", "krs/flt.cdf a.dat !b.dat c.dat x.str", "jov", "remove",
     "off", "a.dat b.dat c.dat jovo.ini x.str", "jov", "", 0, ReadOnly},
    {"first start refused by a read-only game file", "!FLT.CDF krs/FLT.CDF", nullptr, "", "off",
     "FLT.CDF", "", "", 0, ReadOnly},
    // The first start that jov-switch needs is checked with the command, before either.
    {"a script's first start refused with its command",
     "!README.TXT mine.flt jov/ReadMe.txt jov/a.dat krs/flt.cdf", nullptr, "script:jov", "",
     "README.TXT mine.flt", "", "", 0, ReadOnly},
    // The backup's files are the program's and the player's own: read-only, they still go
    // back, and what goes back stays read-only.
    {"restore from a backup made read-only", "README.TXT jov/ReadMe.txt jov/a.dat krs/flt.cdf",
     "none", "jov lockbackup remove", nullptr, "README.TXT flt.cdf=krs/flt.cdf jovo.ini", "none",
     ""},
    // The backup is found in any letter case, its folder and kept files alike.
    {"restore from a backup whose names were lower-cased",
     "README.TXT jov/ReadMe.txt jov/a.dat krs/flt.cdf", "none", "jov lowercase remove", nullptr,
     "README.TXT flt.cdf=krs/flt.cdf jovo.ini", "none", ""},
    // A file changed, made or gone after the plan: what stands there when its step comes is
    // kept unless it is the file planned, and a file already gone counts as gone.
    {"a model saved anew during the restore is kept", "jov/HURR.FLT jov/a.dat krs/flt.cdf", "none",
     "jov tune:HURR.FLT remove", nullptr, "flt.cdf=krs/flt.cdf jovo.ini", "none", "HURR.FLT=tuned"},
    {"a file the player makes where the install adds one is kept", "jov/sp09.flt jov/a.dat", "none",
     "new:sp09.flt jov", nullptr, "a.dat=jov/a.dat jovo.ini sp09.flt=jov/sp09.flt", "jov",
     "sp09.flt=mine"},
    {"a copy by its bytes replaced by the player during the install is kept",
     "jov/ReadMe.txt jov/a.dat README.TXT=jov/ReadMe.txt", "none", "tune:README.TXT jov", nullptr,
     "README.TXT=jov/ReadMe.txt a.dat=jov/a.dat jovo.ini", "jov", "README.TXT=tuned"},
    {"a set's copy written into during the put-back is kept",
     "README.TXT jov/ReadMe.txt jov/a.dat krs/flt.cdf", "none", "jov poke:README.TXT remove",
     nullptr, "README.TXT flt.cdf=krs/flt.cdf jovo.ini", "none", "README.TXT=poked"},
    {"a file gone before the restore takes it", "jov/HURR.FLT jov/a.dat krs/flt.cdf", "none",
     "jov gone:HURR.FLT remove", nullptr, "flt.cdf=krs/flt.cdf jovo.ini", "none", ""},
    // Where something other than a file stands at a name the command writes, it refuses
    // before any change.
    {"a folder where the list of copies belongs",
     "JOV_Enable-backup/JOV_Enable-copies.txt/x jov/a.dat", "none", "jov", "off", "jovo.ini",
     "none", "", 0, Occupied},
    {"a folder with a set file's name", "sp09.flt/x jov/sp09.flt jov/a.dat", "none", "jov", "off",
     "jovo.ini", "none", "", 0, Occupied},
    // Room is counted in 4 KiB blocks, a block more for each name, at the peak of the steps
    // in their order: the three copies written aside are all on disk at once; the player's
    // file they replace is kept, which frees nothing. 14 blocks for the install, 12 for the
    // restore.
    {"install with too little room", "jov/a.dat jov/b.dat jov/c.dat B.DAT", "none", "jov", "off",
     "B.DAT jovo.ini", "none", "", 0, NoRoom, 14 * 4096 - 1},
    {"install with just enough room", "jov/a.dat jov/b.dat jov/c.dat B.DAT", "none", "jov", nullptr,
     "B.DAT=jov/b.dat a.dat=jov/a.dat c.dat=jov/c.dat jovo.ini", "jov", "B.DAT", 0, Other,
     14 * 4096},
    {"restore with too little room", "a.dat b.dat c.dat krs/data.cdf krs/flt.cdf", "jov", "remove",
     "off", "a.dat b.dat c.dat jovo.ini", "jov", "", 0, NoRoom, 12 * 4096 - 1},
    {"restore with just enough room", "a.dat b.dat c.dat krs/data.cdf krs/flt.cdf", "jov", "remove",
     nullptr, "data.cdf=krs/data.cdf flt.cdf=krs/flt.cdf jovo.ini", "none", "a.dat b.dat c.dat", 0,
     Other, 12 * 4096},
};
INSTANTIATE_TEST_SUITE_P(Commands, SwitcherTest, ::testing::ValuesIn(kCommands), RowName);

#ifndef _WIN32
// Links, and a file and a folder whose names differ only in case: POSIX file systems only.
const CommandRow kPosixCommands[] = {
    // A set's folder or file that reaches the game's own through a symbolic link refuses
    // the restore: removing the game's name would leave the link pointing at nothing. A hard
    // link is two names of one file, and the set folder keeps it.
    {"a stock folder that is the game folder", "FLT.CDF a.dat mine.flt jov/b.dat ../up.cdf krs@.",
     "jov", "remove", "off", "FLT.CDF a.dat jovo.ini mine.flt", "jov", "", 0, SameFile},
    {"a stock folder above the game folder", "FLT.CDF a.dat mine.flt jov/b.dat ../up.cdf krs@..",
     "jov", "remove", "off", "FLT.CDF a.dat jovo.ini mine.flt", "jov", "", 0, SameFile},
    {"a set folder that is the game folder", "FLT.CDF a.dat mine.flt krs/c.cdf ../up.cdf jov@.",
     "jov", "remove", "off", "FLT.CDF a.dat jovo.ini mine.flt", "jov", "", 0, SameFile},
    {"a set file that links to a game file",
     "FLT.CDF a.dat mine.flt jov/b.dat krs/c.cdf jov/MINE.FLT@../mine.flt", "jov", "remove", "off",
     "FLT.CDF a.dat jovo.ini mine.flt", "jov", "", 0, SameFile},
    {"a set file that is a hard link to a game file",
     "FLT.CDF a.dat mine.flt jov/b.dat krs/c.cdf jov/MINE.FLT#mine.flt", "jov", "remove", nullptr,
     "c.cdf=krs/c.cdf jovo.ini", "none", "FLT.CDF a.dat"},
    {"restore into a state file in capitals beside a folder jovo.ini",
     "JOVO.INI jovo.ini/x krs/flt.cdf", nullptr, "remove", nullptr, "JOVO.INI flt.cdf=krs/flt.cdf",
     "none", ""},
    // The delete acts on the file the listing found, not on a folder of the same name.
    {"RAF beside a folder hurr.flt", "HURR.FLT hurr.flt/x", "jov", "raf",
     "Country(0) off|off|mkdir*2|record|flush|take|on", "jovo.ini", "jov", "HURR.FLT"},
    // A backup folder that takes no new files (immutable) refuses before any change.
    {"restore refused by a closed backup folder", "README.TXT jov/ReadMe.txt jov/a.dat krs/flt.cdf",
     "none", "jov closebackup remove", "off", "README.TXT=jov/ReadMe.txt a.dat=jov/a.dat jovo.ini",
     "jov", "README.TXT", EPERM},
    // A copy replaces the file of its own name where one differs only in case.
    {"install beside two case variants", "HURR.FLT hurr.flt jov/a.dat jov/hurr.flt", "none", "jov",
     "off|mkdir*2|record|flush|stage*2|flush|place*2|copies|jov|flush|write jov|on",
     "HURR.FLT a.dat=jov/a.dat hurr.flt=jov/hurr.flt jovo.ini", "jov", "hurr.flt"},
};
INSTANTIATE_TEST_SUITE_P(Posix, SwitcherTest, ::testing::ValuesIn(kPosixCommands), RowName);
#endif

#ifndef _WIN32
// A kept name at the length limit that needs " (2)" shortens its stem.
TEST_F(SwitcherTest, KeptNamesAtTheLengthLimitShortenTheirStem)
{
    const std::string stem(251, 'a');
    Write(std::string(251, 'A') + ".FLT");
    Write(stem + ".flt");
    Write("krs/flt.cdf");
    Record("jov");
    Recorder recorder;
    switcher::Switcher sw(recorder, recorder);
    sw.Start();
    sw.Remove_Click();
    EXPECT_EQ(Kept().count(stem.substr(0, 247) + " (2).flt"), 1u);
}
#endif

// Power cuts: each command stopped after every prefix of its file operations, the data no flush
// covered lost or cut short. No file under a game name or in the backup is ever torn, the rerun
// loses nothing and ends as the command would, and a restore after an install puts back what the
// install replaced: the record was on disk before the first change.
TEST_F(SwitcherTest, EveryCrashStateLosesNothingAndTheRerunEndsTheCommand)
{
    const Contents sets{{"jov/HURR.FLT", "the set's Hurricane"},
                        {"jov/ReadMe.txt", "set notes"},
                        {"jov/PANEL.DAT", "the panel"},
                        {"krs/FLT.CDF", "stock models"},
                        {"krs/DATA.CDF", "stock data"}};
    const struct
    {
        const char* name;
        const char* installed; // null: a first start
        Control command;
        Contents players; // the player's own in the game folder
    } loads[] = {
        {"first start", nullptr, Control::Remove, {{"FLT.CDF", "add-on"}, {"mine.flt", "m"}}},
        {"install over the player's files",
         "none",
         Control::Install,
         {{"FLT.CDF", "stock models"}, {"README.TXT", "the game's"}, {"HURR.FLT", "my model"}}},
        {"restore with a put-back", "jov", Control::Remove, {{"README.TXT", "the game's"}}},
        {"an air force's removal", "jov", Control::Country0, {{"SP09.FLT", "my Spitfire"}}},
    };
    std::set<std::string> whole; // what any file may hold whole
    for (const auto& load : loads) {
        for (const auto& files : {sets, load.players}) {
            std::transform(files.begin(), files.end(), std::inserter(whole, whole.end()),
                           [](const auto& file) { return file.second; });
        }
    }
    // Runs the workload, cut after `allowed` operations (-1: never); returns how many it made.
    const auto run = [&](const auto& load, int allowed, bool cut) {
        Clear();
        for (const auto& files : {sets, load.players}) {
            for (const auto& [name, content] : files) {
                Write(name, content);
            }
        }
        Recorder recorder;
        if (load.installed != nullptr) {
            Record(load.installed);
            if (std::string(load.installed) == "jov") { // the install that put the set in
                switcher::Switcher(recorder, recorder).Install_Click();
            }
        }
        recorder.operations = 0;
        recorder.allowed = allowed;
        try {
            switcher::Switcher sw(recorder, recorder);
            sw.Start();
            if (load.installed != nullptr) {
                sw.Click(load.command);
            }
        } catch (const PowerCut&) {
        }
        for (const std::string& copy : recorder.unflushed) {
            if (fs::exists(FromUtf8(copy))) {
                fs::resize_file(FromUtf8(copy), cut ? fs::file_size(FromUtf8(copy)) / 2 : 0);
            }
        }
        return recorder.operations;
    };
    int states = 0;
    for (const auto& load : loads) {
        const int operations = run(load, -1, false);
        const Contents done = Files();
        for (int allowed = 0; allowed <= operations; ++allowed) {
            for (const bool cut : {false, true}) {
                SCOPED_TRACE(std::string(load.name) + ", cut after operation " +
                             std::to_string(allowed) + (cut ? ", writes cut short" : ""));
                ++states;
                run(load, allowed, cut);
                const std::string word = Read("jovo.ini");
                EXPECT_TRUE(word.empty() || word == "\"none\"\r\n" || word == "\"jov\"\r\n");
                // Under a game name and in the backup, every file is whole: only the program's
                // own temporaries may be cut short.
                for (const auto& entry : fs::recursive_directory_iterator(game)) {
                    const std::string name = Utf8(entry.path().filename());
                    if (entry.is_regular_file() && !platform::TemporaryOwner(name) &&
                        !name.starts_with("JOV_Enable-") && name != "jovo.ini") {
                        EXPECT_TRUE(whole.contains(Slurp(entry.path()))) << name << " is torn";
                    }
                }
                Recorder recorder;
                switcher::Switcher sw(recorder, recorder);
                sw.Start();
                if (load.installed != nullptr && word == switcher::StateLine(load.installed)) {
                    sw.Click(load.command);
                }
                EXPECT_EQ(Files(), done);
                if (load.command == Control::Install) {
                    sw.Remove_Click();
                    EXPECT_EQ(Read("README.TXT"), "the game's") << "not put back";
                }
                // Nothing of the stopped run stays but what it keeps: no temporary, no run
                // folder holding only its record.
                std::set<std::pair<std::string, std::string>> held;
                for (const auto& entry : fs::recursive_directory_iterator(game)) {
                    const std::string name = Utf8(entry.path().filename());
                    EXPECT_FALSE(platform::TemporaryOwner(name)) << name;
                    EXPECT_TRUE(!entry.is_directory() || !fs::is_empty(entry.path())) << name;
                    if (entry.is_regular_file()) {
                        held.insert({name, Slurp(entry.path())});
                    }
                }
                for (const auto& kept : fs::directory_iterator(Under("JOV_Enable-backup"))) {
                    EXPECT_TRUE(!kept.is_directory() || Files(kept.path()).size() > 1)
                        << Utf8(kept.path()) << " keeps nothing";
                }
                for (const auto& file : load.players) {
                    EXPECT_TRUE(held.contains(file)) << file.first << " is lost";
                }
            }
        }
    }
    // Fewer states would mean fewer operations looked at, not fewer faults.
    EXPECT_GE(states, 112);
    std::cout << states << " crash states checked\n";
}

// Many cycles on one folder: the same files every time, no handle left open, no memory kept.
TEST_F(SwitcherTest, SoakTwoHundredCyclesLeaveTheSameFilesAndNothingBehind)
{
    Write("JOV/M.DAT", std::string(2000, 'j'));
    Write("KRS/FLT.CDF", "stock flight models");
    Recorder recorder;
    switcher::Switcher sw(recorder, recorder);
    sw.Start();
    const auto stock = Files();
    std::size_t handles = 0;
    std::size_t allocated = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        recorder.calls.clear();
        sw.Install_Click();
        sw.Remove_Click();
        ASSERT_EQ(Files(), stock) << "cycle " << cycle;
        if (cycle == 20) {
            handles = OpenHandles();
            allocated = AllocatedBytes();
        }
    }
    EXPECT_EQ(OpenHandles(), handles);
    EXPECT_LE(AllocatedBytes(), allocated + 16 * 1024) << "heap grew from " << allocated;
}
