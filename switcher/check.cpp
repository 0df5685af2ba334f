#include "switcher/check.h"

#include "platform/fs_error.h"
#include "platform/path_text.h"
#include "switcher/kept_record.h"

#include <algorithm>

namespace switcher
{
namespace
{

using platform::FailureCause;
using platform::Refused;

// A temporary beside a file the command writes: its prefix, a process id of up to seven digits
// and a serial number of up to ten.
constexpr std::size_t kLongestTemporary = 34;

bool TakesOut(const Step& step)
{
    return step.kind == Step::Kind::Take || step.kind == Step::Kind::PutBack ||
           (step.kind == Step::Kind::Place && step.stamp.IsFile());
}

void RefuseReadOnly(const platform::FileStamp& file, const char* operation)
{
    if (file.IsFile() && file.readOnly) {
        throw Refused(FailureCause::ReadOnly, operation, file.path, {.nothingChanged = true});
    }
}

// Every path the plan makes fits the system, temporaries beside written files included.
void RefuseLongPaths(const Plan& plan)
{
    for (const Step& step : plan.steps) {
        const bool writes =
            step.kind == Step::Kind::Stage || step.kind == Step::Kind::WriteRecord ||
            step.kind == Step::Kind::WriteCopies || step.kind == Step::Kind::WriteState;
        const std::string aside = writes ? platform::SplitPath(step.path).folder + "/" +
                                               std::string(kLongestTemporary, 'x')
                                         : std::string();
        for (const std::string* path : {&step.path, &step.kept, &aside}) {
            if (path->size() > platform::kLongestPath) {
                throw Refused(FailureCause::TooLong, "make", *path,
                              {.nothingChanged = true,
                               .needed = path->size(),
                               .free = platform::kLongestPath});
            }
        }
    }
}

// What the steps themselves would refuse: files read-only or held by another program. Says
// whether the plan writes into the backup folder.
bool RefuseSteps(platform::FileSystem& files, const Plan& plan)
{
    bool writesBackup = false;
    for (const Step& step : plan.steps) {
        switch (step.kind) {
        case Step::Kind::Take:
            RefuseReadOnly(step.stamp, "delete");
            break;
        case Step::Kind::Place:
            RefuseReadOnly(step.stamp, "replace");
            break;
        case Step::Kind::PutBack:
            RefuseReadOnly(step.stamp, "put back");
            files.Probe(step.source, platform::Access::Change);
            break;
        case Step::Kind::WriteState:
            RefuseReadOnly(step.stamp, "replace");
            files.Probe(step.path, platform::Access::Change);
            break;
        case Step::Kind::MakeFolder:
        case Step::Kind::WriteRecord:
        case Step::Kind::WriteCopies:
            writesBackup = true;
            break;
        default:
            break;
        }
        // A new name too: on Windows it may be another file's short name.
        if (TakesOut(step) || step.kind == Step::Kind::Place) {
            files.Probe(step.path, platform::Access::Change);
        }
    }
    return writesBackup;
}

// A backup folder on another drive than the game, or closed to new files.
void RefuseBackupFolder(platform::FileSystem& files, const Fields& fields)
{
    const std::string backupDir = BackupDirOf(fields.GameDir);
    const platform::FileStamp backup = files.Status(backupDir);
    if (backup.kind == platform::EntryKind::Folder &&
        backup.device != files.Status(fields.GameDir).device) {
        throw Refused(FailureCause::OtherDrive, "keep files in", backupDir,
                      {.nothingChanged = true});
    }
    files.Probe(backup.kind == platform::EntryKind::Folder ? backupDir : fields.GameDir,
                platform::Access::Create);
}

} // namespace

std::uintmax_t PeakNeed(const std::vector<const Plan*>& plans, std::uintmax_t blockSize)
{
    const std::uintmax_t block = std::max<std::uintmax_t>(blockSize, 1);
    const auto blocks = [&](std::uintmax_t size) { return (size + block - 1) / block + 1; };
    std::intmax_t used = 0;
    std::intmax_t peak = 0;
    const auto take = [&](std::uintmax_t size) { used += static_cast<std::intmax_t>(size); };
    const auto free = [&](std::uintmax_t size) { used -= static_cast<std::intmax_t>(size); };
    for (const Plan* plan : plans) {
        for (const Step& step : plan->steps) {
            switch (step.kind) {
            case Step::Kind::MakeFolder:
                take(1);
                break;
            case Step::Kind::Stage:
                take(blocks(step.from.size));
                break;
            case Step::Kind::WriteRecord:
            case Step::Kind::WriteState:
                take(blocks(step.text.size()));
                break;
            case Step::Kind::WriteCopies:
                take(blocks(128 * plan->copies.size()));
                break;
            default:
                break;
            }
            peak = std::max(peak, used);
            // What leaves the game folder for good frees its blocks once the step is done.
            if (TakesOut(step) && !step.keep) {
                free(blocks(step.stamp.size));
            } else if ((step.kind == Step::Kind::WriteCopies ||
                        step.kind == Step::Kind::WriteState) &&
                       step.stamp.IsFile()) {
                free(blocks(step.stamp.size)); // the file it replaces
            }
        }
    }
    return static_cast<std::uintmax_t>(peak) * block;
}

void Check(platform::FileSystem& files, const Fields& fields, const std::vector<const Plan*>& plans)
{
    const Plan* copying = nullptr;
    bool writesBackup = false;
    for (const Plan* plan : plans) {
        if (plan->refusal) {
            throw *plan->refusal;
        }
        RefuseLongPaths(*plan);
        writesBackup = RefuseSteps(files, *plan) || writesBackup;
        copying = plan->setDir.empty() ? copying : plan;
    }
    if (writesBackup) {
        RefuseBackupFolder(files, fields);
    }
    const platform::Volume volume = files.VolumeOf(fields.GameDir);
    const std::uintmax_t needed = PeakNeed(plans, volume.blockSize);
    if (needed > volume.free) {
        throw Refused(FailureCause::NoRoom, "copy the files of",
                      copying != nullptr ? copying->setDir : fields.GameDir,
                      {.nothingChanged = true, .needed = needed, .free = volume.free});
    }
}

} // namespace switcher
