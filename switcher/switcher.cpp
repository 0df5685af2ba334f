#include "switcher/switcher.h"

#include "platform/file_ops.h"
#include "platform/fs_error.h"
#include "platform/name_match.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <unordered_set>

namespace switcher
{
namespace
{

platform::FileSystem& DefaultFiles()
{
    static platform::FileSystem files;
    return files;
}

using platform::Under;

// Where each set folder's path is kept, by SetFolder.
constexpr std::array<std::string Fields::*, kSets.size()> kSetDirs{
    &Fields::StockDir, &Fields::JovDir, &Fields::JovoDir, &Fields::TukDir};

std::set<std::string> FoldedNames(const std::vector<std::string>& names)
{
    std::set<std::string> folded;
    for (const auto& name : names) {
        folded.insert(platform::FoldCase(name));
    }
    return folded;
}

std::string MegaBytes(std::uintmax_t bytes)
{
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

} // namespace

Switcher::Switcher(SetView& view) : Switcher(view, DefaultFiles()) {}

Switcher::Switcher(SetView& view, platform::FileSystem& files) : view_(view), files_(files) {}

const std::string& FolderOf(const Fields& fields, SetFolder folder)
{
    return fields.*kSetDirs[static_cast<std::size_t>(folder)];
}

// The names are appended as they stand, without looking at how the working folder ends.
void Switcher::FormPaths()
{
    fields_.GameDir = files_.WorkingDir();
    for (const SetFolder folder :
         {SetFolder::Jov, SetFolder::Jovo, SetFolder::Tuk, SetFolder::Stock}) {
        fields_.*kSetDirs[static_cast<std::size_t>(folder)] =
            Under(fields_.GameDir, RowOf(folder).folderName);
    }
    fields_.StateFile = Under(fields_.GameDir, kStateFileName);
}

bool Switcher::StateFileExists()
{
    return !files_.ListPlainFiles(fields_.StateFile).empty();
}

bool Switcher::SetPresent(SetFolder folder)
{
    return !files_.ListPlainFiles(Under(FolderOf(fields_, folder), RowOf(folder).testPattern))
                .empty();
}

void Switcher::Start()
{
    platform::Batch batch;
    FormPaths();
    if (StateFileExists()) {
        LoadState();
        UpdateControls();
        return;
    }
    // A first start brings the folder to the stock state, so the folder and the record agree.
    view_.SetWindowEnabled(false);
    Backup backup(files_, fields_, "first start");
    Keeping(backup, [&] { RestoreStock(backup); });
    fields_.InstalledSet = RowOf(SetFolder::Stock).word;
    SaveState();
    UpdateControls();
    view_.SetWindowEnabled(true);
}

void Switcher::UpdateControls()
{
    const ControlStates states = StatesFor(fields_.InstalledSet);
    view_.SetCaption(std::string(states.title));
    for (const Control control : kControls) {
        view_.SetEnabled(control, IsEnabled(states, control));
    }
}

// The record follows the files: what the command changed is on disk before the state file
// names the set, so a power cut never leaves it naming files that are not there.
void Switcher::SaveState()
{
    files_.FlushToDisk(fields_.GameDir);
    files_.WriteTextField(fields_.StateFile, fields_.InstalledSet);
}

void Switcher::LoadState()
{
    fields_.InstalledSet = files_.ReadTextField(fields_.StateFile);
}

template <typename Work> void Switcher::Keeping(Backup& backup, Work work)
{
    const auto finish = [&] {
        if (backup.KeptFiles() > 0) {
            kept_.push_back({backup.RunFolder(), backup.KeptFiles()});
        }
        backup.Finish();
    };
    try {
        work();
    } catch (...) {
        try {
            finish();
        } catch (...) {
            // The failure of the work is the one to report; what was kept stays kept.
        }
        throw;
    }
    finish();
}

void Switcher::RestoreStock(Backup& backup)
{
    if (!SetPresent(SetFolder::Stock)) {
        view_.ShowMessage(std::string(RowOf(SetFolder::Stock).missing));
        return;
    }
    Preflight(fields_.StockDir, true, backup);
    files_.SetWorkingDir(fields_.GameDir);
    for (const std::string_view pattern : kCleanOut) {
        for (const std::string& name : files_.ListPlainFiles(std::string(pattern))) {
            backup.Remove(name, "cleared by the restore of the stock set");
        }
    }
    CopySetFolder(fields_.StockDir, backup, "replaced by the restore of the stock set");
    backup.PutBackOriginals();
}

void Switcher::Preflight(const std::string& copyFrom, bool cleanOut, Backup& backup)
{
    files_.CheckReplaceable(fields_.StateFile);
    backup.Check();

    // Room for every copy, less what the copies replace and the clean-out frees, plus the
    // largest file, whose temporary stands beside the file it replaces until the rename. The
    // player's own files are kept, which frees nothing.
    std::uintmax_t incoming = 0;
    std::uintmax_t largest = 0;
    std::uintmax_t leaving = 0;
    std::unordered_set<std::string> counted;
    // Each file to be replaced or deleted: a file another program holds (the running game) is
    // found here, not halfway through.
    const auto leaves = [&](const std::string& name) {
        if (counted.insert(platform::FoldCase(name)).second) {
            const std::string path = Under(fields_.GameDir, name);
            files_.CheckNotInUse(path);
            const platform::FileStamp stamp = files_.StampOf(path);
            leaving += backup.IsPlayers(stamp) ? 0 : stamp.size;
        }
    };
    for (const std::string& name : files_.ListPlainFiles(Under(copyFrom, "*.*"))) {
        const std::uintmax_t size = files_.StampOf(Under(copyFrom, name)).size;
        incoming += size;
        largest = std::max(largest, size);
        leaves(name);
    }
    if (cleanOut) {
        for (const std::string_view pattern : kCleanOut) {
            for (const std::string& name : files_.ListPlainFiles(Under(fields_.GameDir, pattern))) {
                leaves(name);
            }
        }
    }
    const std::uintmax_t needed = incoming > leaving ? incoming - leaving + largest : largest;
    const std::uintmax_t free = files_.FreeSpace(fields_.GameDir);
    if (needed > free) {
        throw platform::FsError(ENOSPC, "copy the files of", copyFrom,
                                "The copies need " + MegaBytes(needed) + " and only " +
                                    MegaBytes(free) + " are free; nothing was changed.");
    }
}

void Switcher::CopySetFolder(const std::string& folder, Backup& backup, const std::string& why)
{
    files_.SetWorkingDir(folder);
    for (const std::string& name : files_.ListPlainFiles("*.*")) {
        const std::string destination = Under(fields_.GameDir, name);
        // The state file is the program's own record, written anew after the copies.
        if (platform::FoldCase(name) != kStateFileName) {
            backup.BeforeReplace(destination, why);
        }
        files_.CopyFileReplacing(name, destination);
    }
}

void Switcher::Remove_Click()
{
    platform::Batch batch;
    view_.SetWindowEnabled(false);
    Backup backup(files_, fields_, "restore");
    Keeping(backup, [&] { RestoreStock(backup); });
    fields_.InstalledSet = RowOf(SetFolder::Stock).word;
    UpdateControls();
    SaveState();
    view_.SetWindowEnabled(true);
}

void Switcher::InstallSet(SetFolder folder)
{
    platform::Batch batch;
    const SetRow& row = RowOf(folder);
    if (!SetPresent(folder)) {
        view_.ShowMessage(std::string(row.missing));
        return;
    }
    view_.SetWindowEnabled(false);
    Backup backup(files_, fields_, "install " + std::string(row.word));
    Keeping(backup, [&] {
        Preflight(FolderOf(fields_, folder), false, backup);
        CopySetFolder(FolderOf(fields_, folder), backup,
                      "replaced by the install of " + std::string(row.name));
    });
    fields_.InstalledSet = row.word;
    UpdateControls();
    SaveState();
    view_.SetWindowEnabled(true);
}

void Switcher::Install_Click()
{
    InstallSet(SetFolder::Jov);
}

void Switcher::InstallOnline_Click()
{
    InstallSet(SetFolder::Jovo);
}

void Switcher::InstallTUK_Click()
{
    InstallSet(SetFolder::Tuk);
}

void Switcher::Country_Click(std::int16_t index)
{
    const AirForceRow& airForce = AirForceOf(index);
    platform::Batch batch;
    view_.SetEnabled(airForce.control, false);
    view_.SetWindowEnabled(false);
    Backup backup(files_, fields_, "remove " + std::string(airForce.word));
    Keeping(backup, [&] {
        backup.Check();
        files_.SetWorkingDir(fields_.GameDir);
        const std::string why = "removed with the " + std::string(airForce.name) + " flight models";
        for (const std::string_view model : airForce.models) {
            const std::string name(model);
            if (!files_.ListPlainFiles(name).empty()) {
                backup.Remove(name, why);
            }
        }
    });
    view_.SetWindowEnabled(true);
}

void Switcher::Click(Control control)
{
    if (const AirForceRow* airForce = AirForceOf(control)) {
        Country_Click(airForce->index);
        return;
    }
    const auto* set = std::find_if(kSets.begin(), kSets.end(),
                                   [control](const SetRow& row) { return row.control == control; });
    if (set->folder == SetFolder::Stock) {
        Remove_Click();
    } else {
        InstallSet(set->folder);
    }
}

bool Switcher::Recorded()
{
    FormPaths();
    return StateFileExists();
}

Status Switcher::Inspect()
{
    platform::Batch batch;
    Status status;
    status.recorded = Recorded();
    if (status.recorded) {
        LoadState();
    }
    for (const SetRow& row : kSets) {
        status.present[static_cast<std::size_t>(row.folder)] = SetPresent(row.folder);
    }
    status.backupDir = Under(fields_.GameDir, kBackupFolderName);
    status.keptFiles = Backup::CountKept(files_, fields_.GameDir);
    return status;
}

Comparison Switcher::Compare()
{
    using Kind = Comparison::Kind;
    platform::Batch batch;
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
    if (!SetPresent(result.set->folder)) {
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
    for (const std::string& name : extra) {
        result.differences.push_back({Kind::Extra, name});
    }
    return result;
}

} // namespace switcher
