#pragma once

#include "platform/file_system.h"
#include "switcher/set_table.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace switcher
{

struct Fields;

// The folder in the game folder that keeps the player's files, and the record in each run's
// subfolder. No set folder, wildcard of the clean-out or game file has either name.
inline constexpr std::string_view kBackupFolderName = "JOV_Enable-backup";
inline constexpr std::string_view kRecordName = "JOV_Enable-kept.txt";

// Nothing the player owns is destroyed by one command. A file that the command deletes or
// replaces in the game folder, and that is not a copy of a set folder's file (the same name in
// any letter case, size and last change), goes into a subfolder of the backup folder made for
// this run and named by its time and the command: moved there when it is deleted, linked there
// (or copied, where the file system has no links) before it is replaced, so that it never
// stands nowhere. The record lists each kept file with what happened to it. A run that keeps
// nothing makes no folder.
class Backup final
{
public:
    Backup(platform::FileSystem& files, const Fields& fields, std::string command);
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;

    // Before the first change: fails when anything but a folder stands at the backup folder's
    // name, a link to one included.
    void Check();
    // Whether the file is the player's own: there, and no copy of a set folder's file.
    bool IsPlayers(const platform::FileStamp& stamp);
    // Deletes `name`, or keeps it when it is the player's own. `why` goes into the record.
    void Remove(const std::string& name, const std::string& why);
    // Before `path` is replaced by a copy: keeps it when it is the player's own.
    void BeforeReplace(const std::string& path, const std::string& why);
    // The restore's last step: each file an install replaced goes back into the game folder
    // where the game folder still holds that set's copy, the restore does not clear its type and
    // the stock set does not hold it (the stock file wins). The newest run decides for a name.
    void PutBackOriginals();
    // Writes the record of this run; call once the command's file work has ended.
    void Finish();

    std::size_t KeptFiles() const { return kept_.size(); }
    // The run's subfolder, empty while nothing is kept.
    const std::string& RunFolder() const { return runDir_; }

    // How many files the backup folder keeps, records left out.
    static std::size_t CountKept(platform::FileSystem& files, const std::string& gameDir);

private:
    struct Entry
    {
        std::string name; // in the game folder
        std::string keptName;
        std::string why;
        std::uintmax_t size;
        std::int64_t modified;
    };

    // Whether set `folder` holds a file named `name` in any letter case with `stamp`'s size and
    // last change.
    bool SetHoldsCopy(SetFolder folder, const std::string& name, const platform::FileStamp& stamp);
    const std::vector<std::string>* SetNames(SetFolder folder, const std::string& name);
    void Keep(const platform::FileStamp& stamp, const std::string& why, platform::Keeping how);
    std::string KeptName(const std::string& name);
    void PutBackFrom(const std::string& run, std::set<std::string>& decided);
    void TidyUp(const std::string& runDir);

    platform::FileSystem& files_;
    const Fields& fields_;
    std::string command_;
    std::string backupDir_;
    std::string runDir_;
    std::time_t started_;
    std::vector<Entry> kept_;
    std::set<std::string> usedNames_; // folded, the record's among them
    // Each set folder's plain files by their folded names, listed when first asked.
    std::array<std::unordered_map<std::string, std::vector<std::string>>, kSets.size()> sets_;
    std::array<bool, kSets.size()> listed_{};
};

} // namespace switcher
