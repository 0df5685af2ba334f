#include "switcher/switcher.h"

#include "platform/file_ops.h"
#include "platform/fs_error.h"
#include "platform/name_match.h"

#include <algorithm>
#include <cerrno>
#include <span>
#include <stdexcept>
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

std::string Under(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    path += platform::kSeparator;
    path += name;
    return path;
}

std::span<const std::string_view> ModelsOf(std::int16_t index)
{
    switch (index) {
    case 0:
        return kRafModels;
    case 1:
        return kUsaafModels;
    case 2:
        return kLuftwaffeModels;
    default:
        throw std::out_of_range("no Country button with index " + std::to_string(index));
    }
}

std::string MegaBytes(std::uintmax_t bytes)
{
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

} // namespace

Switcher::Switcher(SetView& view) : Switcher(view, DefaultFiles()) {}

Switcher::Switcher(SetView& view, platform::FileSystem& files) : view_(view), files_(files) {}

const std::string& Switcher::FolderOf(SetFolder folder) const
{
    switch (folder) {
    case SetFolder::Jov:
        return fields_.JovDir;
    case SetFolder::Jovo:
        return fields_.JovoDir;
    case SetFolder::Tuk:
        return fields_.TukDir;
    case SetFolder::Stock:
        break;
    }
    return fields_.StockDir;
}

// The names are appended as they stand, without looking at how the working folder ends.
void Switcher::FormPaths()
{
    fields_.GameDir = files_.WorkingDir();
    fields_.JovDir = Under(fields_.GameDir, "jov");
    fields_.JovoDir = Under(fields_.GameDir, "jovo");
    fields_.TukDir = Under(fields_.GameDir, "tuk");
    fields_.StockDir = Under(fields_.GameDir, kStockFolderName);
    fields_.StateFile = Under(fields_.GameDir, kStateFileName);
}

bool Switcher::StateFileExists()
{
    return !files_.ListPlainFiles(fields_.StateFile).empty();
}

bool Switcher::SetPresent(SetFolder folder)
{
    return !files_.ListPlainFiles(Under(FolderOf(folder), RowOf(folder).testPattern)).empty();
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
    RestoreStock();
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

void Switcher::RestoreStock()
{
    if (!SetPresent(SetFolder::Stock)) {
        view_.ShowMessage(std::string(RowOf(SetFolder::Stock).missing));
        return;
    }
    Preflight(fields_.StockDir, true);
    files_.SetWorkingDir(fields_.GameDir);
    for (const std::string_view pattern : kCleanOut) {
        for (const std::string& name : files_.ListPlainFiles(std::string(pattern))) {
            files_.DeleteFile(name);
        }
    }
    CopySetFolder(fields_.StockDir);
}

void Switcher::Preflight(const std::string& copyFrom, bool cleanOut)
{
    files_.CheckReplaceable(fields_.StateFile);

    // Room for every copy, less what the copies replace and the clean-out frees, plus the
    // largest file, whose temporary stands beside the file it replaces until the rename.
    std::uintmax_t incoming = 0;
    std::uintmax_t largest = 0;
    std::uintmax_t leaving = 0;
    std::unordered_set<std::string> counted;
    for (const std::string& name : files_.ListPlainFiles(Under(copyFrom, "*.*"))) {
        const std::uintmax_t size = files_.FileSize(Under(copyFrom, name));
        incoming += size;
        largest = std::max(largest, size);
        if (counted.insert(platform::FoldCase(name)).second) {
            leaving += files_.FileSize(Under(fields_.GameDir, name));
        }
    }
    if (cleanOut) {
        for (const std::string_view pattern : kCleanOut) {
            for (const std::string& name : files_.ListPlainFiles(Under(fields_.GameDir, pattern))) {
                if (counted.insert(platform::FoldCase(name)).second) {
                    leaving += files_.FileSize(Under(fields_.GameDir, name));
                }
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

void Switcher::CopySetFolder(const std::string& folder)
{
    files_.SetWorkingDir(folder);
    for (const std::string& name : files_.ListPlainFiles("*.*")) {
        files_.CopyFile(name, Under(fields_.GameDir, name));
    }
}

void Switcher::Remove_Click()
{
    platform::Batch batch;
    view_.SetWindowEnabled(false);
    RestoreStock();
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
    Preflight(FolderOf(folder), false);
    CopySetFolder(FolderOf(folder));
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
    const auto models = ModelsOf(index);
    platform::Batch batch;
    view_.SetEnabled(CountryControl(index), false);
    view_.SetWindowEnabled(false);
    files_.SetWorkingDir(fields_.GameDir);
    for (const std::string_view model : models) {
        const std::string name(model);
        if (!files_.ListPlainFiles(name).empty()) {
            files_.DeleteFile(name);
        }
    }
    view_.SetWindowEnabled(true);
}

} // namespace switcher
