#include "switcher/switcher.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"
#include "platform/path_text.h"
#include "switcher/apply.h"
#include "switcher/check.h"
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
    return !platform::ListPlainFiles(files_, fields_.StateFile).empty();
}

void Switcher::LoadState()
{
    fields_.InstalledSet = ParseStateLine(files_.ReadFile(fields_.StateFile, kStateReadLimit));
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
    FormPaths();
    if (StateFileExists()) {
        LoadState();
        UpdateControls();
        return;
    }
    // A first start brings the folder to the stock state, so the folder and the record agree.
    Planner planner(files_, fields_);
    CarryOut(planner.FirstStart(), false);
}

Outcome Switcher::Click(Control control)
{
    FormPaths();
    Planner planner(files_, fields_);
    return CarryOut(PlanOf(planner, control), false);
}

void Switcher::Country_Click(std::int16_t index)
{
    Click(AirForceOf(index).control);
}

Prepared Switcher::Prepare(Control control)
{
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

Outcome Switcher::Carry(const Prepared& prepared, bool dryRun)
{
    std::vector<const Plan*> plans;
    for (const Plan& plan : prepared.plans) {
        if (!(plan.kind == Plan::Kind::Install && plan.setMissing)) {
            plans.push_back(&plan);
        }
    }
    if (dryRun) {
        for (const Plan& plan : prepared.plans) {
            if (!plan.message.empty()) {
                view_.ShowMessage(plan.message);
            }
        }
    }
    Check(files_, fields_, plans);
    Outcome outcome = prepared.outcome;
    for (const Plan& plan : prepared.plans) {
        if (!dryRun) {
            outcome = CarryOut(plan, true);
            continue;
        }
        for (const Step& step : plan.steps) {
            if (onStep_) {
                onStep_(step);
            }
        }
        if (plan.keptFiles > 0) {
            kept_.push_back({plan.runDir, plan.keptFiles});
        }
    }
    return outcome;
}

// The window's bracket around each command's steps: a first start records its state before it
// shows it, so the window never shows a state the folder does not record; the restore and the
// installs show it first.
Outcome Switcher::CarryOut(const Plan& plan, bool checked)
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
    if (!checked) {
        Check(files_, fields_, {&plan});
    }
    Applier applier(files_, plan, made_, onStep_);
    // What the command kept is told however it ends.
    struct Tell
    {
        ~Tell()
        {
            if (applier.Kept() > 0) {
                kept.push_back({plan.runDir, applier.Kept()});
            }
        }
        const Applier& applier;
        const Plan& plan;
        std::vector<KeptFiles>& kept;
    } tell{applier, plan, kept_};
    applier.Run(0, plan.saveAt);
    if (!plan.word.empty()) {
        fields_.InstalledSet = plan.word;
        if (plan.kind == Plan::Kind::FirstStart) {
            applier.Run(plan.saveAt, plan.steps.size());
            UpdateControls();
        } else {
            UpdateControls();
            applier.Run(plan.saveAt, plan.steps.size());
        }
    }
    view_.SetWindowEnabled(true);
    return plan.setMissing ? Outcome::SetMissing : Outcome::Done;
}

bool Switcher::Recorded()
{
    FormPaths();
    return StateFileExists();
}

Status Switcher::Inspect()
{
    Status status;
    status.recorded = Recorded();
    if (status.recorded) {
        LoadState();
    }
    Planner planner(files_, fields_);
    for (const SetRow& row : kSets) {
        status.present[static_cast<std::size_t>(row.folder)] = planner.SetPresent(row.folder);
    }
    status.backupDir = BackupDirOf(fields_.GameDir);
    for (const std::string& run : platform::ListFolders(files_, status.backupDir)) {
        for (const std::string& name :
             platform::ListPlainFiles(files_, Under(Under(status.backupDir, run), "*.*"))) {
            status.keptFiles += platform::FoldCase(name) == platform::FoldCase(kRecordName) ? 0 : 1;
        }
    }
    return status;
}

// An air force whose every model in the set is missing was removed with its button, which the
// state file cannot record: its models are no differences.
void FindRemovedAirForces(Comparison& result, const std::set<std::string>& setNames)
{
    using Kind = Comparison::Kind;
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
}

Comparison Switcher::Compare()
{
    Comparison result;
    FormPaths();
    if (!StateFileExists()) {
        return result;
    }
    LoadState();
    result.set = RowOfWord(fields_.InstalledSet);
    Planner planner(files_, fields_);
    if (result.set == nullptr || !planner.SetPresent(result.set->folder)) {
        result.verdict = result.set == nullptr ? Comparison::Verdict::ErrorState
                                               : Comparison::Verdict::SetMissing;
        return result;
    }
    result.verdict = Comparison::Verdict::Compared;
    std::vector<std::string> setFiles = planner.SetFiles(result.set->folder);
    // A state file inside a set folder is copied in and then written anew: no difference.
    std::erase_if(setFiles, [](const std::string& name) {
        return platform::FoldCase(name) == kStateFileName;
    });
    for (const std::string& name : setFiles) {
        const std::optional<std::string> found = planner.GameFile(name);
        if (!found) {
            result.differences.push_back({Comparison::Kind::Missing, name});
        } else if (!files_.SameContent(planner.SetPath(result.set->folder, name),
                                       Under(fields_.GameDir, *found))) {
            result.differences.push_back({Comparison::Kind::Differs, *found});
        }
    }
    const auto setNames = FoldedNames(setFiles);
    FindRemovedAirForces(result, setNames);
    // Add-on file types that neither this set nor the stock set brought.
    const auto stockNames = FoldedNames(planner.SetFiles(SetFolder::Stock));
    for (const std::string& name :
         platform::ListPlainFiles(files_, Under(fields_.GameDir, "*.*"))) {
        const std::string folded = platform::FoldCase(name);
        if (Cleared(name) && !setNames.contains(folded) && !stockNames.contains(folded)) {
            result.extras.push_back(name);
        }
    }
    return result;
}

bool SetPresentHere(platform::FileSystem& files, SetFolder folder)
{
    const Fields fields = FieldsFor(files.WorkingDir());
    return Planner(files, fields).SetPresent(folder);
}

} // namespace switcher
