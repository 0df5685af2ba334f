#include "switcher/backup.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"
#include "platform/path_text.h"
#include "switcher/switcher.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace switcher
{
namespace
{

using platform::Under;

constexpr std::string_view kReplacedByInstall = "replaced by the install of ";

std::string LocalTime(std::time_t when, const char* format)
{
    const std::tm* parts = std::localtime(&when);
    char text[64] = {};
    if (parts == nullptr || std::strftime(text, sizeof text, format, parts) == 0) {
        return "?";
    }
    return text;
}

std::time_t Seconds(std::int64_t nanoseconds)
{
    return static_cast<std::time_t>(nanoseconds / 1000000000);
}

std::vector<std::string> Split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find(separator, at);
        parts.emplace_back(text.substr(at, end - at));
        if (end == std::string_view::npos) {
            return parts;
        }
        at = end + 1;
    }
}

bool Cleared(const std::string& name)
{
    return std::any_of(kCleanOut.begin(), kCleanOut.end(), [&](std::string_view pattern) {
        return platform::MatchesPattern(name, pattern);
    });
}

} // namespace

Backup::Backup(platform::FileSystem& files, const Fields& fields, std::string command)
    : files_(files), fields_(fields), command_(std::move(command)),
      backupDir_(Under(fields.GameDir, kBackupFolderName)),
      started_(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now())),
      usedNames_{platform::FoldCase(kRecordName)}
{}

void Backup::Check()
{
    if (files_.KindOf(backupDir_) == platform::EntryKind::Other) {
        throw platform::FsError(ENOTDIR, "keep files in", backupDir_,
                                "Something that is not a folder stands at that name: move it "
                                "away, then try again. Nothing was changed.");
    }
}

const std::vector<std::string>* Backup::SetNames(SetFolder folder, const std::string& name)
{
    const auto index = static_cast<std::size_t>(folder);
    if (!listed_[index]) {
        listed_[index] = true;
        for (std::string& listed : files_.ListPlainFiles(Under(FolderOf(fields_, folder), "*.*"))) {
            sets_[index][platform::FoldCase(listed)].push_back(std::move(listed));
        }
    }
    const auto found = sets_[index].find(platform::FoldCase(name));
    return found == sets_[index].end() ? nullptr : &found->second;
}

bool Backup::SetHoldsCopy(SetFolder folder, const std::string& name,
                          const platform::FileStamp& stamp)
{
    const std::vector<std::string>* names = SetNames(folder, name);
    return names != nullptr &&
           std::any_of(names->begin(), names->end(), [&](const std::string& setName) {
               const platform::FileStamp set =
                   files_.StampOf(Under(FolderOf(fields_, folder), setName));
               return set.exists && set.size == stamp.size && set.modified == stamp.modified;
           });
}

bool Backup::IsPlayers(const platform::FileStamp& stamp)
{
    const std::string name = platform::SplitPath(stamp.path).leaf;
    return stamp.exists && std::none_of(kSets.begin(), kSets.end(), [&](const SetRow& row) {
               return SetHoldsCopy(row.folder, name, stamp);
           });
}

void Backup::Remove(const std::string& name, const std::string& why)
{
    const platform::FileStamp stamp = files_.StampOf(name);
    if (IsPlayers(stamp)) {
        Keep(stamp, why, platform::Keeping::Move);
    } else {
        files_.RemoveFile(name);
    }
}

void Backup::BeforeReplace(const std::string& path, const std::string& why)
{
    const platform::FileStamp stamp = files_.StampOf(path);
    if (IsPlayers(stamp)) {
        Keep(stamp, why, platform::Keeping::Link);
    }
}

std::string Backup::KeptName(const std::string& name)
{
    std::string kept = name;
    const auto dot = name.rfind('.');
    const std::string stem = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    for (int n = 2; !usedNames_.insert(platform::FoldCase(kept)).second; ++n) {
        kept = stem + " (" + std::to_string(n) + ")" + extension;
    }
    return kept;
}

void Backup::Keep(const platform::FileStamp& stamp, const std::string& why, platform::Keeping how)
{
    if (runDir_.empty()) {
        files_.MakeFolder(backupDir_);
        const std::string base =
            Under(backupDir_, LocalTime(started_, "%Y-%m-%d %H-%M-%S ") + command_);
        runDir_ = base;
        for (int n = 2; !files_.MakeFolder(runDir_); ++n) {
            runDir_ = base + " (" + std::to_string(n) + ")";
        }
    }
    const std::string name = platform::SplitPath(stamp.path).leaf;
    const std::string keptName = KeptName(name);
    files_.KeepFile(stamp.path, Under(runDir_, keptName), how);
    kept_.push_back({name, keptName, why, stamp.size, stamp.modified});
}

void Backup::Finish()
{
    if (kept_.empty()) {
        return;
    }
    std::string text = "JOV Enable-Disable kept these files of the game folder " + fields_.GameDir +
                       "\r\nwhen it ran \"" + command_ + "\" on " +
                       LocalTime(started_, "%Y-%m-%d at %H:%M:%S") +
                       ".\r\nTo get a file back, copy it from here into the game folder, under its "
                       "name there.\r\n\r\nName in the game folder\tName here\tWhat "
                       "happened\tSize in bytes\tLast changed\r\n";
    for (const Entry& entry : kept_) {
        text += entry.name + "\t" + entry.keptName + "\t" + entry.why + "\t" +
                std::to_string(entry.size) + "\t" +
                LocalTime(Seconds(entry.modified), "%Y-%m-%d %H:%M:%S") + "\r\n";
    }
    files_.WriteTextFile(Under(runDir_, kRecordName), text);
}

void Backup::PutBackOriginals()
{
    if (files_.KindOf(backupDir_) != platform::EntryKind::Folder) {
        return;
    }
    std::vector<std::string> runs = files_.ListFolders(backupDir_);
    std::set<std::string> decided; // folded names a newer run has decided on
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        PutBackFrom(Under(backupDir_, *run), decided);
    }
}

void Backup::PutBackFrom(const std::string& runDir, std::set<std::string>& decided)
{
    const std::string record = Under(runDir, kRecordName);
    if (!files_.StampOf(record).exists) {
        return;
    }
    const std::string text = files_.ReadTextFile(record);
    std::string putBack;
    for (std::string line : Split(text, '\n')) {
        line.erase(line.find_last_not_of('\r') + 1);
        const std::vector<std::string> field = Split(line, '\t');
        if (field.size() < 3 || !field[2].starts_with(kReplacedByInstall)) {
            continue;
        }
        const std::string set = field[2].substr(kReplacedByInstall.size());
        const auto row = std::find_if(kSets.begin(), kSets.end(),
                                      [&](const SetRow& r) { return r.name == set; });
        const std::string& name = field[0];
        const std::string kept = Under(runDir, field[1]);
        if (row == kSets.end() || !decided.insert(platform::FoldCase(name)).second ||
            Cleared(name) || SetNames(SetFolder::Stock, name) != nullptr ||
            !files_.StampOf(kept).exists) {
            continue;
        }
        // Only where the game folder still holds the set's copy: what the player changed since
        // stays, and the original stays kept.
        const platform::FileStamp game = files_.StampOf(Under(fields_.GameDir, name));
        if (game.exists && !game.readOnly && SetHoldsCopy(row->folder, name, game)) {
            files_.PutBack(kept, game.path);
            putBack += name + "\t" + field[1] +
                       "\tput back into the game folder by the restore on " +
                       LocalTime(started_, "%Y-%m-%d at %H:%M:%S") + "\r\n";
        }
    }
    if (!putBack.empty()) {
        files_.WriteTextFile(record, text + putBack);
        TidyUp(runDir);
    }
}

// A run's subfolder that keeps nothing more goes, and so does an empty backup folder. Hidden
// files or a player's own may keep them: that is no failure.
void Backup::TidyUp(const std::string& runDir)
{
    const auto isRecord = [](const std::string& name) {
        return platform::FoldCase(name) == platform::FoldCase(kRecordName);
    };
    const std::vector<std::string> left = files_.ListPlainFiles(Under(runDir, "*.*"));
    if (!std::all_of(left.begin(), left.end(), isRecord) || !files_.ListFolders(runDir).empty()) {
        return;
    }
    try {
        files_.RemoveFile(Under(runDir, kRecordName));
        files_.RemoveFolder(runDir);
        if (files_.ListFolders(backupDir_).empty() &&
            files_.ListPlainFiles(Under(backupDir_, "*.*")).empty()) {
            files_.RemoveFolder(backupDir_);
        }
    } catch (const platform::FsError&) {
    }
}

std::size_t Backup::CountKept(platform::FileSystem& files, const std::string& gameDir)
{
    const std::string backupDir = Under(gameDir, kBackupFolderName);
    if (files.KindOf(backupDir) != platform::EntryKind::Folder) {
        return 0;
    }
    std::size_t count = 0;
    for (const std::string& run : files.ListFolders(backupDir)) {
        for (const std::string& name : files.ListPlainFiles(Under(Under(backupDir, run), "*.*"))) {
            count += platform::FoldCase(name) == platform::FoldCase(kRecordName) ? 0 : 1;
        }
    }
    return count;
}

} // namespace switcher
