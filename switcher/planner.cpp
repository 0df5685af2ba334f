#include "switcher/planner.h"

#include "platform/name_match.h"
#include "platform/path_text.h"
#include "switcher/state_file.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace switcher
{

using platform::FoldCase;
using platform::Under;

struct Planner::Run
{
    KeptRecord record;
    std::string dir;            // the run's subfolder, empty while nothing is kept
    std::set<std::string> used; // folded names in the subfolder, the record's among them
    std::vector<Step> work;     // the changes, in the order they are made
};

Planner::Planner(platform::FileSystem& files, const Fields& fields)
    : files_(files), fields_(fields),
      now_(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()))
{
    game_.dir = fields.GameDir;
    for (const SetRow& row : kSets) {
        SetFolderOf(row.folder).dir = FolderOf(fields, row.folder);
    }
}

Planner::Folder& Planner::Listed(Folder& folder)
{
    if (!folder.listed) {
        folder.listed = true;
        for (std::string& name : files_.ListPlainFiles(Under(folder.dir, "*.*"))) {
            folder.byFolded[FoldCase(name)].push_back(std::move(name));
        }
    }
    return folder;
}

const std::string* Planner::Find(Folder& folder, const std::string& name)
{
    const auto found = Listed(folder).byFolded.find(FoldCase(name));
    if (found == folder.byFolded.end() || found->second.empty()) {
        return nullptr;
    }
    const auto exact = std::find(found->second.begin(), found->second.end(), name);
    return exact != found->second.end() ? &*exact : &found->second.front();
}

const platform::FileStamp& Planner::Stamp(Folder& folder, const std::string& stored)
{
    const auto known = folder.stamps.find(stored);
    if (known != folder.stamps.end()) {
        return known->second;
    }
    return folder.stamps.emplace(stored, files_.StampOf(Under(folder.dir, stored))).first->second;
}

std::vector<std::string> Planner::Names(Folder& folder)
{
    std::vector<std::string> names;
    for (const auto& [folded, variants] : Listed(folder).byFolded) {
        names.insert(names.end(), variants.begin(), variants.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void Planner::Forget(Folder& folder, const std::string& stored)
{
    const auto found = folder.byFolded.find(FoldCase(stored));
    if (found != folder.byFolded.end()) {
        std::erase(found->second, stored);
    }
    folder.stamps.erase(stored);
}

void Planner::Place(Folder& folder, const std::string& stored, platform::FileStamp stamp)
{
    auto& variants = Listed(folder).byFolded[FoldCase(stored)];
    if (std::find(variants.begin(), variants.end(), stored) == variants.end()) {
        variants.insert(std::lower_bound(variants.begin(), variants.end(), stored), stored);
    }
    folder.stamps[stored] = std::move(stamp);
}

bool Planner::SetPresent(SetFolder folder)
{
    const std::string_view pattern = RowOf(folder).testPattern;
    for (const auto& [folded, variants] : Listed(SetFolderOf(folder)).byFolded) {
        if (!variants.empty() && platform::MatchesPattern(folded, pattern)) {
            return true;
        }
    }
    return false;
}

bool Planner::SetHoldsCopy(SetFolder folder, const std::string& name,
                           const platform::FileStamp& stamp)
{
    Folder& set = SetFolderOf(folder);
    const auto found = Listed(set).byFolded.find(FoldCase(name));
    if (found == set.byFolded.end()) {
        return false;
    }
    return std::any_of(found->second.begin(), found->second.end(), [&](const std::string& stored) {
        const platform::FileStamp& copy = Stamp(set, stored);
        return copy.exists && copy.size == stamp.size && copy.modified == stamp.modified;
    });
}

bool Planner::IsPlayers(const std::string& name, const platform::FileStamp& stamp)
{
    return stamp.exists && std::none_of(kSets.begin(), kSets.end(), [&](const SetRow& row) {
               return SetHoldsCopy(row.folder, name, stamp);
           });
}

void Planner::ListBackup()
{
    if (backupListed_) {
        return;
    }
    backupListed_ = true;
    const std::string backupDir = Under(fields_.GameDir, kBackupFolderName);
    backupKind_ = files_.KindOf(backupDir);
    if (backupKind_ == platform::EntryKind::Folder) {
        runNames_ = files_.ListFolders(backupDir);
        for (const std::string& run : runNames_) {
            runs_.insert(FoldCase(run));
        }
    }
}

void Planner::Keep(Run& run, const platform::FileStamp& stamp, Step::Kind how,
                   KeptEntry::What what, const std::string& by)
{
    if (run.dir.empty()) {
        ListBackup();
        const std::string base =
            LocalTime(now_, "%Y-%m-%d %H-%M-%S ") + run.record.command;
        std::string name = base;
        for (int n = 2; !runs_.insert(FoldCase(name)).second; ++n) {
            name = base + " (" + std::to_string(n) + ")";
        }
        run.dir = Under(Under(fields_.GameDir, kBackupFolderName), name);
    }
    // A name of its own in the run's subfolder: " (2)" before the extension where needed.
    const std::string stored = platform::SplitPath(stamp.path).leaf;
    const auto dot = stored.rfind('.');
    std::string kept = stored;
    for (int n = 2; !run.used.insert(FoldCase(kept)).second; ++n) {
        kept = stored.substr(0, dot) + " (" + std::to_string(n) + ")" +
               (dot == std::string::npos ? "" : stored.substr(dot));
    }
    run.work.push_back({how, stamp.path, Under(run.dir, kept), stamp, {}});
    run.record.entries.push_back({stored, kept, what, by, stamp.size, stamp.modified});
}

void Planner::Leave(Run& run, const std::string& stored, KeptEntry::What what,
                    const std::string& by)
{
    const platform::FileStamp stamp = Stamp(game_, stored);
    if (IsPlayers(stored, stamp)) {
        Keep(run, stamp, Step::Kind::KeepByMoving, what, by);
    } else {
        run.work.push_back({Step::Kind::Delete, Under(fields_.GameDir, stored), {}, stamp, {}});
    }
    Forget(game_, stored);
}

void Planner::CopyIn(Run& run, SetFolder folder, const std::string& name, const std::string& by)
{
    Folder& set = SetFolderOf(folder);
    const platform::FileStamp source = Stamp(set, name);
    const std::string* existing = Find(game_, name);
    const std::string stored = existing != nullptr ? *existing : name;
    platform::FileStamp target;
    if (existing != nullptr) {
        target = Stamp(game_, stored);
        // The state file is the program's own record, written anew after the copies.
        if (FoldCase(name) != kStateFileName && IsPlayers(stored, target)) {
            Keep(run, target, Step::Kind::KeepByLinking, KeptEntry::What::Replaced, by);
        }
    }
    run.work.push_back(
        {Step::Kind::Copy, Under(fields_.GameDir, stored), source.path, target, {}, source.size});
    platform::FileStamp copy = source;
    copy.path = Under(fields_.GameDir, stored);
    copy.readOnly = false;
    copy.device = copy.inode = 0;
    Place(game_, stored, std::move(copy));
}

void Planner::PutBackOriginals(Run& run)
{
    ListBackup();
    const std::string backupDir = Under(fields_.GameDir, kBackupFolderName);
    std::set<std::string> decided; // folded names a newer run has decided on
    for (auto runName = runNames_.rbegin(); runName != runNames_.rend(); ++runName) {
        Folder kept;
        kept.dir = Under(backupDir, *runName);
        const std::string* recordName = Find(kept, std::string(kRecordName));
        if (recordName == nullptr) {
            continue;
        }
        const std::string record = Under(kept.dir, *recordName);
        const std::string text =
            files_.ReadTextFile(record, std::numeric_limits<std::size_t>::max());
        std::string putBack;
        for (const KeptEntry& entry : ParseEntries(text)) {
            const SetRow* set = RowOfWord(entry.by);
            if (entry.what != KeptEntry::What::Replaced || set == nullptr ||
                set->folder == SetFolder::Stock) {
                continue;
            }
            if (!decided.insert(FoldCase(entry.name)).second || Cleared(entry.name) ||
                Find(SetFolderOf(SetFolder::Stock), entry.name) != nullptr) {
                continue;
            }
            const std::string* keptName = Find(kept, entry.keptName);
            const std::string* stored = Find(game_, entry.name);
            if (keptName == nullptr || stored == nullptr) {
                continue;
            }
            // Only where the game folder still holds the set's copy: what the player changed
            // since stays, and the original stays kept.
            const std::string inGame = *stored;
            const platform::FileStamp game = Stamp(game_, inGame);
            if (!game.exists || game.readOnly || !SetHoldsCopy(set->folder, entry.name, game)) {
                continue;
            }
            const std::string keptFile = *keptName;
            run.work.push_back(
                {Step::Kind::PutBack, game.path, Under(kept.dir, keptFile), game, {}});
            Place(game_, inGame, Stamp(kept, keptFile));
            Forget(kept, keptFile);
            putBack += Format(KeptEntry{entry.name, entry.keptName, KeptEntry::What::PutBack,
                                        LocalTime(now_, "%Y-%m-%d at %H:%M:%S")});
        }
        if (putBack.empty()) {
            continue;
        }
        run.work.push_back({Step::Kind::WriteRecord, record, {}, {}, text + putBack});
        // A run's subfolder that keeps nothing more goes.
        const std::vector<std::string> left = Names(kept);
        if (left.size() == 1 && files_.ListFolders(kept.dir).empty()) {
            run.work.push_back({Step::Kind::TidyUp, kept.dir, record, {}, {}});
        }
    }
}

void Planner::Finish(Run& run, Plan& plan)
{
    if (!run.dir.empty()) {
        const std::string backupDir = Under(fields_.GameDir, kBackupFolderName);
        if (backupKind_ == platform::EntryKind::Missing) {
            plan.steps.push_back({Step::Kind::MakeFolder, backupDir, {}, {}, {}});
            backupKind_ = platform::EntryKind::Folder;
        }
        // The record is on disk before the first change it describes.
        plan.steps.push_back({Step::Kind::MakeFolder, run.dir, {}, {}, {}});
        run.record.gameDir = fields_.GameDir;
        run.record.started = now_;
        plan.steps.push_back(
            {Step::Kind::WriteRecord, Under(run.dir, kRecordName), {}, {}, Format(run.record)});
        plan.steps.push_back({Step::Kind::Flush, fields_.GameDir, {}, {}, {}});
        plan.runDir = run.dir;
        plan.keptFiles = run.record.entries.size();
    }
    plan.steps.insert(plan.steps.end(), run.work.begin(), run.work.end());
    plan.saveAt = plan.steps.size();
    if (!plan.word.empty()) {
        // The record follows the files: what the command changed is on disk before the state
        // file names the set, so a power cut never leaves it naming files that are not there.
        plan.steps.push_back({Step::Kind::Flush, fields_.GameDir, {}, {}, {}});
        plan.steps.push_back({Step::Kind::WriteState, fields_.StateFile, {}, {}, plan.word});
    }
}

Plan Planner::Restoring(Plan::Kind kind, const std::string& command)
{
    const SetRow& stock = RowOf(SetFolder::Stock);
    Plan plan{kind, stock.control};
    plan.word = stock.word;
    plan.setDir = fields_.StockDir;
    Run run;
    run.record.command = command;
    run.used.insert(FoldCase(kRecordName));
    if (!SetPresent(SetFolder::Stock)) {
        plan.message = stock.missing;
        plan.setMissing = true;
    } else {
        for (const std::string_view pattern : kCleanOut) {
            for (const std::string& name : Names(game_)) {
                if (platform::MatchesPattern(name, pattern)) {
                    Leave(run, name, KeptEntry::What::Cleared, plan.word);
                }
            }
        }
        for (const std::string& name : Names(SetFolderOf(SetFolder::Stock))) {
            CopyIn(run, SetFolder::Stock, name, plan.word);
        }
        PutBackOriginals(run);
    }
    Finish(run, plan);
    return plan;
}

Plan Planner::FirstStart()
{
    return Restoring(Plan::Kind::FirstStart, "first start");
}

Plan Planner::Restore()
{
    return Restoring(Plan::Kind::Restore, "restore");
}

Plan Planner::Install(SetFolder folder)
{
    const SetRow& row = RowOf(folder);
    Plan plan{Plan::Kind::Install, row.control};
    if (!SetPresent(folder)) {
        plan.message = row.missing;
        plan.setMissing = true;
        return plan;
    }
    plan.word = row.word;
    plan.setDir = FolderOf(fields_, folder);
    Run run;
    run.record.command = "install " + std::string(row.word);
    run.used.insert(FoldCase(kRecordName));
    for (const std::string& name : Names(SetFolderOf(folder))) {
        CopyIn(run, folder, name, plan.word);
    }
    Finish(run, plan);
    return plan;
}

Plan Planner::Remove(const AirForceRow& airForce)
{
    Plan plan{Plan::Kind::Remove, airForce.control};
    Run run;
    run.record.command = "remove " + std::string(airForce.word);
    run.used.insert(FoldCase(kRecordName));
    for (const std::string_view model : airForce.models) {
        if (const std::string* stored = Find(game_, std::string(model))) {
            const std::string name = *stored;
            Leave(run, name, KeptEntry::What::Removed, std::string(airForce.word));
        }
    }
    Finish(run, plan);
    return plan;
}

} // namespace switcher
