#include "switcher/switcher.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"
#include "platform/path_text.h"
#include "switcher/kept_record.h"
#include "switcher/planner.h"
#include "switcher/state_file.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <unordered_set>

namespace switcher
{
namespace
{

using platform::Under;

std::set<std::string> FoldedNames(const std::vector<std::string>& names)
{
    std::set<std::string> folded;
    for (const auto& name : names) {
        folded.insert(platform::FoldCase(name));
    }
    return folded;
}

Plan PlanOf(Planner& planner, Control control)
{
    if (const AirForceRow* airForce = AirForceOf(control)) {
        return planner.Remove(*airForce);
    }
    const SetRow& set = *SetOf(control);
    return set.folder == SetFolder::Stock ? planner.Restore() : planner.Install(set.folder);
}

} // namespace

Switcher::Switcher(SetView& view, platform::FileSystem& files) : view_(view), files_(files) {}

// The paths are formed once, from the working folder, at the first start-up or query.
void Switcher::FormPaths()
{
    if (fields_.GameDir.empty()) {
        fields_ = FieldsFor(files_.WorkingDir());
    }
}

bool Switcher::StateFileExists()
{
    return !files_.ListPlainFiles(fields_.StateFile).empty();
}

void Switcher::LoadState()
{
    fields_.InstalledSet = ParseStateLine(files_.ReadTextFile(fields_.StateFile, kStateReadLimit));
}

void Switcher::UpdateControls()
{
    const ControlStates states = StatesFor(fields_.InstalledSet);
    view_.SetCaption(std::string(states.title));
    for (const Control control : kControls) {
        view_.SetEnabled(control, IsEnabled(states, control));
    }
}

void Switcher::Start()
{
    platform::Batch batch(files_);
    FormPaths();
    if (StateFileExists()) {
        LoadState();
        UpdateControls();
        return;
    }
    // A first start brings the folder to the stock state, so the folder and the record agree.
    Planner planner(files_, fields_);
    CarryOut(planner.FirstStart());
}

Outcome Switcher::Click(Control control)
{
    platform::Batch batch(files_);
    FormPaths();
    Planner planner(files_, fields_);
    return CarryOut(PlanOf(planner, control));
}

void Switcher::Country_Click(std::int16_t index)
{
    Click(AirForceOf(index).control);
}

Prepared Switcher::Prepare(Control control)
{
    platform::Batch batch(files_);
    Prepared prepared;
    FormPaths();
    const bool recorded = StateFileExists();
    if (recorded) {
        LoadState();
    }
    // A first start always leaves the stock set, so what it would refuse is refused before the
    // first start changes anything.
    prepared.installed =
        recorded ? fields_.InstalledSet : std::string(RowOf(SetFolder::Stock).word);
    if (!IsEnabled(StatesFor(prepared.installed), control)) {
        prepared.outcome = Outcome::Refused;
        return prepared;
    }
    Planner planner(files_, fields_);
    if (!recorded) {
        prepared.plans.push_back(planner.FirstStart());
    }
    prepared.plans.push_back(PlanOf(planner, control));
    prepared.outcome = prepared.plans.back().setMissing ? Outcome::SetMissing : Outcome::Done;
    return prepared;
}

Outcome Switcher::Carry(const Prepared& prepared)
{
    platform::Batch batch(files_);
    Outcome outcome = prepared.outcome;
    for (const Plan& plan : prepared.plans) {
        outcome = CarryOut(plan);
    }
    return outcome;
}

// The window's bracket around each command's steps, in the order the commands have always had:
// a first start records its state before it shows it, the restore and the installs show it
// first.
Outcome Switcher::CarryOut(const Plan& plan)
{
    if (plan.kind == Plan::Kind::Install && plan.setMissing) {
        view_.ShowMessage(plan.message);
        return Outcome::SetMissing;
    }
    if (plan.kind == Plan::Kind::Remove) {
        view_.SetEnabled(plan.control, false);
    }
    view_.SetWindowEnabled(false);
    if (!plan.message.empty()) {
        view_.ShowMessage(plan.message);
    }
    Check(plan);
    Apply(plan, 0, plan.saveAt);
    if (!plan.word.empty()) {
        fields_.InstalledSet = plan.word;
        if (plan.kind == Plan::Kind::FirstStart) {
            Apply(plan, plan.saveAt, plan.steps.size());
            UpdateControls();
        } else {
            UpdateControls();
            Apply(plan, plan.saveAt, plan.steps.size());
        }
    }
    view_.SetWindowEnabled(true);
    return plan.setMissing ? Outcome::SetMissing : Outcome::Done;
}

// Everything that can be known before the first change is asked here, over the plan, so that a
// command refuses with the same failure its step would meet and changes nothing. A file that
// changes after the check is still met at its step.
void Switcher::Check(const Plan& plan)
{
    if (plan.refusal) {
        throw *plan.refusal;
    }
    if (!plan.word.empty()) {
        files_.CheckReplaceable(fields_.StateFile);
        files_.CheckNotInUse(fields_.StateFile);
    }
    if (plan.saveAt == 0) {
        return;
    }
    const std::string backupDir = Under(fields_.GameDir, kBackupFolderName);
    const platform::EntryKind backup = files_.KindOf(backupDir);
    if (backup == platform::EntryKind::Other) {
        throw platform::FsError(ENOTDIR, "keep files in", backupDir,
                                platform::FailureCause::NotAFolder, {.nothingChanged = true});
    }
    // The backup folder takes the run's folder and its files (the game folder, where it is to be
    // made).
    if (!plan.runDir.empty() || !plan.copies.empty()) {
        files_.CheckTakesFiles(backup == platform::EntryKind::Folder ? backupDir : fields_.GameDir);
    }
    // A read-only file refuses as its step would.
    const auto refuseReadOnly = [](const platform::FileStamp& file, const char* operation) {
        if (file.exists && file.readOnly) {
            throw platform::FsError(EACCES, operation, file.path, platform::FailureCause::ReadOnly,
                                    {.nothingChanged = true});
        }
    };
    // Room for every copy, less what the copies replace and the clean-out frees, plus the
    // largest file, whose temporary stands beside the file it replaces until the rename. The
    // player's own files are kept, which frees nothing, and where the file system takes no
    // links a file kept before it is replaced is a copy too.
    std::uintmax_t incoming = 0;
    std::uintmax_t largest = 0;
    std::uintmax_t leaving = 0;
    std::optional<bool> links;
    std::unordered_set<std::string> kept;
    for (const Step& step : plan.steps) {
        switch (step.kind) {
        case Step::Kind::KeepByMoving:
        case Step::Kind::Delete:
            refuseReadOnly(step.stamp, "delete");
            files_.CheckNotInUse(step.path);
            leaving += step.kind == Step::Kind::Delete ? step.stamp.size : 0;
            break;
        case Step::Kind::KeepByLinking:
            refuseReadOnly(step.stamp, "replace");
            files_.CheckNotInUse(step.path);
            kept.insert(step.path);
            if (!links) {
                links = files_.TakesLinks(fields_.GameDir);
            }
            incoming += *links ? 0 : step.stamp.size;
            break;
        case Step::Kind::Copy:
            refuseReadOnly(step.stamp, "replace");
            incoming += step.from.size;
            largest = std::max(largest, step.from.size);
            if (step.stamp.exists && !kept.contains(step.path)) {
                leaving += step.stamp.size;
            }
            // A new name too: on Windows it may be another file's short name.
            files_.CheckNotInUse(step.path);
            break;
        case Step::Kind::PutBack:
            refuseReadOnly(step.stamp, "put back");
            refuseReadOnly(step.from, "put back");
            files_.CheckNotInUse(step.path);
            files_.CheckNotInUse(step.source);
            break;
        case Step::Kind::WriteRecord:
        case Step::Kind::WriteCopies:
            refuseReadOnly(step.stamp, "replace");
            break;
        default:
            break;
        }
    }
    const std::uintmax_t needed = incoming > leaving ? incoming - leaving + largest : largest;
    const std::uintmax_t free = files_.FreeSpace(fields_.GameDir);
    if (needed > free) {
        throw platform::FsError(ENOSPC, "copy the files of", plan.setDir,
                                platform::FailureCause::NoRoom,
                                {.nothingChanged = true, .needed = needed, .free = free});
    }
}

void Switcher::Apply(const Plan& plan, std::size_t from, std::size_t to)
{
    using platform::Keeping;
    for (std::size_t at = from; at < to; ++at) {
        const Step& step = plan.steps[at];
        switch (step.kind) {
        case Step::Kind::MakeFolder:
            // A run's subfolder is new: the plan chose a name no folder had.
            if (!files_.MakeFolder(step.path) && step.path == plan.runDir) {
                throw platform::FsError(EEXIST, "make the folder", step.path);
            }
            break;
        case Step::Kind::WriteRecord:
            files_.WriteTextFile(step.path, step.text);
            break;
        case Step::Kind::KeepByMoving:
        case Step::Kind::KeepByLinking:
            files_.KeepFile(step.path, step.source,
                            step.kind == Step::Kind::KeepByMoving ? Keeping::Move : Keeping::Link);
            if (kept_.empty() || kept_.back().folder != plan.runDir) {
                kept_.push_back({plan.runDir, 0});
            }
            ++kept_.back().files;
            break;
        case Step::Kind::Delete:
            files_.RemoveFile(step.path);
            break;
        case Step::Kind::Copy:
            files_.CopyFileReplacing(step.source, step.path);
            // As the copy stands now: the identity that later tells it from the player's files.
            made_[platform::FoldCase(platform::SplitPath(step.path).leaf)] =
                files_.StampOf(step.path);
            break;
        case Step::Kind::WriteCopies: {
            std::vector<PlacedCopy> copies = plan.copies;
            for (PlacedCopy& copy : copies) {
                const auto made = made_.find(platform::FoldCase(copy.name));
                if (copy.inode == 0 && copy.changed == 0 && made != made_.end()) {
                    copy = PlacedCopy::Of(made->second, copy.name, copy.set);
                }
            }
            files_.WriteTextFile(step.path, Format(copies));
            break;
        }
        case Step::Kind::PutBack:
            files_.PutBack(step.source, step.path);
            break;
        case Step::Kind::TidyUp:
            // A run's subfolder that keeps nothing more goes, and so does an empty backup
            // folder. Hidden files or a player's own may keep them: that is no failure.
            try {
                files_.RemoveFile(step.source);
                files_.RemoveFolder(step.path);
                const std::string backupDir = platform::SplitPath(step.path).folder;
                if (files_.ListFolders(backupDir).empty() &&
                    files_.ListPlainFiles(Under(backupDir, "*.*")).empty()) {
                    files_.RemoveFolder(backupDir);
                }
            } catch (const platform::FsError&) {
            }
            break;
        case Step::Kind::Flush:
            files_.FlushToDisk(step.path);
            break;
        case Step::Kind::WriteState:
            files_.WriteTextFile(step.path, StateLine(step.text));
            break;
        }
        if (onStep_) {
            onStep_(step);
        }
    }
}

bool Switcher::Recorded()
{
    FormPaths();
    return StateFileExists();
}

Status Switcher::Inspect()
{
    platform::Batch batch(files_);
    Status status;
    status.recorded = Recorded();
    if (status.recorded) {
        LoadState();
    }
    Planner planner(files_, fields_);
    for (const SetRow& row : kSets) {
        status.present[static_cast<std::size_t>(row.folder)] = planner.SetPresent(row.folder);
    }
    status.backupDir = Under(fields_.GameDir, kBackupFolderName);
    if (files_.KindOf(status.backupDir) == platform::EntryKind::Folder) {
        for (const std::string& run : files_.ListFolders(status.backupDir)) {
            for (const std::string& name :
                 files_.ListPlainFiles(Under(Under(status.backupDir, run), "*.*"))) {
                status.keptFiles +=
                    platform::FoldCase(name) == platform::FoldCase(kRecordName) ? 0 : 1;
            }
        }
    }
    return status;
}

Comparison Switcher::Compare()
{
    using Kind = Comparison::Kind;
    platform::Batch batch(files_);
    Comparison result;
    FormPaths();
    if (!StateFileExists()) {
        return result;
    }
    LoadState();
    result.set = RowOfWord(fields_.InstalledSet);
    if (result.set == nullptr) {
        result.outcome = Comparison::Outcome::ErrorState;
        return result;
    }
    Planner planner(files_, fields_);
    if (!planner.SetPresent(result.set->folder)) {
        result.outcome = Comparison::Outcome::SetMissing;
        return result;
    }
    result.outcome = Comparison::Outcome::Compared;

    const std::string& setDir = FolderOf(fields_, result.set->folder);
    std::vector<std::string> setFiles = files_.ListPlainFiles(Under(setDir, "*.*"));
    // A state file inside a set folder is copied in and then written anew: no difference.
    std::erase_if(setFiles, [](const std::string& name) {
        return platform::FoldCase(name) == kStateFileName;
    });
    for (const std::string& name : setFiles) {
        // The game-folder file the name resolves to: the exact name, else the smallest variant.
        const std::vector<std::string> inGame = files_.ListPlainFiles(Under(fields_.GameDir, name));
        if (inGame.empty()) {
            result.differences.push_back({Kind::Missing, name});
            continue;
        }
        const bool exact = std::find(inGame.begin(), inGame.end(), name) != inGame.end();
        const std::string& found = exact ? name : inGame.front();
        if (!files_.SameContent(Under(setDir, name), Under(fields_.GameDir, found))) {
            result.differences.push_back({Kind::Differs, found});
        }
    }
    // An air force whose every model in the set is missing was removed with its button.
    const auto setNames = FoldedNames(setFiles);
    std::set<std::string> missing;
    for (const auto& difference : result.differences) {
        if (difference.kind == Kind::Missing) {
            missing.insert(platform::FoldCase(difference.name));
        }
    }
    for (const AirForceRow& airForce : kAirForces) {
        std::set<std::string> held;
        for (const std::string_view model : airForce.models) {
            if (setNames.contains(std::string(model))) {
                held.insert(std::string(model));
            }
        }
        if (!held.empty() &&
            std::includes(missing.begin(), missing.end(), held.begin(), held.end())) {
            result.removed.push_back(&airForce);
            std::erase_if(result.differences, [&](const Comparison::Difference& difference) {
                return difference.kind == Kind::Missing &&
                       held.contains(platform::FoldCase(difference.name));
            });
        }
    }
    // Add-on file types that neither this set nor the stock set brought.
    const auto stockNames = FoldedNames(files_.ListPlainFiles(Under(fields_.StockDir, "*.*")));
    std::set<std::string> extra;
    for (const std::string_view pattern : kCleanOut) {
        for (const std::string& name : files_.ListPlainFiles(Under(fields_.GameDir, pattern))) {
            const std::string folded = platform::FoldCase(name);
            if (!setNames.contains(folded) && !stockNames.contains(folded)) {
                extra.insert(name);
            }
        }
    }
    result.extras.assign(extra.begin(), extra.end());
    return result;
}

bool SetPresentHere(platform::FileSystem& files, SetFolder folder)
{
    const Fields fields = FieldsFor(files.WorkingDir());
    return Planner(files, fields).SetPresent(folder);
}

} // namespace switcher
