#include "switcher/planner.h"

#include "platform/name_match.h"
#include "platform/native_file_system.h"
#include "platform/path_text.h"
#include "switcher/state_file.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace switcher
{

using platform::EntryKind;
using platform::FoldCase;
using platform::Under;

struct Planner::Run
{
    explicit Run(std::string command)
    {
        record.command = std::move(command);
        used.insert(FoldCase(kRecordName));
    }

    KeptRecord record;
    std::string dir;            // the run's subfolder, empty while it needs none
    std::set<std::string> used; // folded names in the subfolder, the record's among them
    // The changes, in the order they are made: what leaves the game folder, the copies written
    // aside, then everything that takes a name in the game folder.
    std::vector<Step> sweeps, takes, stages, places, tidying;
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

bool IsPlain(const platform::Entry& entry)
{
    return entry.kind == EntryKind::File && !entry.hidden && !platform::TemporaryOwner(entry.name);
}

bool IsStale(const std::string& name)
{
    return platform::IsStaleTemporary(name, platform::ThisProcess(), platform::ProcessIsAlive);
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
    backup_.dir = BackupDirOf(fields.GameDir);
}

Planner::Folder& Planner::Listed(Folder& folder)
{
    if (!folder.listed) {
        folder.listed = true;
        platform::Listing listing = files_.List(folder.dir);
        folder.dir = listing.folder;
        folder.found = listing.found;
        for (platform::Entry& entry : listing.entries) {
            folder.byFolded[FoldCase(entry.name)].push_back(std::move(entry));
        }
    }
    return folder;
}

const platform::Entry* Planner::FindEntry(Folder& folder, const std::string& name)
{
    const auto found = Listed(folder).byFolded.find(FoldCase(name));
    if (found == folder.byFolded.end()) {
        return nullptr;
    }
    const platform::Entry* chosen = nullptr;
    for (const platform::Entry& entry : found->second) {
        if (IsPlain(entry) && (chosen == nullptr || entry.name == name)) {
            chosen = &entry;
        }
    }
    return chosen;
}

const std::string* Planner::Find(Folder& folder, const std::string& name)
{
    const platform::Entry* entry = FindEntry(folder, name);
    return entry != nullptr ? &entry->name : nullptr;
}

const platform::Entry* Planner::Occupant(Folder& folder, const std::string& name)
{
    if (const platform::Entry* plain = FindEntry(folder, name)) {
        return plain;
    }
    const auto found = folder.byFolded.find(FoldCase(name));
    if (found == folder.byFolded.end()) {
        return nullptr;
    }
    for (const platform::Entry& entry : found->second) {
        if (platform::kSystemFoldsCase || entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

const platform::FileStamp& Planner::Stamp(Folder& folder, const std::string& stored)
{
    const auto known = folder.stamps.find(stored);
    if (known != folder.stamps.end()) {
        return known->second;
    }
    return folder.stamps.emplace(stored, files_.Status(Under(folder.dir, stored))).first->second;
}

std::vector<std::string> Planner::Names(Folder& folder)
{
    std::vector<std::string> names;
    for (const auto& [folded, entries] : Listed(folder).byFolded) {
        for (const platform::Entry& entry : entries) {
            if (IsPlain(entry)) {
                names.push_back(entry.name);
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

void Planner::Forget(Folder& folder, const std::string& stored)
{
    const auto found = folder.byFolded.find(FoldCase(stored));
    if (found != folder.byFolded.end()) {
        std::erase_if(found->second,
                      [&](const platform::Entry& entry) { return entry.name == stored; });
    }
    folder.stamps.erase(stored);
}

void Planner::Place(Folder& folder, const std::string& stored, platform::FileStamp stamp,
                    EntryKind kind)
{
    auto& entries = Listed(folder).byFolded[FoldCase(stored)];
    const auto at = std::find_if(entries.begin(), entries.end(), [&](const platform::Entry& entry) {
        return entry.name >= stored;
    });
    if (at != entries.end() && at->name == stored) {
        *at = {stored, kind, stamp.hidden};
    } else {
        entries.insert(at, {stored, kind, stamp.hidden});
    }
    folder.stamps[stored] = std::move(stamp);
}

bool Planner::SetPresent(SetFolder folder)
{
    const std::string_view pattern = RowOf(folder).testPattern;
    for (const auto& [folded, entries] : Listed(SetFolderOf(folder)).byFolded) {
        if (std::any_of(entries.begin(), entries.end(), IsPlain) &&
            platform::MatchesPattern(folded, pattern)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> Planner::SetFiles(SetFolder folder)
{
    return Names(SetFolderOf(folder));
}

std::optional<std::string> Planner::GameFile(const std::string& name)
{
    const std::string* stored = Find(game_, name);
    return stored != nullptr ? std::optional(*stored) : std::nullopt;
}

std::string Planner::SetPath(SetFolder folder, const std::string& name)
{
    return Under(Listed(SetFolderOf(folder)).dir, name);
}

void Planner::ReadCopies()
{
    if (copiesRead_) {
        return;
    }
    copiesRead_ = true;
    const std::string* found = Find(backup_, std::string(kCopiesName));
    if (found == nullptr) {
        return;
    }
    copiesStamp_ = Stamp(backup_, *found);
    const std::string text =
        files_.ReadFile(copiesStamp_.path, std::numeric_limits<std::size_t>::max());
    for (PlacedCopy& copy : ParseCopies(text)) {
        copies_[FoldCase(copy.name)] = std::move(copy);
    }
}

// A copy of the set's file is one the program placed and nobody changed since, which costs no
// read, or else a file with the same bytes. A file is never a copy of itself through a symbolic
// link from the set: removing the game's name would leave the set's link pointing at nothing. A
// second name of one file (a hard link) is a copy: the set folder still holds it.
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
    for (const platform::Entry& entry : found->second) {
        if (!IsPlain(entry)) {
            continue;
        }
        const platform::FileStamp& copy = Stamp(set, entry.name);
        if (!copy.IsFile() || copy.size != stamp.size) {
            continue;
        }
        if (copy.SameIdentity(stamp)) {
            if (!copy.link && !RefuseLinkedSetFolder(folder)) {
                return true;
            }
            Refuse(platform::Refused(platform::FailureCause::SameFile, "check", stamp.path,
                                     {.nothingChanged = true, .other = copy.path}));
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
    return stamp.IsFile() && std::none_of(kSets.begin(), kSets.end(), [&](const SetRow& row) {
               return SetHoldsCopy(row.folder, name, stamp);
           });
}

bool Planner::InPlace(SetFolder folder, const std::string& name, const platform::FileStamp& target,
                      const platform::FileStamp& source)
{
    if (!target.IsFile() || target.hidden || target.link || target.size != source.size ||
        target.modified != source.modified) {
        return false;
    }
    ReadCopies();
    const auto placed = copies_.find(FoldCase(name));
    if (placed != copies_.end() && placed->second.set == RowOf(folder).word &&
        placed->second.Matches(target)) {
        return true;
    }
    return !target.SameIdentity(source) && files_.SameContent(source.path, target.path);
}

void Planner::ReadRuns()
{
    if (runsRead_) {
        return;
    }
    runsRead_ = true;
    Listed(backup_);
    for (const auto& [folded, entries] : backup_.byFolded) {
        for (const platform::Entry& entry : entries) {
            runNames_.insert(folded);
            if (entry.kind != EntryKind::Folder) {
                continue;
            }
            KeptRun& run = runs_.emplace_back();
            run.files.dir = Under(backup_.dir, entry.name);
            if (const std::string* record = Find(run.files, std::string(kRecordName))) {
                run.record = Under(run.files.dir, *record);
                run.text = files_.ReadFile(run.record, std::numeric_limits<std::size_t>::max());
                run.parsed = Parse(run.text);
                lastSequence_ = std::max(lastSequence_, run.parsed.sequence);
            }
        }
    }
    // In the order they ran: by number, and records without one (which the first versions of the
    // program wrote) first, by name.
    std::stable_sort(runs_.begin(), runs_.end(), [](const KeptRun& a, const KeptRun& b) {
        return a.parsed.sequence < b.parsed.sequence ||
               (a.parsed.sequence == b.parsed.sequence && a.files.dir < b.files.dir);
    });
}

std::string Planner::Reserve(Run& run, const std::string& stored)
{
    if (run.dir.empty()) {
        ReadRuns();
        const std::string base = LocalTime(now_, "%Y-%m-%d %H-%M-%S ") + run.record.command;
        std::string name = base;
        for (int n = 2; !runNames_.insert(FoldCase(name)).second; ++n) {
            name = base + " (" + std::to_string(n) + ")";
        }
        run.dir = Under(backup_.dir, name);
        run.record.sequence = ++lastSequence_;
    }
    const std::string leaf = platform::SplitPath(stored).leaf;
    std::string kept = leaf;
    for (int n = 2; !run.used.insert(FoldCase(kept)).second; ++n) {
        kept = Numbered(leaf, n);
    }
    return Under(run.dir, kept);
}

void Planner::Take(Run& run, const std::string& stored, KeptEntry::What what, const std::string& by)
{
    const platform::FileStamp stamp = Stamp(game_, stored);
    const std::string kept = Reserve(run, stored);
    const bool keep = IsPlayers(stored, stamp);
    const KeptEntry entry{stored,        platform::SplitPath(kept).leaf, what, by, stamp.size,
                          stamp.modified};
    if (keep) {
        run.record.entries.push_back(entry);
    }
    run.takes.push_back({.kind = Step::Kind::Take,
                         .path = Under(game_.dir, stored),
                         .source = {},
                         .kept = kept,
                         .keep = keep,
                         .stamp = stamp,
                         .entry = entry});
    Forget(game_, stored);
    ReadCopies();
    copies_.erase(FoldCase(stored));
    copiedNow_.erase(FoldCase(stored));
}

void Planner::CopyIn(Run& run, SetFolder folder, const std::string& name, const std::string& by)
{
    const platform::FileStamp source = Stamp(SetFolderOf(folder), name);
    const platform::Entry* occupant = Occupant(game_, name);
    const std::string stored = occupant != nullptr ? occupant->name : name;
    const platform::FileStamp target =
        occupant != nullptr ? Stamp(game_, stored) : platform::FileStamp{};
    if (occupant != nullptr && !target.IsFile()) {
        Refuse(platform::Refused(platform::FailureCause::Occupied, "copy a file to", target.path,
                                 {.nothingChanged = true, .kind = target.kind}));
    }
    ReadCopies();
    const std::string folded = FoldCase(stored);
    const std::string word(RowOf(folder).word);
    if (InPlace(folder, name, target, source)) {
        if (!copies_.contains(folded) || copies_[folded].set != word) {
            copies_[folded] = PlacedCopy::Of(target, stored, word);
        }
        copiedNow_.insert(folded);
        return;
    }
    // The state file is the program's own record, written anew after the copies.
    const bool keep = folded != kStateFileName && IsPlayers(stored, target);
    const std::string path = Under(game_.dir, stored);
    const std::string kept = Reserve(run, stored);
    const KeptEntry entry{
        stored,         platform::SplitPath(kept).leaf, KeptEntry::What::Replaced, by, target.size,
        target.modified};
    if (keep) {
        run.record.entries.push_back(entry);
    }
    run.stages.push_back(
        {.kind = Step::Kind::Stage, .path = path, .source = source.path, .from = source});
    run.places.push_back({.kind = Step::Kind::Place,
                          .path = path,
                          .source = source.path,
                          .kept = kept,
                          .keep = keep,
                          .stamp = target,
                          .from = source,
                          .entry = entry});
    // The copy as the plans after this one know it: its identity comes once it is made.
    platform::FileStamp copy{
        .kind = EntryKind::File, .path = path, .size = source.size, .modified = source.modified};
    copies_[folded] = PlacedCopy::Of(copy, stored, word);
    copiedNow_.insert(folded); // once decided: the plans after this one take it for a copy
    Place(game_, stored, std::move(copy));
}

// The file a run keeps for an entry of its record, hidden and system files too: a kept file
// goes back with its attributes.
const std::string* Planner::KeptFile(KeptRun& kept, const KeptEntry& entry)
{
    const platform::Entry* file = Occupant(kept.files, entry.keptName);
    return file != nullptr && file->kind == EntryKind::File ? &file->name : nullptr;
}

// The game file that a run's kept original goes back over: the set's copy that replaced it,
// where the game folder still holds that copy (what the player changed since stays, and the
// original stays kept). Only a later run's decision, a name the restore clears or the stock set
// holds, or a kept file that is gone or back already, leaves it where it is.
const std::string* Planner::PutBackOver(KeptRun& kept, const KeptEntry& entry,
                                        std::set<std::string>& decided)
{
    const SetRow* set = RowOfWord(entry.by);
    if (entry.what != KeptEntry::What::Replaced || set == nullptr ||
        set->folder == SetFolder::Stock || KeptFile(kept, entry) == nullptr ||
        !decided.insert(FoldCase(entry.name)).second || Cleared(entry.name) ||
        Find(SetFolderOf(SetFolder::Stock), entry.name) != nullptr) {
        return nullptr;
    }
    const std::string* stored = Find(game_, entry.name);
    if (stored == nullptr) {
        return nullptr;
    }
    const platform::FileStamp& game = Stamp(game_, *stored);
    return game.IsFile() && !game.readOnly && SetHoldsCopy(set->folder, entry.name, game) ? stored
                                                                                          : nullptr;
}

void Planner::PutBackOriginals(Run& run)
{
    ReadRuns();
    std::set<std::string> decided; // folded names a later run has decided on
    for (auto kept = runs_.rbegin(); kept != runs_.rend(); ++kept) {
        std::string putBack;
        for (const KeptEntry& entry : kept->parsed.entries) {
            const std::string* over = PutBackOver(*kept, entry, decided);
            if (over == nullptr) {
                continue;
            }
            const std::string inGame = *over;
            const std::string keptFile = *KeptFile(*kept, entry);
            const platform::FileStamp game = Stamp(game_, inGame);
            const std::string handedTo = Reserve(run, inGame);
            run.places.push_back(
                {.kind = Step::Kind::PutBack,
                 .path = game.path,
                 .source = Under(kept->files.dir, keptFile),
                 .kept = handedTo,
                 .stamp = game,
                 .from = Stamp(kept->files, keptFile),
                 .entry = {inGame, platform::SplitPath(handedTo).leaf, KeptEntry::What::Replaced,
                           std::string(RowOf(SetFolder::Stock).word), game.size, game.modified}});
            Place(game_, inGame, Stamp(kept->files, keptFile));
            Forget(kept->files, keptFile);
            copies_.erase(FoldCase(inGame));
            copiedNow_.erase(FoldCase(inGame));
            putBack += Format(KeptEntry{entry.name, entry.keptName, KeptEntry::What::PutBack,
                                        LocalTime(now_, "%Y-%m-%d at %H:%M:%S")});
        }
        if (!putBack.empty()) {
            kept->text += putBack;
            run.tidying.push_back(
                {.kind = Step::Kind::WriteRecord, .path = kept->record, .text = kept->text});
        }
    }
}

void Planner::Sweep(Run& run, Folder& folder)
{
    std::vector<std::string> stale;
    for (const auto& [folded, entries] : Listed(folder).byFolded) {
        for (const platform::Entry& entry : entries) {
            if (entry.kind == EntryKind::File && IsStale(entry.name)) {
                stale.push_back(entry.name);
            }
        }
    }
    for (const std::string& name : stale) {
        run.sweeps.push_back({.kind = Step::Kind::Sweep, .path = Under(folder.dir, name)});
        Forget(folder, name);
    }
}

// A file in a run's subfolder that its record does not list was being taken when a command
// stopped: a copy of a set's file goes, anything else is listed as kept. Returns whether the
// subfolder still holds anything of the player's.
bool Planner::TidyRun(Run& run, KeptRun& kept)
{
    Sweep(run, kept.files);
    std::set<std::string> listed{FoldCase(kRecordName)};
    for (const KeptEntry& entry : kept.parsed.entries) {
        listed.insert(FoldCase(entry.keptName));
    }
    std::string found;
    bool holds = false;
    for (const auto& [folded, entries] : kept.files.byFolded) {
        for (const platform::Entry& entry : entries) {
            if (!IsPlain(entry)) {
                holds = true; // a folder, a hidden file: the player's, whatever it is
            } else if (listed.contains(folded)) {
                holds = holds || folded != FoldCase(kRecordName);
            } else if (const platform::FileStamp& stamp = Stamp(kept.files, entry.name);
                       IsPlayers(entry.name, stamp)) {
                found += Format(KeptEntry{entry.name,
                                          entry.name,
                                          KeptEntry::What::Found,
                                          {},
                                          stamp.size,
                                          stamp.modified});
                holds = true;
            } else {
                run.tidying.push_back(
                    {.kind = Step::Kind::Remove, .path = Under(kept.files.dir, entry.name)});
            }
        }
    }
    if (!found.empty()) {
        if (kept.record.empty()) {
            kept.record = Under(kept.files.dir, kRecordName);
            kept.text = Format(KeptRecord{fields_.GameDir, "?", now_, 0, {}});
        }
        kept.text += found;
        kept.parsed = Parse(kept.text);
        run.tidying.push_back(
            {.kind = Step::Kind::WriteRecord, .path = kept.record, .text = kept.text});
    }
    return holds;
}

// A run's subfolder goes once its files are back or gone, with its record, whichever command
// left it.
void Planner::TidyRuns(Run& run)
{
    std::erase_if(runs_, [&](KeptRun& kept) {
        if (TidyRun(run, kept)) {
            return false;
        }
        std::erase_if(run.tidying, [&](const Step& step) {
            return step.kind == Step::Kind::WriteRecord && step.path == kept.record;
        });
        if (!kept.record.empty()) {
            run.tidying.push_back({.kind = Step::Kind::Remove, .path = kept.record});
        }
        run.tidying.push_back({.kind = Step::Kind::Remove, .path = kept.files.dir});
        return true;
    });
}

void Planner::Refuse(platform::FsError refusal)
{
    if (!refusal_) {
        refusal_ = std::move(refusal);
    }
}

bool Planner::RefuseLinkedSetFolder(SetFolder folder)
{
    auto& known = linkedSetFolders_[static_cast<std::size_t>(folder)];
    if (!known) {
        known = LinkedSetFolder(folder);
    }
    if (*known) {
        Refuse(**known);
    }
    return known->has_value();
}

// Asked once for each set folder: the refusal it earns, if any.
std::optional<platform::FsError> Planner::LinkedSetFolder(SetFolder folder)
{
    const std::string& setDir = FolderOf(fields_, folder);
    const platform::FileStamp set = files_.Status(setDir);
    if (set.inode == 0) {
        return std::nullopt; // no identity to compare
    }
    // The game folder, the folders above it, and the backup folder.
    std::vector<std::string> taken{BackupDirOf(fields_.GameDir)};
    for (std::string at = fields_.GameDir; !at.empty();) {
        taken.push_back(at);
        const std::string up = platform::SplitPath(at).folder;
        at = up == at ? std::string() : up;
    }
    for (const std::string& other : taken) {
        if (files_.Status(other).SameIdentity(set)) {
            return platform::Refused(platform::FailureCause::SameFile, "use the set folder", setDir,
                                     {.nothingChanged = true, .other = other});
        }
    }
    return std::nullopt;
}

// Whatever stands where the command writes is known now, before its first change.
void Planner::RefuseOccupied(const Plan& plan, bool writesBackup)
{
    using platform::FailureCause;
    const platform::Entry* backup = Occupant(game_, std::string(kBackupFolderName));
    if (writesBackup && backup != nullptr && backup->kind != EntryKind::Folder) {
        Refuse(platform::Refused(FailureCause::NotAFolder, "keep files in", backup_.dir,
                                 {.nothingChanged = true, .kind = backup->kind}));
    }
    const platform::Entry* list = Occupant(backup_, std::string(kCopiesName));
    if (!plan.copies.empty() && list != nullptr && list->kind != EntryKind::File) {
        Refuse(platform::Refused(FailureCause::Occupied, "write", Under(backup_.dir, list->name),
                                 {.nothingChanged = true, .kind = list->kind}));
    }
    const platform::Entry* state = Occupant(game_, std::string(kStateFileName));
    if (!plan.word.empty() && state != nullptr && !Stamp(game_, state->name).IsFile()) {
        Refuse(platform::Refused(FailureCause::Occupied, "write", Stamp(game_, state->name).path,
                                 {.nothingChanged = true, .kind = Stamp(game_, state->name).kind}));
    }
}

// The backup folder and the run's subfolder are made, and the record is on disk, before the
// first change it describes.
void Planner::OpenRun(Run& run, Plan& plan, bool writesBackup)
{
    if (writesBackup && Occupant(game_, std::string(kBackupFolderName)) == nullptr) {
        plan.steps.push_back({.kind = Step::Kind::MakeFolder, .path = backup_.dir});
        Place(game_, std::string(kBackupFolderName), {}, EntryKind::Folder);
        backup_.listed = backup_.found = true;
    }
    run.record.gameDir = fields_.GameDir;
    run.record.started = now_;
    plan.record = run.record;
    plan.keptFiles = run.record.entries.size();
    plan.runDir = run.dir;
    if (!run.dir.empty()) {
        plan.steps.push_back({.kind = Step::Kind::MakeFolder, .path = run.dir});
    }
    if (plan.keptFiles > 0) {
        plan.steps.push_back({.kind = Step::Kind::WriteRecord,
                              .path = Under(run.dir, kRecordName),
                              .text = Format(run.record)});
        plan.steps.push_back({.kind = Step::Kind::Flush, .path = fields_.GameDir});
    }
}

// A run that keeps nothing leaves no folder, unless a file changed meanwhile stays there; one
// that keeps files is a run of the backup folder for the plans after it.
void Planner::CloseRun(Run& run, Plan& plan)
{
    if (run.dir.empty()) {
        return;
    }
    if (plan.keptFiles == 0) {
        plan.steps.push_back({.kind = Step::Kind::Remove, .path = run.dir});
        return;
    }
    KeptRun& kept = runs_.emplace_back();
    kept.files.dir = run.dir;
    kept.files.listed = kept.files.found = true;
    kept.record = Under(run.dir, kRecordName);
    kept.text = Format(run.record);
    kept.parsed = run.record;
    Place(kept.files, std::string(kRecordName), {});
    for (const KeptEntry& entry : run.record.entries) {
        Place(kept.files, entry.keptName, {});
    }
}

void Planner::Finish(Run& run, Plan& plan)
{
    ReadRuns();
    Sweep(run, game_);
    Sweep(run, backup_);
    TidyRuns(run);
    if (!plan.word.empty() && !plan.setMissing) {
        // The copies as the steps leave them; those made now get their identity once made.
        for (const auto& [folded, copy] : copies_) {
            plan.copies.push_back(copy);
        }
    }
    const bool writesBackup = !run.dir.empty() || !plan.copies.empty();
    RefuseOccupied(plan, writesBackup);
    plan.refusal = std::exchange(refusal_, std::nullopt);
    plan.steps = std::move(run.sweeps);
    OpenRun(run, plan, writesBackup);
    for (const auto* part : {&run.takes, &run.stages, &run.places, &run.tidying}) {
        plan.steps.insert(plan.steps.end(), part->begin(), part->end());
        if (part == &run.stages && !run.stages.empty()) {
            // Every copy is on disk before the first of them takes a game name.
            plan.steps.push_back({.kind = Step::Kind::Flush, .path = fields_.GameDir});
        }
    }
    if (!plan.copies.empty()) {
        const platform::Entry* list = Occupant(backup_, std::string(kCopiesName));
        const std::string name = list != nullptr ? list->name : std::string(kCopiesName);
        plan.steps.push_back({.kind = Step::Kind::WriteCopies,
                              .path = Under(backup_.dir, name),
                              .stamp = copiesStamp_});
        Place(backup_, name, {});
    }
    CloseRun(run, plan);
    plan.saveAt = plan.steps.size();
    if (!plan.word.empty()) {
        // The record follows the files: what the command changed is on disk before the state
        // file names the set, so a power cut never leaves it naming files that are not there.
        const platform::Entry* state = Occupant(game_, std::string(kStateFileName));
        const platform::FileStamp stamp =
            state != nullptr ? Stamp(game_, state->name) : platform::FileStamp{};
        plan.steps.push_back({.kind = Step::Kind::Flush, .path = fields_.GameDir});
        plan.steps.push_back({.kind = Step::Kind::WriteState,
                              .path = stamp.IsFile() ? stamp.path : fields_.StateFile,
                              .stamp = stamp,
                              .text = plan.word});
    }
}

Plan Planner::Restoring(Plan::Kind kind, const std::string& command)
{
    const SetRow& stock = RowOf(SetFolder::Stock);
    Plan plan{kind, stock.control};
    plan.word = stock.word;
    plan.setDir = fields_.StockDir;
    Run run(command);
    if (!SetPresent(SetFolder::Stock)) {
        plan.message = stock.missing;
        plan.setMissing = true;
    } else {
        RefuseLinkedSetFolder(SetFolder::Stock);
        Folder& stockFiles = SetFolderOf(SetFolder::Stock);
        // Pattern by pattern, each in the listing's order; a name goes with the first it matches.
        // A stock copy that the copy-back would bring again under the same name stays.
        std::vector<std::string> left = Names(game_);
        for (const std::string_view pattern : kCleanOut) {
            std::erase_if(left, [&](const std::string& name) {
                if (!platform::MatchesPattern(name, pattern)) {
                    return false;
                }
                const std::string* stock = Find(stockFiles, name);
                if (stock == nullptr || *stock != name ||
                    !InPlace(SetFolder::Stock, name, Stamp(game_, name), Stamp(stockFiles, name))) {
                    Take(run, name, KeptEntry::What::Cleared, plan.word);
                }
                return true;
            });
        }
        for (const std::string& name : Names(stockFiles)) {
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
    RefuseLinkedSetFolder(folder);
    Run run("install " + std::string(row.word));
    for (const std::string& name : Names(SetFolderOf(folder))) {
        CopyIn(run, folder, name, plan.word);
    }
    Finish(run, plan);
    return plan;
}

Plan Planner::Remove(const AirForceRow& airForce)
{
    Plan plan{Plan::Kind::Remove, airForce.control};
    Run run("remove " + std::string(airForce.word));
    for (const std::string_view model : airForce.models) {
        if (const std::string* stored = Find(game_, std::string(model))) {
            const std::string name = *stored;
            Take(run, name, KeptEntry::What::Removed, std::string(airForce.word));
        }
    }
    Finish(run, plan);
    return plan;
}

} // namespace switcher
