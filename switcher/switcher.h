#pragma once

#include "platform/file_system.h"
#include "switcher/plan.h"
#include "switcher/set_table.h"
#include "switcher/set_view.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace switcher
{

// What the game folder records and holds, as a start would find it; nothing is changed.
struct Status
{
    bool recorded = false;                    // a state file is there; InstalledSet is its word
    std::array<bool, kSets.size()> present{}; // by SetFolder: the set folder passes its test
    std::string backupDir;                    // where kept files go
    std::size_t keptFiles = 0;                // how many files it keeps
};

// The files one command kept of the player's own, and where.
struct KeptFiles
{
    std::string folder; // the run's subfolder of the backup folder
    std::size_t files;
};

// How the game folder stands against the installed set, file by file.
struct Comparison
{
    enum class Verdict
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
    };
    struct Difference
    {
        Kind kind;
        std::string name;
    };

    Verdict verdict = Verdict::Unrecorded;
    const SetRow* set = nullptr; // the installed set, where the state file names one
    std::vector<Difference> differences;
    // Air forces whose every flight model of the set is missing: removed with their button,
    // which the state file cannot record, so no difference.
    std::vector<const AirForceRow*> removed;
    // Add-on files that neither the set nor the stock set holds.
    std::vector<std::string> extras;
};

// What a command came to.
enum class Outcome
{
    Done,
    Refused,    // the window has the command's button off in the installed state
    SetMissing, // the set folder fails its presence test: its message was shown
};

// A command decided whole before anything changes: the first start it needs, then itself.
struct Prepared
{
    Outcome outcome = Outcome::Done;
    std::string installed; // the word it is judged against: after a first start, the stock set's
    std::vector<Plan> plans;
};

// Decides and carries out everything the main window's buttons do. Each command plans first,
// checks its plan, writes the record of what it will keep, then carries out its steps. A
// file-system failure (platform::FsError) is never caught here: it ends the command at the
// failing step, leaving earlier work done, later work undone and the state file unchanged.
class Switcher final
{
public:
    Switcher(SetView& view, platform::FileSystem& files);
    Switcher(const Switcher&) = delete;
    Switcher& operator=(const Switcher&) = delete;

    // Start-up: fixes the paths, then loads the state file or, on a first start, restores the
    // stock set and writes a fresh state file; leaves the view showing the installed set.
    void Start();

    // The command of the button `control`, on the folder as start-up left it.
    Outcome Click(Control control);
    void Install_Click() { Click(Control::Install); }
    void InstallOnline_Click() { Click(Control::InstallOnline); }
    void InstallTUK_Click() { Click(Control::InstallTUK); }
    void Remove_Click() { Click(Control::Remove); }
    void Country_Click(std::int16_t index);

    // A command as a script gives it, in a folder not started yet: refused where the window
    // would have its button off, after the first start it needs; else planned with that first
    // start. Changes nothing.
    Prepared Prepare(Control control);
    // Carries out what Prepare decided, with the view as the window would show it: every plan is
    // checked before the first changes anything. A dry run checks them too, shows their
    // messages and reports their steps, and changes nothing.
    Outcome Carry(const Prepared& prepared, bool dryRun = false);
    // Called once each step is done, or in a dry run as each would be.
    void OnStep(std::function<void(const Step&)> report) { onStep_ = std::move(report); }

    // Queries that change nothing and show nothing.
    Status Inspect();
    // Whether a state file records a set: otherwise a start is a first start.
    bool Recorded();
    Comparison Compare();

    const Fields& State() const { return fields_; }
    // What the commands carried out so far have kept, one entry for each that kept anything; in
    // a dry run, what each would keep.
    const std::vector<KeptFiles>& Kept() const { return kept_; }

private:
    void FormPaths();
    bool StateFileExists();
    void UpdateControls();
    void LoadState();
    Outcome CarryOut(const Plan& plan, bool checked);

    SetView& view_;
    platform::FileSystem& files_;
    Fields fields_;
    std::vector<KeptFiles> kept_;
    // The copies made by the commands carried out so far, by folded name, as they stood then.
    std::map<std::string, platform::FileStamp> made_;
    std::function<void(const Step&)> onStep_;
};

// Whether the working folder holds the set's folder, as its presence test finds it.
bool SetPresentHere(platform::FileSystem& files, SetFolder folder);

} // namespace switcher
