#include "switcher/apply.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"
#include "platform/path_text.h"
#include "switcher/state_file.h"

#include <cerrno>

namespace switcher
{

using platform::Moved;

Applier::Applier(platform::FileSystem& files, const Plan& plan,
                 std::map<std::string, platform::FileStamp>& made,
                 std::function<void(const Step&)> report)
    : files_(files), plan_(plan), made_(made), report_(std::move(report)), record_(plan.record)
{}

Applier::~Applier()
{
    for (const auto& [path, staged] : staged_) {
        try {
            files_.Remove(staged);
        } catch (const platform::FsError&) {
            // Best effort: a temporary left behind is swept by the next command in this folder.
        }
    }
}

void Applier::Run(std::size_t from, std::size_t to)
{
    for (std::size_t at = from; at < to; ++at) {
        const Step& step = plan_.steps[at];
        switch (step.kind) {
        case Step::Kind::Sweep:
            files_.Remove(step.path);
            break;
        case Step::Kind::MakeFolder:
            // A run's subfolder is new: the plan chose a name nothing had.
            if (!files_.MakeFolder(step.path) && step.path == plan_.runDir) {
                throw platform::Refused(platform::FailureCause::Occupied, "make the folder",
                                        step.path, {.kind = platform::EntryKind::Folder});
            }
            break;
        case Step::Kind::WriteRecord:
            files_.WriteFile(step.path, step.text);
            break;
        case Step::Kind::Take:
            Take(step);
            break;
        case Step::Kind::Stage:
            staged_[step.path] = files_.Stage(step.source, platform::SplitPath(step.path).folder);
            break;
        case Step::Kind::Place:
            Place(step);
            break;
        case Step::Kind::PutBack:
            PutBack(step);
            break;
        case Step::Kind::Remove:
            // The run's own subfolder stays where it keeps a file found changed.
            if (step.path != plan_.runDir || kept_ == 0) {
                files_.Remove(step.path);
            }
            break;
        case Step::Kind::WriteCopies: {
            std::vector<PlacedCopy> copies = plan_.copies;
            for (PlacedCopy& copy : copies) {
                const auto made = made_.find(platform::FoldCase(copy.name));
                if (copy.inode == 0 && copy.changed == 0 && made != made_.end()) {
                    copy = PlacedCopy::Of(made->second, copy.name, copy.set);
                }
            }
            files_.WriteFile(step.path, Format(copies));
            break;
        }
        case Step::Kind::Flush:
            files_.Flush(step.path);
            break;
        case Step::Kind::WriteState:
            files_.WriteFile(step.path, StateLine(step.text));
            break;
        }
        if (report_) {
            report_(step);
        }
    }
}

void Applier::Take(const Step& step)
{
    switch (files_.Move(step.path, step.kept)) {
    case Moved::SourceMissing: // gone already: that is what the step was for
        return;
    case Moved::TargetTaken:
        throw platform::Refused(platform::FailureCause::Occupied, "keep", step.kept,
                                {.kind = platform::EntryKind::File});
    case Moved::Done:
    case Moved::HandedOver:
        break;
    }
    Settle(step, step.keep);
}

void Applier::Place(const Step& step)
{
    const auto staged = staged_.find(step.path);
    switch (files_.Move(staged->second, step.path, step.kept)) {
    case Moved::SourceMissing:
        errno = ENOENT;
        throw platform::FsError(ENOENT, "copy", step.path);
    case Moved::HandedOver:
        Settle(step, step.keep);
        break;
    case Moved::Done:
    case Moved::TargetTaken:
        break;
    }
    staged_.erase(staged);
    // As the copy stands now: the identity that later tells it from the player's files.
    made_[platform::FoldCase(platform::SplitPath(step.path).leaf)] = files_.Status(step.path);
}

void Applier::PutBack(const Step& step)
{
    switch (files_.Move(step.source, step.path, step.kept)) {
    case Moved::HandedOver:
        Settle(step, false);
        break;
    case Moved::SourceMissing: // the kept file went meanwhile: nothing to put back
    case Moved::Done:
    case Moved::TargetTaken:
        break;
    }
}

void Applier::Settle(const Step& step, bool keep)
{
    if (keep) {
        ++kept_;
        return;
    }
    const platform::FileStamp found = files_.Status(step.kept);
    if (SameFile(found, step.stamp)) {
        files_.Remove(step.kept);
    } else {
        KeepFound(step, found);
    }
}

void Applier::KeepFound(const Step& step, const platform::FileStamp& found)
{
    KeptEntry entry = step.entry;
    entry.size = found.size;
    entry.modified = found.modified;
    record_.entries.push_back(std::move(entry));
    files_.WriteFile(platform::Under(plan_.runDir, kRecordName), Format(record_));
    ++kept_;
}

} // namespace switcher
