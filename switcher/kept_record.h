#pragma once

#include "platform/file_system.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// The record of what one command kept of the player's own, as it stands in the run's subfolder
// of the backup folder: a few lines for the player, then one line per kept file, tab-separated,
// CR LF, UTF-8, so that Notepad shows it. Written before the first change it describes, and
// read back by later restores, which put back what an install replaced.
namespace switcher
{

// The folder in the game folder that keeps the player's files, and the record in each run's
// subfolder. No set folder, wildcard of the clean-out or game file has either name.
inline constexpr std::string_view kBackupFolderName = "JOV_Enable-backup";
inline constexpr std::string_view kRecordName = "JOV_Enable-kept.txt";
// The list of the copies the program placed in the game folder, in the backup folder.
inline constexpr std::string_view kCopiesName = "JOV_Enable-copies.txt";

// The backup folder of the game folder `gameDir`.
std::string BackupDirOf(const std::string& gameDir);

struct KeptEntry
{
    enum class What
    {
        Replaced, // by an install, or by the restore's copy-back: `by` is the set's word
        Cleared,  // by the restore's clean-out
        Removed,  // with an air force's flight models: `by` is the air force's word
        PutBack,  // into the game folder by a restore: `by` is when
        Found,    // in a run's subfolder, unlisted, after a command that was stopped
    };

    std::string name;     // in the game folder
    std::string keptName; // in the run's subfolder
    What what = What::Replaced;
    std::string by;
    std::uintmax_t size = 0;
    std::int64_t modified = 0; // nanoseconds since 1970-01-01 UTC
};

struct KeptRecord
{
    std::string gameDir;
    std::string command; // "install jov", "restore", "first start", "remove raf"
    std::time_t started = 0;
    // The run's place among the game folder's runs, 1 for the first; 0 in the records of earlier
    // versions, which come before every numbered run. Two runs in one second stay in order.
    unsigned long sequence = 0;
    std::vector<KeptEntry> entries;
};

// The whole record, its entries in order.
std::string Format(const KeptRecord& record);
// One entry's line, CR LF included, as Format writes it.
std::string Format(const KeptEntry& entry);

// A record's run number and entries, whatever its size. Lines that are no entry (the player's
// lines, the column titles, a line edited past reading) are passed over; a line whose size or
// time is missing or unreadable keeps the rest, with 0 there.
KeptRecord Parse(std::string_view text);

// A copy the program placed in the game folder, as it left it. Besides its size and time, which
// any program can give a file, it names what no program can: the file's identity and the time
// the file itself last changed. A file that still matches is that copy, unchanged.
struct PlacedCopy
{
    std::string name; // in the game folder
    std::string set;  // the word of the set whose file it copies
    std::uintmax_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    static PlacedCopy Of(const platform::FileStamp& stamp, std::string name, std::string set);
    bool Matches(const platform::FileStamp& stamp) const;
};

// The list of copies as it is written, and read back; lines that are no copy are passed over.
std::string Format(const std::vector<PlacedCopy>& copies);
std::vector<PlacedCopy> ParseCopies(std::string_view text);

// Local time as the record and the runs' folder names show it.
std::string LocalTime(std::time_t when, const char* format);

} // namespace switcher
