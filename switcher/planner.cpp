#include "switcher/planner.h"

#include "platform/name_match.h"
#include "platform/path_text.h"
#include "switcher/state_file.h"

#include <algorithm>
#include <cerrno>
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

namespace
{

// The longest name a folder takes: 255 bytes on Linux, 255 UTF-16 units on Windows, which UTF-8
// of at most 255 bytes always is.
constexpr std::size_t kLongestName = 255;

// `name` with " (n)" before its extension; where that would be too long, the stem gives way,
// cut where a character begins, so the extension stays.
std::string Numbered(const std::string& name, int n)
{
    const auto dot = name.rfind('.');
    const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    std::string stem = name.substr(0, name.size() - extension.size());
    const std::string suffix = " (" + std::to_string(n) + ")";
    const std::size_t room =
        kLongestName - std::min(kLongestName, suffix.size() + extension.size());
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        stem.resize(cut);
    }
    return stem + suffix + extension;
}

} // namespace

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

platform::EntryKind Planner::BackupKind()
{
    if (!backupKind_) {
        backupKind_ = files_.KindOf(Under(fields_.GameDir, kBackupFolderName));
    }
    return *backupKind_;
}

void Planner::ReadCopies()
{
    if (copiesRead_) {
        return;
    }
    copiesRead_ = true;
    const std::string backupDir = Under(fields_.GameDir, kBackupFolderName);
    const std::vector<std::string> found = files_.ListPlainFiles(Under(backupDir, kCopiesName));
    if (found.empty()) {
        return;
    }
    copiesStamp_ = files_.StampOf(Under(backupDir, found.front()));
    const std::string text = files_.ReadTextFile(Under(backupDir, found.front()),
                                                 std::numeric_limits<std::size_t>::max());
    for (PlacedCopy& copy : ParseCopies(text)) {
        copies_[FoldCase(copy.name)] = std::move(copy);
    }
}

// A copy of the set's file is one the program placed and nobody changed since, which costs no
// read, or else a file with the same bytes. A file is never a copy of itself.
bool Planner::SetHoldsCopy(SetFolder folder, const std::string& name,
                           const platform::FileStamp& stamp)
{
    ReadCopies();
    const std::string folded = FoldCase(name);
    const std::string_view word = RowOf(folder).word;
    if (const auto placed = copies_.find(folded);
        placed != copies_.end() && placed->second.set == word &&
        (placed->second.Matches(stamp) || copiedNow_.contains(folded))) {
        return true;
    }
    Folder& set = SetFolderOf(folder);
    const auto found = Listed(set).byFolded.find(folded);
    if (found == set.byFolded.end()) {
        return false;
    }
    for (const std::string& stored : found->second) {
        const platform::FileStamp& copy = Stamp(set, stored);
        if (!copy.exists || copy.size != stamp.size) {
            continue;
        }
        if (copy.inode != 0 && copy.device == stamp.device && copy.inode == stamp.inode) {
            sameFiles_.push_back({copy.path, stamp.path});
            continue;
        }
        if (files_.SameContent(copy.path, stamp.path)) {
            return true;
        }
    }
    return false;
}

bool Planner::IsPlayers(const std::string& name, const platform::FileStamp& stamp)
{
    return stamp.exists && std::none_of(kSets.begin(), kSets.end(), [&](const SetRow& row) {
               return SetHoldsCopy(row.folder, name, stamp);
           });
}

void Planner::ReadRuns()
{
    if (runsRead_) {
        return;
    }
    runsRead_ = true;
    const std::string backupDir = Under(fields_.GameDir, kBackupFolderName);
    if (BackupKind() != platform::EntryKind::Folder) {
        return;
    }
    for (const std::string& name : files_.ListFolders(backupDir)) {
        runNames_.insert(FoldCase(name));
        KeptRun& run = runs_.emplace_back();
        run.files.dir = Under(backupDir, name);
        if (const std::string* record = Find(run.files, std::string(kRecordName))) {
            run.record = Under(run.files.dir, *record);
            run.text = files_.ReadTextFile(run.record, std::numeric_limits<std::size_t>::max());
            run.parsed = Parse(run.text);
            lastSequence_ = std::max(lastSequence_, run.parsed.sequence);
        }
    }
    // In the order they ran: by number, and runs of earlier versions, which have none, by name.
    std::stable_sort(runs_.begin(), runs_.end(), [](const KeptRun& a, const KeptRun& b) {
        return a.parsed.sequence < b.parsed.sequence;
    });
}

void Planner::Keep(Run& run, const platform::FileStamp& stamp, Step::Kind how, KeptEntry::What what,
                   const std::string& by)
{
    if (run.dir.empty()) {
        ReadRuns();
        const std::string base = LocalTime(now_, "%Y-%m-%d %H-%M-%S ") + run.record.command;
        std::string name = base;
        for (int n = 2; !runNames_.insert(FoldCase(name)).second; ++n) {
            name = base + " (" + std::to_string(n) + ")";
        }
        run.dir = Under(Under(fields_.GameDir, kBackupFolderName), name);
        run.record.sequence = ++lastSequence_;
    }
    const std::string stored = platform::SplitPath(stamp.path).leaf;
    std::string kept = stored;
    for (int n = 2; !run.used.insert(FoldCase(kept)).second; ++n) {
        kept = Numbered(stored, n);
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
    ReadCopies();
    copies_.erase(FoldCase(stored));
    copiedNow_.erase(FoldCase(stored));
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
        {Step::Kind::Copy, Under(fields_.GameDir, stored), source.path, target, {}, source});
    platform::FileStamp copy = source;
    copy.path = Under(fields_.GameDir, stored);
    copy.readOnly = false;
    copy.changed = 0;
    copy.device = copy.inode = 0;
    ReadCopies();
    copies_[FoldCase(stored)] = PlacedCopy::Of(copy, stored, std::string(RowOf(folder).word));
    copiedNow_.insert(FoldCase(stored));
    Place(game_, stored, std::move(copy));
}

void Planner::PutBackOriginals(Run& run)
{
    ReadRuns();
    std::set<std::string> decided; // folded names a later run has decided on
    for (auto kept = runs_.rbegin(); kept != runs_.rend(); ++kept) {
        std::string putBack;
        for (const KeptEntry& entry : kept->parsed.entries) {
            const SetRow* set = RowOfWord(entry.by);
            const std::string* keptName = Find(kept->files, entry.keptName);
            // A run whose file is gone, or back already, claims nothing.
            if (entry.what != KeptEntry::What::Replaced || set == nullptr ||
                set->folder == SetFolder::Stock || keptName == nullptr ||
                !decided.insert(FoldCase(entry.name)).second || Cleared(entry.name) ||
                Find(SetFolderOf(SetFolder::Stock), entry.name) != nullptr) {
                continue;
            }
            const std::string keptFile = *keptName;
            const std::string* stored = Find(game_, entry.name);
            if (stored == nullptr) {
                continue;
            }
            // Only where the game folder still holds the set's copy: what the player changed
            // since stays, and the original stays kept.
            const std::string inGame = *stored;
            const platform::FileStamp game = Stamp(game_, inGame);
            if (!game.exists || game.readOnly || !SetHoldsCopy(set->folder, entry.name, game)) {
                continue;
            }
            run.work.push_back({Step::Kind::PutBack,
                                game.path,
                                Under(kept->files.dir, keptFile),
                                game,
                                {},
                                Stamp(kept->files, keptFile)});
            Place(game_, inGame, Stamp(kept->files, keptFile));
            Forget(kept->files, keptFile);
            copies_.erase(FoldCase(inGame));
            copiedNow_.erase(FoldCase(inGame));
            putBack += Format(KeptEntry{entry.name, entry.keptName, KeptEntry::What::PutBack,
                                        LocalTime(now_, "%Y-%m-%d at %H:%M:%S")});
        }
        if (putBack.empty()) {
            continue;
        }
        kept->text += putBack;
        run.work.push_back({Step::Kind::WriteRecord,
                            kept->record,
                            {},
                            Stamp(kept->files, platform::SplitPath(kept->record).leaf),
                            kept->text});
        // A run's subfolder that keeps nothing more goes.
        if (Names(kept->files).size() == 1 && files_.ListFolders(kept->files.dir).empty()) {
            run.work.push_back({Step::Kind::TidyUp, kept->files.dir, kept->record, {}, {}});
        }
    }
}

void Planner::RefuseLinkedSetFolder(Plan& plan, SetFolder folder)
{
    const std::string& setDir = FolderOf(fields_, folder);
    const platform::FileIdentity set = files_.IdentityOf(setDir);
    if (!set.Known() || plan.refusal) {
        return;
    }
    // The game folder, the folders above it, and the backup folder.
    std::vector<std::string> taken{Under(fields_.GameDir, kBackupFolderName)};
    for (std::string at = fields_.GameDir; !at.empty();) {
        taken.push_back(at);
        const std::string up = platform::SplitPath(at).folder;
        at = up == at ? std::string() : up;
    }
    for (const std::string& folder : taken) {
        if (files_.IdentityOf(folder) == set) {
            plan.refusal = platform::FsError(ELOOP, "use the set folder", setDir,
                                             platform::FailureCause::SameFile,
                                             {.nothingChanged = true, .other = folder});
            return;
        }
    }
}

void Planner::Finish(Run& run, Plan& plan)
{
    if (!sameFiles_.empty() && !plan.refusal) {
        const auto& [setFile, gameFile] = sameFiles_.front();
        plan.refusal = platform::FsError(ELOOP, "check", gameFile, platform::FailureCause::SameFile,
                                         {.nothingChanged = true, .other = setFile});
    }
    sameFiles_.clear();
    const std::string backupDir = Under(fields_.GameDir, kBackupFolderName);
    const bool copied = !plan.word.empty() && !plan.setMissing;
    if ((!run.dir.empty() || copied) && BackupKind() == platform::EntryKind::Missing) {
        plan.steps.push_back({Step::Kind::MakeFolder, backupDir, {}, {}, {}});
        backupKind_ = platform::EntryKind::Folder;
    }
    if (!run.dir.empty()) {
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
    if (copied) {
        // The copies as the steps leave them; those made now get their identity once made.
        ReadCopies();
        for (const auto& [folded, copy] : copies_) {
            plan.copies.push_back(copy);
        }
        plan.steps.push_back(
            {Step::Kind::WriteCopies, Under(backupDir, kCopiesName), {}, copiesStamp_, {}});
    }
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
        RefuseLinkedSetFolder(plan, SetFolder::Stock);
        // Pattern by pattern, each in the listing's order; a name goes with the first it matches.
        std::vector<std::string> left = Names(game_);
        for (const std::string_view pattern : kCleanOut) {
            std::erase_if(left, [&](const std::string& name) {
                if (!platform::MatchesPattern(name, pattern)) {
                    return false;
                }
                Leave(run, name, KeptEntry::What::Cleared, plan.word);
                return true;
            });
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
    RefuseLinkedSetFolder(plan, folder);
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
