#include "game_folder.h"

#include "platform/fs_error.h"
#include "platform/native_file_system.h"
#include "switcher/switcher.h"

#include <set>

// Power cuts, not only kills: a command is stopped after every prefix of its file operations,
// and the copies written since the last flush to disk are then lost or cut short, as a power cut
// leaves them, while the names made before them stand. From each such state the next start and
// the same command must lose none of the player's files and end as the command would have.
namespace
{

namespace fs = std::filesystem;
using switcher::Control;

struct PowerCut
{};

// Carries out the file operations up to a count, then fails as the power would; remembers the
// copies no flush has covered yet.
class Journal final : public platform::ProxyFileSystem
{
public:
    Journal(platform::FileSystem& inner, int allowed) : ProxyFileSystem(inner), left_(allowed) {}

    void CopyFileReplacing(const std::string& source, const std::string& destination) override
    {
        Step([&] { ProxyFileSystem::CopyFileReplacing(source, destination); });
        unflushed.insert(ProxyFileSystem::Absolute(destination));
    }
    void WriteTextFile(const std::string& path, std::string_view text) override
    {
        Step([&] { ProxyFileSystem::WriteTextFile(path, text); });
    }
    void RemoveFile(const std::string& name) override
    {
        Step([&] { ProxyFileSystem::RemoveFile(name); });
    }
    void KeepFile(const std::string& path, const std::string& kept, platform::Keeping how) override
    {
        Step([&] { ProxyFileSystem::KeepFile(path, kept, how); });
    }
    void PutBack(const std::string& kept, const std::string& path) override
    {
        Step([&] { ProxyFileSystem::PutBack(kept, path); });
    }
    bool MakeFolder(const std::string& path) override
    {
        bool made = false;
        Step([&] { made = ProxyFileSystem::MakeFolder(path); });
        return made;
    }
    void FlushToDisk(const std::string& folder) override
    {
        Step([&] { ProxyFileSystem::FlushToDisk(folder); });
        unflushed.clear();
    }

    int done = 0;
    std::set<std::string> unflushed;

private:
    template <typename Operation> void Step(Operation operation)
    {
        if (left_-- == 0) {
            throw PowerCut{};
        }
        operation();
        ++done;
    }

    int left_;
};

class NullView final : public switcher::SetView
{
public:
    void SetCaption(const std::string&) override {}
    void SetEnabled(Control, bool) override {}
    void SetWindowEnabled(bool) override {}
    void ShowMessage(const std::string&) override {}
};

struct Workload
{
    const char* name;
    const char* installed; // null: a first start
    Control command;
    Contents set;     // the set folders' files, and the stock copies in the game folder
    Contents players; // the player's own in the game folder
};

class CrashTest : public GameFolderTest
{
protected:
    // Lays out the workload; returns how many operations the command made.
    int Run(const Workload& load, int allowed, bool cut)
    {
        Clear();
        for (const auto& files : {load.set, load.players}) {
            for (const auto& [name, content] : files) {
                Write(name, content);
            }
        }
        platform::NativeFileSystem native;
        NullView view;
        if (load.installed != nullptr) {
            Record(load.installed);
            if (std::string(load.installed) == "jov") { // the install that put the set in
                switcher::Switcher(view, native).Click(Control::Install);
            }
        }
        Journal journal(native, allowed);
        try {
            switcher::Switcher sw(view, journal);
            sw.Start();
            if (load.installed != nullptr) {
                sw.Click(load.command);
            }
        } catch (const PowerCut&) {
        }
        // The power goes after the last operation allowed, the command's last one included.
        for (const std::string& copy : journal.unflushed) {
            if (fs::exists(copy)) {
                fs::resize_file(copy, cut ? fs::file_size(copy) / 2 : 0);
            }
        }
        return journal.done;
    }
};

} // namespace

TEST_F(CrashTest, EveryCrashStateLosesNothingAndTheCommandEndsOnRerun)
{
    const Contents set{{"jov/HURR.FLT", "the set's Hurricane"},
                       {"jov/ReadMe.txt", "set notes"},
                       {"jov/PANEL.DAT", "the panel"},
                       {"krs/FLT.CDF", "stock models"},
                       {"krs/DATA.CDF", "stock data"}};
    const Workload loads[] = {
        {"first start", nullptr, Control::Remove, set, {{"FLT.CDF", "add-on"}, {"mine.flt", "m"}}},
        {"install over the player's files",
         "none",
         Control::Install,
         set,
         {{"FLT.CDF", "stock models"}, {"README.TXT", "the game's"}, {"HURR.FLT", "my Hurricane"}}},
        {"restore with a put-back", "jov", Control::Remove, set, {{"README.TXT", "the game's"}}},
        {"an air force's removal", "jov", Control::Country0, set, {{"SP09.FLT", "my Spitfire"}}},
    };
    int states = 0;
    for (const Workload& load : loads) {
        const int operations = Run(load, -1, false);
        const Contents done = Files();
        for (int allowed = 0; allowed <= operations; ++allowed) {
            for (const bool cut : {false, true}) {
                SCOPED_TRACE(std::string(load.name) + ", after operation " +
                             std::to_string(allowed) + (cut ? ", writes cut short" : ""));
                ++states;
                Run(load, allowed, cut);
                const std::string word = Read("jovo.ini");
                EXPECT_TRUE(word.empty() || word == "\"none\"\r\n" || word == "\"jov\"\r\n")
                    << word;
                if (word == "\"jov\"\r\n" && load.command == Control::Install) {
                    EXPECT_EQ(Read("HURR.FLT"), "the set's Hurricane"); // all copies complete
                }
                platform::NativeFileSystem native;
                NullView view;
                switcher::Switcher sw(view, native);
                sw.Start();
                if (load.installed != nullptr &&
                    Read("jovo.ini") == "\"" + std::string(load.installed) + "\"\r\n") {
                    sw.Click(load.command);
                }
                EXPECT_EQ(Files(), done);
                std::set<std::pair<std::string, std::string>> held;
                for (const auto& entry : fs::recursive_directory_iterator(game)) {
                    if (entry.is_regular_file()) {
                        held.insert({entry.path().filename().string(), Slurp(entry.path())});
                    }
                }
                for (const auto& file : load.players) {
                    EXPECT_TRUE(held.contains(file)) << file.first << " is lost";
                }
            }
        }
    }
    RecordProperty("crash_states", states);
    std::cout << states << " crash states checked\n";
}
