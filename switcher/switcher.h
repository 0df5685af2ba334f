#pragma once

#include "platform/file_system.h"
#include "switcher/backup.h"
#include "switcher/set_table.h"
#include "switcher/set_view.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace switcher
{

// The add-on file types and names the stock restore clears from the game folder, in order.
inline constexpr std::array<std::string_view, 9> kCleanOut{
    "*.flt", "*.dat", "*.str", "*.mpc", "*.cpt", "*.3dz", "jovpanel.exe", "flt.cdf", "data.cdf"};

inline constexpr std::string_view kStateFileName = "jovo.ini";

// What the switcher holds for the whole run: the game folder, the four set folders and the
// state file, all fixed at start-up from the working folder, and the installed set's word.
struct Fields
{
    std::string GameDir;
    std::string JovDir;
    std::string JovoDir;
    std::string TukDir;
    std::string StockDir;
    std::string StateFile;
    std::string InstalledSet;
};

// The path of a set's folder among the fields.
const std::string& FolderOf(const Fields& fields, SetFolder folder);

// What the game folder records and holds, as a start would find it; nothing is changed.
struct Status
{
    bool recorded = false;                    // a state file is there; InstalledSet is its word
    std::array<bool, kSets.size()> present{}; // by SetFolder: the set folder passes its test
    std::string backupDir;                    // where kept files go
    std::size_t keptFiles = 0;                // how many files it keeps
};

// The files one command kept of the player's own, and where.
struct KeptRun
{
    std::string folder; // the run's subfolder of the backup folder
    std::size_t files;
};

// How the game folder stands against the installed set, file by file.
struct Comparison
{
    enum class Outcome
    {
        Unrecorded, // no state file: nothing to compare with
        ErrorState, // the state file names no set
        SetMissing, // the installed set's folder fails its presence test
        Compared,
    };
    enum class Kind
    {
        Missing, // a file of the set is not in the game folder
        Differs, // it is there with other content
        Extra,   // an add-on file that neither the set nor the stock set holds
    };
    struct Difference
    {
        Kind kind;
        std::string name;
    };

    Outcome outcome = Outcome::Unrecorded;
    const SetRow* set = nullptr; // the installed set, where the state file names one
    std::vector<Difference> differences;
    // Air forces whose every flight model of the set is missing: removed with their button,
    // which the state file cannot record, so no difference.
    std::vector<const AirForceRow*> removed;
};

// Decides and carries out everything the main window's buttons do. Each command runs to its
// end; a file-system failure (platform::FsError) is never caught here: it ends the command at
// the failing step, leaving earlier work done, later work undone and the state file unchanged.
class Switcher final
{
public:
    explicit Switcher(SetView& view);
    Switcher(SetView& view, platform::FileSystem& files);
    Switcher(const Switcher&) = delete;
    Switcher& operator=(const Switcher&) = delete;

    // Start-up: fixes the paths, then loads the state file or, on a first start, restores the
    // stock set and writes a fresh state file; leaves the view showing the installed set.
    void Start();

    void Install_Click();
    void InstallOnline_Click();
    void InstallTUK_Click();
    void Remove_Click();
    void Country_Click(std::int16_t index);
    // The command of the button `control`: one of the five above.
    void Click(Control control);

    // Queries that change nothing and show nothing.
    Status Inspect();
    // Whether a state file records a set: otherwise a start is a first start.
    bool Recorded();
    Comparison Compare();

    const Fields& State() const { return fields_; }
    // What the commands run so far have kept, one entry for each that kept anything.
    const std::vector<KeptRun>& Kept() const { return kept_; }

private:
    void FormPaths();
    bool StateFileExists();
    bool SetPresent(SetFolder folder);
    void UpdateControls();
    void SaveState();
    void LoadState();
    void RestoreStock(Backup& backup);
    void CopySetFolder(const std::string& folder, Backup& backup, const std::string& why);
    void InstallSet(SetFolder folder);
    // Runs a command's file work and writes the record of what it kept, also when the work
    // fails part way.
    template <typename Work> void Keeping(Backup& backup, Work work);
    // Before the first change: fails as a later step would (a state file that cannot be
    // replaced, a file to be replaced or deleted that another program holds, too little room
    // for the copies, something else than a folder at the backup folder's name), so that
    // nothing is done halfway.
    void Preflight(const std::string& copyFrom, bool cleanOut, Backup& backup);

    SetView& view_;
    platform::FileSystem& files_;
    Fields fields_;
    std::vector<KeptRun> kept_;
};

} // namespace switcher
