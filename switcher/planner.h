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
// folder, and that is not a copy of a set folder's file (the same name in any letter case, size
// and last change), is kept in a subfolder of the backup folder made for this run and named by
// its time and the command: moved there when it is deleted, linked there (or copied, where the
// file system has no links) before it is replaced. A run that keeps nothing makes no folder.
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

private:
    // A folder's plain files as the plans so far leave them.
    struct Folder
    {
        std::string dir;
        bool listed = false;
        std::map<std::string, std::vector<std::string>> byFolded; // each list sorted
        std::unordered_map<std::string, platform::FileStamp> stamps;
    };

    struct Run; // what one plan keeps

    Folder& Listed(Folder& folder);
    // The stored name that `name` resolves to: the exact one, else the smallest variant.
    const std::string* Find(Folder& folder, const std::string& name);
    const platform::FileStamp& Stamp(Folder& folder, const std::string& stored);
    std::vector<std::string> Names(Folder& folder);
    void Forget(Folder& folder, const std::string& stored);
    void Place(Folder& folder, const std::string& stored, platform::FileStamp stamp);

    Folder& SetFolderOf(SetFolder folder) { return sets_[static_cast<std::size_t>(folder)]; }
    bool SetHoldsCopy(SetFolder folder, const std::string& name, const platform::FileStamp& stamp);
    bool IsPlayers(const std::string& name, const platform::FileStamp& stamp);

    Plan Restoring(Plan::Kind kind, const std::string& command);
    // Lists the backup folder's runs and reads their records, once.
    void ReadRuns();
    // Reads the list of the copies placed so far, once.
    void ReadCopies();
    platform::EntryKind BackupKind();
    // Keeps the game file `stamp` in the run's subfolder under a name of its own there.
    void Keep(Run& run, const platform::FileStamp& stamp, Step::Kind how, KeptEntry::What what,
              const std::string& by);
    // Deletes the game file `stored`, or keeps it when it is the player's own.
    void Leave(Run& run, const std::string& stored, KeptEntry::What what, const std::string& by);
    // Copies the set's file `name` over the game folder's, keeping the player's own first.
    void CopyIn(Run& run, SetFolder folder, const std::string& name, const std::string& by);
    void PutBackOriginals(Run& run);
    // Refuses a set folder that is the game folder, a folder above it or the backup folder.
    void RefuseLinkedSetFolder(Plan& plan, SetFolder folder);
    void Finish(Run& run, Plan& plan);

    platform::FileSystem& files_;
    const Fields& fields_;
    std::time_t now_;
    Folder game_;
    std::array<Folder, kSets.size()> sets_;
    // A subfolder of the backup folder, as the plans so far leave it.
    struct KeptRun
    {
        Folder files;
        std::string record; // its record's path; empty: none
        std::string text;   // the record as it stands
        KeptRecord parsed;
    };

    bool runsRead_ = false;
    std::optional<platform::EntryKind> backupKind_;
    bool copiesRead_ = false;
    platform::FileStamp copiesStamp_;
    std::map<std::string, PlacedCopy> copies_; // by folded name, as the plans leave them
    std::set<std::string> copiedNow_;          // folded names the plans so far copy
    // Set files that are the game file they would replace (a link): found, never a copy.
    std::vector<std::pair<std::string, std::string>> sameFiles_;
    std::vector<KeptRun> runs_;      // in the order they ran
    std::set<std::string> runNames_; // folded, with those of the runs planned since
    unsigned long lastSequence_ = 0;
};

} // namespace switcher
