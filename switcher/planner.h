#pragma once

#include "platform/file_system.h"
#include "switcher/kept_record.h"
#include "switcher/plan.h"
#include "switcher/set_table.h"

#include <array>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace switcher
{

// Decides the steps of each command on what it knows of the game folder, the set folders and
// the backup folder: each folder listed once, each file stamped once, when first needed. A plan
// leaves that knowledge as its steps will leave the folders, so a first start and the command
// after it are planned one after the other before either changes anything.
//
// Nothing the player owns is destroyed. A file that a command deletes or replaces in the game
// folder, and that is not a copy of a set folder's file, stays in a subfolder of the backup
// folder made for this run and named by its time and the command; every file a command takes
// out of the game folder passes through that subfolder, so one that changed meanwhile stays
// there too. A run that keeps nothing leaves no folder.
//
// Work already done is not done again: a copy already in place (the set's file by the list of
// copies, or the same bytes and time) is left alone. Copies are written aside first, put on
// disk together, and only then take their names, so no file under a game name is ever cut short
// by a power cut.
class Planner final
{
public:
    Planner(platform::FileSystem& files, const Fields& fields);

    // Whether the set folder holds a plain file of its presence test's type.
    bool SetPresent(SetFolder folder);

    Plan FirstStart();
    Plan Restore();
    Plan Install(SetFolder folder);
    Plan Remove(const AirForceRow& airForce);

    // The plain files of a set folder, and the one in the game folder a name resolves to (the
    // exact name, else the smallest variant), as the plans so far leave them.
    std::vector<std::string> SetFiles(SetFolder folder);
    std::optional<std::string> GameFile(const std::string& name);
    std::string SetPath(SetFolder folder, const std::string& name);

private:
    // A folder's names as the plans so far leave them.
    struct Folder
    {
        std::string dir; // as resolved once listed
        bool listed = false;
        bool found = false;
        std::map<std::string, std::vector<platform::Entry>> byFolded; // each list sorted
        std::unordered_map<std::string, platform::FileStamp> stamps;
    };

    // A subfolder of the backup folder, as the plans so far leave it.
    struct KeptRun
    {
        Folder files;
        std::string record; // its record's path; empty: none
        std::string text;   // the record as it stands
        KeptRecord parsed;
    };

    struct Run; // what one plan changes and keeps

    Folder& Listed(Folder& folder);
    const platform::Entry* FindEntry(Folder& folder, const std::string& name);
    // The plain file that `name` resolves to: the exact one, else the smallest variant.
    const std::string* Find(Folder& folder, const std::string& name);
    // What a file written under `name` would meet: that plain file, else whatever stands at that
    // name as the system compares names.
    const platform::Entry* Occupant(Folder& folder, const std::string& name);
    const platform::FileStamp& Stamp(Folder& folder, const std::string& stored);
    std::vector<std::string> Names(Folder& folder);
    void Forget(Folder& folder, const std::string& stored);
    void Place(Folder& folder, const std::string& stored, platform::FileStamp stamp,
               platform::EntryKind kind = platform::EntryKind::File);

    Folder& SetFolderOf(SetFolder folder) { return sets_[static_cast<std::size_t>(folder)]; }
    bool SetHoldsCopy(SetFolder folder, const std::string& name, const platform::FileStamp& stamp);
    bool IsPlayers(const std::string& name, const platform::FileStamp& stamp);
    // Whether the game file `target` already is the set's `source`, so copying is not needed.
    bool InPlace(SetFolder folder, const std::string& name, const platform::FileStamp& target,
                 const platform::FileStamp& source);

    Plan Restoring(Plan::Kind kind, const std::string& command);
    // Lists the backup folder, its runs and their records, once.
    void ReadRuns();
    // Reads the list of the copies placed so far, once.
    void ReadCopies();
    // A free name in the run's subfolder for the game file `stored`.
    std::string Reserve(Run& run, const std::string& stored);
    // Takes the game file `stored` out of the game folder: deleted, or kept as the player's.
    void Take(Run& run, const std::string& stored, KeptEntry::What what, const std::string& by);
    // Copies the set's file `name` over the game folder's, keeping the player's own.
    void CopyIn(Run& run, SetFolder folder, const std::string& name, const std::string& by);
    const std::string* KeptFile(KeptRun& kept, const KeptEntry& entry);
    const std::string* PutBackOver(KeptRun& kept, const KeptEntry& entry,
                                   std::set<std::string>& decided);
    void PutBackOriginals(Run& run);
    // Removes what runs left behind: temporaries, runs whose files are all back or gone.
    void Sweep(Run& run, Folder& folder);
    bool TidyRun(Run& run, KeptRun& kept);
    void TidyRuns(Run& run);
    // Refuses a set folder that is the game folder, a folder above it or the backup folder, and
    // says whether it did.
    bool RefuseLinkedSetFolder(SetFolder folder);
    std::optional<platform::FsError> LinkedSetFolder(SetFolder folder);
    void Refuse(platform::FsError refusal);
    void RefuseOccupied(const Plan& plan, bool writesBackup);
    void OpenRun(Run& run, Plan& plan, bool writesBackup);
    void CloseRun(Run& run, Plan& plan);
    void Finish(Run& run, Plan& plan);

    platform::FileSystem& files_;
    const Fields& fields_;
    std::time_t now_;
    Folder game_;
    std::array<Folder, kSets.size()> sets_;
    Folder backup_;

    bool runsRead_ = false;
    bool copiesRead_ = false;
    platform::FileStamp copiesStamp_;
    std::map<std::string, PlacedCopy> copies_; // by folded name, as the plans leave them
    std::set<std::string> copiedNow_;          // folded names the plans so far copy
    std::optional<platform::FsError> refusal_; // the first found while planning one command
    std::vector<KeptRun> runs_;                // in the order they ran
    std::set<std::string> runNames_;           // folded, with those of the runs planned since
    unsigned long lastSequence_ = 0;
    // Each set folder's refusal as a linked folder, once asked: none, or the refusal.
    std::array<std::optional<std::optional<platform::FsError>>, kSets.size()> linkedSetFolders_;
};

} // namespace switcher
